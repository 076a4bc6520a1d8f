// Kindprobe.dll without any registration: this program's manifest names the Kindprobe assembly,
// whose manifest lies beside it with the DLL, and COM finds the class, its ProgIDs and its
// proxy/stub through the activation context alone. Runs in a Wine prefix where nothing of the
// component was ever registered.
#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

#include "com_support.h"
#include "kindprobe.h"
#include "kindprobe/version.h"
#include "kindprobe_dll.h"
#include "test_files.h"
#include "winreg_support.h"

namespace kindprobe::wintest {
namespace {

TEST(RegistrationFree, NothingOfTheComponentIsRegistered) {
  EXPECT_FALSE(ClassesRootKeyExists(ClassKey()));
  EXPECT_FALSE(ClassesRootKeyExists(L"Kindprobe.CheckFile"));
  EXPECT_FALSE(ClassesRootKeyExists(InterfaceKey()));
}

TEST(RegistrationFree, ProgIdsAndProxyStubComeFromTheManifest) {
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(SUCCEEDED(apartment.hr()));
  // Wine answers a ProgID of an activation context with the class's alias in that context, not
  // with the class id itself; both ProgIDs must give the same one, and it must create CheckFile.
  CLSID fromVersioned{};
  CLSID fromIndependent{};
  ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Kindprobe.CheckFile.1", &fromVersioned));
  ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Kindprobe.CheckFile", &fromIndependent));
  EXPECT_EQ(RegistryForm(fromVersioned), RegistryForm(fromIndependent));
  for (const CLSID* classId : {static_cast<const CLSID*>(&fromIndependent), &CLSID_CheckFile}) {
    ComPtr<ICheckFile> checker;
    EXPECT_EQ(S_OK, ::CoCreateInstance(*classId, nullptr, CLSCTX_INPROC_SERVER, IID_ICheckFile,
                                       checker.out()))
        << RegistryForm(*classId).c_str();
  }
  CLSID proxyStub{};
  ASSERT_EQ(S_OK, ::CoGetPSClsid(IID_ICheckFile, &proxyStub));
  EXPECT_EQ(RegistryForm(IID_ICheckFile), RegistryForm(proxyStub));
}

TEST(RegistrationFree, CreatesAndUsesTheObject) {
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ASSERT_TRUE(SUCCEEDED(apartment.hr()));
  CLSID classId{};
  ASSERT_EQ(S_OK, ::CLSIDFromProgID(L"Kindprobe.CheckFile", &classId));
  ComPtr<ICheckFile> checker;
  ASSERT_EQ(S_OK, ::CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_ICheckFile,
                                     checker.out()));
  UniqueBstr version;
  ASSERT_EQ(S_OK, checker->GetVersion(version.put()));
  EXPECT_EQ(std::wstring(L"" KINDPROBE_VERSION_TEXT), ToWString(version));
  TestDirectory files;
  EXPECT_EQ(4, CheckPath(checker.get(), files.Write(L"clip.avi", AviBytes())));
  EXPECT_EQ(kAviText, ErrorInfoOf(checker.get()));
  // Late binding needs the type library, which the manifest names too.
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(S_OK, checker->QueryInterface(IID_IDispatch, dispatch.out()));
  ComPtr<ITypeInfo> typeInfo;
  EXPECT_EQ(S_OK, dispatch->GetTypeInfo(0, 0, typeInfo.put()));
}

}  // namespace
}  // namespace kindprobe::wintest
