// Option parsing and list reading, in process.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "diagnosis/description_language.h"
#include "cli/scan/list_reader.h"
#include "cli/options.h"
#include "cli/scan/ordered_classifier.h"
#include "diagnosis/mime_type.h"
#include "diagnosis/output_format.h"
#include "diagnosis/printable_name.h"
#include "engine/rule_table.h"
#include "cli/scan/path_source.h"
#include "platform/directory.h"
#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

std::vector<std::u16string> Args(std::initializer_list<const char16_t*> args) {
  return std::vector<std::u16string>(args.begin(), args.end());
}

TEST(Options, ClustersAttachedValuesAndLongForms) {
  const auto parsed = ParseOptions(Args({u"-rL0", u"-j3", u"-flist", u"--json", u"--json", u"x"}));
  ASSERT_TRUE(parsed.options) << parsed.error;
  const Options& o = *parsed.options;
  EXPECT_TRUE(o.recursive && o.followLinks && o.nulSeparated);
  EXPECT_EQ(o.output, OutputMode::kJson);
  EXPECT_EQ(o.jobs, 3u);
  EXPECT_EQ(o.listFiles, Args({u"list"}));
  EXPECT_EQ(o.paths, Args({u"x"}));

  const auto spaced = ParseOptions(Args({u"--jobs", u"2", u"--files-from=-", u"--null"}));
  ASSERT_TRUE(spaced.options) << spaced.error;
  EXPECT_EQ(spaced.options->jobs, 2u);
  EXPECT_EQ(spaced.options->listFiles, Args({u"-"}));
  EXPECT_TRUE(spaced.options->paths.empty());
}

TEST(Options, ALoneDashAndEverythingAfterDoubleDashArePaths) {
  const auto parsed = ParseOptions(Args({u"-", u"--", u"-r", u"--json"}));
  ASSERT_TRUE(parsed.options) << parsed.error;
  EXPECT_EQ(parsed.options->paths, Args({u"-", u"-r", u"--json"}));
  EXPECT_FALSE(parsed.options->recursive);
  EXPECT_EQ(parsed.options->output, OutputMode::kText);
}

TEST(Options, JobsOutsideTheRangeAreRefused) {
  for (const char16_t* value : {u"0", u"-1", u"257", u"99999", u"", u"2x"}) {
    const auto parsed = ParseOptions(Args({u"-j", value, u"x"}));
    EXPECT_FALSE(parsed.options) << "accepted " << std::u16string(value).size() << " units";
  }
  EXPECT_TRUE(ParseOptions(Args({u"-j", u"256", u"x"})).options);
}

TEST(Options, InformationalActionsNeedNoPaths) {
  EXPECT_EQ(ParseOptions(Args({u"--rules"})).options->action, Action::kRules);
  EXPECT_EQ(ParseOptions(Args({u"--version"})).options->action, Action::kVersion);
  EXPECT_EQ(ParseOptions(Args({u"--rules", u"--help"})).options->action, Action::kHelp);
}

TEST(Options, VerboseAndLanguage) {
  const auto defaults = ParseOptions(Args({u"x"}));
  ASSERT_TRUE(defaults.options);
  EXPECT_FALSE(defaults.options->verbose);
  EXPECT_EQ(defaults.options->language, Language::kChinese);

  const auto set = ParseOptions(Args({u"-bv", u"--lang", u"en", u"x"}));
  ASSERT_TRUE(set.options) << set.error;
  EXPECT_TRUE(set.options->verbose);
  EXPECT_EQ(set.options->output, OutputMode::kBrief);
  EXPECT_EQ(set.options->language, Language::kEnglish);

  const auto back = ParseOptions(Args({u"--lang=en", u"--verbose", u"--lang=zh", u"x"}));
  ASSERT_TRUE(back.options) << back.error;
  EXPECT_TRUE(back.options->verbose);
  EXPECT_EQ(back.options->language, Language::kChinese);

  const auto wrong = ParseOptions(Args({u"--lang", u"de", u"x"}));
  EXPECT_FALSE(wrong.options);
  EXPECT_EQ(wrong.error, "--lang takes zh or en");
  EXPECT_FALSE(ParseOptions(Args({u"--verbose=1", u"x"})).options);
}

