#include "engine/file_classifier.h"

#include <algorithm>
#include <iterator>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "platform/diagnostic.h"
#include "platform/file.h"
#include "platform/player_settings.h"

namespace kindprobe {
namespace {

constexpr char16_t kUnknownDescription[] = u"未知类型";
constexpr char16_t kZeroByteDescription[] = u"零字节文件";
constexpr char16_t kShortcutDescription[] = u"Windows快捷方式";
constexpr char16_t kDownloadDescription[] = u"下载临时文件";
constexpr char16_t kPlayerCacheDescription[] = u"Cindra缓存文件";
constexpr char16_t kTextDescription[] = u"文本文件";

constexpr std::u16string_view kShortcutExtensions[] = {u".lnk"};
constexpr std::u16string_view kDownloadExtensions[] = {u".qd", u".bc!", u".emule", u".part"};
constexpr std::u16string_view kCacheCandidateExtension = u".dat";
constexpr std::u16string_view kCacheDirectorySuffix = u"\\VODCache";
constexpr std::u16string_view kDiagnosticPrefix = u"CacheDir RegVal =";
constexpr std::u16string_view kDiagnosticSuffix = u"|\n";

// The smallest byte that still counts as text: tab, CR, LF and backspace are text.
constexpr uint8_t kLowestTextByte = 0x08;

template <size_t N>
bool IsOneOf(std::u16string_view extension, const std::u16string_view (&list)[N]) {
  return std::find(std::begin(list), std::end(list), extension) != std::end(list);
}

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? c + (u'a' - u'A') : c; }

bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }

// Lower-cased (A-Z only), with "/" read as "\": the form in which cache paths are compared.
std::u16string ComparablePath(std::u16string_view path) {
  std::u16string out(path);
  for (char16_t& c : out) c = IsSeparator(c) ? u'\\' : LowerAscii(c);
  return out;
}

// The components of a comparable path, "." and empty ones left out and ".." taking back the one
// before it, as the names read (a link is not looked behind).
std::vector<std::u16string_view> Components(std::u16string_view comparable) {
  std::vector<std::u16string_view> components;
  while (!comparable.empty()) {
    const size_t end = comparable.find(u'\\');
    const std::u16string_view component = comparable.substr(0, end);
    comparable = end == std::u16string_view::npos ? std::u16string_view() : comparable.substr(end + 1);
    if (component.empty() || component == u".") continue;
    if (component == u"..") {
      if (!components.empty()) components.pop_back();
      continue;
    }
    components.push_back(component);
  }
  return components;
}

// Whether `path` lies in `cacheDirectory`. The component's rule, where the registry names the
// directory: its text anywhere in the path. Where the setting is this program's own, whole
// components of both made absolute, so that "tore" is not "store" and a directory named by its
// absolute path holds the files named relatively in it.
bool InCacheDirectory(const char16_t* path, const std::u16string& cacheDirectory) {
  if (platform::kStorePathFromRegistry) {
    return ComparablePath(path).find(ComparablePath(cacheDirectory)) != std::u16string::npos;
  }
  const std::u16string file = ComparablePath(platform::AbsolutePath(path));
  const std::u16string directory = ComparablePath(platform::AbsolutePath(cacheDirectory));
  const auto fileComponents = Components(file);
  const auto directoryComponents = Components(directory);
  return fileComponents.size() > directoryComponents.size() &&
         std::equal(directoryComponents.begin(), directoryComponents.end(), fileComponents.begin());
}

void CopyDescription(char16_t (&out)[kDescriptionCapacity], const char16_t* text) {
  const std::u16string_view view(text);
  const size_t n = std::min(view.size(), kDescriptionCapacity - 1);
  std::copy_n(view.data(), n, out);
  out[n] = u'\0';
}

}  // namespace

void CheckResult::Reset() {
  typeId = TypeIDUnknown;
  CopyDescription(description, kUnknownDescription);
  ruleIndex = -1;
  examined = false;
}

void GetFileExtension(const char16_t* path, char16_t (&extension)[kExtensionCapacity]) {
  std::fill(std::begin(extension), std::end(extension), u'\0');
  if (path == nullptr) return;
  const std::u16string_view view(path);
  const size_t dot = view.rfind(u'.');
  if (dot == std::u16string_view::npos) return;
  const size_t separator = view.find_last_of(u"\\/");
  // A dot before the last separator belongs to a directory name.
  if (separator != std::u16string_view::npos && dot < separator) return;
  const size_t n = std::min(view.size() - dot, kExtensionCapacity - 1);
  for (size_t i = 0; i < n; ++i) extension[i] = LowerAscii(view[dot + i]);
}

void TrimBlanks(char16_t* text) {
  auto isBlank = [](char16_t c) { return c == u' ' || c == u'\t'; };
  std::u16string_view view(text);
  const size_t first = std::find_if_not(view.begin(), view.end(), isBlank) - view.begin();
  size_t last = view.size();
  while (last > first && isBlank(view[last - 1])) --last;
  std::copy(text + first, text + last, text);
  text[last - first] = u'\0';
}

void TrimTrailingSeparators(char16_t* text) {
  size_t length = std::u16string_view(text).size();
  // The first character always stays: a lone "\" is kept.
  while (length > 1 && IsSeparator(text[length - 1])) text[--length] = u'\0';
}

