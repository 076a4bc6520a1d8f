// Registry scripts: a text that describes registry keys and values under predefined root keys,
// with %NAME% references to replacement values. ScriptRegistrar holds the replacements;
// ProcessScriptText applies a script to the registry (register pass) or removes what it
// describes (unregister pass).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/hresult.h"
#include "platform/registry.h"

namespace kindprobe::registration {

// An interface identifier, laid out as a GUID.
struct InterfaceId {
  std::uint32_t data1;
  std::uint16_t data2;
  std::uint16_t data3;
  std::uint8_t data4[8];
};

// Holds the replacement values of one script run. Its first slots give it the shape of a COM
// object so it can be handed where one is expected, but it is owned and destroyed by whoever
// created it: nothing is counted and no interface is handed out.
class ScriptRegistrar {
 public:
  ScriptRegistrar() = default;
  ScriptRegistrar(const ScriptRegistrar&) = delete;
  ScriptRegistrar& operator=(const ScriptRegistrar&) = delete;

  // E_NOTIMPL; `*object` (when given) is set to null.
  virtual HResult QueryInterface(const InterfaceId& iid, void** object);
  // 1 and 0, always.
  virtual std::uint32_t AddRef();
  virtual std::uint32_t Release();
  // Appends a private copy of the pair; a name already present is not rejected (the first one
  // appended wins on lookup). E_INVALIDARG for a null argument, E_OUTOFMEMORY when the copy or
  // the list cannot grow (nothing is appended then).
  virtual HResult AppendReplacement(const char16_t* name, const char16_t* value);
  virtual HResult RemoveAllReplacements();
  virtual ~ScriptRegistrar();

  // The value of the first pair whose name equals `name` without regard to case, or null.
  const char16_t* FindReplacement(const char16_t* name) const;
  std::size_t ReplacementCount() const { return replacements_.size(); }

 private:
  struct Replacement {
    std::u16string name;
    std::u16string value;
  };
  std::vector<Replacement> replacements_;
};

// Expands the registrar's replacements in `text` (NUL-terminated, not changed) and runs the
// register pass (`registerPass` true) or the unregister pass over the result. A register pass
// that fails inside a root block walks that block back with the unregister pass before its
// failure is returned.
HResult ProcessScriptText(ScriptRegistrar& registrar, const char16_t* text, bool registerPass,
                          platform::Registry& registry);

}  // namespace kindprobe::registration
