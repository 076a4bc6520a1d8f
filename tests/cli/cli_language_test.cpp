// What kindprobe prints for people: -v for the cache diagnostic line, control characters in
// names escaped, and English descriptions with --lang en.
#include <gtest/gtest.h>

#include <string>

#include "cli_process.h"
#include "json_line.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

const std::string kAviHeader("RIFF\x10\0\0\0AVI LIST", 16);
const std::string kCacheBytes("\x00\x01\x02\x03\x04", 5);

TEST(CliManners, APlainScanOfCacheFilesWritesNothingToStandardError) {
  testsupport::TempDir dir;
  const auto cache = dir.Write("Store/VODCache/part1.dat", kCacheBytes);
  const std::string store = (dir.path() / "Store").string();
  const auto quiet = RunKindprobe({"--store-path", store, cache.string()});
  EXPECT_EQ(quiet.exitCode, 0);
  EXPECT_EQ(quiet.out, cache.string() + ": Cindra缓存文件 (TypeID 1)\n");
  EXPECT_EQ(quiet.err, "");

  const auto verbose = RunKindprobe({"--verbose", "--store-path", store, cache.string()});
  EXPECT_EQ(verbose.out, quiet.out);
  EXPECT_EQ(verbose.err, "CacheDir RegVal =" + store + "|\n");
}

TEST(CliManners, ControlCharactersInNamesAreEscapedInTextButNotInJson) {
  testsupport::TempDir dir;
  const auto file = dir.Write(
      "two\nlines\t\x7f"
      "\xc2\x85"
      "片.txt",
      "words");
  const std::string folder = dir.path().string() + "/";

  const auto text = RunKindprobe({file.string()});
  EXPECT_EQ(text.exitCode, 0);
  EXPECT_EQ(text.out, folder + "two\\012lines\\011\\177\\302\\205片.txt: 文本文件 (TypeID 2)\n");

  const auto json = RunKindprobe({"--json", file.string()});
  ASSERT_EQ(Lines(json.out).size(), 1u) << json.out;
  EXPECT_NE(json.out.find("two\\nlines\\t"), std::string::npos) << json.out;
}

TEST(CliManners, EnglishDescriptionsForRulesAndFixedAnswers) {
  testsupport::TempDir dir;
  const auto avi = dir.Write("clip.avi", kAviHeader);
  const auto empty = dir.Write("empty.mkv", "");
  const auto text = dir.Write("notes.txt", "just words\n");
  const auto shortcut = dir.Write("link.lnk", "L\0\0\0");
  const std::string missing = (dir.path() / "missing.avi").string();

  const auto english = RunKindprobe(
      {"--lang", "en", avi.string(), empty.string(), text.string(), shortcut.string(), missing});
  EXPECT_EQ(english.exitCode, 1);
  EXPECT_EQ(english.out, avi.string() + ": AVI file (TypeID 4)\n" + empty.string() +
                             ": zero-byte file (TypeID 3)\n" + text.string() +
                             ": text file (TypeID 2)\n" + shortcut.string() +
                             ": Windows shortcut (TypeID 2)\n" + missing +
                             ": unknown type (TypeID 0)\n");

  const auto json = RunKindprobe({"--lang=en", "--json", avi.string()});
  const auto object = ParseJsonLine(Lines(json.out).at(0));
  ASSERT_TRUE(object.has_value()) << json.out;
  EXPECT_EQ(object->at("description").text, u"AVI file");

  // Chinese stays the default, and can be asked for.
  EXPECT_EQ(RunKindprobe({"-b", avi.string()}).out, "AVI文件 (TypeID 4)\n");
  EXPECT_EQ(RunKindprobe({"-b", "--lang", "zh", avi.string()}).out, "AVI文件 (TypeID 4)\n");
}

TEST(CliManners, AnUnknownLanguageIsAUsageError) {
  for (const char* value : {"fr", "EN", ""}) {
    const auto result = RunKindprobe({"--lang", value, "x"});
    EXPECT_EQ(result.exitCode, 2) << value;
    EXPECT_EQ(result.err, "kindprobe: --lang takes zh or en\n") << value;
  }
  EXPECT_EQ(RunKindprobe({"x", "--lang"}).exitCode, 2);
}

}  // namespace
}  // namespace kindprobe::clitest
