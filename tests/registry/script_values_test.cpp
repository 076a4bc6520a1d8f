// Value types and the exact data they store.
#include <string>
#include <vector>

#include "tests/registry/registry_fixture.h"

namespace kindprobe::regtest {
namespace {

using Bytes = std::vector<std::uint8_t>;

StoredValue Binary(Bytes data) { return {platform::kRegBinary, std::move(data)}; }

StoredValue MultiSz(std::vector<std::u16string_view> strings) {
  Bytes data;
  for (const std::u16string_view string : strings) {
    const Bytes bytes = StringBytes(string);
    data.insert(data.end(), bytes.begin(), bytes.end());
  }
  data.push_back(0);
  data.push_back(0);
  return {platform::kRegMultiSz, data};
}

using ScriptValues = RegistryTest;

TEST_P(ScriptValues, StringsStoreTheirUnitsAndTheTerminator) {
  ASSERT_EQ(Register(u"K = S 'Kindprobe' { val lower = s 'x' val empty = s '' }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u""), Sz(u"Kindprobe"));
  EXPECT_EQ(ValueAt(u"K", u"lower"), Sz(u"x"));
  EXPECT_EQ(ValueAt(u"K", u"empty"), (StoredValue{platform::kRegSz, {0, 0}}));
}

TEST_P(ScriptValues, NumbersAreDecimalAndRejectedTextStoresNothing) {
  ASSERT_EQ(Register(u"K { val max = d 4294967295 val seven = D 7 }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u"max"), (StoredValue{platform::kRegDword, {0xFF, 0xFF, 0xFF, 0xFF}}));
  EXPECT_EQ(ValueAt(u"K", u"seven"), (StoredValue{platform::kRegDword, {7, 0, 0, 0}}));

  EXPECT_EQ(Register(u"NoRemove K { val big = d 4294967296 }"), hr::kDispOverflow);
  EXPECT_EQ(Register(u"NoRemove K { val word = d 'twelve' }"), hr::kDispTypeMismatch);
  EXPECT_FALSE(ValueAt(u"K", u"big").has_value());
  EXPECT_FALSE(ValueAt(u"K", u"word").has_value());
}

TEST_P(ScriptValues, BinaryDigitsPairIntoBytes) {
  ASSERT_EQ(Register(u"K { val mixed = b 0aFf val odd = b zz val none = b '' }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u"mixed"), Binary({0x0A, 0xFF}));
  // Characters outside the hexadecimal digits count as zero.
  EXPECT_EQ(ValueAt(u"K", u"odd"), Binary({0x00}));
  EXPECT_EQ(ValueAt(u"K", u"none"), Binary({}));

  EXPECT_EQ(Register(u"NoRemove K { val three = b 0aF }"), hr::kFail);
  EXPECT_FALSE(ValueAt(u"K", u"three").has_value());
}

TEST_P(ScriptValues, LargeBinaryValuesAreStoredWhole) {
  // Past the inline scratch area the data comes from the heap; every byte must still arrive.
  std::u16string digits;
  Bytes expected;
  for (int i = 0; i < 1000; ++i) {
    static constexpr char16_t kHex[] = u"0123456789ABCDEF";
    digits += kHex[(i * 7) % 16];
    digits += kHex[i % 16];
    expected.push_back(static_cast<std::uint8_t>(((i * 7) % 16) * 16 + i % 16));
  }
  ASSERT_EQ(Register(u"K { val big = b " + digits + u" }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u"big"), Binary(expected));
}

TEST_P(ScriptValues, MultiStringsSplitAtBackslashZeroAndEndAtAnEmptyString) {
  ASSERT_EQ(Register(u"K { val two = m 'one\\0two' val cut = M 'one\\0\\0two' "
                     u"val empty = m '' val trailing = m 'a\\' val tail = m 'a\\0' }"),
            hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u"two"), MultiSz({u"one", u"two"}));
  EXPECT_EQ(ValueAt(u"K", u"cut"), MultiSz({u"one"}));
  EXPECT_EQ(ValueAt(u"K", u"empty"), (StoredValue{platform::kRegMultiSz, {0, 0}}));
  EXPECT_EQ(ValueAt(u"K", u"trailing"), MultiSz({u"a\\"}));
  EXPECT_EQ(ValueAt(u"K", u"tail"), MultiSz({u"a"}));
}

TEST_P(ScriptValues, LongMultiStringsAreStoredWhole) {
  const std::u16string first(300, u'x');
  const std::u16string second(200, u'y');
  ASSERT_EQ(Register(u"K { val long = m '" + first + u"\\0" + second + u"' }"), hr::kOk);
  EXPECT_EQ(ValueAt(u"K", u"long"), MultiSz({first, second}));
}

TEST_P(ScriptValues, UnknownTypeLettersAreRefused) {
  EXPECT_EQ(Register(u"K { val v = x 'data' }"), hr::kDispException);
  EXPECT_EQ(Register(u"K = sz 'data'"), hr::kDispException);
  EXPECT_FALSE(KeyExists(u"K"));
}

TEST_P(ScriptValues, AValueTheRegistryRefusesEndsTheRunWithItsError) {
  registry_model::MemoryRegistry* model = memory();
  if (model == nullptr) GTEST_SKIP() << "needs a key this process may not change";
  MakeKey(u"Locked");
  ASSERT_EQ(model->SetReadOnly(scratch(), u"Locked", true), platform::kErrorSuccess);
  for (const char16_t* value : {u"s x", u"d 1", u"b 00", u"m a"}) {
    EXPECT_EQ(Register(std::u16string(u"NoRemove Locked { val v = ") + value + u" }"),
              hr::FromWin32(platform::kErrorAccessDenied));
  }
}

INSTANTIATE_TEST_SUITE_P(Registries, ScriptValues, ::testing::ValuesIn(RegistryTargets()),
                         TargetName);

}  // namespace
}  // namespace kindprobe::regtest
