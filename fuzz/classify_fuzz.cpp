// Classification over arbitrary heads, names and StorePath values. Input layout: one byte n,
// n bytes of file name, one byte m, m bytes of StorePath, then the file's content.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "engine/file_classifier.h"
#include "fuzz/fuzz_file.h"
#include "platform/diagnostic.h"
#include "platform/player_settings.h"
#include "platform/utf.h"

namespace {

using namespace kindprobe;

struct Input {
  std::string name;
  std::string storePath;
  std::string content;
};

Input Split(const uint8_t* data, size_t size) {
  Input input;
  size_t at = 0;
  auto take = [&](std::string* out) {
    if (at >= size) return;
    const size_t wanted = data[at++];
    const size_t n = std::min(wanted, size - at);
    out->assign(reinterpret_cast<const char*>(data + at), n);
    at += n;
  };
  take(&input.name);
  take(&input.storePath);
  input.content.assign(reinterpret_cast<const char*>(data + at), size - at);
  return input;
}

const std::string& ScratchDirectory() {
  static const std::string dir = [] {
    static char pattern[] = "/tmp/kindprobe-fuzz-classify-XXXXXX";
    if (mkdtemp(pattern) == nullptr) abort();
    // Each input's file is removed after its check; the directory goes when the run ends.
    std::atexit([] { rmdir(pattern); });
    // The diagnostic line of every cache check would flood the fuzzer's output.
    platform::SetDiagnosticStream(std::fopen("/dev/null", "w"));
    return std::string(pattern);
  }();
  return dir;
}

// A name the file system accepts: no separators, no NUL, not "." or "..", not empty.
std::string FileName(const std::string& raw) {
  std::string name;
  for (char c : raw) name += (c == '/' || c == '\0') ? '_' : c;
  if (name.empty() || name == "." || name == "..") name = "f" + name;
  return name;
}

void CheckInvariants(const CheckResult& result, bool empty, int32_t ruleCount) {
  if (result.typeId < TypeIDUnknown || result.typeId > TypeIDInvalidMedia) abort();
  if (std::char_traits<char16_t>::length(result.description) >= kDescriptionCapacity) abort();
  if (result.description[0] == u'\0') abort();
  if (result.ruleIndex < -1 || result.ruleIndex >= ruleCount) abort();
  if (!result.examined) abort();  // a regular file we just wrote can always be opened
  if (empty != (result.typeId == TypeIDZeroByte)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const Input input = Split(data, size);
  const std::string& directory = ScratchDirectory();
  RuleTable& table = ProcessRuleTable();
  EnsureRuleTableLoaded(table);

  // Names as the engine sees them, raw bytes kept.
  const std::u16string name16 = platform::Utf8ToUtf16(input.name);
  char16_t extension[kExtensionCapacity];
  GetFileExtension(name16.c_str(), extension);
  if (extension[kExtensionCapacity - 1] != u'\0') abort();

  platform::SetStorePath(platform::Utf8ToUtf16(input.storePath));
  (void)IsPlayerCacheFile(name16.c_str());

  // The head on its own, with a real file for the tail tests.
  FileHead head;
  head.headLength = static_cast<uint32_t>(std::min<size_t>(input.content.size(), kFileHeadCapacity));
  head.data = std::make_unique<uint8_t[]>(head.headLength + 1);
  std::memcpy(head.data.get(), input.content.data(), head.headLength);
  const SignatureMatcher matcher(table, head);
  int32_t ruleIndex = -1;
  if (matcher.FindMatchingRule(&fuzzing::TailFile(), &ruleIndex) &&
      (ruleIndex < 0 || ruleIndex >= table.ruleCount)) {
    abort();
  }
  if (extension[0] != u'\0') (void)matcher.FindRuleByExtension(&fuzzing::TailFile(), extension, &ruleIndex);

  // The whole classification of a real file with that name and content.
  const std::string path = directory + "/" + FileName(input.name);
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(input.content.data(), static_cast<std::streamsize>(input.content.size()));
    if (!out) return 0;  // a name the file system refuses (too long): nothing to classify
  }
  FileClassifier classifier(table);
  classifier.CheckFile(platform::Utf8ToUtf16(path).c_str());
  CheckInvariants(classifier.result(), input.content.empty(), table.ruleCount);
  unlink(path.c_str());
  platform::SetStorePath(std::nullopt);
  return 0;
}
