// Classification of real files, from the path to the TypeID and description.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "engine/file_classifier.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/utf.h"
#include "test_files.h"

namespace kindprobe {
namespace {

using testing::TempDir;
using testing::Utf16Path;

const std::string kAvi = std::string("RIFF\x24\x08\0\0AVI LIST", 16) + std::string(100, '\0');

class Classify : public ::testing::Test {
 protected:
  void TearDown() override {
    platform::SetStorePath(std::nullopt);
    // Checks never load the table a second time (which would append the rules again).
    EXPECT_EQ(table_->ruleCount, testing::kShippedRuleCount);
  }

  const CheckResult& Check(const std::u16string& path) {
    classifier_.CheckFile(path.c_str());
    return classifier_.result();
  }
  const CheckResult& Check(std::string_view name, std::string_view bytes) {
    return Check(Utf16Path(dir_.Write(name, bytes)));
  }
  static std::u16string Description(const CheckResult& r) { return r.description; }

  TempDir dir_;
  std::unique_ptr<RuleTable> table_ = testing::ShippedTable();
  FileClassifier classifier_{*table_};
};

TEST_F(Classify, FilesThatCannotBeExaminedKeepTheDefault) {
  Check("clip.mp3", "ID3\x03");
  for (const std::u16string& path :
       {Utf16Path(dir_.path() / "missing.avi"), std::u16string(),
        Utf16Path(dir_.path())}) {
    const CheckResult& r = Check(path);
    EXPECT_EQ(r.typeId, TypeIDUnknown);
    EXPECT_EQ(Description(r), u"未知类型");  // every check starts from the default
    EXPECT_FALSE(r.examined);
  }
  classifier_.CheckFile(nullptr);
  EXPECT_EQ(classifier_.result().typeId, TypeIDUnknown);

  const std::string fifo = (dir_.path() / "pipe.avi").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_FALSE(Check(platform::Utf8ToUtf16(fifo)).examined);  // and it did not block
}

TEST_F(Classify, SizeAndSpecialExtensionsComeBeforeSignatures) {
  EXPECT_EQ(Check("x.lnk", "").typeId, TypeIDZeroByte);
  EXPECT_EQ(Description(classifier_.result()), u"零字节文件");
  EXPECT_EQ(Description(Check("a.LNK", "L\0\0\0")), u"Windows快捷方式");
  for (const char* name : {"Movie.PART", "m.qd", "m.bc!", "m.emule"}) {
    const CheckResult& r = Check(name, kAvi);
    EXPECT_EQ(r.typeId, TypeIDNonMedia) << name;
    EXPECT_EQ(Description(r), u"下载临时文件") << name;
  }
}

TEST_F(Classify, ContentDecidesWhenTheExtensionMisleads) {
  const CheckResult& avi = Check("clip.txt", kAvi);
  EXPECT_EQ(avi.typeId, TypeIDInvalidMedia);
  EXPECT_EQ(Description(avi), u"AVI文件");
  EXPECT_EQ(avi.ruleIndex, 20);

  EXPECT_EQ(Check("clip.avi", kAvi).ruleIndex, 20);
  EXPECT_EQ(Description(Check("noext", kAvi)), u"AVI文件");
  EXPECT_EQ(Description(Check("setup.avi", std::string("MZ\x90\0", 4))), u"可执行文件");
  EXPECT_EQ(Check("setup.avi", std::string("MZ\x90\0", 4)).typeId, TypeIDNonMedia);

  // Printable content is text unless the rule of its extension matched first.
  EXPECT_EQ(Description(Check("ten", "0123456789")), u"文本文件");
  EXPECT_EQ(classifier_.result().ruleIndex, -1);
  EXPECT_EQ(Description(Check("page.html", "<html><body>")), u"HTML文档");
  EXPECT_EQ(Description(Check("blob", std::string("ab\x07") + "cdef")), u"未知类型");
  EXPECT_EQ(Description(Check("backspaced", "abc\bdef")), u"文本文件");  // 0x08 is the lowest
  // The head's last byte counts: a control there is no text.
  EXPECT_EQ(Description(Check("long", std::string(4095, 'a') + "\x01")), u"未知类型");
  EXPECT_TRUE(classifier_.result().examined);
}

TEST_F(Classify, ExtensionsBelongToTheLastPathComponent) {
  char16_t ext[kExtensionCapacity];
  GetFileExtension(u"C:\\dir.old\\readme", ext);
  EXPECT_EQ(std::u16string(ext), u"");
  GetFileExtension(u"C:/dir.old/readme", ext);
  EXPECT_EQ(std::u16string(ext), u"");
  GetFileExtension(u"C:\\x\\.LNK", ext);
  EXPECT_EQ(std::u16string(ext), u".lnk");
  GetFileExtension(u"a.ÀVI", ext);
  EXPECT_EQ(std::u16string(ext), u".Àvi");  // only A-Z are lowered
  GetFileExtension(u"f.part0123456789012345678901234567890", ext);
  EXPECT_EQ(std::u16string(ext).size(), 31u);

  EXPECT_EQ(Description(Check("dir.old/readme", "plain words\r\n")), u"文本文件");
  EXPECT_EQ(Check("f.part0123456789012345678901234567890", kAvi).typeId, TypeIDInvalidMedia);
}

TEST_F(Classify, StorePathTrimming) {
  char16_t a[32] = u" \tD:\\Cache\\ \t";
  TrimBlanks(a);
  EXPECT_EQ(std::u16string(a), u"D:\\Cache\\");
  TrimTrailingSeparators(a);
  EXPECT_EQ(std::u16string(a), u"D:\\Cache");
  char16_t root[8] = u"C:\\/";
  TrimTrailingSeparators(root);
  EXPECT_EQ(std::u16string(root), u"C:");
  char16_t lone[4] = u"\\\\";
  TrimTrailingSeparators(lone);
  EXPECT_EQ(std::u16string(lone), u"\\");
  char16_t blanks[8] = u" \t  ";
  TrimBlanks(blanks);
  EXPECT_EQ(std::u16string(blanks), u"");
}

TEST_F(Classify, CacheFilesAreFoundThroughStorePath) {
  std::FILE* log = std::tmpfile();
  ASSERT_NE(log, nullptr);
  platform::SetDiagnosticStream(log);

  EXPECT_FALSE(IsPlayerCacheFile(u"D:\\Cache\\VODCache\\a.dat"));  // no key: no cache
  for (const char16_t* store : {u"D:\\Cache\\ ", u"D:\\Cache", u"d:/cache/"}) {
    platform::SetStorePath(store);
    // The registry's directory may appear anywhere in the path; this program's own setting
    // names a directory, which holds only the paths under it.
    EXPECT_EQ(IsPlayerCacheFile(u"x:\\mirror\\D:\\CACHE\\vodcache\\a.dat"),
              platform::kStorePathFromRegistry);
    EXPECT_TRUE(IsPlayerCacheFile(u"D:/Cache/VODCache/sub/a.dat"));
    EXPECT_FALSE(IsPlayerCacheFile(u"D:\\Cache\\Other\\a.dat"));
  }
  platform::SetStorePath(std::u16string(platform::kStorePathCapacity - 5, u'x'));
  EXPECT_FALSE(IsPlayerCacheFile(u"x"));  // no room left for "\VODCache"

  const std::string store = (dir_.path() / "Store").string();
  platform::SetStorePath(platform::Utf8ToUtf16(store));
  const CheckResult& cached = Check("store/VODCache/blk.dat", "MZ");
  EXPECT_EQ(cached.typeId, TypeIDPlayerCache);
  EXPECT_EQ(Description(cached), u"Cindra缓存文件");
  EXPECT_EQ(Description(Check("elsewhere/blk.dat", std::string("MZ\x90\0", 4))), u"可执行文件");
  if (!platform::kStorePathFromRegistry) {
    // Whole components, of both paths made absolute: a relative setting and an absolute one
    // name the same directory, and part of a component's name is no directory.
    const std::u16string absolute = platform::AbsolutePath(u"store");
    const struct {
      std::u16string setting;
      std::u16string path;
      bool cached;
    } cases[] = {
        {absolute, u"store/VODCache/a.dat", true},
        {u"store", absolute + u"/VODCache/a.dat", true},
        {u"./x/../store/", u"store/vodcache/sub/a.dat", true},
        {u"tore", u"store/VODCache/a.dat", false},
        {u"store/VOD", u"store/VODCache/a.dat", false},
        {u"store", u"elsewhere/store/VODCache/a.dat", false},
    };
    for (const auto& c : cases) {
      platform::SetStorePath(c.setting);
      EXPECT_EQ(IsPlayerCacheFile(c.path.c_str()), c.cached) << platform::Utf16ToUtf8(c.setting);
    }
  }
  platform::SetStorePath(std::nullopt);
  EXPECT_EQ(Description(Check("store/VODCache/blk.dat", "some text")), u"文本文件");

  platform::SetDiagnosticStream(nullptr);
  std::rewind(log);
  char line[256] = {};
  ASSERT_NE(std::fgets(line, sizeof line, log), nullptr);
  EXPECT_STREQ(line, "CacheDir RegVal =D:\\Cache\\ |\n");
  std::fclose(log);
}

TEST_F(Classify, TheTableLoadsOnTheFirstCheckThatReadsAHead) {
  RuleTable table;
  ResetRuleTable(table, nullptr);
  FileClassifier classifier(table);
  classifier.CheckFile(Utf16Path(dir_.Write("empty", "")).c_str());
  EXPECT_FALSE(table.loaded);
  classifier.CheckFile(Utf16Path(dir_.Write("a.lnk", "L")).c_str());
  EXPECT_TRUE(table.loaded);
  EXPECT_EQ(table.ruleCount, testing::kShippedRuleCount);
  FreeRuleTable(table);
}

TEST_F(Classify, SizesAreSixtyFourBit) {
  // Sparse files: 4 GiB exactly is not empty, 4 GiB + 10 still has a full head.
  for (const uint64_t size : {uint64_t{1} << 32, (uint64_t{1} << 32) + 10}) {
    const auto path = dir_.Write("big.avi", kAvi);
    ASSERT_EQ(truncate(path.c_str(), static_cast<off_t>(size)), 0);
    const CheckResult& r = Check(Utf16Path(path));
    EXPECT_EQ(r.typeId, TypeIDInvalidMedia) << size;
    EXPECT_EQ(Description(r), u"AVI文件");
  }
}

TEST_F(Classify, NamesThatAreNotUtf8StillReachTheirFile) {
  const std::string name = "clip\xff\xfe.avi";
  dir_.Write(name, kAvi);
  const std::u16string path = Utf16Path(dir_.path() / name);
  EXPECT_TRUE(platform::HasRawBytes(path));
  EXPECT_EQ(Check(path).ruleIndex, 20);
  EXPECT_EQ(Description(Check(Utf16Path(dir_.Write("片段.avi", kAvi)))), u"AVI文件");
}

TEST_F(Classify, ClassifiersOnManyThreadsAgreeWithOneThread) {
  const std::vector<std::pair<std::string, std::string>> files = {
      {"a.avi", kAvi}, {"b.txt", "hello"}, {"c.mp3", "ID3\x03\0"}, {"d", std::string("\x01\x02", 2)},
      {"e.lnk", "x"}, {"f.part", kAvi}, {"g.torrent", "d8:announce3:abce"}, {"h", ""}};
  std::vector<std::u16string> paths;
  std::vector<int32_t> expected;
  for (const auto& [name, bytes] : files) {
    paths.push_back(Utf16Path(dir_.Write(name, bytes)));
    expected.push_back(Check(paths.back()).typeId * 100 + Check(paths.back()).ruleIndex);
  }
  std::vector<std::thread> threads;
  std::vector<int> mismatches(8, 0);
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      FileClassifier classifier(*table_);
      for (int i = 0; i < 2000; ++i) {
        const size_t k = static_cast<size_t>(i + t) % paths.size();
        classifier.CheckFile(paths[k].c_str());
        const CheckResult& r = classifier.result();
        if (r.typeId * 100 + r.ruleIndex != expected[k]) ++mismatches[t];
      }
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < 8; ++t) EXPECT_EQ(mismatches[t], 0) << "thread " << t;
}

TEST_F(Classify, EightThreadsMakingTheVeryFirstCheckTogetherLoadTheTableOnce) {
  const std::u16string avi = Utf16Path(dir_.Write("first.avi", kAvi));
  const CheckResult expected = Check(avi);
  ASSERT_EQ(expected.typeId, TypeIDInvalidMedia);

  constexpr int kThreads = 8;
  RuleTable fresh;
  ResetRuleTable(fresh, nullptr);
  std::latch start(kThreads);
  std::vector<CheckResult> results(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      FileClassifier classifier(fresh);
      start.arrive_and_wait();
      classifier.CheckFile(avi.c_str());
      results[static_cast<size_t>(t)] = classifier.result();
    });
  }
  for (auto& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    const CheckResult& r = results[static_cast<size_t>(t)];
    EXPECT_EQ(r.typeId, expected.typeId) << "thread " << t;
    EXPECT_EQ(r.ruleIndex, expected.ruleIndex) << "thread " << t;
    EXPECT_EQ(Description(r), Description(expected)) << "thread " << t;
  }
  EXPECT_EQ(fresh.ruleCount, testing::kShippedRuleCount);
  FreeRuleTable(fresh);
}

}  // namespace
}  // namespace kindprobe
