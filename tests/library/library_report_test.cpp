// libkindprobe 1.1: checker settings, descriptors, the report of a check, and a checker refused
// to a second thread while one uses it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <kindprobe/kindprobe.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "temp_dir.h"

namespace {

using kindprobe::testsupport::TempDir;

// Whole: the RIFF header declares the file's 16 bytes.
const std::string kAviHeader("RIFF\x08\0\0\0AVI LIST", 16);
// Cut: it declares 4096.
const std::string kCutAvi("RIFF\xF8\x0F\0\0AVI LIST", 16);
// UTF-8 with a byte-order mark: one rule for content that starts with "FOO!".
const std::string kRuleFile("\xEF\xBB\xBF.foo;2;\xE6\xB5\x8B\xE8\xAF\x95\xE6\x96\x87\xE4\xBB\xB6;0,4,,464F4F21\r\n");

struct CheckerFree {
  void operator()(kindprobe_checker* checker) const { kindprobe_checker_free(checker); }
};
using Checker = std::unique_ptr<kindprobe_checker, CheckerFree>;

struct Fd {
  int fd;
  ~Fd() {
    if (fd >= 0) ::close(fd);
  }
};

std::string Text(const char* text) { return text != nullptr ? text : "(null)"; }

// Every reason of the report as "code: detail" lines.
std::string Reasons(kindprobe_checker* checker) {
  std::string lines;
  for (int i = 0; i < kindprobe_report_reason_count(checker); ++i) {
    lines += Text(kindprobe_report_reason_code(checker, i)) + ": " +
             Text(kindprobe_report_reason_detail(checker, i)) + "\n";
  }
  return lines;
}

TEST(LibraryReport, WholeAnswerInEitherLanguage) {
  TempDir dir;
  const auto avi = dir.Write("clip.avi", kAviHeader).string();
  const auto renamed = dir.Write("clip.txt", kAviHeader).string();
  const auto cut = dir.Write("cut.avi", kCutAvi).string();
  const auto missing = (dir.path() / "missing.avi").string();
  const auto folder = dir.MakeDirectory("folder.avi").string();
  struct Case {
    std::string path;
    int language;
    int explain;
    int type;
    std::string description;
    int examined;
    int error;
    std::string errorText;
    std::string reasons;
  };
  const std::vector<Case> cases = {
      {avi, KINDPROBE_LANG_ZH, 1, 4, "AVI文件", 1, 0, "", ""},
      {avi, KINDPROBE_LANG_EN, 1, 4, "AVI file", 1, 0, "", ""},
      {renamed, KINDPROBE_LANG_EN, 1, 4, "AVI file", 1, 0, "",
       "renamed: the extension .txt belongs to \"text file\", but the content is \"AVI file\"\n"},
      {renamed, KINDPROBE_LANG_ZH, 1, 4, "AVI文件", 1, 0, "",
       "renamed: 扩展名.txt属于“文本文件”，内容却是“AVI文件”\n"},
      // Without explain there are no reasons.
      {renamed, KINDPROBE_LANG_EN, 0, 4, "AVI file", 1, 0, "", ""},
      {cut, KINDPROBE_LANG_EN, 1, 4, "AVI file", 1, 0, "",
       "truncated: the RIFF header declares 4096 bytes, the file has 16\n"},
      {missing, KINDPROBE_LANG_EN, 1, 0, "unknown type", 0, ENOENT,
       "cannot open (No such file or directory)", ""},
      {folder, KINDPROBE_LANG_ZH, 0, 0, "未知类型", 0, EISDIR, "is a directory (use -r)", ""},
  };
  const Checker checker(kindprobe_checker_new());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path + " language " + std::to_string(c.language));
    ASSERT_EQ(kindprobe_set_language(checker.get(), c.language), 0);
    ASSERT_EQ(kindprobe_set_explain(checker.get(), c.explain), 0);
    kindprobe_result result{};
    ASSERT_EQ(kindprobe_check(checker.get(), c.path.c_str(), &result), 0);
    EXPECT_EQ(Text(result.description), c.description);
    EXPECT_EQ(kindprobe_report_type_id(checker.get()), c.type);
    EXPECT_EQ(Text(kindprobe_report_type_name(checker.get())), Text(result.type_name));
    EXPECT_EQ(Text(kindprobe_report_description(checker.get())), c.description);
    EXPECT_EQ(kindprobe_report_rule(checker.get()), result.rule);
    EXPECT_EQ(kindprobe_report_examined(checker.get()), c.examined);
    EXPECT_EQ(kindprobe_report_error(checker.get()), c.error);
    EXPECT_EQ(Text(kindprobe_report_error_text(checker.get())), c.errorText);
    EXPECT_EQ(Reasons(checker.get()), c.reasons);
  }
}

