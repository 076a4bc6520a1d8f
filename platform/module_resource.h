// The module whose resources hold the rule text.
#pragma once

#include <cstdint>
#include <span>

namespace kindprobe::platform {

// The module instance handle (its load address on Windows; unused elsewhere).
using ModuleHandle = void*;

// The bytes of the rule text resource (203, type "TEXT") of `module`, or an empty span when it
// has none. The bytes live as long as the module.
std::span<const uint8_t> RuleTextResource(ModuleHandle module);

}  // namespace kindprobe::platform
