// A fixture that runs the same test body against any Registry implementation. Each test works
// below its own scratch key, HKCU\Software\Kindprobe-test-<random>, created in SetUp and
// removed with everything below it in TearDown, so the bodies also run against the machine's
// registry. Targets marked `isolated` own the whole registry, so tests that need other roots
// or very deep trees run only there.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/hresult.h"
#include "platform/registry.h"
#include "registration/registry_script.h"
#include "tools/registry_model/memory_registry.h"

namespace kindprobe::regtest {

struct RegistryTarget {
  std::string name;
  std::function<std::unique_ptr<platform::Registry>()> make;
  bool isolated;
};

inline void PrintTo(const RegistryTarget& target, std::ostream* out) { *out << target.name; }

// The in-memory registry everywhere; on Windows also the machine's registry.
std::vector<RegistryTarget> RegistryTargets();

struct StoredValue {
  std::uint32_t type;
  std::vector<std::uint8_t> data;
  friend bool operator==(const StoredValue&, const StoredValue&) = default;
};

// Registry data of a REG_SZ: UTF-16LE units and the terminating NUL.
std::vector<std::uint8_t> StringBytes(std::u16string_view text);
StoredValue Sz(std::u16string_view text);

class RegistryTest : public ::testing::TestWithParam<RegistryTarget> {
 protected:
  void SetUp() override;
  void TearDown() override;

  platform::Registry& registry() { return *registry_; }
  platform::RegKey scratch() const { return scratch_->get(); }
  bool isolated() const { return GetParam().isolated; }
  // The in-memory registry when that is the target, else null.
  registry_model::MemoryRegistry* memory() {
    return dynamic_cast<registry_model::MemoryRegistry*>(registry_.get());
  }

  // Script entries placed inside the scratch key.
  std::u16string InScratch(std::u16string_view entries, std::u16string_view root = u"HKCU") const;
  // Runs a whole script text; with the in-memory registry also checks that every key handle the
  // run opened was closed again.
  HResult Run(std::u16string_view text, bool registerPass);
  HResult Register(std::u16string_view entries) { return Run(InScratch(entries), true); }
  HResult Unregister(std::u16string_view entries) { return Run(InScratch(entries), false); }

  // Inspection and set-up, with paths relative to the scratch key ("" is the scratch key).
  bool KeyExists(std::u16string_view path);
  std::vector<std::u16string> Subkeys(std::u16string_view path);
  std::optional<StoredValue> ValueAt(std::u16string_view path, std::u16string_view name);
  void MakeKey(std::u16string_view path);
  void PutValue(std::u16string_view path, std::u16string_view name, const StoredValue& value);
  // The scratch subtree as .reg text, filed under "[T...]".
  std::string Tree();

  registration::ScriptRegistrar registrar_;

 private:
  std::unique_ptr<platform::Registry> registry_;
  std::unique_ptr<platform::ScopedRegKey> scratch_;
  std::u16string scratch_name_;
};

std::string TargetName(const ::testing::TestParamInfo<RegistryTarget>& info);

}  // namespace kindprobe::regtest