TEST(PrintableNames, ControlCharactersBecomeOctalEscapes) {
  const auto printable = [](std::u16string_view name) {
    std::string out;
    AppendPrintableName(name, &out);
    return out;
  };
  EXPECT_EQ(printable(u"a\nb\rc\x1b[31m"), "a\\012b\\015c\\033[31m");
  EXPECT_EQ(printable(u"del\x7f nel\x85 nbsp\xa0"), "del\\177 nel\\302\\205 nbsp\xc2\xa0");
  EXPECT_EQ(printable(u"片名 \\ ok"), "片名 \\ ok");
  // An undecodable byte of the name passes unchanged, even one that looks like a C1 byte.
  EXPECT_EQ(printable(std::u16string(u"x") + char16_t(0xDC85)), "x\x85");
  EXPECT_EQ(printable(std::u16string(u"\0", 1)), "\\000");
}

// Forms of output that exclude each other are refused by both names, as given, in either order;
// those that go together are taken.
TEST(Options, ConflictingOutputFormsAreUsageErrorsNamingBoth) {
  const struct {
    std::vector<std::u16string> args;
    const char* error;  // null: accepted
  } cases[] = {
      {Args({u"--json", u"--brief", u"x"}), "options --json and --brief cannot be combined"},
      {Args({u"-b", u"--json", u"x"}), "options -b and --json cannot be combined"},
      {Args({u"-i", u"--json", u"x"}), "options -i and --json cannot be combined"},
      {Args({u"--json", u"--mime-type", u"x"}), "options --json and --mime-type cannot be combined"},
      {Args({u"--rules", u"--json"}), "options --rules and --json cannot be combined"},
      {Args({u"--text", u"x"}), "option --text goes with --rules"},
      {Args({u"--check-rules", u"--text"}), "option --text goes with --rules"},
      {Args({u"-i", u"--compare-rules", u"f", u"x"}),
       "options -i and --compare-rules cannot be combined"},
      {Args({u"-b", u"-i", u"-b", u"x"}), nullptr},
      {Args({u"--rules", u"--text"}), nullptr},
  };
  for (const auto& c : cases) {
    const auto parsed = ParseOptions(c.args);
    SCOPED_TRACE(platform::Utf16ToUtf8(c.args[0] + u" " + c.args[1]));
    if (c.error == nullptr) {
      EXPECT_TRUE(parsed.options) << parsed.error;
    } else {
      EXPECT_FALSE(parsed.options);
      EXPECT_EQ(parsed.error, c.error);
    }
  }
}

TEST(MimeTypes, EveryRuleAndFixedAnswerHasOne) {
  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);
  const MimeTypes types = MimeTypes::Shipped(table);
  for (int32_t r = 0; r < table.ruleCount; ++r) {
    EXPECT_TRUE(types.HasRule(r)) << "rule " << r;
  }
  CheckResult answer;
  const struct {
    const char16_t* description;
    int32_t rule;
    std::string_view type;
  } cases[] = {
      {u"零字节文件", -1, "inode/x-empty"},
      {u"文本文件", -1, "text/plain"},
      {u"未知类型", -1, "application/octet-stream"},
      {u"Windows快捷方式", -1, "application/x-ms-shortcut"},
      {u"AVI文件", 20, "video/x-msvideo"},
      // Rules that share a description get the type of their own format.
      {u"Some Media", 41, "video/mpeg"},
      {u"Some Media", 43, "audio/x-aiff"},
      // A description the data does not know, from a rule file of one's own.
      {u"自己的格式", -1, kUnknownMimeType},
  };
  for (const auto& c : cases) {
    std::char_traits<char16_t>::copy(answer.description, c.description,
                                     std::char_traits<char16_t>::length(c.description) + 1);
    answer.ruleIndex = c.rule;
    EXPECT_EQ(types.Of(answer), c.type) << platform::Utf16ToUtf8(c.description);
  }
}

