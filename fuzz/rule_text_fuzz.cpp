// Arbitrary rule texts through the parser, then through matching against a head of the same
// bytes: no crash, no leak, no read outside the head.
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

#include "engine/rule_table.h"
#include "engine/signature_match.h"
#include "fuzz/fuzz_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text(size / 2, u'\0');
  std::memcpy(text.data(), data, text.size() * 2);
  // Mostly-ASCII inputs reach deeper when read byte by byte too.
  std::u16string narrow(data, data + size);

  for (const std::u16string* input : {&text, &narrow}) {
    auto table = std::make_unique<kindprobe::RuleTable>();
    kindprobe::ParseRuleText(*table, input->c_str());

    kindprobe::FileHead head;
    head.headLength = static_cast<uint32_t>(std::min<size_t>(size, kindprobe::kFileHeadCapacity));
    head.data = std::make_unique<uint8_t[]>(head.headLength);
    std::memcpy(head.data.get(), data, head.headLength);
    kindprobe::SignatureMatcher matcher(*table, head);
    // Tail tests read a small real file; head tests read the input itself.
    kindprobe::platform::File& file = kindprobe::fuzzing::TailFile();
    int32_t index = -1;
    matcher.FindMatchingRule(&file, &index);
    matcher.FindRuleByExtension(&file, u".avi", &index);
  }
  return 0;
}
