// Fuzzes the registry-script interpreter: arbitrary script text and replacements, run through
// the register pass and then the unregister pass over one in-memory registry. Every open key
// handle must be closed again after each pass.
//
// Input: the first byte picks how the script bytes become text (even: UTF-8 widened; odd: raw
// UTF-16LE units, so lone surrogates and pairs reach the reader), then the script up to the
// first NUL byte, then replacements as NAME=VALUE lines.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/utf.h"
#include "registration/registry_script.h"
#include "tools/registry_model/memory_registry.h"

namespace {

std::u16string ScriptText(std::string_view bytes, bool raw_units) {
  if (!raw_units) return kindprobe::platform::Utf8ToUtf16(bytes);
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const auto unit = static_cast<char16_t>(static_cast<std::uint8_t>(bytes[i]) |
                                            (static_cast<std::uint8_t>(bytes[i + 1]) << 8));
    if (unit == 0) break;
    text += unit;
  }
  return text;
}

void AddReplacements(std::string_view lines, kindprobe::registration::ScriptRegistrar& registrar) {
  while (!lines.empty()) {
    const size_t end = lines.find('\n');
    const std::string_view line = lines.substr(0, end);
    lines.remove_prefix(end == std::string_view::npos ? lines.size() : end + 1);
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    registrar.AppendReplacement(kindprobe::platform::Utf8ToUtf16(line.substr(0, equals)).c_str(),
                                kindprobe::platform::Utf8ToUtf16(line.substr(equals + 1)).c_str());
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool raw_units = (data[0] & 1) != 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
  // In raw mode a NUL unit needs two zero bytes; look for the split at an even offset.
  size_t split = input.find('\0');
  if (raw_units) {
    split = std::string_view::npos;
    for (size_t i = 0; i + 1 < input.size(); i += 2) {
      if (input[i] == 0 && input[i + 1] == 0) {
        split = i;
        break;
      }
    }
  }
  const std::string_view script = input.substr(0, split);
  const std::string_view rest =
      split == std::string_view::npos ? std::string_view() : input.substr(split + (raw_units ? 2 : 1));

  kindprobe::registration::ScriptRegistrar registrar;
  AddReplacements(rest, registrar);
  const std::u16string text = ScriptText(script, raw_units);

  kindprobe::registry_model::MemoryRegistry registry;
  for (const bool registerPass : {true, false}) {
    kindprobe::registration::ProcessScriptText(registrar, text.c_str(), registerPass, registry);
    if (registry.OpenHandleCount() != 0) std::abort();
  }
  kindprobe::registry_model::ExportRegText(registry);
  return 0;
}
