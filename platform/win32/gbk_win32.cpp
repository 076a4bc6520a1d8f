#include <windows.h>

#include <climits>
#include <new>

#include "platform/gbk_text.h"

namespace kindprobe::platform {
namespace {

// The rule text is GBK whatever the system's ANSI code page is, so never CP_ACP.
constexpr UINT kGbkCodePage = 936;

}  // namespace

bool WidenGbk(std::span<const uint8_t> bytes, std::u16string* text) {
  text->clear();
  if (bytes.empty()) return true;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) return false;
  const auto input = reinterpret_cast<const char*>(bytes.data());
  const int inputLength = static_cast<int>(bytes.size());
  const int needed = ::MultiByteToWideChar(kGbkCodePage, 0, input, inputLength, nullptr, 0);
  if (needed <= 0) return false;
  std::u16string out;
  try {
    out.resize(static_cast<size_t>(needed));
  } catch (const std::bad_alloc&) {
    return false;
  }
  const int written = ::MultiByteToWideChar(kGbkCodePage, 0, input, inputLength,
                                            reinterpret_cast<wchar_t*>(out.data()), needed);
  if (written <= 0) return false;
  out.resize(static_cast<size_t>(written));
  *text = std::move(out);
  return true;
}

}  // namespace kindprobe::platform
