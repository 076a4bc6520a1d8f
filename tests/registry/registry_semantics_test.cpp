// What the interpreter relies on from a registry, checked against every target, so that the
// in-memory model is held to the machine's behaviour where both run.
#include <string>
#include <vector>

#include "tests/registry/registry_fixture.h"

namespace kindprobe::regtest {
namespace {

using platform::kErrorAccessDenied;
using platform::kErrorFileNotFound;
using platform::kErrorSuccess;
using platform::kKeyRead;
using platform::kKeyWrite;
using platform::ScopedRegKey;

using RegistrySemantics = RegistryTest;

TEST_P(RegistrySemantics, NamesMatchWithoutRegardToCaseAndKeepTheirFirstSpelling) {
  MakeKey(u"MixedCase\\\u00C4rger");
  PutValue(u"MixedCase", u"Value", Sz(u"first"));
  PutValue(u"MIXEDCASE", u"VALUE", Sz(u"second"));
  EXPECT_TRUE(KeyExists(u"mixedcase\\\u00E4RGER"));
  EXPECT_EQ(ValueAt(u"mixedCASE", u"value"), Sz(u"second"));
  EXPECT_EQ(Subkeys(u""), (std::vector<std::u16string>{u"MixedCase"}));
  ScopedRegKey key(registry());
  ASSERT_EQ(registry().OpenKey(scratch(), u"MixedCase", kKeyRead, key.receive()), kErrorSuccess);
  std::u16string name;
  ASSERT_EQ(registry().EnumValue(key.get(), 0, &name), kErrorSuccess);
  EXPECT_EQ(name, u"Value");
}

TEST_P(RegistrySemantics, SubkeysEnumerateAlphabeticallyWithoutRegardToCase) {
  // Names with the characters between 'Z' and 'a' are left out: Wine folds to lower case
  // where Windows folds to upper case, and the two then place them differently.
  for (const char16_t* name : {u"b", u"C", u"a", u"B2", u"10", u"\u00E4"}) MakeKey(name);
  EXPECT_EQ(Subkeys(u""),
            (std::vector<std::u16string>{u"10", u"a", u"b", u"B2", u"C", u"\u00E4"}));
  char16_t buffer[3];
  std::uint32_t length = 2;  // "10" needs three units with its NUL
  EXPECT_EQ(registry().EnumKey(scratch(), 0, buffer, &length), platform::kErrorMoreData);
  length = 3;
  EXPECT_EQ(registry().EnumKey(scratch(), 6, buffer, &length), platform::kErrorNoMoreItems);
}

TEST_P(RegistrySemantics, AnEmptyNameOpensTheKeyItselfAndNamesItsDefaultValue) {
  ScopedRegKey again(registry());
  ASSERT_EQ(registry().OpenKey(scratch(), nullptr, kKeyWrite, again.receive()), kErrorSuccess);
  const auto data = StringBytes(u"default");
  ASSERT_EQ(registry().SetValue(again.get(), nullptr, platform::kRegSz, data.data(),
                                static_cast<std::uint32_t>(data.size())),
            kErrorSuccess);
  EXPECT_EQ(ValueAt(u"", u""), Sz(u"default"));
  ASSERT_EQ(registry().OpenKey(scratch(), u"", kKeyWrite, again.receive()), kErrorSuccess);
  EXPECT_EQ(registry().DeleteValue(again.get(), u""), kErrorSuccess);
  EXPECT_EQ(registry().DeleteValue(again.get(), nullptr), kErrorFileNotFound);
  EXPECT_FALSE(ValueAt(u"", u"").has_value());
}

TEST_P(RegistrySemantics, MissingKeysAndValuesAreNotFoundAndKeysWithSubkeysStay) {
  ScopedRegKey key(registry());
  EXPECT_EQ(registry().OpenKey(scratch(), u"Missing", kKeyRead, key.receive()),
            kErrorFileNotFound);
  EXPECT_EQ(registry().DeleteKey(scratch(), u"Missing"), kErrorFileNotFound);
  EXPECT_EQ(registry().DeleteValue(scratch(), u"missing"), kErrorFileNotFound);
  MakeKey(u"Parent\\Child");
  EXPECT_EQ(registry().DeleteKey(scratch(), u"Parent"), kErrorAccessDenied);
  EXPECT_EQ(registry().DeleteKey(scratch(), u"Parent\\Child"), kErrorSuccess);
  EXPECT_EQ(registry().DeleteKey(scratch(), u"PARENT"), kErrorSuccess);
  EXPECT_FALSE(KeyExists(u"Parent"));
}

TEST_P(RegistrySemantics, ValuesKeepTheirBytesTypeAndPlace) {
  const StoredValue odd{platform::kRegSz, {'a', 0, 'b'}};  // not even whole units
  const StoredValue none{platform::kRegNone, {}};
  const StoredValue custom{0x1234, {1, 2, 3}};
  PutValue(u"", u"first", odd);
  PutValue(u"", u"second", none);
  PutValue(u"", u"third", custom);
  PutValue(u"", u"FIRST", Sz(u"replaced"));
  EXPECT_EQ(ValueAt(u"", u"first"), Sz(u"replaced"));
  EXPECT_EQ(ValueAt(u"", u"second"), none);
  EXPECT_EQ(ValueAt(u"", u"third"), custom);
  std::vector<std::u16string> names;
  std::u16string name;
  for (std::uint32_t i = 0; registry().EnumValue(scratch(), i, &name) == kErrorSuccess; ++i) {
    names.push_back(name);
  }
  EXPECT_EQ(names, (std::vector<std::u16string>{u"first", u"second", u"third"}));
}

TEST_P(RegistrySemantics, AHandleToADeletedKeyFails) {
  MakeKey(u"Doomed");
  ScopedRegKey doomed(registry());
  ASSERT_EQ(registry().OpenKey(scratch(), u"Doomed", kKeyRead | kKeyWrite, doomed.receive()),
            kErrorSuccess);
  ASSERT_EQ(registry().DeleteKey(scratch(), u"Doomed"), kErrorSuccess);
  const auto data = StringBytes(u"x");
  EXPECT_EQ(registry().SetValue(doomed.get(), u"v", platform::kRegSz, data.data(),
                                static_cast<std::uint32_t>(data.size())),
            platform::kErrorKeyDeleted);
  EXPECT_EQ(doomed.Close(), kErrorSuccess);
}

TEST_P(RegistrySemantics, HandlesCarryTheirAccessRights) {
  if (!isolated()) GTEST_SKIP() << "modelled rights only";
  MakeKey(u"K");
  ScopedRegKey reading(registry());
  ASSERT_EQ(registry().OpenKey(scratch(), u"K", kKeyRead, reading.receive()), kErrorSuccess);
  const auto data = StringBytes(u"x");
  EXPECT_EQ(registry().SetValue(reading.get(), u"v", platform::kRegSz, data.data(),
                                static_cast<std::uint32_t>(data.size())),
            kErrorAccessDenied);
  ScopedRegKey created(registry());
  EXPECT_EQ(registry().CreateKey(reading.get(), u"Sub", kKeyRead, created.receive()),
            kErrorAccessDenied);
  ScopedRegKey writing(registry());
  ASSERT_EQ(registry().OpenKey(scratch(), u"K", kKeyWrite, writing.receive()), kErrorSuccess);
  char16_t buffer[8];
  std::uint32_t length = 8;
  EXPECT_EQ(registry().EnumKey(writing.get(), 0, buffer, &length), kErrorAccessDenied);
  EXPECT_EQ(registry().CloseKey(platform::RegKey{0x12345}), platform::kErrorInvalidHandle);
}

INSTANTIATE_TEST_SUITE_P(Registries, RegistrySemantics, ::testing::ValuesIn(RegistryTargets()),
                         TargetName);

}  // namespace
}  // namespace kindprobe::regtest