TEST(EnglishDescriptions, EveryRuleAndFixedAnswerHasOne) {
  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);
  ASSERT_GT(table.ruleCount, 0);
  for (int32_t r = 0; r < table.ruleCount; ++r) {
    const std::u16string_view chinese = table.rules[r]->description;
    EXPECT_TRUE(HasEnglishDescription(chinese)) << platform::Utf16ToUtf8(chinese);
    EXPECT_EQ(DescriptionIn(Language::kChinese, chinese), chinese);
  }
  // The answers that come from no rule.
  for (const char16_t* fixed : {u"未知类型", u"零字节文件", u"Windows快捷方式", u"下载临时文件",
                                u"Cindra缓存文件", u"文本文件"}) {
    EXPECT_TRUE(HasEnglishDescription(fixed)) << platform::Utf16ToUtf8(fixed);
  }
  EXPECT_EQ(DescriptionIn(Language::kEnglish, u"AVI文件"), u"AVI file");
  EXPECT_EQ(DescriptionIn(Language::kEnglish, u"no such text"), u"no such text");
}

#ifndef _WIN32
TEST(Options, StorePathKeepsItsValueExactly) {
  const auto parsed = ParseOptions(Args({u"--store-path", u" D:\\Cache\\ ", u"x"}));
  ASSERT_TRUE(parsed.options);
  EXPECT_EQ(parsed.options->storePath, u" D:\\Cache\\ ");
  EXPECT_FALSE(ParseOptions(Args({u"x"})).options->storePath.has_value());
}
#endif

// A list file on disk, read back through a stdio stream.
class TempStream {
 public:
  explicit TempStream(const std::string& bytes) {
    static int counter = 0;
    path_ = std::filesystem::temp_directory_path() /
            ("kindprobe-list-" + std::to_string(reinterpret_cast<uintptr_t>(this)) + "-" +
             std::to_string(++counter));
    std::ofstream(path_, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    int error = 0;
    file = platform::OpenListFile(path_.u16string(), &error);
  }
  ~TempStream() {
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(path_, ignored);
  }
  platform::FilePtr file;

 private:
  std::filesystem::path path_;
};

std::vector<std::u16string> ReadAll(const std::string& bytes, bool nul) {
  TempStream stream(bytes);
  EXPECT_TRUE(stream.file);
  if (!stream.file) return {};
  ListReader reader(stream.file.get(), nul);
  std::vector<std::u16string> out;
  for (std::u16string path; reader.Next(&path);) out.push_back(path);
  EXPECT_FALSE(reader.failed());
  return out;
}

TEST(ListReading, LinesSkipBlanksAndKeepTheLastUnterminatedEntry) {
  EXPECT_EQ(ReadAll("a\n\nb c\nlast", false), Args({u"a", u"b c", u"last"}));
  EXPECT_EQ(ReadAll("", false), Args({}));
  EXPECT_EQ(ReadAll("\n\n", false), Args({}));
}

TEST(ListReading, NulSeparatedEntriesMayHoldLineEnds) {
  EXPECT_EQ(ReadAll(std::string("a\nb\0c\0", 6), true), Args({u"a\nb", u"c"}));
}

TEST(ListReading, UndecodableBytesAreKept) {
  const auto entries = ReadAll("x\xff\n", false);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0], std::u16string(u"x\xDCFF"));
}

TEST(ListReading, EntriesLongerThanOneReadAndAcrossReadBoundaries) {
  // As long as an entry may be: longer than one read.
  const std::string longName(kMaxListEntryBytes, 'n');
  std::string bytes = longName + "\n";
  std::vector<std::u16string> expected = {std::u16string(longName.begin(), longName.end())};
  for (int i = 0; i < 30000; ++i) {
    // Appended piece by piece: "p" + std::to_string(i) trips a false -Wrestrict in 32-bit GCC 12.
    std::string name = "p";
    name += std::to_string(i);
    bytes += name;
    bytes += '\n';
    expected.emplace_back(name.begin(), name.end());
  }
  EXPECT_EQ(ReadAll(bytes, false), expected);
}

TEST(ListReading, OneCrBeforeTheLineEndIsDroppedInLineModeOnly) {
  EXPECT_EQ(ReadAll("a\r\nb\r\r\nc\r", false), Args({u"a", u"b\r", u"c"}));
  EXPECT_EQ(ReadAll(std::string("a\r\0", 3), true), Args({u"a\r"}));
}

