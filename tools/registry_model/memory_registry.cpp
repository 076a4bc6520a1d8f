#include "tools/registry_model/memory_registry.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "platform/hex.h"
#include "platform/text_routines.h"
#include "platform/utf.h"
#include "registration/script_steps.h"

namespace kindprobe::registry_model {

// The model is a stand-in for the seam and speaks its language throughout.
using namespace platform;

namespace {

constexpr std::uint32_t kAllAccess = 0xF003F;
constexpr std::uint32_t kWriteRights = kKeySetValue | kKeyCreateSubKey;

std::u16string Upcase(std::u16string_view text) {
  std::u16string folded(text);
  for (char16_t& unit : folded) unit = UpcaseUnit(unit);
  return folded;
}

std::u16string_view NameView(const char16_t* name) {
  return name == nullptr ? std::u16string_view() : std::u16string_view(name);
}

// Splits a key path at its backslashes; an empty component (a doubled, leading or trailing
// backslash) makes the path malformed.
bool SplitPath(std::u16string_view path, std::vector<std::u16string_view>* parts) {
  parts->clear();
  if (path.empty()) return true;
  for (;;) {
    const size_t cut = path.find(u'\\');
    const std::u16string_view part = path.substr(0, cut);
    if (part.empty()) return false;
    parts->push_back(part);
    if (cut == std::u16string_view::npos) return true;
    path.remove_prefix(cut + 1);
  }
}

}  // namespace

struct MemoryRegistry::Node {
  struct Value {
    std::u16string name;
    std::uint32_t type;
    std::vector<std::uint8_t> data;
  };

  std::u16string name;
  std::vector<Value> values;  // in the order first set, as the registry enumerates them
  std::map<std::u16string, std::shared_ptr<Node>> children;  // by upper-cased name
  std::weak_ptr<Node> parent;
  bool deleted = false;
  bool readOnly = false;
  bool predefined = false;

  Value* FindValue(std::u16string_view valueName) {
    const std::u16string folded = Upcase(valueName);
    for (Value& value : values) {
      if (Upcase(value.name) == folded) return &value;
    }
    return nullptr;
  }
};

MemoryRegistry::MemoryRegistry() {
  for (std::uintptr_t raw = kHkeyClassesRoot.raw; raw <= kHkeyDynData.raw; ++raw) {
    auto root = std::make_shared<Node>();
    root->name = PredefinedKeyName(RegKey{raw});
    root->predefined = true;
    roots_.push_back(std::move(root));
  }
}

MemoryRegistry::~MemoryRegistry() {
  // Very deep trees would otherwise be torn down by recursion through the shared pointers.
  std::vector<std::shared_ptr<Node>> pending = std::move(roots_);
  while (!pending.empty()) {
    std::shared_ptr<Node> node = std::move(pending.back());
    pending.pop_back();
    for (auto& [folded, child] : node->children) pending.push_back(std::move(child));
    node->children.clear();
  }
}

Win32Error MemoryRegistry::Resolve(RegKey key, Handle* handle) {
  if (IsPredefinedKey(key)) {
    *handle = Handle{roots_[key.raw - kHkeyClassesRoot.raw], kAllAccess};
    return kErrorSuccess;
  }
  const auto it = handles_.find(key.raw);
  if (it == handles_.end()) return kErrorInvalidHandle;
  if (it->second.node->deleted) return kErrorKeyDeleted;
  *handle = it->second;
  return kErrorSuccess;
}

Win32Error MemoryRegistry::Walk(const std::shared_ptr<Node>& start, std::u16string_view path,
                                std::shared_ptr<Node>* found) {
  std::vector<std::u16string_view> parts;
  if (!SplitPath(path, &parts)) return kErrorBadPathname;
  std::shared_ptr<Node> node = start;
  for (const std::u16string_view part : parts) {
    const auto it = node->children.find(Upcase(part));
    if (it == node->children.end()) return kErrorFileNotFound;
    node = it->second;
  }
  *found = std::move(node);
  return kErrorSuccess;
}

RegKey MemoryRegistry::AddHandle(std::shared_ptr<Node> node, std::uint32_t access) {
  const RegKey key{next_handle_};
  next_handle_ += 4;
  handles_.emplace(key.raw, Handle{std::move(node), access});
  return key;
}

Win32Error MemoryRegistry::OpenKey(RegKey parent, const char16_t* name, std::uint32_t access,
                                   RegKey* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  Handle base;
  if (const Win32Error error = Resolve(parent, &base); error != kErrorSuccess) return error;
  std::shared_ptr<Node> node;
  if (const Win32Error error = Walk(base.node, NameView(name), &node); error != kErrorSuccess) {
    return error;
  }
  if (node->readOnly && (access & kWriteRights) != 0) return kErrorAccessDenied;
  *result = AddHandle(std::move(node), access);
  return kErrorSuccess;
}

Win32Error MemoryRegistry::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access,
                                     RegKey* result) {
  if (result == nullptr) return kErrorInvalidParameter;
  Handle base;
  if (const Win32Error error = Resolve(parent, &base); error != kErrorSuccess) return error;
  std::vector<std::u16string_view> parts;
  if (!SplitPath(NameView(name), &parts)) return kErrorBadPathname;
  for (const std::u16string_view part : parts) {
    if (part.size() > kMaxKeyNameLength) return kErrorInvalidParameter;
  }
  std::shared_ptr<Node> node = base.node;
  bool creating = false;
  for (const std::u16string_view part : parts) {
    std::u16string folded = Upcase(part);
    const auto it = node->children.find(folded);
    if (it != node->children.end()) {
      node = it->second;
      continue;
    }
    // Creating needs the right to add subkeys through the handle given.
    if (!creating && (base.access & kKeyCreateSubKey) == 0) return kErrorAccessDenied;
    if (node->readOnly) return kErrorAccessDenied;
    creating = true;
    auto child = std::make_shared<Node>();
    child->name = std::u16string(part);
    child->parent = node;
    node->children.emplace(std::move(folded), child);
    node = std::move(child);
  }
  if (node->readOnly && (access & kWriteRights) != 0) return kErrorAccessDenied;
  *result = AddHandle(std::move(node), access);
  return kErrorSuccess;
}

