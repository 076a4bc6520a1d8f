// The stand-in for the player's StorePath setting: the option, the environment variable, and
// the diagnostic line, which must stay off standard output.
#include <gtest/gtest.h>

#include <string>

#include "cli_process.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

// Cache files hold stream data that is neither text nor a known signature.
const std::string kCacheBytes("\x00\x01\x02\x03\x04", 5);

class CliStorePath : public ::testing::Test {
 protected:
  CliStorePath() : cache_(dir_.Write("Store/VODCache/part1.dat", kCacheBytes)) {}
  std::string store() const { return (dir_.path() / "Store").string(); }

  testsupport::TempDir dir_;
  std::filesystem::path cache_;
};

TEST_F(CliStorePath, OptionMakesDatFilesInTheCacheDirectoryCacheFiles) {
  const auto result = RunKindprobe({"-v", "--store-path", store(), cache_.string()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, cache_.string() + ": Cindra缓存文件 (TypeID 1)\n");
  EXPECT_EQ(result.err, "CacheDir RegVal =" + store() + "|\n");
}

TEST_F(CliStorePath, EnvironmentVariableServesWhenTheOptionIsAbsent) {
  ProcessSettings settings;
  settings.environment["KINDPROBE_STORE_PATH"] = store() + "/ ";
  const auto result = RunKindprobe({"--verbose", "--json", cache_.string()}, settings);
  EXPECT_NE(result.out.find("\"typeId\":1"), std::string::npos) << result.out;
  EXPECT_EQ(result.err, "CacheDir RegVal =" + store() + "/ |\n");

  // The option wins over the variable.
  const auto overridden =
      RunKindprobe({"-v", "--store-path=/elsewhere", cache_.string()}, settings);
  EXPECT_EQ(overridden.out, cache_.string() + ": 未知类型 (TypeID 0)\n");
  EXPECT_EQ(overridden.err, "CacheDir RegVal =/elsewhere|\n");
}

TEST_F(CliStorePath, WithoutASettingThereIsNoCacheAndNoDiagnostic) {
  const auto result = RunKindprobe({cache_.string()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, cache_.string() + ": 未知类型 (TypeID 0)\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(CliStorePath, OnlyDatFilesAreAskedAbout) {
  const auto other = dir_.Write("Store/VODCache/part2.bin", kCacheBytes);
  const auto result = RunKindprobe({"--store-path", store(), other.string()});
  EXPECT_EQ(result.out, other.string() + ": 未知类型 (TypeID 0)\n");
  EXPECT_EQ(result.err, "");
}

TEST_F(CliStorePath, EveryDatFileGetsItsOwnDiagnosticLineAlsoOnManyThreads) {
  std::vector<std::string> args = {"-vj", "4", "--store-path", store()};
  for (int i = 0; i < 200; ++i) {
    args.push_back(dir_.Write("Store/VODCache/c" + std::to_string(i) + ".dat", kCacheBytes).string());
  }
  const auto result = RunKindprobe(args);
  EXPECT_EQ(result.exitCode, 0);
  const auto lines = Lines(result.err);
  ASSERT_EQ(lines.size(), 200u);
  for (const std::string& line : lines) EXPECT_EQ(line, "CacheDir RegVal =" + store() + "|");
}

}  // namespace
}  // namespace kindprobe::clitest
