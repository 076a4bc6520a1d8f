// Kindprobe.dll unloaded and loaded again in one process, as a host that frees idle modules does:
// every round must start from a fresh module and leave nothing behind that the next one trips
// over.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kindprobe_dll.h"
#include "registered_type_library.h"
#include "test_files.h"

namespace kindprobe::wintest {
namespace {

constexpr int kRounds = 4;
constexpr DISPID kCheckFileId = 2;
constexpr DISPID kGetTypeIdId = 3;

using GetClassObjectFunction = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(STDAPICALLTYPE*)();

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Checks `path` through IDispatch and reads the TypeID back the same way.
long CheckThroughDispatch(IDispatch* dispatch, const std::wstring& path) {
  Variant argument;
  V_VT(argument.get()) = VT_BSTR;
  V_BSTR(argument.get()) = MakeBstr(path).release();
  DISPPARAMS oneArgument = {argument.get(), nullptr, 1, 0};
  EXCEPINFO exception = {};
  UINT argumentError = 0;
  EXPECT_EQ(S_OK, dispatch->Invoke(kCheckFileId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                   &oneArgument, nullptr, &exception, &argumentError));
  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  Variant typeId;
  EXPECT_EQ(S_OK, dispatch->Invoke(kGetTypeIdId, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD,
                                   &none, typeId.get(), &exception, &argumentError));
  return V_VT(typeId.get()) == VT_I4 ? V_I4(typeId.get()) : -1;
}

// One round: load, use through the method table and IDispatch, release everything, unload.
void RunOneRound(const std::wstring& modulePath, const std::wstring& aviPath) {
  platform::win32::UniqueModule module(::LoadLibraryW(modulePath.c_str()));
  ASSERT_TRUE(module);
  const auto getClassObject = Export<GetClassObjectFunction>(module.get(), "DllGetClassObject");
  const auto canUnloadNow = Export<CanUnloadNowFunction>(module.get(), "DllCanUnloadNow");
  ASSERT_TRUE(getClassObject != nullptr && canUnloadNow != nullptr);
  {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(S_OK, getClassObject(CLSID_CheckFile, IID_IClassFactory, factory.out()));
    ComPtr<ICheckFile> checker;
    ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_ICheckFile, checker.out()));
    // Nothing of the previous round's check survives the unload.
    EXPECT_EQ(0, TypeIdOf(checker.get()));
    EXPECT_EQ(kUnknownText, ErrorInfoOf(checker.get()));

    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(S_OK, checker.QueryTo(IID_IDispatch, &dispatch));
    EXPECT_EQ(4, CheckThroughDispatch(dispatch.get(), aviPath));
    EXPECT_EQ(kAviText, ErrorInfoOf(checker.get()));
    EXPECT_EQ(S_FALSE, canUnloadNow());
  }
  EXPECT_EQ(S_OK, canUnloadNow());
  module.reset();
  EXPECT_EQ(nullptr, ::GetModuleHandleW(modulePath.c_str())) << "the module is still loaded";
}

TEST(ModuleReload, EachLoadStartsFreshAndServesIDispatch) {
  const std::wstring modulePath = ProgramDirectory() + L"\\Kindprobe.dll";
  const RegisteredTypeLibrary library(modulePath);
  ASSERT_EQ(S_OK, library.hr());
  TestDirectory dir;
  const std::wstring avi = dir.Write(L"clip.avi", AviBytes());
  for (int round = 0; round < kRounds; ++round) {
    SCOPED_TRACE(round);
    RunOneRound(modulePath, avi);
    if (HasFatalFailure()) return;
  }
}

// What the process holds: open handles and heap bytes in use. GetProcessHandleCount answers 0
// under Wine, so handles are counted by asking each possible value whether it is one.
struct ProcessHoldings {
  size_t handles = 0;
  size_t heapBytes = 0;
  bool operator==(const ProcessHoldings&) const = default;
};

ProcessHoldings Holdings() {
  ProcessHoldings holdings;
  for (uintptr_t value = 4; value < 0x10000; value += 4) {
    DWORD flags = 0;
    if (::GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++holdings.handles;
  }
  std::vector<HANDLE> heaps(::GetProcessHeaps(0, nullptr) + 16);
  heaps.resize(::GetProcessHeaps(static_cast<DWORD>(heaps.size()), heaps.data()));
  for (HANDLE heap : heaps) {
    if (!::HeapLock(heap)) continue;
    PROCESS_HEAP_ENTRY entry = {};
    while (::HeapWalk(heap, &entry)) {
      if (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) holdings.heapBytes += entry.cbData;
    }
    ::HeapUnlock(heap);
  }
  return holdings;
}

// A host that frees idle servers loads and unloads the module all day: after the first rounds
// (the system's own caches filling), a round leaves no handle and no heap byte behind.
TEST(ModuleReload, RoundsLeaveNothingBehind) {
  constexpr int kWarmUpRounds = 10;
  constexpr int kAllRounds = 200;
  const std::wstring modulePath = ProgramDirectory() + L"\\Kindprobe.dll";
  const RegisteredTypeLibrary library(modulePath);
  ASSERT_EQ(S_OK, library.hr());
  TestDirectory dir;
  const std::wstring avi = dir.Write(L"clip.avi", AviBytes());
  ProcessHoldings warm;
  for (int round = 1; round <= kAllRounds; ++round) {
    RunOneRound(modulePath, avi);
    if (HasFailure()) return;
    if (round == kWarmUpRounds) warm = Holdings();
  }
  const ProcessHoldings last = Holdings();
  EXPECT_EQ(last.handles, warm.handles) << "handles left per round: "
                                        << (double(last.handles) - warm.handles) / (kAllRounds - kWarmUpRounds);
  EXPECT_EQ(last.heapBytes, warm.heapBytes) << "heap bytes left per round: "
                                            << (double(last.heapBytes) - warm.heapBytes) / (kAllRounds - kWarmUpRounds);
}

}  // namespace
}  // namespace kindprobe::wintest
