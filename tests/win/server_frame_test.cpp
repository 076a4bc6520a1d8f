// The in-process server frame seen through the module's exports: class object, shared object,
// module locks and the proxy/stub part.
#include <gtest/gtest.h>

#include "kindprobe_dll.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

// Any GUID the module does not serve.
const CLSID kForeignClassId = {0x0c7e1a2b, 0x5d3f, 0x4e61, {0x9a, 0x10, 0x3b, 0x44, 0x21, 0x7c, 0x08, 0xd5}};

// What a C caller's NULL becomes where COM declares a reference (REFIID, REFCLSID).
const GUID& NullId() {
  const GUID* volatile none = nullptr;
  return *none;
}

TEST(ClassObject, AnsweredForItsInterfacesOnlyAndOnlyForItsClass) {
  const KindprobeDll& dll = KindprobeDll::Get();
  ComPtr<IUnknown> unknown;
  ComPtr<IClassFactory> factory;
  EXPECT_EQ(S_OK, dll.GetClassObject(CLSID_CheckFile, IID_IUnknown, unknown.out()));
  EXPECT_EQ(S_OK, dll.GetClassObject(CLSID_CheckFile, IID_IClassFactory, factory.out()));
  ASSERT_TRUE(unknown && factory);
  EXPECT_EQ(static_cast<IUnknown*>(factory.get()), unknown.get());

  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, dll.GetClassObject(CLSID_CheckFile, IID_IDispatch, &other));
  EXPECT_EQ(nullptr, other);
  other = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_CLASSNOTAVAILABLE, dll.GetClassObject(kForeignClassId, IID_IUnknown, &other));
  EXPECT_EQ(nullptr, other);
  EXPECT_EQ(E_POINTER, dll.GetClassObject(CLSID_CheckFile, IID_IClassFactory, nullptr));
  for (const bool nullClass : {true, false}) {
    other = reinterpret_cast<void*>(1);
    EXPECT_EQ(E_INVALIDARG, dll.GetClassObject(nullClass ? NullId() : CLSID_CheckFile,
                                               nullClass ? IID_IUnknown : NullId(), &other));
    EXPECT_EQ(nullptr, other);
  }
}

TEST(ClassObject, IsCreatedOnceAndSharesOneObject) {
  const KindprobeDll& dll = KindprobeDll::Get();
  ComPtr<IClassFactory> first = dll.ClassFactory();
  ComPtr<IClassFactory> second = dll.ClassFactory();
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first.get(), second.get());

  ComPtr<ICheckFile> a;
  ComPtr<IUnknown> b;
  ASSERT_EQ(S_OK, first->CreateInstance(nullptr, IID_ICheckFile, a.out()));
  ASSERT_EQ(S_OK, second->CreateInstance(nullptr, IID_IUnknown, b.out()));
  EXPECT_EQ(static_cast<IUnknown*>(a.get()), b.get());
}

TEST(ClassObject, RefusesAggregationAndBadArguments) {
  ComPtr<IClassFactory> factory = KindprobeDll::Get().ClassFactory();
  ASSERT_TRUE(factory);
  // Any non-null outer object must be refused before it is ever called.
  IUnknown* fakeOuter = reinterpret_cast<IUnknown*>(factory.get());
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CLASS_E_NOAGGREGATION, factory->CreateInstance(fakeOuter, IID_IUnknown, &object));
  EXPECT_EQ(nullptr, object);
  EXPECT_EQ(E_POINTER, factory->CreateInstance(nullptr, IID_IUnknown, nullptr));
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, factory->CreateInstance(nullptr, IID_IClassFactory, &object));
  EXPECT_EQ(nullptr, object);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_NOINTERFACE, factory->QueryInterface(IID_IDispatch, &object));
  EXPECT_EQ(nullptr, object);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_INVALIDARG, factory->QueryInterface(NullId(), &object));
  EXPECT_EQ(nullptr, object);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(E_INVALIDARG, factory->CreateInstance(nullptr, NullId(), &object));
  EXPECT_EQ(nullptr, object);
}