TEST(ListReading, OverlongEntriesAreCountedAndSkipped) {
  const std::string bytes = std::string(kMaxListEntryBytes + 1, 'x') + "\nkept\n" +
                            std::string(3 * kMaxListEntryBytes, 'y');
  TempStream stream(bytes);
  ASSERT_TRUE(stream.file);
  ListReader reader(stream.file.get(), false);
  std::u16string path;
  ASSERT_TRUE(reader.Next(&path));
  EXPECT_EQ(path, u"kept");
  EXPECT_FALSE(reader.Next(&path));
  EXPECT_EQ(reader.tooLong(), 2u);
  EXPECT_FALSE(reader.failed());
}

TEST(Descriptors, ThreadsAreSizedToTheOpenFileLimit) {
  EXPECT_EQ(JobsWithinDescriptorLimit(256, std::nullopt), 256u);
  EXPECT_EQ(JobsWithinDescriptorLimit(256, 16), 1u);
  EXPECT_EQ(JobsWithinDescriptorLimit(256, 0), 1u);
  EXPECT_EQ(JobsWithinDescriptorLimit(256, 64), 8u);
  EXPECT_EQ(JobsWithinDescriptorLimit(2, 1024), 2u);
  EXPECT_EQ(JobsWithinDescriptorLimit(256, 1024), 168u);
}

