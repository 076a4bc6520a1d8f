#include "diagnosis/rule_file.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <span>
#include <vector>

#include "platform/gbk_text.h"
#include "platform/process.h"
#include "platform/utf.h"

namespace kindprobe {
namespace {

constexpr std::string_view kUtf8ByteOrderMark = "\xEF\xBB\xBF";
// UTF-16 byte-order marks: neither pair is GBK, so a file that starts with one was saved as
// UTF-16, which would read as nonsense up to its first NUL.
constexpr std::string_view kUtf16ByteOrderMarks[] = {"\xFF\xFE", "\xFE\xFF"};

}  // namespace

bool DecodeRuleText(std::string_view bytes, std::u16string* text) {
  if (bytes.starts_with(kUtf8ByteOrderMark)) {
    *text = platform::Utf8ToUtf16(bytes.substr(kUtf8ByteOrderMark.size()));
    return true;
  }
  text->clear();
  if (bytes.empty()) return true;
  for (std::string_view mark : kUtf16ByteOrderMarks) {
    if (bytes.starts_with(mark)) return false;
  }
  const std::span<const uint8_t> raw(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
  return platform::WidenGbk(raw, text);
}

bool ReadRuleFile(const std::u16string& path, std::u16string* text, std::string* error,
                  int* errorNumber) {
  int ignored = 0;
  int& number = errorNumber != nullptr ? *errorNumber : ignored;
  number = 0;
  int openError = 0;
  const platform::FilePtr file = platform::OpenListFile(path, &openError);
  if (!file) {
    number = openError;
    *error = "cannot open it (" + platform::ErrorText(openError) + ")";
    return false;
  }
  std::string bytes;
  std::vector<char> chunk(64 * 1024);
  for (;;) {
    const size_t got = std::fread(chunk.data(), 1, chunk.size(), file.get());
    bytes.append(chunk.data(), got);
    if (bytes.size() > kMaxRuleFileBytes) {
      number = EFBIG;
      *error = "it is larger than 16 MiB";
      return false;
    }
    if (got < chunk.size()) break;
  }
  if (std::ferror(file.get())) {
    number = EIO;
    *error = "cannot read it";
    return false;
  }
  if (!DecodeRuleText(bytes, text)) {
    number = EILSEQ;
    *error = "it is not GBK text (save it as GBK, or as UTF-8 with a byte-order mark)";
    return false;
  }
  return true;
}

std::unique_ptr<RuleTable> RuleTableFromText(const std::u16string& text) {
  auto table = std::make_unique<RuleTable>();
  LoadRuleTableFromText(*table, text.c_str());
  return table;
}

}  // namespace kindprobe
