#include <algorithm>
#include <string>

#include "platform/text_routines.h"
#include "registration/script_steps.h"

namespace kindprobe::registration::script {
namespace {

using platform::kErrorFileNotFound;
using platform::kErrorSuccess;
using platform::kKeyRead;
using platform::kKeyWrite;
using platform::RegKey;
using platform::ScopedRegKey;

bool IsExactly(const TokenBuffer& token, char16_t unit) {
  return token.units[0] == unit && token.units[1] == 0;
}

// A key entry names exactly one key level: no path, and not the empty name, which the registry
// would take as the parent key itself (and so delete or overwrite the parent).
bool IsSingleKeyName(const char16_t* name) {
  if (*name == 0) return false;
  for (; *name != 0; ++name) {
    if (*name == kBackslash) return false;
  }
  return true;
}

// After an entry that leaves no key of its own (a "Delete" entry, a value entry), a block would
// have no key to belong to.
HResult RefuseOrphanBlock(ScriptRun& run) {
  if (!IsExactly(run.token, kOpenBrace)) return hr::kOk;
  run.blockRefused = true;
  return hr::kDispException;
}

// "Val name = type value". The name must fit its buffer: a longer one is refused before
// anything is stored or removed.
HResult HandleValueEntry(ScriptRun& run, RegKey parent, Pass pass, bool recovering,
                         bool deletable) {
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  const std::size_t nameLength = std::char_traits<char16_t>::length(run.token.units);
  if (nameLength > kMaxValueNameLength) return hr::kDispException;
  char16_t name[kValueNameCapacity];
  std::copy(run.token.units, run.token.units + nameLength + 1, name);
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  if (run.token.units[0] != kEquals) return hr::kDispException;

  if (pass == Pass::kRegister) {
    KINDPROBE_RETURN_IF_FAILED(WriteScriptValue(run, parent, name));
    return RefuseOrphanBlock(run);
  }
  if (!recovering && deletable) {
    // The parent may be open for reading only; deleting a value needs write access.
    ScopedRegKey writable(run.registry);
    if (const Win32Error error = run.registry.OpenKey(parent, nullptr, kKeyWrite,
                                                       writable.receive());
        error != kErrorSuccess) {
      return hr::FromWin32(error);
    }
    const Win32Error error = run.registry.DeleteValue(writable.get(), name);
    if (error != kErrorSuccess && error != kErrorFileNotFound) return hr::FromWin32(error);
  }
  KINDPROBE_RETURN_IF_FAILED(SkipAssignedValue(run));
  // Refused here too: the walk-back after a failed register pass must stop where that pass
  // stopped, not take the block's brace for a key name and its entries for the parent's.
  return RefuseOrphanBlock(run);
}

HResult RegisterKeyEntry(ScriptRun& run, RegKey parent, ScopedRegKey& current, int depth) {
  const char16_t* name = run.token.units;
  RegKey opened = platform::kNoKey;
  if (run.registry.OpenKey(parent, name, kKeyRead | kKeyWrite, &opened) != kErrorSuccess &&
      run.registry.OpenKey(parent, name, kKeyRead, &opened) != kErrorSuccess) {
    if (const Win32Error error =
            run.registry.CreateKey(parent, name, kKeyRead | kKeyWrite, &opened);
        error != kErrorSuccess) {
      return hr::FromWin32(error);
    }
  }
  current.Reset(opened);
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  if (run.token.units[0] == kEquals) {
    KINDPROBE_RETURN_IF_FAILED(WriteScriptValue(run, current.get(), nullptr));
  }
  if (IsExactly(run.token, kOpenBrace)) {
    KINDPROBE_RETURN_IF_FAILED(WalkKeyBlock(run, current.get(), Pass::kRegister, false, depth + 1));
    return ReadToken(run.cursor, run.token);
  }
  return hr::kOk;
}

HResult UnregisterKeyEntry(ScriptRun& run, RegKey parent, ScopedRegKey& current,
                           bool recovering, bool deletable, int depth) {
  Win32Error openError = kErrorFileNotFound;
  if (!recovering) {
    openError = run.registry.OpenKey(parent, run.token.units, kKeyRead, current.receive());
  }
  const bool entryRecovering = openError != kErrorSuccess;

  char16_t remembered[kRememberedKeyNameCapacity];
  const std::size_t kept = std::min(std::char_traits<char16_t>::length(run.token.units), kRememberedKeyNameCapacity - 1);
  std::copy(run.token.units, run.token.units + kept, remembered);
  remembered[kept] = 0;

  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  KINDPROBE_RETURN_IF_FAILED(SkipAssignedValue(run));
  if (IsExactly(run.token, kOpenBrace)) {
    const HResult inner =
        WalkKeyBlock(run, current.get(), Pass::kUnregister, entryRecovering, depth + 1);
    // Below a key that could not be opened the block is only read through; its failures do
    // not count and reading goes on from wherever it stopped, except after a refused block.
    if (hr::Failed(inner) && (!entryRecovering || run.blockRefused)) return inner;
    KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  }
  if (openError == kErrorFileNotFound) return hr::kOk;
  if (openError != kErrorSuccess) return hr::FromWin32(openError);
  if (const Win32Error error = current.Close(); error != kErrorSuccess) {
    return hr::FromWin32(error);
  }
  if (deletable) {
    if (const Win32Error error = run.registry.DeleteKey(parent, remembered);
        error != kErrorSuccess) {
      return hr::FromWin32(error);
    }
  }
  return hr::kOk;
}

}  // namespace

HResult WalkKeyBlock(ScriptRun& run, RegKey parent, Pass pass, bool recovering, int depth) {
  // A bound on nesting keeps a crafted script from exhausting the stack.
  if (depth > kMaxKeyDepth) {
    run.blockRefused = true;
    return hr::kDispException;
  }
  ScopedRegKey current(run.registry);
  KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
  while (run.token.units[0] != kCloseBrace) {
    bool deletable = true;
    const bool isDelete = IsKeyword(run.token.units, kDelete);
    if (isDelete || IsKeyword(run.token.units, kForceRemove)) {
      KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
      if (pass == Pass::kRegister) {
        if (!IsSingleKeyName(run.token.units)) return hr::kDispException;
        if (IsRemovableKeyName(run.token.units)) {
          DeleteKeyTree(run.registry, parent, run.token.units);  // a missing key is fine
        }
        if (isDelete) {
          KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
          KINDPROBE_RETURN_IF_FAILED(SkipAssignedValue(run));
          KINDPROBE_RETURN_IF_FAILED(RefuseOrphanBlock(run));
          continue;
        }
      }
    }
    if (IsKeyword(run.token.units, kNoRemove)) {
      deletable = false;
      KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, run.token));
    }
    HResult result;
    if (IsKeyword(run.token.units, kVal)) {
      result = HandleValueEntry(run, parent, pass, recovering, deletable);
    } else if (!IsSingleKeyName(run.token.units)) {
      result = hr::kDispException;
    } else if (pass == Pass::kRegister) {
      result = RegisterKeyEntry(run, parent, current, depth);
    } else {
      result = UnregisterKeyEntry(run, parent, current, recovering, deletable, depth);
    }
    if (hr::Failed(result)) return result;
  }
  return hr::kOk;
}