TEST(ModuleLock, FollowsClientReferencesToClassObjectAndSharedObject) {
  const KindprobeDll& dll = KindprobeDll::Get();
  EXPECT_EQ(S_OK, dll.CanUnloadNow());
  {
    ComPtr<IClassFactory> factory = dll.ClassFactory();
    EXPECT_EQ(S_FALSE, dll.CanUnloadNow());
    ComPtr<ICheckFile> checker;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICheckFile, checker.out()));
    factory.reset();
    // The class-entry table still holds the class object, which does not count.
    EXPECT_EQ(S_FALSE, dll.CanUnloadNow());
    checker.reset();
    // Nor does the class object's own reference to the shared object.
    EXPECT_EQ(S_OK, dll.CanUnloadNow());
  }
  {
    ComPtr<IClassFactory> factory = dll.ClassFactory();
    ASSERT_EQ(S_OK, factory->LockServer(TRUE));
    factory.reset();
    EXPECT_EQ(S_FALSE, dll.CanUnloadNow());
    dll.ClassFactory()->LockServer(FALSE);
    EXPECT_EQ(S_OK, dll.CanUnloadNow());
  }
}

TEST(ModuleLock, ManyReferencesToOneObjectHoldOneLock) {
  const KindprobeDll& dll = KindprobeDll::Get();
  ComPtr<IClassFactory> factory = dll.ClassFactory();
  ComPtr<IClassFactory> factoryAgain = dll.ClassFactory();
  ComPtr<ICheckFile> one;
  ComPtr<IDispatch> two;
  ComPtr<IUnknown> three;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICheckFile, one.out()));
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, two.out()));
  ASSERT_EQ(S_OK, one->QueryInterface(IID_IUnknown, three.out()));
  // Two objects with clients, so exactly two locks: taking two away must free the module.
  factory->LockServer(FALSE);
  factory->LockServer(FALSE);
  EXPECT_EQ(S_OK, dll.CanUnloadNow());
  factory->LockServer(TRUE);
  EXPECT_EQ(S_FALSE, dll.CanUnloadNow());
  factory->LockServer(TRUE);
  one.reset();
  two.reset();
  three.reset();
  factory.reset();
  factoryAgain.reset();
  EXPECT_EQ(S_OK, dll.CanUnloadNow());
}

TEST(SharedObject, OutlivesItsClientsWithItsLastResult) {
  TestDirectory dir;
  const std::wstring avi = dir.Write(L"clip.avi", AviBytes());
  const KindprobeDll& dll = KindprobeDll::Get();
  ComPtr<ICheckFile> first = dll.CreateCheckFile();
  ASSERT_TRUE(first);
  const ICheckFile* firstAddress = first.get();
  EXPECT_EQ(4, CheckPath(first.get(), avi));
  first.reset();
  EXPECT_EQ(S_OK, dll.CanUnloadNow());

  ComPtr<ICheckFile> later = dll.CreateCheckFile();
  ASSERT_TRUE(later);
  EXPECT_EQ(firstAddress, later.get());
  EXPECT_EQ(4, TypeIdOf(later.get()));
  EXPECT_EQ(kAviText, ErrorInfoOf(later.get()));
}

TEST(ProxyStub, AnswersForItsOwnClassBeforeTheClassTable) {
  const KindprobeDll& dll = KindprobeDll::Get();
  ASSERT_EQ(S_OK, dll.CanUnloadNow());
  ComPtr<IPSFactoryBuffer> proxyFactory;
  // The proxy/stub class is named after the interface it marshals.
  ASSERT_EQ(S_OK, dll.GetClassObject(IID_ICheckFile, IID_IPSFactoryBuffer, proxyFactory.out()));
  ASSERT_TRUE(proxyFactory);
  ComPtr<IClassFactory> notAClassFactory;
  EXPECT_NE(S_OK, proxyFactory->QueryInterface(IID_IClassFactory, notAClassFactory.out()));
  // The proxy/stub part has an object in use although no module lock is taken.
  EXPECT_EQ(S_FALSE, dll.CanUnloadNow());
  proxyFactory.reset();
  EXPECT_EQ(S_OK, dll.CanUnloadNow());
}