const char16_t* BuiltInExtensionAnswer(std::u16string_view extension) {
  if (IsOneOf(extension, kShortcutExtensions)) return kShortcutDescription;
  if (IsOneOf(extension, kDownloadExtensions)) return kDownloadDescription;
  return nullptr;
}

bool IsPlayerCacheFile(const char16_t* path) {
  char16_t storePath[platform::kStorePathCapacity];
  if (!platform::ReadStorePath(storePath)) return false;
  // A value that fills the whole buffer has no terminator of its own: not a usable path.
  if (storePath[platform::kStorePathCapacity - 1] != u'\0') return false;

  std::u16string line(kDiagnosticPrefix);
  line += storePath;
  line += kDiagnosticSuffix;
  platform::WriteDiagnosticLine(line.c_str());

  TrimBlanks(storePath);
  TrimTrailingSeparators(storePath);
  std::u16string cacheDirectory(storePath);
  if (cacheDirectory.size() + kCacheDirectorySuffix.size() + 1 > platform::kStorePathCapacity) {
    return false;
  }
  cacheDirectory += kCacheDirectorySuffix;
  return InCacheDirectory(path, cacheDirectory);
}

bool IsTextHead(const FileHead& head) {
  const uint8_t* bytes = head.data.get();
  return std::all_of(bytes, bytes + head.headLength,
                     [](uint8_t b) { return b >= kLowestTextByte; });
}

void FileClassifier::SetResult(TypeID typeId, const char16_t* description) {
  result_.typeId = typeId;
  CopyDescription(result_.description, description);
}

void FileClassifier::ApplyRule(int32_t ruleIndex) {
  const FileTypeRule& rule = *table_.rules[ruleIndex];
  TypeID typeId = TypeIDUnknown;
  if (rule.kind == kRuleKindAudioVideo) typeId = TypeIDInvalidMedia;
  if (rule.kind == kRuleKindOther) typeId = TypeIDNonMedia;
  SetResult(typeId, rule.description);
  result_.ruleIndex = ruleIndex;
}

void FileClassifier::CheckFile(const char16_t* path, ReadFile* read) {
  if (path == nullptr) path = u"";
  platform::File file;
  try {
    file = platform::File::OpenForReading(path);
  } catch (const std::bad_alloc&) {
    // Memory ran out copying the path: not examined, the default answer.
    result_.Reset();
    return;
  }
  CheckOpenFile(path, std::move(file), read);
}

void FileClassifier::CheckOpenFile(const char16_t* path, platform::File file,
                                   ReadFile* read) {
  if (read != nullptr) *read = ReadFile{};
  try {
    Classify(path, file, read);
  } catch (const std::bad_alloc&) {
    // Memory ran out part way (the player's setting copied, say): the file counts as not
    // examined and keeps the default answer.
    result_.Reset();
  }
}

void FileClassifier::Classify(const char16_t* path, platform::File& file, ReadFile* read) {
  result_.Reset();
  if (path == nullptr) path = u"";
  if (!file.IsOpen()) return;
  result_.examined = true;

  uint64_t size = 0;
  // A size that cannot be had counts as a large file.
  if (!file.Size(&size)) size = UINT64_MAX;
  if (size == 0) {
    SetResult(TypeIDZeroByte, kZeroByteDescription);
    return;
  }

  head_.headLength = static_cast<uint32_t>(std::min<uint64_t>(size, kFileHeadCapacity));
  head_.data.reset(new (std::nothrow) uint8_t[head_.headLength]);
  // The head lives for this check only, whichever way it ends.
  struct HeadRelease {
    FileHead& head;
    ~HeadRelease() {
      head.data.reset();
      head.headLength = 0;
    }
  } release{head_};
  if (!head_.data || !file.SeekToStart()) return;

  // Never more than the room left: the file may have grown since its size was taken.
  uint32_t filled = 0;
  while (filled < head_.headLength) {
    uint32_t got = 0;
    if (!file.Read(head_.data.get() + filled, head_.headLength - filled, &got) || got == 0) break;
    filled += got;
  }
  // What could not be read is zero, as if the head had been zero-filled before the read.
  std::fill(head_.data.get() + filled, head_.data.get() + head_.headLength, uint8_t{0});

  Decide(file, path);
  if (read != nullptr) {
    read->file = std::move(file);
    read->size = size;
    read->head = std::move(head_);
  }
}

void FileClassifier::Decide(platform::File& file, const char16_t* path) {
  EnsureRuleTableLoaded(table_);

  char16_t extension[kExtensionCapacity];
  GetFileExtension(path, extension);
  const std::u16string_view ext(extension);
  if (const char16_t* answer = BuiltInExtensionAnswer(ext)) {
    SetResult(TypeIDNonMedia, answer);
    return;
  }

  const SignatureMatcher matcher(table_, head_);
  int32_t ruleIndex = -1;
  if (!ext.empty()) {
    if (ext == kCacheCandidateExtension && IsPlayerCacheFile(path)) {
      SetResult(TypeIDPlayerCache, kPlayerCacheDescription);
      return;
    }
    if (matcher.FindRuleByExtension(&file, extension, &ruleIndex)) {
      ApplyRule(ruleIndex);
      return;
    }
  }
  if (IsTextHead(head_)) {
    SetResult(TypeIDNonMedia, kTextDescription);
    return;
  }
  if (matcher.FindMatchingRule(&file, &ruleIndex)) ApplyRule(ruleIndex);
}

}  // namespace kindprobe
