// regscript end to end: the built tool run on script files.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

struct ToolRun {
  std::string output;
  int exit_code;
};

class RegscriptTool : public ::testing::Test {
 protected:
  void SetUp() override {
    directory_ = std::filesystem::temp_directory_path() /
                 ("regscript-test-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                  "-" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(directory_);
  }
  void TearDown() override { std::filesystem::remove_all(directory_); }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = directory_ / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  static ToolRun Run(const std::string& arguments) {
    const std::string command = std::string(REGSCRIPT_PATH) + " " + arguments + " 2>&1";
    ToolRun run{"", -1};
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    std::array<char, 4096> chunk;
    size_t got;
    while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0) run.output.append(chunk.data(), got);
    const int status = pclose(pipe);
    run.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
  }

  std::filesystem::path directory_;
};

constexpr char kAppIdScript[] =
    "HKCR\r\n{\r\n\tNoRemove AppID\r\n\t{\r\n\t\t'%APPID%' = s 'Kindprobe'\r\n"
    "\t\t'Kindprobe.DLL'\r\n\t\t{\r\n\t\t\tval AppID = s '%APPID%'\r\n\t\t}\r\n\t}\r\n}\r\n";

TEST_F(RegscriptTool, RegistersPrintsTheTreeAndUnregistersFromASeed) {
  const std::string script = Write("appid.rgs", kAppIdScript);
  const ToolRun registered = Run("--replace APPID={AB} " + script);
  EXPECT_EQ(registered.exit_code, 0);
  EXPECT_EQ(registered.output,
            "Windows Registry Editor Version 5.00\n"
            "\n[HKEY_CLASSES_ROOT\\AppID]\n"
            "\n[HKEY_CLASSES_ROOT\\AppID\\Kindprobe.DLL]\n\"AppID\"=\"{AB}\"\n"
            "\n[HKEY_CLASSES_ROOT\\AppID\\{AB}]\n@=\"Kindprobe\"\n"
            "\nhr=0x00000000\n");

  const std::string seed = Write("seed.reg", registered.output.substr(0, registered.output.find("\nhr=")));
  const ToolRun unregistered = Run("--unregister --seed " + seed + " --replace APPID={AB} " + script);
  EXPECT_EQ(unregistered.exit_code, 0);
  EXPECT_EQ(unregistered.output,
            "Windows Registry Editor Version 5.00\n\n[HKEY_CLASSES_ROOT\\AppID]\n\nhr=0x00000000\n");
}

TEST_F(RegscriptTool, AFailingScriptPrintsItsResultAndExitsWithOne) {
  const ToolRun run = Run(Write("bad.rgs", "HKCU { K = s '%MISSING%' }"));
  EXPECT_EQ(run.exit_code, 1);
  EXPECT_NE(run.output.find("\nhr=0x80020009\n"), std::string::npos) << run.output;
  const ToolRun walked_back = Run(Write("walk.rgs", "HKCU { K { Bad = q x } }"));
  EXPECT_EQ(walked_back.exit_code, 1);
  EXPECT_EQ(walked_back.output, "Windows Registry Editor Version 5.00\n\nhr=0x80020009\n");
}

TEST_F(RegscriptTool, UsageErrorsExitWithTwo) {
  EXPECT_EQ(Run("").exit_code, 2);
  EXPECT_EQ(Run("--bogus x.rgs").exit_code, 2);
  EXPECT_EQ(Run("--replace NOEQUALS x.rgs").exit_code, 2);
  EXPECT_EQ(Run((directory_ / "missing.rgs").string()).exit_code, 2);
  const std::string script = Write("ok.rgs", "HKCU { K }");
  EXPECT_EQ(Run("--seed " + Write("bad.reg", "not a reg file") + " " + script).exit_code, 2);
}

}  // namespace

// Scripts as Windows editors save them: UTF-8 with a byte-order mark, UTF-16LE with one.
TEST_F(RegscriptTool, ReadsScriptsWithAByteOrderMark) {
  const std::string expected =
      "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\K]\n@=\"\xE4\xB8\xAD\"\n"
      "\nhr=0x00000000\n";
  const ToolRun utf8 = Run(Write("utf8.rgs", "\xEF\xBB\xBFHKCU { K = s '\xE4\xB8\xAD' }"));
  EXPECT_EQ(utf8.exit_code, 0);
  EXPECT_EQ(utf8.output, expected);

  std::string utf16 = "\xFF\xFE";
  for (const char16_t unit : std::u16string(u"HKCU { K = s '\u4E2D' }")) {
    utf16 += static_cast<char>(unit & 0xFF);
    utf16 += static_cast<char>(unit >> 8);
  }
  const ToolRun wide = Run(Write("utf16.rgs", utf16));
  EXPECT_EQ(wide.exit_code, 0);
  EXPECT_EQ(wide.output, expected);

  const ToolRun odd = Run(Write("odd.rgs", utf16 + "x"));
  EXPECT_EQ(odd.exit_code, 2);
  EXPECT_NE(odd.output.find("half a character"), std::string::npos) << odd.output;
}
