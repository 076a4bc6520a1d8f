// ICheckFile through IDispatch, which needs the type library registered; and without it.
#include <gtest/gtest.h>

#include <string>

#include "kindprobe/version.h"
#include "kindprobe_dll.h"
#include "registered_type_library.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

DISPID IdOf(IDispatch* dispatch, const wchar_t* name, HRESULT* hr) {
  std::wstring buffer = name;
  LPOLESTR names[] = {buffer.data()};
  DISPID id = DISPID_UNKNOWN;
  *hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
  return id;
}

class Dispatch : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(S_OK, library_.hr());
    checker_ = KindprobeDll::Get().CreateCheckFile();
    ASSERT_TRUE(checker_);
    ASSERT_EQ(S_OK, checker_->QueryInterface(IID_IDispatch, dispatch_.out()));
  }

  RegisteredTypeLibrary library_{KindprobeDll::Get().path()};
  ComPtr<ICheckFile> checker_;
  ComPtr<IDispatch> dispatch_;
};

TEST_F(Dispatch, HandsOutTheInterfacesTypeInformationForAnyIndex) {
  UINT count = 0;
  ASSERT_EQ(S_OK, dispatch_->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);
  for (UINT index : {0u, 5u}) {
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(S_OK, dispatch_->GetTypeInfo(index, LOCALE_USER_DEFAULT, info.put()));
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, info->GetTypeAttr(&attributes));
    EXPECT_TRUE(IsEqualGUID(IID_ICheckFile, attributes->guid));
    info->ReleaseTypeAttr(attributes);
  }
}

TEST_F(Dispatch, FindsNamesInAnyLetterCase) {
  HRESULT hr = E_FAIL;
  EXPECT_EQ(1, IdOf(dispatch_.get(), L"GetVersion", &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(2, IdOf(dispatch_.get(), L"CheckFile", &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(3, IdOf(dispatch_.get(), L"GetTypeID", &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(4, IdOf(dispatch_.get(), L"GetErrorInfo", &hr));
  EXPECT_EQ(S_OK, hr);
  // Not in the case-sensitive cache: answered by the type information.
  EXPECT_EQ(2, IdOf(dispatch_.get(), L"checkfile", &hr));
  EXPECT_EQ(S_OK, hr);
  EXPECT_EQ(3, IdOf(dispatch_.get(), L"GETTYPEID", &hr));
  EXPECT_EQ(S_OK, hr);
  IdOf(dispatch_.get(), L"NoSuchMethod", &hr);
  EXPECT_EQ(DISP_E_UNKNOWNNAME, hr);

  // A method and its parameter in one request.
  std::wstring method = L"CheckFile", parameter = L"strFileName";
  LPOLESTR names[] = {method.data(), parameter.data()};
  DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
  EXPECT_EQ(S_OK, dispatch_->GetIDsOfNames(IID_NULL, names, 2, LOCALE_USER_DEFAULT, ids));
  EXPECT_EQ(2, ids[0]);
  EXPECT_EQ(0, ids[1]);
}

TEST_F(Dispatch, InvokesChecksAndReadsResults) {
  TestDirectory dir;
  const std::wstring avi = dir.Write(L"视频.avi", AviBytes());

  Variant argument;
  V_VT(argument.get()) = VT_BSTR;
  V_BSTR(argument.get()) = ::SysAllocString(avi.c_str());
  DISPPARAMS oneArgument = {argument.get(), nullptr, 1, 0};
  EXCEPINFO exception = {};
  UINT argumentError = 0;
  ASSERT_EQ(S_OK, dispatch_->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                    &oneArgument, nullptr, &exception, &argumentError));

  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  Variant typeId;
  ASSERT_EQ(S_OK, dispatch_->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                    typeId.get(), &exception, &argumentError));
  EXPECT_EQ(VT_I4, V_VT(typeId.get()));
  EXPECT_EQ(4, V_I4(typeId.get()));

  Variant description;
  ASSERT_EQ(S_OK, dispatch_->Invoke(4, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                    description.get(), &exception, &argumentError));
  ASSERT_EQ(VT_BSTR, V_VT(description.get()));
  EXPECT_STREQ(kAviText, V_BSTR(description.get()));

  Variant version;
  ASSERT_EQ(S_OK, dispatch_->Invoke(1, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                    version.get(), &exception, &argumentError));
  ASSERT_EQ(VT_BSTR, V_VT(version.get()));
  const std::string expected = KINDPROBE_VERSION_TEXT;
  EXPECT_EQ(std::wstring(expected.begin(), expected.end()), V_BSTR(version.get()));

  // The same shared result through the method table.
  EXPECT_EQ(4, TypeIdOf(checker_.get()));
}

TEST(DispatchWithoutTypeLibrary, MethodTableWorksAndDispatchReportsTheLoadFailure) {
  TestDirectory dir;
  const std::wstring mp3 = dir.Write(L"song.mp3", Mp3Bytes());
  ComPtr<ICheckFile> checker = KindprobeDll::Get().CreateCheckFile();
  ASSERT_TRUE(checker);
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(S_OK, checker->QueryInterface(IID_IDispatch, dispatch.out()));

  EXPECT_EQ(4, CheckPath(checker.get(), mp3));
  EXPECT_EQ(kMp3Text, ErrorInfoOf(checker.get()));

  // What loading the unregistered library fails with is what IDispatch must answer.
  ComPtr<ITypeLib> probe;
  const HRESULT loadFailure =
      ::LoadRegTypeLib(LIBID_KindprobeLib, 1, 0, LOCALE_USER_DEFAULT, probe.put());
  ASSERT_TRUE(FAILED(loadFailure));

  ITypeInfo* info = reinterpret_cast<ITypeInfo*>(1);
  EXPECT_EQ(loadFailure, dispatch->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info));
  EXPECT_EQ(nullptr, info);
  HRESULT hr = S_OK;
  IdOf(dispatch.get(), L"CheckFile", &hr);
  EXPECT_EQ(loadFailure, hr);
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  Variant result;
  EXPECT_EQ(loadFailure, dispatch->Invoke(3, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                          result.get(), nullptr, nullptr));
  UINT count = 0;
  EXPECT_EQ(S_OK, dispatch->GetTypeInfoCount(&count));
  EXPECT_EQ(1u, count);

  // A failed load is tried again: once the library is registered, dispatch works.
  RegisteredTypeLibrary library(KindprobeDll::Get().path());
  ASSERT_EQ(S_OK, library.hr());
  EXPECT_EQ(2, IdOf(dispatch.get(), L"CheckFile", &hr));
  EXPECT_EQ(S_OK, hr);
}

}  // namespace
}  // namespace kindprobe::wintest