TEST(LibraryReport, RefusedArgumentsAndIndexes) {
  const Checker checker(kindprobe_checker_new());
  EXPECT_EQ(kindprobe_set_language(checker.get(), 2), -EINVAL);
  EXPECT_EQ(kindprobe_set_language(checker.get(), -1), -EINVAL);
  for (int status : {kindprobe_set_language(nullptr, KINDPROBE_LANG_EN), kindprobe_set_explain(nullptr, 1),
                     kindprobe_set_rules_file(nullptr, nullptr), kindprobe_check_fd(nullptr, 0, "x", nullptr),
                     kindprobe_report_type_id(nullptr), kindprobe_report_rule(nullptr),
                     kindprobe_report_examined(nullptr), kindprobe_report_error(nullptr),
                     kindprobe_report_reason_count(nullptr), kindprobe_report_stream_count(nullptr)}) {
    EXPECT_EQ(status, -EINVAL);
  }
  EXPECT_EQ(kindprobe_report_description(nullptr), nullptr);
  // Before any check: an unexamined Unknown with nothing in its lists.
  EXPECT_EQ(Text(kindprobe_report_description(checker.get())), "未知类型");
  EXPECT_EQ(kindprobe_report_examined(checker.get()), 0);
  EXPECT_EQ(kindprobe_report_rule(checker.get()), -1);
  for (int index : {-1, 0, 1}) {
    EXPECT_EQ(kindprobe_report_reason_code(checker.get(), index), nullptr);
    EXPECT_EQ(kindprobe_report_reason_detail(checker.get(), index), nullptr);
    EXPECT_EQ(kindprobe_report_stream_kind(checker.get(), index), nullptr);
    EXPECT_EQ(kindprobe_report_stream_codec(checker.get(), index), nullptr);
    EXPECT_EQ(kindprobe_report_stream_tag(checker.get(), index), nullptr);
  }
}

TEST(LibraryReport, DescriptorsJudgedByTheNameGivenAndLeftAsTheyWere) {
  TempDir dir;
  const auto avi = dir.Write("clip.avi", kAviHeader);
  const Checker checker(kindprobe_checker_new());
  ASSERT_EQ(kindprobe_set_explain(checker.get(), 1), 0);
  const Fd file{::open(avi.c_str(), O_RDONLY)};
  ASSERT_GE(file.fd, 0);
  ASSERT_EQ(::lseek(file.fd, 5, SEEK_SET), 5);
  for (const char* name : {"download.txt", "clip.avi", static_cast<const char*>(nullptr)}) {
    kindprobe_result result{};
    ASSERT_EQ(kindprobe_check_fd(checker.get(), file.fd, name, &result), 0);
    EXPECT_EQ(result.type_id, KINDPROBE_TYPE_INVALID_MEDIA) << Text(name);
    EXPECT_EQ(result.examined, 1);
    EXPECT_EQ(kindprobe_report_reason_count(checker.get()), Text(name) == "download.txt" ? 1 : 0)
        << Text(name);
  }
  // Still open, and where it was.
  EXPECT_EQ(::lseek(file.fd, 0, SEEK_CUR), 5);
  EXPECT_EQ(kindprobe_check_fd(checker.get(), file.fd, "x", nullptr), 0);

  int pipeEnds[2];
  ASSERT_EQ(::pipe(pipeEnds), 0);
  const Fd readEnd{pipeEnds[0]};
  const Fd writeEnd{pipeEnds[1]};
  const Fd writeOnly{::open(avi.c_str(), O_WRONLY)};
  struct Refused {
    int fd;
    int error;
  };
  for (const Refused& refused : {Refused{readEnd.fd, ENODEV}, Refused{writeOnly.fd, EBADF}, Refused{-1, EBADF}}) {
    kindprobe_result result{};
    ASSERT_EQ(kindprobe_check_fd(checker.get(), refused.fd, "x.avi", &result), 0);
    EXPECT_EQ(result.examined, 0) << refused.fd;
    EXPECT_EQ(kindprobe_report_error(checker.get()), refused.error) << refused.fd;
  }
}

