#include <cstddef>

#include "platform/module_resource.h"

extern const unsigned char kEmbeddedRuleText[];
extern const std::size_t kEmbeddedRuleTextSize;

namespace kindprobe::platform {

// No module resources here: the rule text is compiled into the binary instead.
std::span<const uint8_t> RuleTextResource(ModuleHandle) {
  return {kEmbeddedRuleText, kEmbeddedRuleTextSize};
}

}  // namespace kindprobe::platform
