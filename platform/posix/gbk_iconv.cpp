#include <iconv.h>

#include <bit>
#include <cerrno>
#include <cstring>
#include <new>

#include "platform/gbk_text.h"

namespace kindprobe::platform {
namespace {

static_assert(std::endian::native == std::endian::little, "UTF-16LE is the host's char16_t");

class Converter {
 public:
  Converter() : cd_(iconv_open("UTF-16LE", "CP936")) {}
  ~Converter() {
    if (ok()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

}  // namespace

bool WidenGbk(std::span<const uint8_t> bytes, std::u16string* text) {
  text->clear();
  Converter converter;
  if (!converter.ok()) return false;
  // GBK never needs more UTF-16 units than bytes.
  std::u16string out;
  try {
    out.resize(bytes.size());
  } catch (const std::bad_alloc&) {
    return false;
  }
  char* in = const_cast<char*>(reinterpret_cast<const char*>(bytes.data()));
  size_t inLeft = bytes.size();
  char* outPtr = reinterpret_cast<char*>(out.data());
  size_t outLeft = out.size() * sizeof(char16_t);
  while (inLeft > 0) {
    if (iconv(converter.get(), &in, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1)) break;
    if (errno != EILSEQ && errno != EINVAL) return false;
    // A byte that is not GBK becomes U+FFFD, as the Windows conversion does with its default
    // character, and the conversion goes on after it.
    if (outLeft < sizeof(char16_t)) return false;
    const char16_t replacement = u'\uFFFD';
    std::memcpy(outPtr, &replacement, sizeof replacement);
    outPtr += sizeof(char16_t);
    outLeft -= sizeof(char16_t);
    ++in;
    --inLeft;
  }
  out.resize(out.size() - outLeft / sizeof(char16_t));
  *text = std::move(out);
  return true;
}

}  // namespace kindprobe::platform