Win32Error MemoryRegistry::SetValue(RegKey key, const char16_t* name, std::uint32_t type,
                                    const void* data, std::uint32_t size) {
  Handle handle;
  if (const Win32Error error = Resolve(key, &handle); error != kErrorSuccess) return error;
  if ((handle.access & kKeySetValue) == 0 || handle.node->readOnly) return kErrorAccessDenied;
  if (data == nullptr && size != 0) return kErrorInvalidParameter;
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  std::vector<std::uint8_t> stored(bytes, bytes + size);
  if (Node::Value* value = handle.node->FindValue(NameView(name))) {
    value->type = type;
    value->data = std::move(stored);
  } else {
    handle.node->values.push_back({std::u16string(NameView(name)), type, std::move(stored)});
  }
  return kErrorSuccess;
}

Win32Error MemoryRegistry::DeleteValue(RegKey key, const char16_t* name) {
  Handle handle;
  if (const Win32Error error = Resolve(key, &handle); error != kErrorSuccess) return error;
  if ((handle.access & kKeySetValue) == 0 || handle.node->readOnly) return kErrorAccessDenied;
  Node::Value* value = handle.node->FindValue(NameView(name));
  if (value == nullptr) return kErrorFileNotFound;
  handle.node->values.erase(handle.node->values.begin() + (value - handle.node->values.data()));
  return kErrorSuccess;
}

Win32Error MemoryRegistry::DeleteKey(RegKey parent, const char16_t* name) {
  if (name == nullptr) return kErrorInvalidParameter;
  Handle base;
  if (const Win32Error error = Resolve(parent, &base); error != kErrorSuccess) return error;
  std::shared_ptr<Node> node;
  if (const Win32Error error = Walk(base.node, name, &node); error != kErrorSuccess) {
    return error;
  }
  // An empty name is the key itself; the predefined roots cannot go.
  if (node->predefined || node->readOnly || !node->children.empty()) return kErrorAccessDenied;
  const std::shared_ptr<Node> owner = node->parent.lock();
  owner->children.erase(Upcase(node->name));
  node->deleted = true;
  return kErrorSuccess;
}

