#include "diagnosis/printable_name.h"

#include "platform/utf.h"

namespace kindprobe::cli {
namespace {

void AppendOctalEscape(unsigned char byte, std::string* out) {
  const char escape[] = {'\\', static_cast<char>('0' + (byte >> 6)),
                         static_cast<char>('0' + ((byte >> 3) & 7)),
                         static_cast<char>('0' + (byte & 7))};
  out->append(escape, sizeof escape);
}

}  // namespace

void AppendPrintableName(std::u16string_view name, std::string* out) {
  const std::string bytes = platform::Utf16ToUtf8(name);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    // C1 controls (U+0080..U+009F) are C2 80..C2 9F in UTF-8: both bytes are escaped.
    const bool c1 = byte == 0xC2 && i + 1 < bytes.size() &&
                    static_cast<unsigned char>(bytes[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(bytes[i + 1]) <= 0x9F;
    if (c1) {
      AppendOctalEscape(byte, out);
      AppendOctalEscape(static_cast<unsigned char>(bytes[++i]), out);
    } else if (byte < 0x20 || byte == 0x7F) {
      AppendOctalEscape(byte, out);
    } else {
      *out += static_cast<char>(byte);
    }
  }
}

std::string PrintableName(std::u16string_view name) {
  std::string out;
  AppendPrintableName(name, &out);
  return out;
}

}  // namespace kindprobe::cli
