// libkindprobe's C interface: results, arguments, names in any bytes, lifetimes and threads.
#include <gtest/gtest.h>
#include <kindprobe/kindprobe.h>
#include <kindprobe/version.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "temp_dir.h"

namespace {

using kindprobe::testsupport::TempDir;

const std::string kAviHeader("RIFF\x10\0\0\0AVI LIST", 16);

struct CheckerFree {
  void operator()(kindprobe_checker* checker) const { kindprobe_checker_free(checker); }
};
using Checker = std::unique_ptr<kindprobe_checker, CheckerFree>;

Checker NewChecker() { return Checker(kindprobe_checker_new()); }

kindprobe_result Check(kindprobe_checker* checker, const std::string& path) {
  kindprobe_result result{};
  EXPECT_EQ(kindprobe_check(checker, path.c_str(), &result), 0) << path;
  return result;
}

TEST(LibraryInterface, VersionAndBadArguments) {
  EXPECT_STREQ(kindprobe_version(), KINDPROBE_VERSION_TEXT);
  EXPECT_STREQ(kindprobe_version(), "1.1.0.0");
  // The header's numbers are those of the text, which has a fourth after them.
  const std::string numbers = std::to_string(KINDPROBE_VERSION_MAJOR) + "." +
                              std::to_string(KINDPROBE_VERSION_MINOR) + "." +
                              std::to_string(KINDPROBE_VERSION_PATCH) + ".";
  EXPECT_EQ(std::string(kindprobe_version()).rfind(numbers, 0), 0u);
  const Checker checker = NewChecker();
  ASSERT_NE(checker, nullptr);
  kindprobe_result result{};
  EXPECT_EQ(kindprobe_check(nullptr, "x", &result), -EINVAL);
  EXPECT_EQ(kindprobe_check(checker.get(), nullptr, &result), -EINVAL);
  EXPECT_EQ(kindprobe_check(checker.get(), "x", nullptr), -EINVAL);
  kindprobe_checker_free(nullptr);
}

TEST(LibraryInterface, EachKindOfAnswer) {
  TempDir dir;
  const Checker checker = NewChecker();
  ASSERT_NE(checker, nullptr);

  const auto avi = Check(checker.get(), dir.Write("clip.txt", kAviHeader).string());
  EXPECT_EQ(avi.type_id, KINDPROBE_TYPE_INVALID_MEDIA);
  EXPECT_STREQ(avi.type_name, "InvalidMedia");
  EXPECT_STREQ(avi.description, "AVI文件");
  EXPECT_GE(avi.rule, 0);
  EXPECT_EQ(avi.examined, 1);

  const auto empty = Check(checker.get(), dir.Write("empty.mkv", "").string());
  EXPECT_EQ(empty.type_id, KINDPROBE_TYPE_ZERO_BYTE);
  EXPECT_STREQ(empty.type_name, "ZeroByte");
  EXPECT_STREQ(empty.description, "零字节文件");
  EXPECT_EQ(empty.rule, -1);

  const auto text = Check(checker.get(), dir.Write("notes", "just words\n").string());
  EXPECT_EQ(text.type_id, KINDPROBE_TYPE_NON_MEDIA);
  EXPECT_STREQ(text.type_name, "NonMedia");
  EXPECT_STREQ(text.description, "文本文件");

  // A file that cannot be opened is a result too, and is not "examined".
  for (const std::string& path : {(dir.path() / "missing.avi").string(), dir.path().string()}) {
    const auto none = Check(checker.get(), path);
    EXPECT_EQ(none.type_id, KINDPROBE_TYPE_UNKNOWN) << path;
    EXPECT_STREQ(none.type_name, "Unknown");
    EXPECT_STREQ(none.description, "未知类型");
    EXPECT_EQ(none.rule, -1);
    EXPECT_EQ(none.examined, 0);
  }
}

TEST(LibraryInterface, NamesThatAreNotUtf8ReachTheirFile) {
  TempDir dir;
  const auto path = dir.Write("\xff\xfe-\xe4\xb8.avi", kAviHeader);
  const Checker checker = NewChecker();
  const auto result = Check(checker.get(), path.string());
  EXPECT_EQ(result.examined, 1);
  EXPECT_EQ(result.type_id, KINDPROBE_TYPE_INVALID_MEDIA);
}

TEST(LibraryInterface, ADescriptionLastsUntilItsCheckersNextCheck) {
  TempDir dir;
  const auto avi = dir.Write("a.avi", kAviHeader).string();
  const auto text = dir.Write("b.txt", "words").string();
  const Checker first = NewChecker();
  const Checker second = NewChecker();
  const auto kept = Check(first.get(), avi);
  // Another checker's work leaves it alone.
  Check(second.get(), text);
  EXPECT_STREQ(kept.description, "AVI文件");
  const auto next = Check(first.get(), text);
  EXPECT_STREQ(next.description, "文本文件");
}

TEST(LibraryInterface, CheckersOnManyThreadsAtOnce) {
  TempDir dir;
  const auto avi = dir.Write("a.avi", kAviHeader).string();
  const auto text = dir.Write("b.txt", "words").string();
  std::vector<int> wrong(4, 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < wrong.size(); ++t) {
    threads.emplace_back([&, t] {
      const Checker checker = NewChecker();
      for (int i = 0; i < 300; ++i) {
        kindprobe_result result{};
        const bool isAvi = (i + static_cast<int>(t)) % 2 == 0;
        const int status = kindprobe_check(checker.get(), (isAvi ? avi : text).c_str(), &result);
        const std::string expected = isAvi ? "AVI文件" : "文本文件";
        if (status != 0 || result.description != expected) ++wrong[t];
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int count : wrong) EXPECT_EQ(count, 0);
}

TEST(LibraryInterface, CacheFilesFromTheEnvironmentWithoutWritingToTheHostsOutput) {
  std::filesystem::create_directories(std::filesystem::path(KINDPROBE_TEST_STORE) / "VODCache");
  const std::filesystem::path cache =
      std::filesystem::path(KINDPROBE_TEST_STORE) / "VODCache" / "part.dat";
  std::ofstream(cache, std::ios::binary) << std::string("\0\1\2\3", 4);
  const char* store = std::getenv("KINDPROBE_STORE_PATH");
  if (store == nullptr || std::string(store) != KINDPROBE_TEST_STORE) {
    GTEST_SKIP() << "run through ctest, which sets KINDPROBE_STORE_PATH";
  }
  const Checker checker = NewChecker();
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const auto result = Check(checker.get(), cache.string());
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(result.type_id, KINDPROBE_TYPE_PLAYER_CACHE);
  EXPECT_STREQ(result.type_name, "PlayerCache");
  EXPECT_STREQ(result.description, "Cindra缓存文件");
  EXPECT_EQ(out, "");
  EXPECT_EQ(err, "");
}

}  // namespace