Win32Error MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char16_t* name,
                                   std::uint32_t* length) {
  if (name == nullptr || length == nullptr) return kErrorInvalidParameter;
  Handle handle;
  if (const Win32Error error = Resolve(key, &handle); error != kErrorSuccess) return error;
  if ((handle.access & kKeyEnumerateSubKeys) == 0) return kErrorAccessDenied;
  if (index >= handle.node->children.size()) return kErrorNoMoreItems;
  const std::u16string& child = std::next(handle.node->children.begin(), index)->second->name;
  if (child.size() >= *length) return kErrorMoreData;
  std::copy(child.begin(), child.end(), name);
  name[child.size()] = 0;
  *length = static_cast<std::uint32_t>(child.size());
  return kErrorSuccess;
}

Win32Error MemoryRegistry::CloseKey(RegKey key) {
  if (IsPredefinedKey(key)) return kErrorSuccess;
  return handles_.erase(key.raw) == 1 ? kErrorSuccess : kErrorInvalidHandle;
}

Win32Error MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, std::u16string* name) {
  Handle handle;
  if (const Win32Error error = Resolve(key, &handle); error != kErrorSuccess) return error;
  if ((handle.access & kKeyQueryValue) == 0) return kErrorAccessDenied;
  if (index >= handle.node->values.size()) return kErrorNoMoreItems;
  *name = handle.node->values[index].name;
  return kErrorSuccess;
}

Win32Error MemoryRegistry::QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                                      std::vector<std::uint8_t>* data) {
  Handle handle;
  if (const Win32Error error = Resolve(key, &handle); error != kErrorSuccess) return error;
  if ((handle.access & kKeyQueryValue) == 0) return kErrorAccessDenied;
  const Node::Value* value = handle.node->FindValue(NameView(name));
  if (value == nullptr) return kErrorFileNotFound;
  if (type != nullptr) *type = value->type;
  if (data != nullptr) *data = value->data;
  return kErrorSuccess;
}

Win32Error MemoryRegistry::SetReadOnly(RegKey parent, const char16_t* name, bool readOnly) {
  Handle base;
  if (const Win32Error error = Resolve(parent, &base); error != kErrorSuccess) return error;
  std::shared_ptr<Node> node;
  if (const Win32Error error = Walk(base.node, NameView(name), &node); error != kErrorSuccess) {
    return error;
  }
  node->readOnly = readOnly;
  return kErrorSuccess;
}

// ---- .reg text ---------------------------------------------------------------------------

namespace {

constexpr std::string_view kRegHeader = "Windows Registry Editor Version 5.00";
constexpr std::size_t kHexLineWidth = 76;  // where regedit wraps long hex data

// The roots go by the names the scripts give them; a whole-registry dump follows the table.
using registration::script::kRootKeyTable;
using registration::script::RootKeyRow;

std::string QuoteRegString(std::u16string_view text) {
  std::string out = "\"";
  for (const char c : Utf16ToUtf8(text)) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

// A REG_SZ that regedit can show as a string: whole units, one NUL at the very end.
bool IsPlainString(std::uint32_t type, const std::vector<std::uint8_t>& data) {
  if (type != kRegSz || data.size() < 2 || data.size() % 2 != 0) return false;
  for (size_t i = 0; i + 2 < data.size(); i += 2) {
    if (data[i] == 0 && data[i + 1] == 0) return false;
  }
  return data[data.size() - 2] == 0 && data[data.size() - 1] == 0;
}

std::u16string Utf16FromBytes(const std::vector<std::uint8_t>& data) {
  std::u16string text;
  for (size_t i = 0; i + 2 < data.size(); i += 2) {  // all but the final NUL
    text += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  }
  return text;
}

std::string FormatValue(std::string line, std::uint32_t type,
                        const std::vector<std::uint8_t>& data) {
  static constexpr char kDigits[] = "0123456789abcdef";
  if (IsPlainString(type, data)) return line + QuoteRegString(Utf16FromBytes(data)) + "\n";
  if (type == kRegDword && data.size() == 4) {
    const std::uint32_t number = data[0] | (data[1] << 8) | (data[2] << 16) |
                                 (static_cast<std::uint32_t>(data[3]) << 24);
    std::string hex = "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) hex += kDigits[(number >> shift) & 0xF];
    return line + hex + "\n";
  }
  if (type == kRegBinary) {
    line += "hex:";
  } else {
    std::string digits;
    for (std::uint32_t t = type;; t >>= 4) {
      digits.insert(digits.begin(), kDigits[t & 0xF]);
      if (t < 16) break;
    }
    line += "hex(" + digits + "):";
  }
  std::string out;
  for (size_t i = 0; i < data.size(); ++i) {
    const bool last = i + 1 == data.size();
    if (line.size() + 3 > kHexLineWidth) {
      out += line + "\\\n";
      line = "  ";
    }
    line += kDigits[data[i] >> 4];
    line += kDigits[data[i] & 0xF];
    if (!last) line += ',';
  }
  return out + line + "\n";
}

void ExportKey(Registry& registry, RegKey key, const std::u16string& path, bool always,
               std::string* out) {
  std::string values;
  std::u16string valueName;
  for (std::uint32_t index = 0;
       registry.EnumValue(key, index, &valueName) == kErrorSuccess; ++index) {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (registry.QueryValue(key, valueName.c_str(), &type, &data) != kErrorSuccess) continue;
    const std::string name = valueName.empty() ? "@=" : QuoteRegString(valueName) + "=";
    values += FormatValue(name, type, data);
  }
  if (always || !values.empty()) {
    *out += "\n[" + Utf16ToUtf8(path) + "]\n" + values;
  }
  char16_t child[kMaxKeyNameLength + 1];
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t length = kMaxKeyNameLength + 1;
    if (registry.EnumKey(key, index, child, &length) != kErrorSuccess) break;
    ScopedRegKey sub(registry);
    if (registry.OpenKey(key, child, kKeyRead, sub.receive()) != kErrorSuccess) continue;
    ExportKey(registry, sub.get(), path + u"\\" + std::u16string(child, length), true, out);
  }
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r')) {
    text.remove_suffix(1);
  }
  return text;
}