// Makes the module's proxy/stub known to COM in the calling apartment only, without the
// registry.
class ProxyStubRegistration {
 public:
  explicit ProxyStubRegistration(IUnknown* proxyFactory) {
    hr_ = ::CoRegisterClassObject(IID_ICheckFile, proxyFactory, CLSCTX_INPROC_SERVER,
                                  REGCLS_MULTIPLEUSE, &cookie_);
    if (SUCCEEDED(hr_)) hr_ = ::CoRegisterPSClsid(IID_ICheckFile, IID_ICheckFile);
  }
  ~ProxyStubRegistration() {
    if (cookie_ != 0) ::CoRevokeClassObject(cookie_);
  }
  ProxyStubRegistration(const ProxyStubRegistration&) = delete;
  ProxyStubRegistration& operator=(const ProxyStubRegistration&) = delete;
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
  DWORD cookie_ = 0;
};

// Marshals the shared object from one apartment to another through the module's own
// proxy/stub, made known to COM for this process only.
struct MarshalledCall {
  IUnknown* proxyFactory = nullptr;
  IStream* stream = nullptr;
  std::wstring path;
  HRESULT hr = E_FAIL;
  long typeId = -1;
  std::wstring description;
  std::wstring version;
};

DWORD WINAPI CallThroughProxy(void* parameter) {
  auto* call = static_cast<MarshalledCall*>(parameter);
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ProxyStubRegistration registration(call->proxyFactory);
  ComPtr<ICheckFile> proxy;
  call->hr = registration.hr();
  if (FAILED(call->hr)) return 0;
  call->hr = ::CoGetInterfaceAndReleaseStream(call->stream, IID_ICheckFile, proxy.out());
  if (FAILED(call->hr)) return 0;
  const UniqueBstr path = MakeBstr(call->path);
  call->hr = proxy->CheckFile(path.get());
  if (FAILED(call->hr)) return 0;
  call->hr = proxy->GetTypeID(&call->typeId);
  if (FAILED(call->hr)) return 0;
  UniqueBstr description;
  call->hr = proxy->GetErrorInfo(description.put());
  call->description = ToWString(description);
  UniqueBstr version;
  if (SUCCEEDED(call->hr)) call->hr = proxy->GetVersion(version.put());
  call->version = ToWString(version);
  return 0;
}

TEST(ProxyStub, CarriesEveryMethodAcrossApartments) {
  TestDirectory dir;
  ComApartment apartment(COINIT_APARTMENTTHREADED);
  ASSERT_EQ(S_OK, apartment.hr());
  const KindprobeDll& dll = KindprobeDll::Get();
  ComPtr<IUnknown> proxyFactory;
  ASSERT_EQ(S_OK, dll.GetClassObject(IID_ICheckFile, IID_IUnknown, proxyFactory.out()));
  ProxyStubRegistration registration(proxyFactory.get());
  ASSERT_EQ(S_OK, registration.hr());

  ComPtr<ICheckFile> checker = dll.CreateCheckFile();
  ASSERT_TRUE(checker);
  MarshalledCall call;
  call.proxyFactory = proxyFactory.get();
  call.path = dir.Write(L"歌曲.mp3", Mp3Bytes());
  ASSERT_EQ(S_OK, ::CoMarshalInterThreadInterfaceInStream(IID_ICheckFile, checker.get(),
                                                          &call.stream));
  const UniqueHandle owner(::CreateThread(nullptr, 0, &CallThroughProxy, &call, 0, nullptr));
  ASSERT_TRUE(owner);
  HANDLE thread = owner.get();
  // The object lives in this apartment: serve its calls until the client thread is done.
  while (::MsgWaitForMultipleObjects(1, &thread, FALSE, 30000, QS_ALLINPUT) == WAIT_OBJECT_0 + 1) {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
  }
  EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(thread, 0));

  EXPECT_EQ(S_OK, call.hr);
  EXPECT_EQ(4, call.typeId);
  EXPECT_EQ(kMp3Text, call.description);
  UniqueBstr version;
  ASSERT_EQ(S_OK, checker->GetVersion(version.put()));
  EXPECT_EQ(ToWString(version), call.version);
  // The check made through the proxy is the shared object's last result here too.
  EXPECT_EQ(kMp3Text, ErrorInfoOf(checker.get()));
}

}  // namespace
}  // namespace kindprobe::wintest
