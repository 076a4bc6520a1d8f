// Working on a candidate rule table from the command line: classifying with it, checking it and
// comparing its answers with the embedded table's.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cli_process.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

// One rule for ".foo" files that begin with "FOO!", described as 测试文件 (GBK bytes), and the
// embedded AVI rule with another description.
const std::string kGbkTable =
    "// candidate\r\n"
    ".foo;2;\xB2\xE2\xCA\xD4\xCE\xC4\xBC\xFE;0,4,,464F4F21\r\n"
    ".avi;1;AVI video;0,4,,52494646";
const std::string kUtf8Table =
    "\xEF\xBB\xBF"
    ".foo;2;\xE6\xB5\x8B\xE8\xAF\x95\xE6\x96\x87\xE4\xBB\xB6;0,4,,464F4F21\r\n"
    ".avi;1;AVI video;0,4,,52494646";

const std::string kAviHeader("RIFF\x10\0\0\0AVI LIST", 16);

TEST(CliRules, RulesFileClassifiesWithTheCandidateTableInGbkOrUtf8) {
  testsupport::TempDir dir;
  const auto foo = dir.Write("x.foo", "FOO!....").string();
  const auto bare = dir.Write("x.bin", "FOO!\x01").string();
  for (const auto& [name, bytes] : {std::pair{"gbk.txt", kGbkTable}, {"utf8.txt", kUtf8Table}}) {
    const auto table = dir.Write(name, bytes).string();
    const auto result = RunKindprobe({"--rules-file", table, foo, bare});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    // The scan finds the rule for a file with another extension too.
    EXPECT_EQ(result.out, foo + ": 测试文件 (TypeID 2)\n" + bare + ": 测试文件 (TypeID 2)\n")
        << name;
  }
  // The embedded table does not know the format.
  EXPECT_EQ(RunKindprobe({"-b", foo}).out, "文本文件 (TypeID 2)\n");
}

TEST(CliRules, RulesListsTheTableInUse) {
  testsupport::TempDir dir;
  const auto table = dir.Write("t.txt", kGbkTable).string();
  const auto result = RunKindprobe({"--rules-file=" + table, "--rules"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("rule 0  kind 2  .foo  \"测试文件\"\n"), std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("2 rules, 2 patterns\n"), std::string::npos);
}

TEST(CliRules, AnUnreadableRuleFileIsAUsageError) {
  testsupport::TempDir dir;
  const std::string missing = (dir.path() / "none.txt").string();
  for (const auto& args : {std::vector<std::string>{"--rules-file", missing, "x"},
                           std::vector<std::string>{"--check-rules", missing},
                           std::vector<std::string>{"--compare-rules", missing, "x"}}) {
    const auto result = RunKindprobe(args);
    EXPECT_EQ(result.exitCode, 2) << args[0];
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "kindprobe: cannot read the rule file " + missing +
                              ": cannot open it (No such file or directory)\n");
  }
}

TEST(CliRules, CheckRulesPrintsFindingsLikeACompilerAndSetsTheStatus) {
  testsupport::TempDir dir;
  const auto clean = dir.Write("clean.txt", kGbkTable).string();
  const auto result = RunKindprobe({"--check-rules", clean});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "kindprobe: " + clean + ": 0 warning(s), 0 error(s)\n");

  const auto faulty =
      dir.Write("faulty.txt", kGbkTable + "\r\n.foo;2;Again;0,4,,41\r\n.none;2;None").string();
  const auto found = RunKindprobe({"--check-rules=" + faulty});
  EXPECT_EQ(found.exitCode, 1);
  EXPECT_EQ(found.out,
            faulty +
                ":4: warning: pattern field 1, test 1: the value has 2 hex digits where count 4 "
                "needs 8; the test is dropped\n" +
                faulty + ":4: warning: pattern field 1 \"0,4,,41\" gives no test and is refused\n" +
                faulty + ":4: error: rule 2 has no pattern: it matches no file\n" + faulty +
                ":4: warning: the extension \".foo\" is also listed by rule 0 (line 2), which "
                "decides alone: rule 2 never decides by this extension\n" +
                faulty + ":5: error: rule 3 has no pattern: it matches no file\n");
  EXPECT_EQ(found.err, "kindprobe: " + faulty + ": 3 warning(s), 2 error(s)\n");
}

TEST(CliRules, CheckRulesWithoutAFileChecksTheEmbeddedTable) {
  const auto result = RunKindprobe({"--check-rules"});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.out.find("resources/rules.txt:4: warning: pattern field 2 repeats pattern "
                            "field 1\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("resources/rules.txt:39: warning: pattern field 1, test 1: the value "
                            "has 30 hex digits where count 16 needs 32"),
            std::string::npos);
}

