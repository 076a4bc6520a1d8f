// Figures for the two costs that matter per process and per file: parsing the shipped rule
// text once, and trying every pattern against a head that matches none of them.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

#include "engine/rule_table.h"
#include "engine/signature_match.h"
#include "platform/file.h"
#include "platform/gbk_text.h"
#include "platform/module_resource.h"
#include "platform/utf.h"

namespace kindprobe {
namespace {

std::u16string ShippedText() {
  std::u16string text;
  if (!platform::WidenGbk(platform::RuleTextResource(nullptr), &text)) std::abort();
  return text;
}

// Parsing the shipped text into a fresh table. Only the parse is timed (by hand: pausing the
// benchmark's own clock costs more than the parse); making and freeing the table are not.
void BM_ParseShippedRuleText(benchmark::State& state) {
  const std::u16string text = ShippedText();
  for (auto _ : state) {
    auto table = std::make_unique<RuleTable>();
    const auto start = std::chrono::steady_clock::now();
    const int ok = ParseRuleText(*table, text.c_str());
    const auto stop = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(ok);
    if (!ok || table->ruleCount == 0) state.SkipWithError("the shipped text did not parse");
    state.SetIterationTime(std::chrono::duration<double>(stop - start).count());
  }
}
BENCHMARK(BM_ParseShippedRuleText)->UseManualTime()->Unit(benchmark::kMicrosecond);

// Parsing and freeing together: what a process pays for its table in all.
void BM_ParseAndFreeShippedRuleText(benchmark::State& state) {
  const std::u16string text = ShippedText();
  auto table = std::make_unique<RuleTable>();
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseRuleText(*table, text.c_str()));
    ResetRuleTable(*table, nullptr);
  }
}
BENCHMARK(BM_ParseAndFreeShippedRuleText)->Unit(benchmark::kMicrosecond);

// A small real file for the tail tests to read; removed when the benchmark ends.
class TempFile {
 public:
  TempFile() {
    char name[] = "/tmp/kindprobe-bench-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0 || ::write(fd, "0123456789", 10) != 10) std::abort();
    ::close(fd);
    path_ = name;
  }
  ~TempFile() { ::unlink(path_.c_str()); }
  std::u16string path() const { return platform::Utf8ToUtf16(path_); }

 private:
  std::string path_;
};

// A full 4096-byte head that no pattern matches: every rule and every pattern is tried.
void BM_FindMatchingRuleNoMatch(benchmark::State& state) {
  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);
  FileHead head;
  head.headLength = kFileHeadCapacity;
  head.data = std::make_unique<uint8_t[]>(kFileHeadCapacity);
  std::fill_n(head.data.get(), kFileHeadCapacity, uint8_t{0x01});
  const TempFile temp;
  platform::File file = platform::File::OpenForReading(temp.path().c_str());
  if (!file.IsOpen()) std::abort();
  const SignatureMatcher matcher(table, head);
  for (auto _ : state) {
    int32_t ruleIndex = -1;
    benchmark::DoNotOptimize(matcher.FindMatchingRule(&file, &ruleIndex));
    benchmark::DoNotOptimize(ruleIndex);
  }
  int32_t ruleIndex = -1;
  if (matcher.FindMatchingRule(&file, &ruleIndex)) state.SkipWithError("the head matched a rule");
}
BENCHMARK(BM_FindMatchingRuleNoMatch)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace kindprobe

BENCHMARK_MAIN();
