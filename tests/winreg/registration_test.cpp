// DllRegisterServer and DllUnregisterServer against Wine's registry, through regsvr32 and
// called directly: what is written, what is taken away again, and the failures that must stop
// registration early.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "kindprobe.h"
#include "resource_ids.h"
#include "test_files.h"
#include "winreg_support.h"

namespace kindprobe::wintest {
namespace {

constexpr HRESULT kInsufficientBuffer = static_cast<HRESULT>(0x8007007A);
const std::wstring kProgId = L"Kindprobe.CheckFile.1";
const std::wstring kIndependentProgId = L"Kindprobe.CheckFile";

// The library's file is filed under the platform it was built for: "win64" for the 64-bit
// module, "win32" for the 32-bit one.
const std::wstring kTypeLibFileKey =
    sizeof(void*) == 8 ? L"\\1.0\\0\\win64" : L"\\1.0\\0\\win32";

void ExpectRegisteredAt(const std::wstring& modulePath) {
  const std::wstring appId = KINDPROBE_APPID_TEXT;
  const std::wstring classId = RegistryForm(CLSID_CheckFile);
  const std::wstring libraryId = RegistryForm(LIBID_KindprobeLib);

  // Script 101.
  EXPECT_EQ(L"Kindprobe", ClassesRootString(AppIdKey()));
  EXPECT_EQ(appId, ClassesRootString(L"AppID\\Kindprobe.DLL", L"AppID"));
  // Script 102.
  EXPECT_EQ(L"CheckFile Class", ClassesRootString(kProgId));
  EXPECT_EQ(classId, ClassesRootString(kProgId + L"\\CLSID"));
  EXPECT_EQ(L"CheckFile Class", ClassesRootString(kIndependentProgId));
  EXPECT_EQ(classId, ClassesRootString(kIndependentProgId + L"\\CLSID"));
  EXPECT_EQ(kProgId, ClassesRootString(kIndependentProgId + L"\\CurVer"));
  EXPECT_EQ(L"CheckFile Class", ClassesRootString(ClassKey()));
  EXPECT_EQ(appId, ClassesRootString(ClassKey(), L"AppID"));
  EXPECT_EQ(kProgId, ClassesRootString(ClassKey() + L"\\ProgID"));
  EXPECT_EQ(kIndependentProgId, ClassesRootString(ClassKey() + L"\\VersionIndependentProgID"));
  EXPECT_TRUE(ClassesRootKeyExists(ClassKey() + L"\\Programmable"));
  EXPECT_EQ(modulePath, ClassesRootString(ClassKey() + L"\\InprocServer32"));
  EXPECT_EQ(L"Apartment", ClassesRootString(ClassKey() + L"\\InprocServer32", L"ThreadingModel"));
  EXPECT_EQ(libraryId, ClassesRootString(ClassKey() + L"\\TypeLib"));
  // The type library, from the module's own resource.
  EXPECT_EQ(modulePath, ClassesRootString(TypeLibKey() + kTypeLibFileKey));
  EXPECT_EQ(modulePath.substr(0, modulePath.find_last_of(L'\\') + 1),
            ClassesRootString(TypeLibKey() + L"\\1.0\\HELPDIR"));
  // The interface is marshalled by the module's own proxy/stub, not the type-library
  // marshaler that the library's registration named first.
  EXPECT_EQ(RegistryForm(IID_ICheckFile),
            ClassesRootString(InterfaceKey() + L"\\ProxyStubClsid32"));
  EXPECT_EQ(modulePath, ClassesRootString(ProxyStubKey() + L"\\InprocServer32"));
}

void ExpectNothingOfTheClassRegistered() {
  EXPECT_FALSE(ClassesRootKeyExists(ClassKey()));
  EXPECT_FALSE(ClassesRootKeyExists(kProgId));
  EXPECT_FALSE(ClassesRootKeyExists(kIndependentProgId));
  EXPECT_FALSE(ClassesRootKeyExists(TypeLibKey()));
  EXPECT_FALSE(ClassesRootKeyExists(InterfaceKey()));
  EXPECT_FALSE(ClassesRootKeyExists(ProxyStubKey()));
}

// HKEY_CLASSES_ROOT once two exports in a row agree: a prefix that was just created may still
// be filing entries of its own in the background.
std::vector<char> SettledClassesRoot(const std::wstring& exportFile) {
  std::vector<char> previous = ExportClassesRoot(exportFile);
  for (int attempt = 0; attempt < 5; ++attempt) {
    std::vector<char> current = ExportClassesRoot(exportFile);
    if (current == previous) break;
    previous = std::move(current);
  }
  return previous;
}

// Where two exports part, as ASCII text (reg writes UTF-16), for the failure message.
std::string FirstDifference(const std::vector<char>& a, const std::vector<char>& b) {
  std::size_t at = 0;
  while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
  const auto around = [at](const std::vector<char>& bytes) {
    std::string text;
    for (std::size_t i = at > 200 ? at - 200 : 0; i < std::min(bytes.size(), at + 200); ++i) {
      if (bytes[i] != '\0') text.push_back(bytes[i]);
    }
    return text;
  };
  return "at byte " + std::to_string(at) + ":\n--- before\n" + around(a) + "\n--- after\n" +
         around(b);
}

TEST(Regsvr32, RegistersEveryEntryAndRemovesThemAgain) {
  const std::wstring module = BuiltModulePath();
  ASSERT_EQ(0u, Regsvr32(module));
  ExpectRegisteredAt(module);

  ASSERT_EQ(0u, Regsvr32(module, true));
  ExpectNothingOfTheClassRegistered();
  EXPECT_FALSE(ClassesRootKeyExists(AppIdKey()));
  EXPECT_FALSE(ClassesRootKeyExists(L"AppID\\Kindprobe.DLL"));
  // NoRemove: the parents stay.
  EXPECT_TRUE(ClassesRootKeyExists(L"AppID"));
  EXPECT_TRUE(ClassesRootKeyExists(L"CLSID"));
}

TEST(Regsvr32, RoundTripLeavesTheRegistryAsItWas) {
  TestDirectory scratch;
  const std::wstring exportFile = scratch.path() + L"\\classes.reg";
  const std::wstring module = BuiltModulePath();

  const std::vector<char> before = SettledClassesRoot(exportFile);
  ASSERT_FALSE(before.empty());
  // Twice in each direction: the second run meets its own entries, or their absence.
  ASSERT_EQ(0u, Regsvr32(module));
  ASSERT_EQ(0u, Regsvr32(module));
  const std::vector<char> registered = ExportClassesRoot(exportFile);
  EXPECT_NE(before, registered);
  ExpectRegisteredAt(module);
  ASSERT_EQ(0u, Regsvr32(module, true));
  ASSERT_EQ(0u, Regsvr32(module, true));
  const std::vector<char> after = ExportClassesRoot(exportFile);
  EXPECT_TRUE(before == after) << "HKEY_CLASSES_ROOT differs after a round trip "
                               << FirstDifference(before, after);
}

TEST(RegisterServer, PathWithASingleQuoteIsRegisteredExactly) {
  TestDirectory scratch;
  const std::wstring module = scratch.path() + L"\\Tessmark's Player\\Kindprobe.dll";
  ASSERT_TRUE(CopyInto(BuiltModulePath(), module));

  ASSERT_EQ(S_OK, CallRegistrationExport(module, "DllRegisterServer"));
  ExpectRegisteredAt(module);
  ASSERT_EQ(S_OK, CallRegistrationExport(module, "DllUnregisterServer"));
  ExpectNothingOfTheClassRegistered();
}

TEST(RegisterServer, PathThatFillsTheBufferFailsBeforeAnythingIsWritten) {
  TestDirectory scratch;
  const std::wstring exportFile = scratch.path() + L"\\classes.reg";
  // Folders of 50 characters until the module's path reaches 260 characters.
  std::wstring module = scratch.path();
  while (module.size() + 1 + 13 < 260) module += L"\\" + std::wstring(50, L'k');
  module += L"\\Kindprobe.dll";
  ASSERT_GE(module.size(), 260u);
  ASSERT_TRUE(CopyInto(BuiltModulePath(), module));

  const std::vector<char> before = SettledClassesRoot(exportFile);
  ASSERT_FALSE(before.empty());
  EXPECT_EQ(kInsufficientBuffer, CallRegistrationExport(module, "DllRegisterServer"));
  EXPECT_EQ(kInsufficientBuffer, CallRegistrationExport(module, "DllUnregisterServer"));
  const std::vector<char> after = ExportClassesRoot(exportFile);
  EXPECT_TRUE(before == after) << "the registry was changed " << FirstDifference(before, after);
}

TEST(RegisterServer, TypeLibraryFileBesideAModuleWithoutOneIsRegistered) {
  TestDirectory scratch;
  const std::wstring folder = scratch.path() + L"\\player\\";
  const std::wstring module = folder + L"Kindprobe.dll";
  const std::wstring typeLibFile = folder + L"Kindprobe.tlb";
  ASSERT_TRUE(CopyInto(BuiltModuleWithoutTypeLibPath(), module));
  ASSERT_FALSE(ReadModuleResource(module, L"TYPELIB", KINDPROBE_TYPELIB_RESOURCE));

  // Without the file the library cannot be found, and registration says so.
  EXPECT_TRUE(FAILED(CallRegistrationExport(module, "DllRegisterServer")));
  EXPECT_FALSE(ClassesRootKeyExists(TypeLibKey()));
  EXPECT_FALSE(ClassesRootKeyExists(InterfaceKey()));

  ASSERT_TRUE(CopyInto(BuiltTypeLibPath(), typeLibFile));
  ASSERT_EQ(S_OK, CallRegistrationExport(module, "DllRegisterServer"));
  EXPECT_EQ(typeLibFile, ClassesRootString(TypeLibKey() + kTypeLibFileKey));
  EXPECT_EQ(folder, ClassesRootString(TypeLibKey() + L"\\1.0\\HELPDIR"));
  EXPECT_EQ(module, ClassesRootString(ClassKey() + L"\\InprocServer32"));
  EXPECT_EQ(RegistryForm(IID_ICheckFile),
            ClassesRootString(InterfaceKey() + L"\\ProxyStubClsid32"));

  ASSERT_EQ(S_OK, CallRegistrationExport(module, "DllUnregisterServer"));
  ExpectNothingOfTheClassRegistered();
}

TEST(RegisterServer, FailingClassScriptKeepsTheAppIdAndRegistersNothingAfterIt) {
  TestDirectory scratch;
  const std::wstring module = scratch.path() + L"\\broken\\Kindprobe.dll";
  ASSERT_TRUE(CopyInto(BuiltModulePath(), module));
  // The class script with its last closing brace cut off: the root block never ends.
  std::optional<std::string> script =
      ReadModuleResource(module, L"REGISTRY", KINDPROBE_CLASS_SCRIPT_RESOURCE);
  ASSERT_TRUE(script);
  const std::size_t lastBrace = script->find_last_of('}');
  ASSERT_NE(std::string::npos, lastBrace);
  script->erase(lastBrace);
  ASSERT_TRUE(ReplaceModuleResource(module, L"REGISTRY", KINDPROBE_CLASS_SCRIPT_RESOURCE, *script));

  EXPECT_EQ(DISP_E_EXCEPTION, CallRegistrationExport(module, "DllRegisterServer"));
  EXPECT_EQ(L"Kindprobe", ClassesRootString(AppIdKey()));
  EXPECT_EQ(std::wstring(KINDPROBE_APPID_TEXT),
            ClassesRootString(L"AppID\\Kindprobe.DLL", L"AppID"));
  // The failing block was walked back; nothing after it ran.
  ExpectNothingOfTheClassRegistered();

  // The intact module takes the AppID entries away again.
  ASSERT_EQ(S_OK, CallRegistrationExport(BuiltModulePath(), "DllUnregisterServer"));
  EXPECT_FALSE(ClassesRootKeyExists(AppIdKey()));
}

}  // namespace
}  // namespace kindprobe::wintest