// Reads a quoted string with \\ and \" escapes from the start of `text`.
bool ReadQuoted(std::string_view* text, std::string* out) {
  if (text->empty() || text->front() != '"') return false;
  out->clear();
  for (size_t i = 1; i < text->size(); ++i) {
    char c = (*text)[i];
    if (c == '"') {
      text->remove_prefix(i + 1);
      return true;
    }
    if (c == '\\' && i + 1 < text->size()) c = (*text)[++i];
    *out += c;
  }
  return false;
}

// The callers bound the digits to eight, so the number cannot overflow.
bool ParseHexNumber(std::string_view digits, std::uint32_t* number) {
  for (const char c : digits) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return false;
    *number = *number * 16 + static_cast<std::uint32_t>(digit);
  }
  return true;
}

bool ParseHexBytes(std::string_view text, std::vector<std::uint8_t>* bytes) {
  bytes->clear();
  text = Trim(text);
  while (!text.empty()) {
    const size_t comma = text.find(',');
    const std::string_view item = Trim(text.substr(0, comma));
    if (item.size() != 2) return false;
    const int high = HexDigitValue(item[0]);
    const int low = HexDigitValue(item[1]);
    if (high < 0 || low < 0) return false;
    bytes->push_back(static_cast<std::uint8_t>(high * 16 + low));
    if (comma == std::string_view::npos) break;
    text.remove_prefix(comma + 1);
    if (Trim(text).empty()) return false;
  }
  return true;
}

bool ParseData(std::string_view text, std::uint32_t* type, std::vector<std::uint8_t>* data) {
  std::string quoted;
  if (!text.empty() && text.front() == '"') {
    if (!ReadQuoted(&text, &quoted) || !Trim(text).empty()) return false;
    const std::u16string wide = Utf8ToUtf16(quoted);
    data->clear();
    for (const char16_t unit : wide) {
      data->push_back(static_cast<std::uint8_t>(unit & 0xFF));
      data->push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    data->push_back(0);
    data->push_back(0);
    *type = kRegSz;
    return true;
  }
  if (text.substr(0, 6) == "dword:") {
    const std::string_view digits = text.substr(6);
    if (digits.size() != 8) return false;
    std::uint32_t number = 0;
    if (!ParseHexNumber(digits, &number)) return false;
    *data = {static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
             static_cast<std::uint8_t>(number >> 16), static_cast<std::uint8_t>(number >> 24)};
    *type = kRegDword;
    return true;
  }
  if (text.substr(0, 4) == "hex:") {
    *type = kRegBinary;
    return ParseHexBytes(text.substr(4), data);
  }
  if (text.substr(0, 4) == "hex(") {
    const size_t close = text.find("):");
    if (close == std::string_view::npos || close == 4 || close > 12) return false;
    std::uint32_t number = 0;
    if (!ParseHexNumber(text.substr(4, close - 4), &number)) return false;
    *type = number;
    return ParseHexBytes(text.substr(close + 2), data);
  }
  return false;
}

// Splits "ROOT\rest" into the root key and the path below it.
RegKey SplitRoot(std::u16string_view path, std::u16string* rest) {
  const size_t cut = path.find(u'\\');
  const RegKey root = PredefinedKeyFromName(path.substr(0, cut));
  *rest = cut == std::u16string_view::npos ? std::u16string() : std::u16string(path.substr(cut + 1));
  return root;
}

}  // namespace

