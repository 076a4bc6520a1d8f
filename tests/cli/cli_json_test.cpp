// The JSON Lines output: its keys and their types are an interface other programs rely on.
#include <gtest/gtest.h>

#include <string>

#include "diagnosis/output_format.h"
#include "cli_process.h"
#include "engine/rule_table.h"
#include "json_line.h"
#include "platform/utf.h"
#include "temp_dir.h"

namespace kindprobe::clitest {
namespace {

using Type = JsonValue::Type;

const char* const kTypeNames[] = {"Unknown", "PlayerCache", "NonMedia", "ZeroByte",
                                  "InvalidMedia"};

TEST(CliJson, EveryLineIsAnObjectWithTheStableKeys) {
  testsupport::TempDir dir;
  dir.Write("store/VODCache/x.dat", "cache bytes");
  const std::string files[] = {
      dir.Write("a.avi", std::string("RIFF\0\0\0\0AVI LIST", 16)).string(),
      dir.Write("b.txt", "words").string(),
      dir.Write("c", "").string(),
      dir.Write("d.xyz", std::string("\x01\x02\x03", 3)).string(),
      (dir.path() / "store/VODCache/x.dat").string(),
      (dir.path() / "missing").string(),
      dir.Write("e.lnk", "L").string(),
  };
  std::vector<std::string> args = {"--json", "--store-path", (dir.path() / "store").string()};
  args.insert(args.end(), std::begin(files), std::end(files));
  const auto result = RunKindprobe(args);
  EXPECT_EQ(result.exitCode, 1);  // "missing"
  const auto lines = Lines(result.out);
  ASSERT_EQ(lines.size(), std::size(files));

  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);
  bool sawRule = false;
  bool sawCache = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    SCOPED_TRACE(lines[i]);
    const auto object = ParseJsonLine(lines[i]);
    ASSERT_TRUE(object.has_value());
    // "error" only where the file could not be examined.
    const bool missing = i == 5;
    ASSERT_EQ(object->size(), missing ? 7u : 6u);
    if (missing) {
      const JsonValue& error = object->at("error");
      ASSERT_EQ(error.type, Type::kString);
      EXPECT_EQ(platform::Utf16ToUtf8(error.text), "cannot open (No such file or directory)");
    }
    const JsonValue& path = object->at("path");
    const JsonValue& typeId = object->at("typeId");
    const JsonValue& typeName = object->at("typeName");
    const JsonValue& description = object->at("description");
    const JsonValue& rule = object->at("rule");
    const JsonValue& mime = object->at("mime");
    ASSERT_EQ(mime.type, Type::kString);
    EXPECT_NE(mime.text.find(u'/'), std::u16string::npos);
    ASSERT_EQ(path.type, Type::kString);
    EXPECT_EQ(platform::Utf16ToUtf8(path.text), files[i]);
    ASSERT_EQ(typeId.type, Type::kInteger);
    ASSERT_GE(typeId.integer, 0);
    ASSERT_LE(typeId.integer, 4);
    ASSERT_EQ(typeName.type, Type::kString);
    EXPECT_EQ(platform::Utf16ToUtf8(typeName.text), kTypeNames[typeId.integer]);
    ASSERT_EQ(description.type, Type::kString);
    EXPECT_FALSE(description.text.empty());
    if (rule.type == Type::kInteger) {
      // A rule's answer carries that rule's own description.
      ASSERT_LT(rule.integer, table.ruleCount);
      EXPECT_EQ(description.text, table.rules[rule.integer]->description);
      sawRule = true;
    } else {
      EXPECT_EQ(rule.type, Type::kNull);
    }
    sawCache |= typeId.integer == 1;
  }
  EXPECT_TRUE(sawRule);
  EXPECT_TRUE(sawCache);
}

TEST(CliJson, UndecodableNameBytesAreEscapedSoTheNameCanBeRebuilt) {
  testsupport::TempDir dir;
  const auto path = dir.Write("odd\xff\x80\"q\\.txt", "text");
  const auto result = RunKindprobe({"--json", path.string()});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.out.find("odd\\udcff\\udc80\\\"q\\\\.txt"), std::string::npos) << result.out;
  const auto object = ParseJsonLine(Lines(result.out).at(0));
  ASSERT_TRUE(object.has_value());
  EXPECT_EQ(platform::Utf16ToUtf8(object->at("path").text), path.string());
}

TEST(JsonStrings, SurrogatesControlCharactersAndQuotes) {
  std::string out;
  cli::AppendJsonString(u"a\"b\\c\n\x01\xDC80\xD800x\xD83D\xDE00\x00e9", &out);
  EXPECT_EQ(out, "a\\\"b\\\\c\\n\\u0001\\udc80\\ud800x\xF0\x9F\x98\x80\xC3\xA9");
}

}  // namespace
}  // namespace kindprobe::clitest
