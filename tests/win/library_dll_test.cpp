// kindprobe-1.dll through its import library, as a Windows program uses it: UTF-8 and wide
// paths, the whole report, the player's cache setting from the registry, and the descriptor
// check that Windows refuses.
#include <windows.h>

#include <gtest/gtest.h>
#include <kindprobe/kindprobe.h>

#include <cerrno>
#include <memory>
#include <string>
#include <vector>

#include "store_path_value.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

struct CheckerFree {
  void operator()(kindprobe_checker* checker) const { kindprobe_checker_free(checker); }
};
using Checker = std::unique_ptr<kindprobe_checker, CheckerFree>;

// Whole: the RIFF header declares the file's 16 bytes; cut: it declares 4096.
const std::vector<uint8_t> kAvi = {'R', 'I', 'F', 'F', 8, 0, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};
const std::vector<uint8_t> kCutAvi = {'R', 'I', 'F', 'F', 0xF8, 0x0F, 0, 0, 'A', 'V', 'I', ' ', 'L', 'I', 'S', 'T'};

std::string Utf8(const std::wstring& text) {
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, bytes.data(), size, nullptr, nullptr);
  bytes.resize(static_cast<size_t>(size - 1));
  return bytes;
}

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

// The same file checked by its UTF-8 name and by its wide one must give the same report.
enum class PathKind { kUtf8, kWide };

int CheckBy(PathKind kind, kindprobe_checker* checker, const std::wstring& path, kindprobe_result* result) {
  return kind == PathKind::kWide ? kindprobe_check_w(checker, path.c_str(), result)
                                 : kindprobe_check(checker, Utf8(path).c_str(), result);
}

TEST(LibraryDll, ReportsByUtf8AndWidePaths) {
  TestDirectory dir;
  struct Case {
    std::wstring path;
    int language;
    int type;
    std::string description;
    int examined;
    std::string reasons;
  };
  const std::vector<Case> cases = {
      {dir.Write(L"片段.avi", kAvi), KINDPROBE_LANG_ZH, 4, "AVI文件", 1, ""},
      {dir.Write(L"clip.txt", kAvi), KINDPROBE_LANG_EN, 4, "AVI file", 1,
       "renamed: the extension .txt belongs to \"text file\", but the content is \"AVI file\"\n"},
      {dir.Write(L"剪切.avi", kCutAvi), KINDPROBE_LANG_EN, 4, "AVI file", 1,
       "truncated: the RIFF header declares 4096 bytes, the file has 16\n"},
      {dir.Write(L"空.avi", {}), KINDPROBE_LANG_ZH, 3, "零字节文件", 1, ""},
      {dir.path() + L"\\没有.avi", KINDPROBE_LANG_EN, 0, "unknown type", 0, ""},
  };
  const Checker checker(kindprobe_checker_new());
  ASSERT_TRUE(checker);
  ASSERT_EQ(kindprobe_set_explain(checker.get(), 1), 0);
  for (PathKind kind : {PathKind::kUtf8, PathKind::kWide}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(Utf8(c.path) + (kind == PathKind::kWide ? " (wide)" : " (UTF-8)"));
      ASSERT_EQ(kindprobe_set_language(checker.get(), c.language), 0);
      kindprobe_result result{};
      ASSERT_EQ(CheckBy(kind, checker.get(), c.path, &result), 0);
      EXPECT_EQ(result.type_id, c.type);
      EXPECT_EQ(Text(result.description), c.description);
      EXPECT_EQ(result.examined, c.examined);
      EXPECT_EQ(kindprobe_report_error(checker.get()), c.examined ? 0 : ERROR_FILE_NOT_FOUND);
      EXPECT_EQ(Reasons(checker.get()), c.reasons);
    }
  }
}

