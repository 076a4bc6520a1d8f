#include <algorithm>
#include <limits>
#include <new>

#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {
namespace {

constexpr std::size_t kMaxCapacity = std::numeric_limits<std::size_t>::max() / 4;

std::size_t TextLength(const char16_t* text) {
  std::size_t length = 0;
  while (text[length] != 0) ++length;
  return length;
}

}  // namespace

HResult ExpandedText::Start(std::size_t scriptLength) {
  if (scriptLength > kMaxCapacity / 2) return hr::kOutOfMemory;
  std::size_t capacity = scriptLength * 2;
  if (capacity < kTinyExpandedThreshold) capacity = kMinExpandedCapacity;
  buffer_.reset(new (std::nothrow) char16_t[capacity]);
  if (!buffer_) return hr::kOutOfMemory;
  capacity_ = capacity;
  length_ = 0;
  buffer_[0] = 0;
  return hr::kOk;
}

HResult ExpandedText::Append(const char16_t* units, std::size_t count) {
  if (count > kMaxCapacity - length_) return hr::kOutOfMemory;
  const std::size_t needed = length_ + count + 1;
  if (needed >= capacity_) {
    std::size_t capacity = capacity_;
    while (capacity <= needed) {
      if (capacity > kMaxCapacity / 2) return hr::kOutOfMemory;
      capacity *= 2;
    }
    std::unique_ptr<char16_t[]> grown(new (std::nothrow) char16_t[capacity]);
    if (!grown) return hr::kOutOfMemory;
    std::copy(buffer_.get(), buffer_.get() + length_, grown.get());
    buffer_ = std::move(grown);
    capacity_ = capacity;
  }
  std::copy(units, units + count, buffer_.get() + length_);
  length_ += count;
  buffer_[length_] = 0;
  return hr::kOk;
}

HResult ExpandReplacements(const ScriptRegistrar& registrar, const char16_t* text,
                           ExpandedText* expanded) {
  if (text == nullptr) return hr::kPointer;
  KINDPROBE_RETURN_IF_FAILED(expanded->Start(TextLength(text)));
  const char16_t* position = text;
  while (*position != 0) {
    if (*position != kPercent) {
      const char16_t* next = platform::NextCharacter(position);
      KINDPROBE_RETURN_IF_FAILED(expanded->Append(position, next - position));
      position = next;
      continue;
    }
    if (position[1] == kPercent) {  // "%%" stands for one percent sign
      KINDPROBE_RETURN_IF_FAILED(expanded->Append(position, 1));
      position += 2;
      continue;
    }
    const char16_t* name = position + 1;
    const char16_t* close = name;
    while (*close != 0 && *close != kPercent) ++close;
    if (*close == 0) return hr::kDispException;
    const auto nameLength = static_cast<std::size_t>(close - name);
    if (nameLength > kMaxReferenceNameLength) return hr::kFail;
    char16_t nameBuffer[kMaxReferenceNameLength + 1];
    std::copy(name, close, nameBuffer);
    nameBuffer[nameLength] = 0;
    const char16_t* value = registrar.FindReplacement(nameBuffer);
    if (value == nullptr) return hr::kDispException;
    KINDPROBE_RETURN_IF_FAILED(expanded->Append(value, TextLength(value)));
    position = close + 1;
  }
  return hr::kOk;
}

}  // namespace kindprobe::registration::script
