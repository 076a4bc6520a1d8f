// The inner steps of the registry-script interpreter, its limits and its tables. Internal to
// the interpreter and its tests, and to the in-memory registry model, whose .reg text names the
// roots by this table and whose [-key] sections delete through DeleteKeyTree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/hresult.h"
#include "platform/registry.h"
#include "registration/registry_script.h"

namespace kindprobe::registration::script {

// Buffers in UTF-16 units, terminating NUL included. Token and reference-name lengths count
// UTF-16 units, so a character outside the BMP counts two: every limit then bounds the buffer
// it guards, whatever the text.
inline constexpr std::size_t kTokenCapacity = 4096;
inline constexpr std::size_t kMaxTokenLength = kTokenCapacity - 2;  // 4094
inline constexpr std::size_t kMaxReferenceNameLength = 31;
inline constexpr std::size_t kValueNameCapacity = 260;
inline constexpr std::size_t kMaxValueNameLength = kValueNameCapacity - 1;
inline constexpr std::size_t kRememberedKeyNameCapacity = 260;
inline constexpr std::size_t kSubkeyNameCapacity = platform::kMaxKeyNameLength + 1;  // 256
// Key levels below a root key; deeper blocks are refused rather than recursed into.
inline constexpr int kMaxKeyDepth = 512;

inline constexpr char16_t kOpenBrace = u'{';
inline constexpr char16_t kCloseBrace = u'}';
inline constexpr char16_t kEquals = u'=';
inline constexpr char16_t kQuote = u'\'';
inline constexpr char16_t kPercent = u'%';
inline constexpr char16_t kBackslash = u'\\';

inline constexpr char16_t kForceRemove[] = u"ForceRemove";
inline constexpr char16_t kDelete[] = u"Delete";
inline constexpr char16_t kNoRemove[] = u"NoRemove";
inline constexpr char16_t kVal[] = u"Val";

// A predefined root goes by either of its names.
struct RootKeyRow {
  const char16_t* abbreviation;
  const char16_t* full;
  platform::RegKey key;
};

inline constexpr RootKeyRow kRootKeyTable[] = {
    {u"HKCR", u"HKEY_CLASSES_ROOT", platform::kHkeyClassesRoot},
    {u"HKCU", u"HKEY_CURRENT_USER", platform::kHkeyCurrentUser},
    {u"HKLM", u"HKEY_LOCAL_MACHINE", platform::kHkeyLocalMachine},
    {u"HKU", u"HKEY_USERS", platform::kHkeyUsers},
    {u"HKPD", u"HKEY_PERFORMANCE_DATA", platform::kHkeyPerformanceData},
    {u"HKDD", u"HKEY_DYN_DATA", platform::kHkeyDynData},
    {u"HKCC", u"HKEY_CURRENT_CONFIG", platform::kHkeyCurrentConfig},
};

enum class ValueKind { kString, kMultiString, kNumber, kBinary };

struct ValueTypeRow {
  const char16_t* letter;
  ValueKind kind;
  std::uint32_t regType;
};

inline constexpr ValueTypeRow kValueTypeTable[] = {
    {u"S", ValueKind::kString, platform::kRegSz},
    {u"M", ValueKind::kMultiString, platform::kRegMultiSz},
    {u"D", ValueKind::kNumber, platform::kRegDword},
    {u"B", ValueKind::kBinary, platform::kRegBinary},
};

// Keys that "ForceRemove" and "Delete" never delete, whatever their depth.
inline constexpr const char16_t* kProtectedKeyNames[] = {
    u"AppID",    u"CLSID",    u"Component Categories",
    u"FileType", u"Interface", u"Hardware",
    u"Mime",     u"SAM",      u"SECURITY",
    u"SYSTEM",   u"Software", u"TypeLib",
};

// The current token; shared by every nesting level of one script run.
struct TokenBuffer {
  char16_t units[kTokenCapacity];
};

// Where one script run is reading.
struct ScriptCursor {
  const char16_t* position;
  const ScriptRegistrar* registrar;
};

enum class Pass { kRegister, kUnregister };

// Everything a walk shares across levels.
struct ScriptRun {
  ScriptCursor cursor;
  TokenBuffer& token;
  platform::Registry& registry;
  // Set by a refusal that leaves a block unread (one nested too deeply, one after a value
  // entry). Unlike other failures in a read-through block it is never ignored: every brace
  // after it would be counted at the wrong level.
  bool blockRefused = false;
};

// The script with its %NAME% references replaced; E_OUTOFMEMORY, never an exception, when the
// text cannot be held.
HResult ExpandReplacements(const ScriptRegistrar& registrar, const char16_t* text,
                           std::u16string* expanded);

bool IsBlank(char16_t unit);
void SkipBlanks(ScriptCursor& cursor);
HResult ReadToken(ScriptCursor& cursor, TokenBuffer& token);

// Passes over "= type value" when the current token begins with "=", leaving the token after
// it current.
HResult SkipAssignedValue(ScriptRun& run);
// Entered with the "=" token current; stores the value (null name: the default value) and
// reads the token after it.
HResult WriteScriptValue(ScriptRun& run, platform::RegKey key, const char16_t* name);
// Walks one block, entered just after its opening token, up to and including its closing
// token. `depth` is the key level of the block's entries (1 in a root block).
HResult WalkKeyBlock(ScriptRun& run, platform::RegKey parent, Pass pass, bool recovering,
                     int depth);
// Deletes a key and its whole subtree; a system error code.
Win32Error DeleteKeyTree(platform::Registry& registry, platform::RegKey parent,
                         const char16_t* name);
bool IsRemovableKeyName(const char16_t* name);

// Table look-ups, without regard to case.
platform::RegKey RootKeyFromName(const char16_t* name);
const ValueTypeRow* ValueTypeFromLetter(const char16_t* letter);
bool IsKeyword(const char16_t* token, const char16_t* keyword);

}  // namespace kindprobe::registration::script