TEST(LibraryReport, RuleFilesReadAsTheCommandReadsThem) {
  TempDir dir;
  const auto foo = dir.Write("x.bin", std::string("FOO!\x01", 5)).string();
  const auto rules = dir.Write("rules.txt", kRuleFile).string();
  const auto utf16 = dir.Write("utf16.txt", std::string("\xFF\xFE.\0f\0", 6)).string();
  const auto missing = (dir.path() / "none.txt").string();
  const Checker checker(kindprobe_checker_new());
  const auto description = [&] {
    kindprobe_result result{};
    EXPECT_EQ(kindprobe_check(checker.get(), foo.c_str(), &result), 0);
    return Text(result.description);
  };
  EXPECT_EQ(description(), "未知类型");
  ASSERT_EQ(kindprobe_set_rules_file(checker.get(), rules.c_str()), 0);
  EXPECT_EQ(description(), "测试文件");
  // A file that cannot be used leaves the table in use.
  EXPECT_EQ(kindprobe_set_rules_file(checker.get(), missing.c_str()), -ENOENT);
  EXPECT_EQ(kindprobe_set_rules_file(checker.get(), utf16.c_str()), -EILSEQ);
  EXPECT_EQ(description(), "测试文件");
  ASSERT_EQ(kindprobe_set_explain(checker.get(), 1), 0);
  EXPECT_EQ(description(), "测试文件");
  ASSERT_EQ(kindprobe_set_rules_file(checker.get(), nullptr), 0);
  EXPECT_EQ(description(), "未知类型");
}

// A thread holds the checker while it waits in opening a FIFO as its rule file, for as long as
// this test wants: every call from another thread meanwhile is refused, none waits.
TEST(LibraryThreads, ASecondThreadIsRefusedAndTheCheckerWorksAfterwards) {
  TempDir dir;
  const auto fifo = (dir.path() / "rules.fifo").string();
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const auto foo = dir.Write("x.bin", std::string("FOO!\x01", 5)).string();
  const Checker checker(kindprobe_checker_new());
  int loaded = -1;
  std::thread holder([&] {
    // Until it is this thread that holds the checker, not the polling below.
    while ((loaded = kindprobe_set_rules_file(checker.get(), fifo.c_str())) == -EBUSY) {
    }
  });
  while (kindprobe_report_type_id(checker.get()) != -EBUSY) std::this_thread::yield();

  kindprobe_result result{};
  const int refused[] = {kindprobe_check(checker.get(), foo.c_str(), &result),
                         kindprobe_check_fd(checker.get(), 0, "x", &result),
                         kindprobe_set_language(checker.get(), KINDPROBE_LANG_EN),
                         kindprobe_set_explain(checker.get(), 1),
                         kindprobe_set_rules_file(checker.get(), nullptr),
                         kindprobe_report_rule(checker.get()),
                         kindprobe_report_examined(checker.get()),
                         kindprobe_report_error(checker.get()),
                         kindprobe_report_reason_count(checker.get()),
                         kindprobe_report_stream_count(checker.get())};
  for (int status : refused) EXPECT_EQ(status, -EBUSY);
  EXPECT_EQ(kindprobe_report_description(checker.get()), nullptr);
  EXPECT_EQ(kindprobe_report_type_name(checker.get()), nullptr);

  {
    const Fd writer{::open(fifo.c_str(), O_WRONLY)};
    ASSERT_GE(writer.fd, 0);
    ASSERT_EQ(::write(writer.fd, kRuleFile.data(), kRuleFile.size()),
              static_cast<ssize_t>(kRuleFile.size()));
  }
  holder.join();
  EXPECT_EQ(loaded, 0);
  ASSERT_EQ(kindprobe_check(checker.get(), foo.c_str(), &result), 0);
  EXPECT_STREQ(result.description, "测试文件");
}

// Handing a checker from thread to thread between calls is allowed.
TEST(LibraryThreads, ACheckerHandedOnBetweenCalls) {
  TempDir dir;
  const auto avi = dir.Write("a.avi", kAviHeader).string();
  const Checker checker(kindprobe_checker_new());
  for (int language : {KINDPROBE_LANG_EN, KINDPROBE_LANG_ZH, KINDPROBE_LANG_EN}) {
    std::string description;
    std::thread([&] {
      kindprobe_set_language(checker.get(), language);
      kindprobe_result result{};
      if (kindprobe_check(checker.get(), avi.c_str(), &result) == 0) description = result.description;
    }).join();
    EXPECT_EQ(description, language == KINDPROBE_LANG_EN ? "AVI file" : "AVI文件");
  }
}

}  // namespace
