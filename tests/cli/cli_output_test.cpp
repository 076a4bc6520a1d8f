// The text output, the exit statuses and the informational options of kindprobe.
#include <gtest/gtest.h>
#include <kindprobe/version.h>

#include <string>

#include "cli_process.h"
#include "engine/rule_table.h"
#include "platform/utf.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

const std::string kAviHeader("RIFF\x10\0\0\0AVI LIST", 16);

TEST(CliOutput, OneLinePerPathInArgumentOrder) {
  testsupport::TempDir dir;
  const auto text = dir.Write("notes.txt", "just words\n");
  const auto empty = dir.Write("empty.mkv", "");
  const auto avi = dir.Write("clip.txt", kAviHeader);
  // UTF-8 whatever the locale says.
  ProcessSettings settings;
  settings.environment["LC_ALL"] = "C";
  settings.environment["LANG"] = "C";
  const auto result = RunKindprobe({avi.string(), text.string(), empty.string()}, settings);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, avi.string() + ": AVI文件 (TypeID 4)\n" + text.string() +
                            ": 文本文件 (TypeID 2)\n" + empty.string() +
                            ": 零字节文件 (TypeID 3)\n");
}

TEST(CliOutput, BriefLeavesOutThePath) {
  testsupport::TempDir dir;
  const auto lnk = dir.Write("a.lnk", "L\0\0\0");
  for (const char* flag : {"-b", "--brief"}) {
    const auto result = RunKindprobe({flag, lnk.string()});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.out, "Windows快捷方式 (TypeID 2)\n") << flag;
  }
}

TEST(CliOutput, PathsThatCannotBeExaminedArePrintedAndGiveStatusOne) {
  testsupport::TempDir dir;
  const auto present = dir.Write("page.html", "<html></html>");
  const std::string missing = (dir.path() / "missing.avi").string();
  const auto result = RunKindprobe({missing, present.string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, missing + ": 未知类型 (TypeID 0)\n" + present.string() +
                            ": HTML文档 (TypeID 2)\n");
}

TEST(CliOutput, AnUnrecognisedFileThatWasReadStillCountsAsExamined) {
  testsupport::TempDir dir;
  const auto unknown = dir.Write("blob", std::string("\x01\x02\x03\x04", 4));
  const auto result = RunKindprobe({unknown.string()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, unknown.string() + ": 未知类型 (TypeID 0)\n");
}

TEST(CliOutput, UsageErrorsGiveStatusTwoAndOneLineNamingTheProblem) {
  struct Case {
    std::vector<std::string> args;
    std::string named;  // what the message must mention
  };
  const Case cases[] = {
      {{"--frobnicate", "x"}, "--frobnicate"},
      {{"-q", "x"}, "-q"},
      {{"-j", "0", "x"}, "-j"},
      {{"-j", "many", "x"}, "many"},
      {{"--jobs=9999", "x"}, "--jobs"},
      {{"-f"}, "-f"},
      {{"-0", "x"}, "-0"},
      {{"--brief=yes", "x"}, "--brief"},
      {{"--rules", "--version"}, "--rules"},
      {{"--rules", "extra"}, "--rules"},
      {{"--version", "extra"}, "--version"},
      {{"--rules", "--json"}, "--json"},
      {{}, "no paths"},
  };
  for (const Case& c : cases) {
    const auto result = RunKindprobe(c.args);
    EXPECT_EQ(result.exitCode, 2) << c.named;
    EXPECT_EQ(result.out, "") << c.named;
    ASSERT_EQ(Lines(result.err).size(), 1u) << result.err;
    EXPECT_NE(result.err.find(c.named), std::string::npos) << result.err;
  }
}

TEST(CliOutput, AMissingListFileIsReported) {
  const auto result = RunKindprobe({"-f", "/nonexistent/list"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_NE(result.err.find("/nonexistent/list"), std::string::npos);
}

TEST(CliOutput, OutputThatCannotBeWrittenIsAFailure) {
  testsupport::TempDir dir;
  const auto text = dir.Write("a.txt", "words");
  ProcessSettings settings;
  settings.outputFile = "/dev/full";
  const auto result = RunKindprobe({text.string()}, settings);
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.err, "kindprobe: write error: No space left on device\n");
}

TEST(CliOutput, DoubleDashEndsOptions) {
  testsupport::TempDir dir;
  dir.Write("-b", "plain text");
  ProcessSettings settings;
  settings.workingDirectory = dir.path();
  const auto result = RunKindprobe({"--", "-b"}, settings);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "-b: 文本文件 (TypeID 2)\n");
}

TEST(CliOutput, VersionIsTheModuleVersion) {
  const auto result = RunKindprobe({"--version"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, std::string("kindprobe ") + KINDPROBE_VERSION_TEXT + "\n");
  EXPECT_STREQ(KINDPROBE_VERSION_TEXT, "1.1.0.0");
}

TEST(CliOutput, HelpDescribesEveryOption) {
  const auto result = RunKindprobe({"--help"});
  EXPECT_EQ(result.exitCode, 0);
  for (const char* option : {"--brief", "--json", "-f", "-0", "-r", "-L", "-j", "--store-path",
                             "--lang", "--verbose", "--rules", "--version", "TypeID", "1 to 256",
                             "\"error\"", "1 some paths could not be examined",
                             "output\nthat cannot be written"}) {
    EXPECT_NE(result.out.find(option), std::string::npos) << option;
  }
}

TEST(CliOutput, RulesListsTheParsedTable) {
  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);
  ASSERT_GT(table.ruleCount, 0);
  int32_t patterns = 0;
  for (int32_t r = 0; r < table.ruleCount; ++r) patterns += table.rules[r]->patternCount;

  const auto result = RunKindprobe({"--rules"});
  EXPECT_EQ(result.exitCode, 0);
  const auto lines = Lines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), std::to_string(table.ruleCount) + " rules, " +
                              std::to_string(patterns) + " patterns");
  int32_t ruleLines = 0;
  int32_t patternLines = 0;
  for (const std::string& line : lines) {
    if (line.rfind("rule ", 0) == 0) {
      const FileTypeRule& rule = *table.rules[ruleLines];
      EXPECT_EQ(line.rfind("rule " + std::to_string(ruleLines) + " ", 0), 0u) << line;
      const std::string description = "\"" + platform::Utf16ToUtf8(rule.description) + "\"";
      EXPECT_NE(line.find(description), std::string::npos) << line;
      ++ruleLines;
    } else if (line.rfind("  pattern ", 0) == 0) {
      ++patternLines;
    }
  }
  EXPECT_EQ(ruleLines, table.ruleCount);
  EXPECT_EQ(patternLines, patterns);
  // The torrent rule shows its masked head test and its tail test.
  EXPECT_NE(result.out.find("@0 11 bytes & FF00FFFFFFFFFFFFFFFFFF = 64003A616E6E6F756E6365; "
                            "end 1 last byte = 65"),
            std::string::npos);
}

}  // namespace
}  // namespace kindprobe::clitest