// The README quotes what --check-rules finds in the shipped table; a finding added or gone must
// show there too.
TEST(CliRules, TheReadmeQuotesTheShippedTablesFindingsInFull) {
  std::ifstream readme(KINDPROBE_README_SOURCE, std::ios::binary);
  ASSERT_TRUE(readme.is_open());
  const std::string text((std::istreambuf_iterator<char>(readme)), std::istreambuf_iterator<char>());
  const std::string opening = "<!-- kindprobe --check-rules -->\n```text\n";
  const size_t start = text.find(opening);
  ASSERT_NE(start, std::string::npos);
  const size_t body = start + opening.size();
  const size_t end = text.find("```\n", body);
  ASSERT_NE(end, std::string::npos);
  EXPECT_EQ(text.substr(body, end - body), RunKindprobe({"--check-rules"}).out);
}

// --rules --text is read back into the table it came from, whatever the table holds: tests from
// the end, masks, several tests to a pattern, rules without extensions, UTF-8 descriptions.
TEST(CliRules, RuleTextIsReadBackIntoTheSameTable) {
  testsupport::TempDir dir;
  const std::string crafted =
      "// own\r\n"
      ".foo,.Bar;2;\xB2\xE2\xCA\xD4;0,4,,464F4F21,-1,1,,65;4,2,F0F0,A0B0\r\n"
      ";1;no extension;8,4,,41564920\r\n"
      ".x;7;odd kind";
  const auto craftedFile = dir.Write("crafted.txt", crafted).string();
  for (const std::vector<std::string>& table :
       {std::vector<std::string>{}, std::vector<std::string>{"--rules-file", craftedFile}}) {
    std::vector<std::string> listArgs = table;
    listArgs.push_back("--rules");
    std::vector<std::string> textArgs = listArgs;
    textArgs.push_back("--text");
    const auto text = RunKindprobe(textArgs);
    ASSERT_EQ(text.exitCode, 0) << text.err;
    EXPECT_EQ(text.out.rfind("\xEF\xBB\xBF", 0), 0u);
    const auto printed = dir.Write("printed.txt", text.out).string();
    const auto original = RunKindprobe(listArgs);
    const auto readBack = RunKindprobe({"--rules-file", printed, "--rules"});
    EXPECT_EQ(readBack.out, original.out);
    EXPECT_NE(original.out.find(" rules, "), std::string::npos);
  }
}

TEST(CliRules, CompareRulesPrintsOnlyChangedAnswersAndCounts) {
  testsupport::TempDir dir;
  const auto table = dir.Write("t.txt", kGbkTable).string();
  const auto tree = dir.path() / "tree";
  const auto avi = dir.Write("tree/a.avi", kAviHeader).string();         // description changes
  const auto foo = dir.Write("tree/b.foo", "FOO!\x01\x02").string();     // unknown -> 测试文件
  dir.Write("tree/c.txt", "just words");                                 // text either way
  dir.Write("tree/d.lnk", "L");                                          // never reaches a rule
  const auto mp3 = dir.Write("tree/sub/e.mp3", "ID3\x03\x01").string();  // its rule is gone

  const auto result = RunKindprobe({"--compare-rules", table, "-r", "-j2", tree.string()});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, avi + ": AVI文件 (TypeID 4) -> AVI video (TypeID 4)\n" + foo +
                            ": 未知类型 (TypeID 0) -> 测试文件 (TypeID 2)\n" + mp3 +
                            ": MP3文件 (TypeID 4) -> 未知类型 (TypeID 0)\n");
  EXPECT_EQ(result.err, "kindprobe: 5 file(s) examined, 3 changed\n");

  const auto json = RunKindprobe({"--json", "--compare-rules", table, foo});
  EXPECT_EQ(json.out, "{\"path\":\"" + foo +
                          "\",\"old\":{\"typeId\":0,\"typeName\":\"Unknown\",\"description\":"
                          "\"未知类型\",\"rule\":null},\"new\":{\"typeId\":2,\"typeName\":"
                          "\"NonMedia\",\"description\":\"测试文件\",\"rule\":0}}\n");

  // The same table on both sides changes nothing.
  const auto same =
      RunKindprobe({"--rules-file", table, "--compare-rules", table, "-r", tree.string()});
  EXPECT_EQ(same.out, "");
  EXPECT_EQ(same.err, "kindprobe: 5 file(s) examined, 0 changed\n");
}

}  // namespace
}  // namespace kindprobe::clitest