RegKey PredefinedKeyFromName(std::u16string_view name) {
  const std::u16string folded = Upcase(name);
  for (const RootKeyRow& row : kRootKeyTable) {
    if (folded == row.full || folded == row.abbreviation) return row.key;
  }
  return kNoKey;
}

std::u16string PredefinedKeyName(RegKey key) {
  for (const RootKeyRow& row : kRootKeyTable) {
    if (row.key == key) return row.full;
  }
  return {};
}

std::string ExportRegText(Registry& registry, RegKey key, const std::u16string& path) {
  std::string out = std::string(kRegHeader) + "\n";
  ExportKey(registry, key, path, true, &out);
  return out;
}

std::string ExportRegText(Registry& registry) {
  std::string out = std::string(kRegHeader) + "\n";
  for (const RootKeyRow& row : kRootKeyTable) {
    ExportKey(registry, row.key, row.full, false, &out);
  }
  return out;
}

bool ImportRegText(Registry& registry, std::string_view text, std::string* error) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  ScopedRegKey current(registry);
  bool seenHeader = false;
  size_t lineNumber = 0;
  const auto fail = [&](const char* what) {
    if (error != nullptr) *error = "line " + std::to_string(lineNumber) + ": " + what;
    return false;
  };
  while (!text.empty()) {
    // One logical line: a line ending in a backslash goes on in the next one.
    std::string line;
    const size_t firstLine = lineNumber + 1;
    for (;;) {
      const size_t end = text.find('\n');
      std::string_view piece = Trim(text.substr(0, end));
      text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
      ++lineNumber;
      const bool continued = !piece.empty() && piece.back() == '\\' &&
                             piece.front() != '[' && !text.empty();
      if (continued) piece.remove_suffix(1);
      line += piece;
      if (!continued) break;
    }
    const std::string_view entry = line;
    if (entry.empty() || entry.front() == ';') continue;
    if (!seenHeader) {
      if (entry != kRegHeader && entry != "REGEDIT4") {
        lineNumber = firstLine;
        return fail("not a registry file header");
      }
      seenHeader = true;
      continue;
    }
    if (entry.front() == '[') {
      if (entry.back() != ']') return fail("unterminated key name");
      current.Close();
      const bool removal = entry.size() > 1 && entry[1] == '-';
      std::u16string rest;
      const RegKey root =
          SplitRoot(Utf8ToUtf16(entry.substr(removal ? 2 : 1, entry.size() - (removal ? 3 : 2))),
                    &rest);
      if (root == kNoKey) return fail("unknown root key");
      if (removal) {
        if (!rest.empty()) registration::script::DeleteKeyTree(registry, root, rest.c_str());
        continue;
      }
      if (registry.CreateKey(root, rest.c_str(), kKeyRead | kKeyWrite, current.receive()) !=
          kErrorSuccess) {
        return fail("key cannot be created");
      }
      continue;
    }
    if (current.get() == kNoKey) return fail("value outside a key section");
    std::string_view rest = entry;
    std::string name;
    if (rest.front() == '@') {
      rest.remove_prefix(1);
    } else if (!ReadQuoted(&rest, &name)) {
      return fail("malformed value name");
    }
    rest = Trim(rest);
    if (rest.empty() || rest.front() != '=') return fail("expected '='");
    rest = Trim(rest.substr(1));
    const std::u16string valueName = Utf8ToUtf16(name);
    if (rest == "-") {
      registry.DeleteValue(current.get(), valueName.c_str());
      continue;
    }
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
    if (!ParseData(rest, &type, &data)) return fail("malformed value data");
    if (registry.SetValue(current.get(), valueName.c_str(), type, data.data(),
                          static_cast<std::uint32_t>(data.size())) != kErrorSuccess) {
      return fail("value cannot be set");
    }
  }
  if (!seenHeader) return fail("not a registry file header");
  return true;
}

}  // namespace kindprobe::registry_model
