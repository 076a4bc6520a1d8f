// Allocation failure, everywhere it can happen: each scenario runs with its first, second,
// third, ... allocation failing until a run meets no failure. Every run must end cleanly (no
// exception escapes, a documented result, nothing leaked: the sanitize build checks that), and
// a run without a failure afterwards must behave as if nothing had happened.
#include <gtest/gtest.h>

#include <cstddef>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <new>
#include <string>

#include "engine/file_classifier.h"
#include "engine/rule_table.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/utf.h"
#include "registration/registry_script.h"
#include "tests/alloc/failing_allocator.h"
#include "tests/alloc/out_of_memory_registry.h"
#include "tests/alloc/sweep.h"
#include "tests/engine/test_files.h"
#include "tools/registry_model/memory_registry.h"

namespace kindprobe {
namespace {

using alloctest::Injected;
using alloctest::OutOfMemoryAsError;
using alloctest::RunFailing;
using alloctest::Sweep;
using testing::kShippedRuleCount;
using testing::TempDir;

const std::string kAvi = std::string("RIFF\x24\x08\0\0AVI LIST", 16) + std::string(64, '\0');

TEST(AllocationFailure, LoadingTheShippedRuleTextFailsWholeOrSucceedsWhole) {
  const std::size_t allocations = Sweep("loading the shipped rule text", [](std::size_t nth) {
    RuleTable table;
    ResetRuleTable(table, nullptr);
    int loaded = -1;
    const Injected run = RunFailing(nth, [&] { loaded = LoadRuleTable(table); });
    EXPECT_FALSE(run.escaped);
    if (run.failed) {
      // A table short of rules or tests would answer wrongly: none at all instead.
      EXPECT_EQ(loaded, 0);
      EXPECT_EQ(table.ruleCount, 0);
    } else {
      EXPECT_NE(loaded, 0);
      EXPECT_EQ(table.ruleCount, kShippedRuleCount);
    }
    return run.failed;
  });
  EXPECT_GT(allocations, 0u);
}

class ClassifyFailing : public ::testing::Test {
 protected:
  // The cache check's diagnostic line, written on every check, is not what is tested here.
  void SetUp() override { platform::SetDiagnosticStream(discard_.get()); }
  void TearDown() override {
    platform::SetDiagnosticStream(nullptr);
    platform::SetStorePath(std::nullopt);
  }

  std::unique_ptr<std::FILE, int (*)(std::FILE*)> discard_{std::fopen("/dev/null", "w"),
                                                           &std::fclose};