TEST(LibraryDll, RulesFileByEitherPath) {
  TestDirectory dir;
  // UTF-8 with a byte-order mark: one rule for content that starts with "FOO!".
  const std::string rule = "\xEF\xBB\xBF.foo;2;\xE6\xB5\x8B\xE8\xAF\x95\xE6\x96\x87\xE4\xBB\xB6;0,4,,464F4F21\r\n";
  const std::wstring rules = dir.Write(L"规则.txt", std::vector<uint8_t>(rule.begin(), rule.end()));
  const std::wstring foo = dir.Write(L"a.bin", {'F', 'O', 'O', '!', 0, 0, 0, 0});
  const Checker checker(kindprobe_checker_new());
  for (PathKind kind : {PathKind::kUtf8, PathKind::kWide}) {
    SCOPED_TRACE(kind == PathKind::kWide ? "wide" : "UTF-8");
    ASSERT_EQ(kind == PathKind::kWide ? kindprobe_set_rules_file_w(checker.get(), rules.c_str())
                                      : kindprobe_set_rules_file(checker.get(), Utf8(rules).c_str()),
              0);
    kindprobe_result result{};
    ASSERT_EQ(kindprobe_check_w(checker.get(), foo.c_str(), &result), 0);
    EXPECT_EQ(result.type_id, 2);
    EXPECT_EQ(Text(result.description), "测试文件");
    ASSERT_EQ(kindprobe_set_rules_file_w(checker.get(), nullptr), 0);
    ASSERT_EQ(kindprobe_check_w(checker.get(), foo.c_str(), &result), 0);
    EXPECT_EQ(result.type_id, 0);
  }
  EXPECT_EQ(kindprobe_set_rules_file_w(checker.get(), (dir.path() + L"\\没有.txt").c_str()),
            -ERROR_FILE_NOT_FOUND);
}

TEST(LibraryDll, RefusedArguments) {
  const Checker checker(kindprobe_checker_new());
  kindprobe_result result{};
  const struct {
    const char* call;
    int status;
    int expected;
  } cases[] = {
      {"check_w, no checker", kindprobe_check_w(nullptr, L"a.avi", &result), -EINVAL},
      {"check_w, no path", kindprobe_check_w(checker.get(), nullptr, &result), -EINVAL},
      {"check_w, no result", kindprobe_check_w(checker.get(), L"a.avi", nullptr), -EINVAL},
      {"set_rules_file_w, no checker", kindprobe_set_rules_file_w(nullptr, nullptr), -EINVAL},
      // A C runtime descriptor may be another runtime's: refused, and said so.
      {"check_fd", kindprobe_check_fd(checker.get(), 0, "a.avi", &result), -ENOSYS},
      {"check_fd, no checker", kindprobe_check_fd(nullptr, 0, "a.avi", &result), -EINVAL},
  };
  for (const auto& c : cases) EXPECT_EQ(c.status, c.expected) << c.call;
}

TEST(LibraryDll, PlayerCacheFromTheRegistryValue) {
  TestDirectory dir;
  const std::wstring store = dir.MakeDirectory(L"播放器\\Store");
  const std::wstring cached = dir.Write(L"播放器\\Store\\VODCache\\片段0001.dat", UnknownBytes());
  const Checker checker(kindprobe_checker_new());
  kindprobe_result result{};
  ASSERT_EQ(kindprobe_check_w(checker.get(), cached.c_str(), &result), 0);
  EXPECT_EQ(result.type_id, KINDPROBE_TYPE_UNKNOWN);
  {
    // Read at each check, as the component reads it: no new checker needed.
    const StorePathValue value(store);
    ASSERT_TRUE(value.ok());
    ASSERT_EQ(kindprobe_check_w(checker.get(), cached.c_str(), &result), 0);
    EXPECT_EQ(result.type_id, KINDPROBE_TYPE_PLAYER_CACHE);
    EXPECT_EQ(Text(result.description), "Cindra缓存文件");
  }
  ASSERT_EQ(kindprobe_check(checker.get(), Utf8(cached).c_str(), &result), 0);
  EXPECT_EQ(result.type_id, KINDPROBE_TYPE_UNKNOWN);
}

}  // namespace
}  // namespace kindprobe::wintest