// The walk through the platform's directories, the same on every system.
TEST(Walking, TreesComeInNameOrderAndFilesOpenFromTheirDirectory) {
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("kindprobe-walk-" + std::to_string(reinterpret_cast<uintptr_t>(&root)));
  std::filesystem::create_directories(root / "b" / "deeper");
  for (const char* name : {"a.txt", "b/inner.txt", "b/deeper/z.txt", "c.txt"}) {
    std::ofstream(root / name, std::ios::binary) << "text";
  }
  std::vector<std::u16string> arguments = {root.u16string(), (root / "missing").u16string()};
  PathSource source(arguments, nullptr, {true, false});
  std::vector<std::u16string> paths;
  std::vector<bool> opened;
  for (PathItem item; source.Next(&item);) {
    paths.push_back(item.path);
    platform::OpenStatus status;
    const platform::File file =
        item.parent ? item.parent->OpenFile(item.name, false, &status, item.listedAs)
                    : platform::File::OpenForReading(item.path.c_str(), &status);
    opened.push_back(file.IsOpen());
    // Files met while walking are known from the listing, and need no look before opening.
    if (item.parent) {
      EXPECT_EQ(item.listedAs, platform::EntryKind::kRegularFile);
    }
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
  const auto join = [&](std::initializer_list<std::u16string> parts) {
    std::u16string path = root.u16string();
    for (const std::u16string& part : parts) path = JoinPath(path, part);
    return path;
  };
  EXPECT_EQ(paths, (std::vector<std::u16string>{join({u"a.txt"}), join({u"b", u"deeper", u"z.txt"}),
                                                join({u"b", u"inner.txt"}), join({u"c.txt"}),
                                                (root / "missing").u16string()}));
  EXPECT_EQ(opened, (std::vector<bool>{true, true, true, true, false}));
}

// Named paths that share a directory: the first goes by its whole path, the next through the
// directory, and once enough have come, the directory's listing says what each is.
TEST(Walking, NamedPathsSharingADirectoryOpenThroughItsListing) {
  if (!platform::kOpenListedPathsThroughDirectory) GTEST_SKIP() << "whole paths here";
  const std::filesystem::path root =
      std::filesystem::temp_directory_path() /
      ("kindprobe-named-" + std::to_string(reinterpret_cast<uintptr_t>(&root)));
  std::filesystem::create_directories(root / "sub");
  std::vector<std::u16string> arguments;
  for (int i = 0; i < 40; ++i) {
    const std::string name = "f" + std::to_string(10 + i) + ".txt";
    std::ofstream(root / name, std::ios::binary) << "text";
    arguments.push_back((root / name).u16string());
  }
  for (const char* name : {"sub", "missing", "sub/"}) arguments.push_back((root / name).u16string());
  PathSource source(arguments, nullptr, {false, false});
  std::vector<PathItem> items;
  for (PathItem item; source.Next(&item);) items.push_back(item);
  ASSERT_EQ(items.size(), arguments.size());
  EXPECT_EQ(items[0].parent, nullptr);
  EXPECT_NE(items[1].parent, nullptr);
  EXPECT_EQ(items[39].listedAs, platform::EntryKind::kRegularFile);
  EXPECT_EQ(items[40].listedAs, platform::EntryKind::kDirectory);
  EXPECT_EQ(items[41].listedAs, platform::EntryKind::kOther);
  EXPECT_EQ(items[42].parent, nullptr);  // names a directory, not an entry of one
  // Through the directory or by the whole path, each opens or fails alike.
  for (const PathItem& item : items) {
    platform::OpenStatus through;
    platform::OpenStatus whole;
    const platform::File viaDirectory =
        item.parent ? item.parent->OpenFile(item.name, true, &through, item.listedAs)
                    : platform::File::OpenForReading(item.path.c_str(), &through);
    const platform::File viaPath = platform::File::OpenForReading(item.path.c_str(), &whole);
    EXPECT_EQ(viaDirectory.IsOpen(), viaPath.IsOpen());
    EXPECT_EQ(through.reason, whole.reason);
    EXPECT_EQ(through.code, whole.code);
  }
  std::error_code ignored;
  std::filesystem::remove_all(root, ignored);
}

TEST(Paths, JoiningAddsOneSeparator) {
  EXPECT_EQ(JoinPath(u"dir", u"f"), std::u16string(u"dir") + platform::PreferredSeparator() + u"f");
  EXPECT_EQ(JoinPath(u"/", u"f"), u"/f");
}

// Paths that cannot be opened classify fast and alike, so the line tells which path it was.
std::vector<std::string> ClassifyMissing(uint32_t threads, size_t ringSize, size_t count,
                                         size_t* notExamined) {
  ResultWriter writer(OutputMode::kText, Language::kChinese);
  OrderedClassifier classifier(threads, writer, ringSize);
  size_t next = 0;
  std::vector<std::string> lines;
  uint64_t lastDone = 0;
  OrderedClassifier::Io io;
  // Every third path "may wait": before it is read, every earlier line must have been handed
  // on and flushed.
  bool mayWait = false;
  size_t flushedLines = 0;
  io.nextIsReady = [&] { return !(mayWait = next % 3 == 2); };
  io.flush = [&] { flushedLines = lines.size(); };
  io.next = [&](PathItem* item) {
    if (mayWait) {
      EXPECT_EQ(lines.size(), next);
      EXPECT_EQ(flushedLines, next);
    }
    mayWait = false;
    if (next == count) return false;
    *item = PathItem{};
    item->path = u"/nonexistent/kindprobe/" + platform::Utf8ToUtf16(std::to_string(next++));
    return true;
  };
  io.handOn = [&](const OrderedClassifier::Finished& finished) {
    EXPECT_EQ(finished.done, lastDone + 1);
    lastDone = finished.done;
    lines.emplace_back(finished.line);
    return true;
  };
  *notExamined = classifier.Run(io).notExamined;
  return lines;
}

TEST(OrderedClassification, LinesComeInSourceOrderWhateverTheThreadsAndRing) {
  for (uint32_t threads : {1u, 2u, 5u}) {
    for (size_t ring : {1u, 3u, 64u}) {
      size_t notExamined = 0;
      const auto lines = ClassifyMissing(threads, ring, 500, &notExamined);
      ASSERT_EQ(lines.size(), 500u);
      EXPECT_EQ(notExamined, 500u);
      for (size_t i = 0; i < lines.size(); ++i) {
        ASSERT_EQ(lines[i],
                  "/nonexistent/kindprobe/" + std::to_string(i) + ": 未知类型 (TypeID 0)\n")
            << threads << " threads, ring " << ring;
      }
    }
  }
}

TEST(OrderedClassification, AnEmptySourceGivesNoLines) {
  size_t notExamined = 1;
  EXPECT_TRUE(ClassifyMissing(3, 8, 0, &notExamined).empty());
  EXPECT_EQ(notExamined, 0u);
}

}  // namespace
}  // namespace kindprobe::cli