  TempDir dir_;
  std::unique_ptr<RuleTable> table_ = testing::ShippedTable();
};

TEST_F(ClassifyFailing, TheOneTimeLoadIsFinalEvenWhenMemoryRanOut) {
  const std::u16string avi = testing::Utf16Path(dir_.Write("clip.avi", kAvi));
  RuleTable table;
  ResetRuleTable(table, nullptr);
  FileClassifier classifier(table);
  // The first allocation of the load is the widened rule text.
  const Injected run = RunFailing(1, [&] { EnsureRuleTableLoaded(table); });
  ASSERT_TRUE(run.failed);
  EXPECT_FALSE(run.escaped);
  // By design the load is not tried again in this process: later checks find no rule.
  classifier.CheckFile(avi.c_str());
  EXPECT_TRUE(table.loaded);
  EXPECT_EQ(table.ruleCount, 0);
  EXPECT_EQ(classifier.result().typeId, TypeIDUnknown);
  FreeRuleTable(table);
}

TEST_F(ClassifyFailing, EveryCheckEndsWithItsAnswerOrTheDefault) {
  platform::SetStorePath(testing::Utf16Path(dir_.path() / "store"));
  const std::u16string paths[] = {
      testing::Utf16Path(dir_.Write("片段.avi", kAvi)),
      testing::Utf16Path(dir_.Write("empty.mp3", "")),
      testing::Utf16Path(dir_.Write("notes.txt", "plain text")),
      testing::Utf16Path(dir_.Write("store/VODCache/a.dat", kAvi)),
      testing::Utf16Path(dir_.path() / "missing.avi"),
  };
  for (const std::u16string& path : paths) {
    FileClassifier classifier(*table_);
    classifier.CheckFile(path.c_str());
    const CheckResult expected = classifier.result();
    const std::size_t allocations =
        Sweep("checking " + platform::Utf16ToUtf8(path), [&](std::size_t nth) {
          const Injected run = RunFailing(nth, [&] { classifier.CheckFile(path.c_str()); });
          EXPECT_FALSE(run.escaped);
          const CheckResult& got = classifier.result();
          const bool asExpected = got.typeId == expected.typeId &&
                                  got.ruleIndex == expected.ruleIndex &&
                                  std::u16string(got.description) == expected.description;
          const bool asDefault = got.typeId == TypeIDUnknown && got.ruleIndex == -1 &&
                                 std::u16string(got.description) == u"未知类型";
          EXPECT_TRUE(asExpected || (run.failed && asDefault))
              << got.typeId << " " << got.ruleIndex;
          classifier.CheckFile(path.c_str());
          EXPECT_EQ(classifier.result().typeId, expected.typeId);
          EXPECT_EQ(classifier.result().ruleIndex, expected.ruleIndex);
          return run.failed;
        });
    EXPECT_GT(allocations, 0u);
  }
}

std::u16string ReadScript(const char* path) {
  std::ifstream file(path, std::ios::binary);
  const std::string bytes{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
  return platform::Utf8ToUtf16(bytes);
}

class ScriptFailing : public ::testing::TestWithParam<const char*> {
 protected:
  // A module path long enough that expanding it outgrows the text's first buffer.
  const std::u16string module_ = u"C:\\" + std::u16string(3000, u'p') + u"\\Kindprobe.dll";
  const std::u16string script_ = ReadScript(GetParam());

  HResult Run(platform::Registry& registry, bool registerPass) {
    registration::ScriptRegistrar registrar;
    for (const auto& [name, value] : {std::pair<const char16_t*, const char16_t*>{
                                          u"APPID", u"{4A1D2C3B-0000-4000-8000-00000000AB12}"},
                                      {u"MODULE", module_.c_str()}}) {
      if (const HResult result = registrar.AppendReplacement(name, value); hr::Failed(result)) {
        return result;
      }
    }
    return registration::ProcessScriptText(registrar, script_.c_str(), registerPass, registry);
  }

  void SetUp() override {
    ASSERT_FALSE(script_.empty());
    registry_model::MemoryRegistry model;
    OutOfMemoryAsError registry(model);
    ASSERT_EQ(Run(registry, true), hr::kOk);
    registered_ = registry_model::ExportRegText(registry);
    ASSERT_EQ(Run(registry, false), hr::kOk);
    unregistered_ = registry_model::ExportRegText(registry);
    ASSERT_NE(registered_, unregistered_);
  }

  // Checks one run under injection, then that runs without it reach the usual states.
  void CheckAfter(OutOfMemoryAsError& registry, const Injected& run, HResult result) {
    EXPECT_FALSE(run.escaped);
    EXPECT_EQ(registry.model().OpenHandleCount(), 0u) << "a key handle was left open";
    if (run.failed) {
      EXPECT_TRUE(result == hr::kOk || result == hr::kOutOfMemory) << std::hex << result;
    } else {
      EXPECT_EQ(result, hr::kOk);
    }
    EXPECT_EQ(Run(registry, true), hr::kOk);
    EXPECT_EQ(registry_model::ExportRegText(registry), registered_);
    EXPECT_EQ(Run(registry, false), hr::kOk);
    EXPECT_EQ(registry_model::ExportRegText(registry), unregistered_);
  }

  std::string registered_;
  std::string unregistered_;
};

TEST_P(ScriptFailing, RegisterPass) {
  const std::size_t allocations =
      Sweep(std::string("register pass of ") + GetParam(), [&](std::size_t nth) {
        registry_model::MemoryRegistry model;
        OutOfMemoryAsError registry(model);
        HResult result = hr::kFail;
        const Injected run = RunFailing(nth, [&] { result = Run(registry, true); });
        if (!run.failed) {
          EXPECT_EQ(registry_model::ExportRegText(registry), registered_);
        }
        CheckAfter(registry, run, result);
        return run.failed;
      });
  EXPECT_GT(allocations, 0u);
}

TEST_P(ScriptFailing, UnregisterPass) {
  const std::size_t allocations =
      Sweep(std::string("unregister pass of ") + GetParam(), [&](std::size_t nth) {
        registry_model::MemoryRegistry model;
        OutOfMemoryAsError registry(model);
        EXPECT_EQ(Run(registry, true), hr::kOk);
        HResult result = hr::kFail;
        const Injected run = RunFailing(nth, [&] { result = Run(registry, false); });
        CheckAfter(registry, run, result);
        return run.failed;
      });
  EXPECT_GT(allocations, 0u);
}

INSTANTIATE_TEST_SUITE_P(Scripts, ScriptFailing,
                         ::testing::Values(KINDPROBE_APPID_SCRIPT, KINDPROBE_CLASS_SCRIPT),
                         [](const ::testing::TestParamInfo<const char*>& info) {
                           return info.index == 0 ? std::string("AppId") : std::string("Class");
                         });

}  // namespace
}  // namespace kindprobe
