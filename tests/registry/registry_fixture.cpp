#include "tests/registry/registry_fixture.h"

#include <random>

#include "registration/script_steps.h"

namespace kindprobe::regtest {
namespace {

using platform::kErrorSuccess;

std::u16string RandomSuffix() {
  std::random_device device;
  const std::uint32_t number = device();
  static constexpr char16_t kDigits[] = u"0123456789abcdef";
  std::u16string suffix;
  for (int shift = 28; shift >= 0; shift -= 4) suffix += kDigits[(number >> shift) & 0xF];
  return suffix;
}

}  // namespace

std::vector<RegistryTarget> RegistryTargets() {
  std::vector<RegistryTarget> targets;
  targets.push_back(
      {"Memory", [] { return std::make_unique<registry_model::MemoryRegistry>(); }, true});
#ifdef _WIN32
  targets.push_back({"System", [] { return platform::CreateSystemRegistry(); }, false});
#endif
  return targets;
}

std::string TargetName(const ::testing::TestParamInfo<RegistryTarget>& info) {
  return info.param.name;
}

std::vector<std::uint8_t> StringBytes(std::u16string_view text) {
  std::vector<std::uint8_t> bytes;
  for (const char16_t unit : text) {
    bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
  }
  bytes.push_back(0);
  bytes.push_back(0);
  return bytes;
}

StoredValue Sz(std::u16string_view text) { return {platform::kRegSz, StringBytes(text)}; }

void RegistryTest::SetUp() {
  registry_ = GetParam().make();
  scratch_name_ = u"Kindprobe-test-" + RandomSuffix();
  scratch_ = std::make_unique<platform::ScopedRegKey>(*registry_);
  const std::u16string path = u"Software\\" + scratch_name_;
  ASSERT_EQ(registry_->CreateKey(platform::kHkeyCurrentUser, path.c_str(),
                                 platform::kKeyRead | platform::kKeyWrite, scratch_->receive()),
            kErrorSuccess);
}

void RegistryTest::TearDown() {
  if (!registry_) return;
  scratch_.reset();
  platform::ScopedRegKey software(*registry_);
  if (registry_->OpenKey(platform::kHkeyCurrentUser, u"Software",
                         platform::kKeyRead | platform::kKeyWrite,
                         software.receive()) == kErrorSuccess) {
    registration::script::DeleteKeyTree(*registry_, software.get(), scratch_name_.c_str());
  }
}

std::u16string RegistryTest::InScratch(std::u16string_view entries,
                                       std::u16string_view root) const {
  return std::u16string(root) + u" { NoRemove Software { NoRemove '" + scratch_name_ + u"' {\r\n" +
         std::u16string(entries) + u"\r\n} } }\r\n";
}

HResult RegistryTest::Run(std::u16string_view text, bool registerPass) {
  const std::u16string script(text);
  const HResult result =
      registration::ProcessScriptText(registrar_, script.c_str(), registerPass, *registry_);
  if (registry_model::MemoryRegistry* model = memory()) {
    // The fixture's own scratch handle is the only one allowed to stay open.
    EXPECT_EQ(model->OpenHandleCount(), 1u) << "a key handle was left open";
  }
  return result;
}

bool RegistryTest::KeyExists(std::u16string_view path) {
  platform::ScopedRegKey key(*registry_);
  const std::u16string name(path);
  return registry_->OpenKey(scratch(), name.c_str(), platform::kKeyRead, key.receive()) ==
         kErrorSuccess;
}

std::vector<std::u16string> RegistryTest::Subkeys(std::u16string_view path) {
  std::vector<std::u16string> names;
  platform::ScopedRegKey key(*registry_);
  const std::u16string name(path);
  if (registry_->OpenKey(scratch(), name.c_str(), platform::kKeyRead, key.receive()) !=
      kErrorSuccess) {
    ADD_FAILURE() << "no key to list";
    return names;
  }
  char16_t buffer[platform::kMaxKeyNameLength + 1];
  for (std::uint32_t index = 0;; ++index) {
    std::uint32_t length = platform::kMaxKeyNameLength + 1;
    if (registry_->EnumKey(key.get(), index, buffer, &length) != kErrorSuccess) break;
    names.emplace_back(buffer, length);
  }
  return names;
}

std::optional<StoredValue> RegistryTest::ValueAt(std::u16string_view path,
                                                 std::u16string_view name) {
  platform::ScopedRegKey key(*registry_);
  const std::u16string key_name(path);
  if (registry_->OpenKey(scratch(), key_name.c_str(), platform::kKeyRead, key.receive()) !=
      kErrorSuccess) {
    return std::nullopt;
  }
  StoredValue value{};
  const std::u16string valueName(name);
  if (registry_->QueryValue(key.get(), valueName.c_str(), &value.type, &value.data) !=
      kErrorSuccess) {
    return std::nullopt;
  }
  return value;
}

void RegistryTest::MakeKey(std::u16string_view path) {
  platform::ScopedRegKey key(*registry_);
  const std::u16string name(path);
  ASSERT_EQ(registry_->CreateKey(scratch(), name.c_str(), platform::kKeyRead | platform::kKeyWrite,
                                 key.receive()),
            kErrorSuccess);
}

void RegistryTest::PutValue(std::u16string_view path, std::u16string_view name,
                            const StoredValue& value) {
  platform::ScopedRegKey key(*registry_);
  const std::u16string key_name(path);
  ASSERT_EQ(registry_->CreateKey(scratch(), key_name.c_str(),
                                 platform::kKeyRead | platform::kKeyWrite, key.receive()),
            kErrorSuccess);
  const std::u16string valueName(name);
  ASSERT_EQ(registry_->SetValue(key.get(), valueName.c_str(), value.type, value.data.data(),
                                static_cast<std::uint32_t>(value.data.size())),
            kErrorSuccess);
}

std::string RegistryTest::Tree() {
  std::string text = registry_model::ExportRegText(*registry_, scratch(), u"T");
  // Drop the header line: the tests compare the sections.
  return text.substr(text.find('\n') + 1);
}

}  // namespace kindprobe::regtest
