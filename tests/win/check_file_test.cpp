// The CheckFile object through its method table: identities, results, version, bad arguments.
#include <gtest/gtest.h>

#include <string>

#include "kindprobe/version.h"
#include "kindprobe_dll.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

TEST(CheckFileObject, StartsWithTheUnknownResult) {
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);
  EXPECT_EQ(0, TypeIdOf(checker.get()));
  EXPECT_EQ(kUnknownText, ErrorInfoOf(checker.get()));
}

TEST(CheckFileObject, AnswersItsThreeInterfacesWithOnePointer) {
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);
  ComPtr<IUnknown> unknown;
  ComPtr<IDispatch> dispatch;
  ComPtr<ICheckFile> again;
  ASSERT_EQ(S_OK, checker->QueryInterface(IID_IUnknown, unknown.out()));
  ASSERT_EQ(S_OK, checker->QueryInterface(IID_IDispatch, dispatch.out()));
  ASSERT_EQ(S_OK, checker->QueryInterface(IID_ICheckFile, again.out()));
  EXPECT_EQ(static_cast<IUnknown*>(checker.get()), unknown.get());
  EXPECT_EQ(static_cast<IDispatch*>(checker.get()), dispatch.get());
  EXPECT_EQ(checker.get(), again.get());

  for (const IID* refused : {&IID_IClassFactory, &IID_IPersist, &IID_IMarshal, &IID_ITypeInfo}) {
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_NOINTERFACE, checker->QueryInterface(*refused, &object));
    EXPECT_EQ(nullptr, object);
  }
  EXPECT_EQ(E_POINTER, checker->QueryInterface(IID_IUnknown, nullptr));
}

TEST(CheckFileObject, ReportsTheModuleFileVersion) {
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);
  UniqueBstr version;
  ASSERT_EQ(S_OK, checker->GetVersion(version.put()));
  const std::string expected = KINDPROBE_VERSION_TEXT;
  EXPECT_EQ(std::wstring(expected.begin(), expected.end()), ToWString(version));
  // Exactly the text: no terminator or padding inside the string's length.
  EXPECT_EQ(std::wcslen(version.get()), ::SysStringLen(version.get()));
}

TEST(CheckFileObject, RefusesNullOutPointers) {
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);
  EXPECT_EQ(E_POINTER, checker->GetVersion(nullptr));
  EXPECT_EQ(E_POINTER, checker->GetTypeID(nullptr));
  EXPECT_EQ(E_POINTER, checker->GetErrorInfo(nullptr));
  EXPECT_EQ(E_POINTER, checker->GetTypeInfoCount(nullptr));
  EXPECT_EQ(E_POINTER, checker->GetTypeInfo(0, 0, nullptr));
}

TEST(CheckFileObject, EveryCheckStartsFromTheUnknownResult) {
  TestDirectory dir;
  const std::wstring mp3 = dir.Write(L"song.mp3", Mp3Bytes());
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);

  EXPECT_EQ(4, CheckPath(checker.get(), mp3));
  EXPECT_EQ(kMp3Text, ErrorInfoOf(checker.get()));
  EXPECT_EQ(0, CheckPath(checker.get(), dir.path() + L"\\missing.mp3"));
  EXPECT_EQ(kUnknownText, ErrorInfoOf(checker.get()));

  // A null BSTR is the empty string: nothing to open, the unknown result.
  EXPECT_EQ(4, CheckPath(checker.get(), mp3));
  EXPECT_EQ(S_OK, checker->CheckFile(nullptr));
  EXPECT_EQ(0, TypeIdOf(checker.get()));
  EXPECT_EQ(kUnknownText, ErrorInfoOf(checker.get()));

  // Reading the result does not change it.
  EXPECT_EQ(4, CheckPath(checker.get(), mp3));
  EXPECT_EQ(ErrorInfoOf(checker.get()), ErrorInfoOf(checker.get()));
  EXPECT_EQ(4, TypeIdOf(checker.get()));
}

TEST(CheckFileObject, LeavesTheCallersPathUntouched) {
  TestDirectory dir;
  const std::wstring path = dir.Write(L"Clip.AVI", AviBytes());
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);
  const UniqueBstr bstr = MakeBstr(path);
  ASSERT_EQ(S_OK, checker->CheckFile(bstr.get()));
  EXPECT_EQ(4, TypeIdOf(checker.get()));
  EXPECT_EQ(path, ToWString(bstr));
}

TEST(CheckFileObject, ClientsShareTheLastResult) {
  TestDirectory dir;
  const std::wstring empty = dir.Write(L"x.lnk", {});
  const std::wstring avi = dir.Write(L"clip.avi", AviBytes());
  const KindprobeDll& dll = KindprobeDll::Get();
  ComPtr<ICheckFile> clientA = dll.CreateCheckFile();
  ComPtr<IClassFactory> otherFactory = dll.ClassFactory();
  ComPtr<ICheckFile> clientB;
  ASSERT_EQ(S_OK, otherFactory->CreateInstance(nullptr, IID_ICheckFile, clientB.out()));
  ASSERT_TRUE(clientA && clientB);

  EXPECT_EQ(3, CheckPath(clientA.get(), empty));
  EXPECT_EQ(3, TypeIdOf(clientB.get()));
  EXPECT_EQ(kZeroByteText, ErrorInfoOf(clientB.get()));
  EXPECT_EQ(4, CheckPath(clientB.get(), avi));
  EXPECT_EQ(kAviText, ErrorInfoOf(clientA.get()));
}

}  // namespace
}  // namespace kindprobe::wintest
