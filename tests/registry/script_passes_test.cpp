// Both passes over scripts shaped like the module's own (the AppID script and the class
// script), and the entry prefixes, recovery and walk-back behaviour of the interpreter.
#include <string>

#include "registration/script_steps.h"
#include "tests/registry/registry_fixture.h"

namespace kindprobe::regtest {
namespace {

constexpr char16_t kAppId[] = u"{0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0}";
constexpr char16_t kClassId[] = u"{12345678-9ABC-DEF0-1234-56789ABCDEF0}";
constexpr char16_t kLibId[] = u"{FEDCBA98-7654-3210-FEDC-BA9876543210}";
constexpr HResult kRefused = hr::FromWin32(platform::kErrorAccessDenied);

// The AppID script's entries, as the module ships them (tabs, CR LF).
std::u16string AppIdEntries() {
  return u"\tNoRemove AppID\r\n\t{\r\n"
         u"\t\t'%APPID%' = s 'Kindprobe'\r\n"
         u"\t\t'Kindprobe.DLL'\r\n\t\t{\r\n\t\t\tval AppID = s '%APPID%'\r\n\t\t}\r\n"
         u"\t}\r\n";
}

std::u16string ClassEntries() {
  const std::u16string clsid = kClassId;
  return u"\tKindprobe.CheckFile.1 = s 'CheckFile Class'\r\n\t{\r\n"
         u"\t\tCLSID = s '" + clsid + u"'\r\n\t}\r\n"
         u"\tKindprobe.CheckFile = s 'CheckFile Class'\r\n\t{\r\n"
         u"\t\tCLSID = s '" + clsid + u"'\r\n"
         u"\t\tCurVer = s 'Kindprobe.CheckFile.1'\r\n\t}\r\n"
         u"\tNoRemove CLSID\r\n\t{\r\n"
         u"\t\tForceRemove " + clsid + u" = s 'CheckFile Class'\r\n\t\t{\r\n"
         u"\t\t\tProgID = s 'Kindprobe.CheckFile.1'\r\n"
         u"\t\t\tVersionIndependentProgID = s 'Kindprobe.CheckFile'\r\n"
         u"\t\t\tForceRemove 'Programmable'\r\n"
         u"\t\t\tInprocServer32 = s '%MODULE%'\r\n\t\t\t{\r\n"
         u"\t\t\t\tval ThreadingModel = s 'Apartment'\r\n\t\t\t}\r\n"
         u"\t\t\tval AppID = s '%APPID%'\r\n"
         u"\t\t\t'TypeLib' = s '" + std::u16string(kLibId) + u"'\r\n"
         u"\t\t}\r\n\t}\r\n";
}

using ServerScripts = RegistryTest;

TEST_P(ServerScripts, AppIdScriptRegistersThenUnregistersLeavingTheNoRemoveKey) {
  // The AppID replacement arrives twice with the same value; the first one is used.
  ASSERT_EQ(registrar_.AppendReplacement(u"APPID", kAppId), hr::kOk);
  ASSERT_EQ(registrar_.AppendReplacement(u"APPID", kAppId), hr::kOk);
  const std::u16string app_key = std::u16string(u"AppID\\") + kAppId;

  ASSERT_EQ(Register(AppIdEntries()), hr::kOk);
  EXPECT_EQ(ValueAt(app_key, u""), Sz(u"Kindprobe"));
  EXPECT_EQ(ValueAt(u"AppID\\Kindprobe.DLL", u"AppID"), Sz(kAppId));

  ASSERT_EQ(Unregister(AppIdEntries()), hr::kOk);
  EXPECT_TRUE(KeyExists(u"AppID"));
  EXPECT_TRUE(Subkeys(u"AppID").empty());
  // Everything is gone already: a second unregistration has nothing to do and succeeds.
  EXPECT_EQ(Unregister(AppIdEntries()), hr::kOk);
  EXPECT_TRUE(KeyExists(u"AppID"));
}

TEST_P(ServerScripts, ClassScriptWritesEveryEntryWithTheExactModulePath) {
  const std::u16string module = u"C:\\Program Files\\O'Brien\\Kindprobe.DLL";
  const std::u16string escaped = u"C:\\Program Files\\O''Brien\\Kindprobe.DLL";
  ASSERT_EQ(registrar_.AppendReplacement(u"APPID", kAppId), hr::kOk);
  ASSERT_EQ(registrar_.AppendReplacement(u"Module", escaped.c_str()), hr::kOk);
  ASSERT_EQ(registrar_.AppendReplacement(u"Module_Raw", escaped.c_str()), hr::kOk);
  const std::u16string class_key = std::u16string(u"CLSID\\") + kClassId;
  // A stale entry below the class key goes: the key is force-removed before it is written.
  MakeKey(class_key + u"\\Stale\\Deeper");
  MakeKey(u"CLSID\\{00000000-0000-0000-0000-000000000001}");

  ASSERT_EQ(Register(ClassEntries()), hr::kOk);
  EXPECT_EQ(ValueAt(u"Kindprobe.CheckFile.1", u""), Sz(u"CheckFile Class"));
  EXPECT_EQ(ValueAt(u"Kindprobe.CheckFile.1\\CLSID", u""), Sz(kClassId));
  EXPECT_EQ(ValueAt(u"Kindprobe.CheckFile\\CLSID", u""), Sz(kClassId));
  EXPECT_EQ(ValueAt(u"Kindprobe.CheckFile\\CurVer", u""), Sz(u"Kindprobe.CheckFile.1"));
  EXPECT_EQ(ValueAt(class_key, u""), Sz(u"CheckFile Class"));
  EXPECT_EQ(ValueAt(class_key + u"\\ProgID", u""), Sz(u"Kindprobe.CheckFile.1"));
  EXPECT_EQ(ValueAt(class_key + u"\\VersionIndependentProgID", u""), Sz(u"Kindprobe.CheckFile"));
  EXPECT_TRUE(KeyExists(class_key + u"\\Programmable"));
  EXPECT_EQ(ValueAt(class_key + u"\\InprocServer32", u""), Sz(module));
  EXPECT_EQ(ValueAt(class_key + u"\\InprocServer32", u"ThreadingModel"), Sz(u"Apartment"));
  EXPECT_EQ(ValueAt(class_key, u"AppID"), Sz(kAppId));
  EXPECT_EQ(ValueAt(class_key + u"\\TypeLib", u""), Sz(kLibId));
  EXPECT_FALSE(KeyExists(class_key + u"\\Stale"));

  ASSERT_EQ(Unregister(ClassEntries()), hr::kOk);
  EXPECT_FALSE(KeyExists(u"Kindprobe.CheckFile.1"));
  EXPECT_FALSE(KeyExists(u"Kindprobe.CheckFile"));
  EXPECT_FALSE(KeyExists(class_key));
  EXPECT_TRUE(KeyExists(u"CLSID\\{00000000-0000-0000-0000-000000000001}"));
}

TEST_P(ServerScripts, ForceRemoveAndDeleteSpareProtectedNamesAtAnyDepthAndCase) {
  for (const char16_t* name : registration::script::kProtectedKeyNames) {
    std::u16string lower = name;
    for (char16_t& unit : lower) {
      if (unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
    }
    MakeKey(u"Deep\\Er\\" + lower + u"\\Keep");
    EXPECT_EQ(Register(u"Deep { Er { ForceRemove '" + lower + u"' = s 'kept' } }"), hr::kOk);
    EXPECT_EQ(Register(u"Deep { Er { Delete '" + lower + u"' } }"), hr::kOk);
    EXPECT_TRUE(KeyExists(u"Deep\\Er\\" + lower + u"\\Keep")) << "removed: " << lower.size();
    EXPECT_EQ(ValueAt(u"Deep\\Er\\" + lower, u""), Sz(u"kept"));
  }
}

TEST_P(ServerScripts, ForceRemoveRecreatesTheKeyEmptyAndDeleteOnlyRemoves) {
  MakeKey(u"P\\K\\A\\B");
  PutValue(u"P\\K", u"old", Sz(u"stale"));
  MakeKey(u"P\\Gone\\Sub");
  ASSERT_EQ(Register(u"P { ForceRemove K = s 'new' { val v = s 'w' } "
                     u"Delete Gone = s 'ignored' Delete NeverThere Next }"),
            hr::kOk);
  EXPECT_TRUE(Subkeys(u"P\\K").empty());
  EXPECT_FALSE(ValueAt(u"P\\K", u"old").has_value());
  EXPECT_EQ(ValueAt(u"P\\K", u""), Sz(u"new"));
  EXPECT_EQ(ValueAt(u"P\\K", u"v"), Sz(u"w"));
  EXPECT_FALSE(KeyExists(u"P\\Gone"));
  EXPECT_FALSE(KeyExists(u"P\\NeverThere"));
  EXPECT_TRUE(KeyExists(u"P\\Next"));

  // In the unregister pass both prefixes are plain key entries.
  ASSERT_EQ(Unregister(u"NoRemove P { ForceRemove K { val v = s w } Delete Next }"), hr::kOk);
  EXPECT_TRUE(KeyExists(u"P"));
  EXPECT_FALSE(KeyExists(u"P\\K"));
  EXPECT_FALSE(KeyExists(u"P\\Next"));
}

TEST_P(ServerScripts, AnEmptyKeyNameNeverStandsForTheParent) {
  MakeKey(u"P\\Child");
  PutValue(u"P", u"v", Sz(u"x"));
  EXPECT_EQ(Register(u"P { ForceRemove '' }"), hr::kDispException);
  EXPECT_EQ(Register(u"P { Delete '' }"), hr::kDispException);
  EXPECT_EQ(Register(u"NoRemove P { '' = s 'parent default' }"), hr::kDispException);
  EXPECT_EQ(Unregister(u"NoRemove P { NoRemove Child { '' } }"), hr::kDispException);
  EXPECT_TRUE(KeyExists(u"P\\Child"));
  EXPECT_EQ(ValueAt(u"P", u"v"), Sz(u"x"));
  EXPECT_FALSE(ValueAt(u"P", u"").has_value());
}

TEST_P(ServerScripts, NoRemoveKeepsOnlyItsOwnEntry) {
  MakeKey(u"A\\B\\C");
  PutValue(u"A", u"v", Sz(u"1"));
  PutValue(u"A", u"w", Sz(u"2"));
  ASSERT_EQ(Unregister(u"NoRemove A { B { C } val v = s x NoRemove val w = s y "
                       u"val missing = s z }"),
            hr::kOk);
  EXPECT_TRUE(KeyExists(u"A"));
  EXPECT_FALSE(KeyExists(u"A\\B"));
  EXPECT_FALSE(ValueAt(u"A", u"v").has_value());
  EXPECT_EQ(ValueAt(u"A", u"w"), Sz(u"2"));
}

TEST_P(ServerScripts, UnregisterDeletesAnEmptiedKeyOfAProtectedName) {
  MakeKey(u"Lib\\TypeLib");
  ASSERT_EQ(Unregister(u"NoRemove Lib { TypeLib = s 'x' }"), hr::kOk);
  EXPECT_FALSE(KeyExists(u"Lib\\TypeLib"));
}

TEST_P(ServerScripts, UnregisterStopsAtAKeyWithAnUnnamedSubkey) {
  MakeKey(u"A\\Unnamed");
  MakeKey(u"B");
  PutValue(u"", u"v", Sz(u"x"));
  EXPECT_EQ(Unregister(u"A B val v = s x"), kRefused);
  EXPECT_TRUE(KeyExists(u"A\\Unnamed"));
  EXPECT_TRUE(KeyExists(u"B"));
  EXPECT_EQ(ValueAt(u"", u"v"), Sz(u"x"));
}

TEST_P(ServerScripts, UnregisterOnlyReadsThroughTheBlockOfAMissingKey) {
  MakeKey(u"Present");
  MakeKey(u"Sub\\Deeper");
  // Nothing below a missing key is opened, checked or removed: the unknown type letter is
  // never looked at, and the same names at the level above are not touched.
  EXPECT_EQ(Unregister(u"Missing { val x = q y Sub { Deeper = s z } } Present"), hr::kOk);
  EXPECT_FALSE(KeyExists(u"Present"));
  EXPECT_TRUE(KeyExists(u"Sub\\Deeper"));
}

TEST_P(ServerScripts, AFailureBelowAMissingKeyIsIgnoredAndReadingResumesAfterIt) {
  MakeKey(u"Present");
  // The malformed name ends the inner walk; reading goes on right after it, one level up, so
  // Present is read as an entry of the enclosing block and removed. The block left unfinished
  // leaves one closing brace over at the end of the text.
  EXPECT_EQ(Unregister(u"Missing { 'a\\b' Present }"), hr::kDispException);
  EXPECT_FALSE(KeyExists(u"Present"));
}

TEST_P(ServerScripts, RegisterFailureWalksBackOnlyTheFailingRootBlock) {
  const std::u16string text = InScratch(u"First = s 'one'") +
                              InScratch(u"Second { Inner = s 'two' } Third = q 'bad'");
  EXPECT_EQ(Run(text, true), hr::kDispException);
  EXPECT_EQ(ValueAt(u"First", u""), Sz(u"one"));
  EXPECT_FALSE(KeyExists(u"Second"));
  EXPECT_FALSE(KeyExists(u"Third"));
}

TEST_P(ServerScripts, WalkBackStopsAtItsOwnFirstFailure) {
  MakeKey(u"Keep\\Unnamed");
  EXPECT_EQ(Register(u"Keep { } Made { } Bad = q x"), hr::kDispException);
  // The walk-back is refused at Keep, so what the script made after it stays.
  EXPECT_TRUE(KeyExists(u"Keep\\Unnamed"));
  EXPECT_TRUE(KeyExists(u"Made"));
}

TEST_P(ServerScripts, MalformedEntriesFailInBothPasses) {
  EXPECT_EQ(Register(u"'a\\b'"), hr::kDispException);
  EXPECT_EQ(Unregister(u"'a\\b'"), hr::kDispException);
  EXPECT_EQ(Register(u"ForceRemove 'a\\b'"), hr::kDispException);
  EXPECT_EQ(Register(u"V { val v s x }"), hr::kDispException);
  EXPECT_EQ(Unregister(u"val v s x"), hr::kDispException);
  EXPECT_FALSE(KeyExists(u"a"));
  // A block never closed runs into the end of the text; the walk-back removes what it made.
  EXPECT_EQ(Register(u"K { Unclosed"), hr::kDispException);
  EXPECT_FALSE(KeyExists(u"K"));
}

TEST_P(ServerScripts, ABlockWithoutAKeyOfItsOwnIsRefused) {
  EXPECT_EQ(Register(u"Delete Gone { Child }"), hr::kDispException);
  EXPECT_EQ(Register(u"Holder val v = s x { Child }"), hr::kDispException);
  EXPECT_FALSE(KeyExists(u"Child"));
  EXPECT_FALSE(KeyExists(u"Holder\\Child"));
  EXPECT_FALSE(ValueAt(u"", u"v").has_value());
}

TEST_P(ServerScripts, TheWalkBackReadsARefusedBlockAfterAValueAsTheRegisterPassDid) {
  PutValue(u"P", u"a", Sz(u"orig"));
  MakeKey(u"P\\keep");
  const std::u16string entries = u"NoRemove P { Val b = s 1 { keep } }";
  EXPECT_EQ(Register(entries), hr::kDispException);
  // The walk-back takes back b and stops at the refused brace: keep is not read as an entry
  // of P.
  EXPECT_TRUE(KeyExists(u"P\\keep"));
  EXPECT_EQ(ValueAt(u"P", u"a"), Sz(u"orig"));
  EXPECT_FALSE(ValueAt(u"P", u"b").has_value());
  PutValue(u"P", u"b", Sz(u"1"));
  EXPECT_EQ(Unregister(entries), hr::kDispException);
  EXPECT_TRUE(KeyExists(u"P\\keep"));
}

TEST_P(ServerScripts, ABlockRefusedBelowAMissingKeyEndsTheUnregisterPass) {
  MakeKey(u"P\\keep");
  // Reading on after the refused brace would take keep for an entry of P.
  EXPECT_EQ(Unregister(u"NoRemove P { Missing { Val b = s 1 { keep } } }"), hr::kDispException);
  EXPECT_TRUE(KeyExists(u"P\\keep"));
}

TEST_P(ServerScripts, KeysOpenOnlyForReadingFailWithTheRegistryError) {
  registry_model::MemoryRegistry* model = memory();
  if (model == nullptr) GTEST_SKIP() << "needs a key this process may not change";
  MakeKey(u"Locked");
  PutValue(u"Locked", u"v", Sz(u"x"));
  ASSERT_EQ(model->SetReadOnly(scratch(), u"Locked", true), platform::kErrorSuccess);
  EXPECT_EQ(Register(u"NoRemove Locked = s 'x'"), kRefused);
  EXPECT_EQ(Register(u"NoRemove Locked { Child }"), kRefused);
  EXPECT_EQ(Unregister(u"NoRemove Locked { val v = s x }"), kRefused);
  EXPECT_FALSE(KeyExists(u"Locked\\Child"));
  EXPECT_EQ(ValueAt(u"Locked", u"v"), Sz(u"x"));
}

TEST_P(ServerScripts, AFailedCreationEndsTheRunWithItsError) {
  if (memory() == nullptr) GTEST_SKIP() << "the limit on key names differs between registries";
  const std::u16string too_long(platform::kMaxKeyNameLength + 1, u'k');
  EXPECT_EQ(Register(u"'" + too_long + u"'"), hr::FromWin32(platform::kErrorInvalidParameter));
}

INSTANTIATE_TEST_SUITE_P(Registries, ServerScripts, ::testing::ValuesIn(RegistryTargets()),
                         TargetName);

}  // namespace
}  // namespace kindprobe::regtest