Win32Error DeleteKeyTree(platform::Registry& registry, RegKey parent, const char16_t* name) {
  ScopedRegKey key(registry);
  if (const Win32Error error = registry.OpenKey(parent, name, kKeyRead | kKeyWrite, key.receive());
      error != kErrorSuccess) {
    return error;
  }
  char16_t subkey[kSubkeyNameCapacity];
  for (;;) {
    // Each deletion removes the first subkey, so index 0 always names the next one.
    std::uint32_t length = kSubkeyNameCapacity;
    if (registry.EnumKey(key.get(), 0, subkey, &length) != kErrorSuccess) break;
    if (const Win32Error error = DeleteKeyTree(registry, key.get(), subkey);
        error != kErrorSuccess) {
      return error;
    }
  }
  key.Close();
  return registry.DeleteKey(parent, name);
}

}  // namespace kindprobe::registration::script

namespace kindprobe::registration {

HResult ProcessScriptText(ScriptRegistrar& registrar, const char16_t* text, bool registerPass,
                          platform::Registry& registry) {
  using namespace script;
  std::u16string expanded;
  KINDPROBE_RETURN_IF_FAILED(ExpandReplacements(registrar, text, &expanded));
  if (expanded.empty()) return hr::kOk;

  TokenBuffer token;
  ScriptRun run{ScriptCursor{expanded.c_str(), &registrar}, token, registry};
  for (;;) {
    KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, token));
    const RegKey root = RootKeyFromName(token.units);
    if (root == platform::kNoKey) return hr::kDispException;
    KINDPROBE_RETURN_IF_FAILED(ReadToken(run.cursor, token));
    if (token.units[0] != kOpenBrace) return hr::kDispException;
    if (registerPass) {
      const char16_t* blockStart = run.cursor.position;
      if (const HResult result = WalkKeyBlock(run, root, Pass::kRegister, false, 1);
          hr::Failed(result)) {
        // Take back what this block wrote, as far as the unregister pass can.
        run.cursor.position = blockStart;
        run.blockRefused = false;
        WalkKeyBlock(run, root, Pass::kUnregister, false, 1);
        return result;
      }
    } else {
      KINDPROBE_RETURN_IF_FAILED(WalkKeyBlock(run, root, Pass::kUnregister, false, 1));
    }
    SkipBlanks(run.cursor);
    if (*run.cursor.position == 0) return hr::kOk;
  }
}

}  // namespace kindprobe::registration
