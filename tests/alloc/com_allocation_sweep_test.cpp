// Allocation failure inside the COM server: the component's own code is linked into this program
// (in Kindprobe.dll its allocations would go to the module's own C++ runtime, out of reach of
// this program's operator new), and each scenario is swept like the engine's. Under Wine no leak
// checker runs, so every run also counts the blocks it leaves behind.
#include <windows.h>

#include <objbase.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <string>

#include "component/class_object.h"
#include "component/self_registration.h"
#include "component/server_module.h"
#include "kindprobe.h"
#include "kindprobe/version.h"
#include "platform/registry.h"
#include "platform/win32/unique_resource.h"
#include "test_files.h"
#include "tests/alloc/failing_allocator.h"
#include "tests/alloc/out_of_memory_registry.h"
#include "tests/alloc/sweep.h"
#include "tools/registry_model/memory_registry.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID);
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kindprobe {
namespace {

// The registry the module's scripts are run over while a test has set one.
registry_model::MemoryRegistry* g_scriptRegistry = nullptr;

}  // namespace

// Stands in for the system registry at link time: the registration code asks for the system's
// registry here, and gets the test's model, answering allocation failure as the system does.
namespace platform {
std::unique_ptr<Registry> CreateSystemRegistry() {
  if (g_scriptRegistry == nullptr) std::abort();  // no test may reach the real registry
  return std::make_unique<alloctest::OutOfMemoryAsError>(*g_scriptRegistry);
}
}  // namespace platform

namespace {

using alloctest::Injected;
using alloctest::LiveBlocks;
using alloctest::RunFailing;
using alloctest::Sweep;
using component::CheckFileClassObject;
using component::ClassCategory;
using component::ClassEntry;
using component::ComServerModule;
using platform::win32::ComPtr;
using platform::win32::UniqueBstr;
using platform::win32::UniqueRegKey;

// The file version the module's resources give it; this program carries the same resources.
constexpr const wchar_t* kVersion = L"" KINDPROBE_VERSION_TEXT;

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

// The program plays the module's part: attached before the first test, detached after the last.
class AttachedModule : public ::testing::Environment {
 public:
  void SetUp() override { ASSERT_TRUE(DllMain(ThisModule(), DLL_PROCESS_ATTACH, nullptr)); }
  void TearDown() override { DllMain(ThisModule(), DLL_PROCESS_DETACH, nullptr); }
};
[[maybe_unused]] ::testing::Environment* const g_attached =
    ::testing::AddGlobalTestEnvironment(std::make_unique<AttachedModule>().release());

// How far one creation and check got.
enum class Step { kClassObject, kObject, kCheck, kAnswer, kDone };

struct Outcome {
  Step reached = Step::kClassObject;
  HRESULT result = S_OK;  // the failure that stopped it at `reached`
  long typeId = -1;
  std::wstring description;
  std::wstring version;
};

// A class-entry table of the CheckFile class alone, fresh for every module object.
struct CheckFileEntry {
  std::array<ClassEntry, 1> entries{
      {{&CLSID_CheckFile, &component::UpdateCheckFileRegistry, &CheckFileClassObject::Create,
        nullptr, []() -> const ClassCategory* { return nullptr; }}}};
};

// Class object, shared object, one check and its answer, through the module's class-entry table
// as DllGetClassObject reaches it; everything is released before it returns.
Outcome CreateAndCheck(ComServerModule& module, BSTR path) {
  Outcome outcome;
  ComPtr<IClassFactory> factory;
  outcome.result = module.GetClassObject(CLSID_CheckFile, IID_IClassFactory, factory.out());
  if (FAILED(outcome.result)) return outcome;
  outcome.reached = Step::kObject;
  ComPtr<ICheckFile> checker;
  outcome.result = factory->CreateInstance(nullptr, IID_ICheckFile, checker.out());
  if (FAILED(outcome.result)) return outcome;
  outcome.reached = Step::kCheck;
  outcome.result = checker->CheckFile(path);
  if (FAILED(outcome.result)) return outcome;
  outcome.reached = Step::kAnswer;
  UniqueBstr description;
  UniqueBstr version;
  outcome.result = checker->GetTypeID(&outcome.typeId);
  if (SUCCEEDED(outcome.result)) outcome.result = checker->GetErrorInfo(description.put());
  if (SUCCEEDED(outcome.result)) outcome.result = checker->GetVersion(version.put());
  if (FAILED(outcome.result)) return outcome;
  outcome.description = description.get();
  outcome.version = version.get();
  outcome.reached = Step::kDone;
  return outcome;
}

TEST(ComAllocationFailure, CreatingTheClassObjectAndTheObject) {
  wintest::TestDirectory dir;
  const UniqueBstr path = UniqueBstr::From(dir.Write(L"clip.avi", wintest::AviBytes()).c_str());
  ASSERT_TRUE(path);
  {
    // The one-time rule load happens here, outside the counted runs.
    CheckFileEntry table;
    ComServerModule module(ThisModule(), table.entries, KINDPROBE_APPID_TEXT);
    const Outcome warm = CreateAndCheck(module, path.get());
    ASSERT_EQ(warm.reached, Step::kDone) << std::hex << warm.result;
    ASSERT_EQ(warm.typeId, 4);
    ASSERT_EQ(warm.description, wintest::kAviText);
  }

  const std::size_t allocations =
      Sweep("creating the class object and the object", [&](std::size_t nth) {
        const std::size_t liveBefore = LiveBlocks();
        Injected run{};
        {
          CheckFileEntry table;
          ComServerModule module(ThisModule(), table.entries, KINDPROBE_APPID_TEXT);
          Outcome got;
          run = RunFailing(nth, [&] { got = CreateAndCheck(module, path.get()); });
          EXPECT_FALSE(run.escaped);
          if (got.reached != Step::kDone) {
            EXPECT_TRUE(run.failed);
            EXPECT_EQ(got.result, E_OUTOFMEMORY)
                << "failed at step " << static_cast<int>(got.reached);
          } else if (run.failed) {
            // A check that ran out of memory answers the default, as the engine's sweep shows, and
            // a version that could not be read is the documented "0.0.0.0".
            EXPECT_TRUE(got.version == kVersion || got.version == L"0.0.0.0") << got.version;
            EXPECT_TRUE(got.typeId == 4 ||
                        (got.typeId == 0 && got.description == wintest::kUnknownText))
                << got.typeId;
          } else {
            EXPECT_EQ(got.typeId, 4);
            EXPECT_EQ(got.description, wintest::kAviText);
            EXPECT_EQ(got.version, kVersion);
          }

          // The same module again, nothing failing: a class object that could not be made is
          // made now, and a check that ran out of memory is answered in full...
          const Outcome again = CreateAndCheck(module, path.get());
          if (got.reached == Step::kObject) {
            // ...but the shared object's failed creation is final for the life of the class
            // object, which the module keeps until it is torn down.
            EXPECT_EQ(again.reached, Step::kObject);
            EXPECT_EQ(again.result, got.result);
          } else {
            EXPECT_EQ(again.reached, Step::kDone) << std::hex << again.result;
            EXPECT_EQ(again.typeId, 4);
            EXPECT_EQ(again.description, wintest::kAviText);
            EXPECT_EQ(again.version, kVersion);
          }
          module.TearDown();
        }
        {
          // A fresh module object is not affected by anything that failed before.
          CheckFileEntry table;
          ComServerModule module(ThisModule(), table.entries, KINDPROBE_APPID_TEXT);
          const Outcome fresh = CreateAndCheck(module, path.get());
          EXPECT_EQ(fresh.reached, Step::kDone) << std::hex << fresh.result;
          EXPECT_EQ(fresh.typeId, 4);
        }
        EXPECT_EQ(LiveBlocks(), liveBefore) << "blocks left behind";
        return run.failed;
      });
  EXPECT_GT(allocations, 0u);
}

// The module's self-registration with its scripts run over the in-memory registry (linked in
// above) and the classes root, where the type library and the proxy/stub are filed through the
// system's own calls, redirected to a scratch key of this process.
class RegistrationFailing : public ::testing::Test {
 protected:
  void SetUp() override {
    scratchName_ =
        L"Software\\Kindprobe allocation sweep " + std::to_wstring(::GetCurrentProcessId());
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, scratchName_.c_str(), 0, nullptr,
                                               REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                               scratch_.put(), nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_CLASSES_ROOT, scratch_.get()));
    overridden_ = true;

    registry_model::MemoryRegistry model;
    g_scriptRegistry = &model;
    ASSERT_EQ(DllRegisterServer(), S_OK);
    registered_ = registry_model::ExportRegText(model);
    ASSERT_TRUE(TypeLibraryFiled()) << "the classes root was not redirected";
    ASSERT_EQ(DllUnregisterServer(), S_OK);
    unregistered_ = registry_model::ExportRegText(model);
    EXPECT_FALSE(TypeLibraryFiled());
    g_scriptRegistry = nullptr;
    ASSERT_NE(registered_, unregistered_);
  }

  void TearDown() override {
    g_scriptRegistry = nullptr;
    if (overridden_) ::RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    scratch_.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, scratchName_.c_str());
  }

  bool TypeLibraryFiled() const {
    UniqueRegKey key;
    return ::RegOpenKeyExW(scratch_.get(), L"TypeLib\\{99BAE914-34DC-4A29-BC3F-8EC3FB064AC0}\\1.0",
                           0, KEY_READ, key.put()) == ERROR_SUCCESS;
  }

  // Checks one injected run, then that plain runs reach the usual states from what it left.
  void CheckAfter(registry_model::MemoryRegistry& model, const Injected& run, HRESULT result) {
    EXPECT_FALSE(run.escaped);
    EXPECT_EQ(model.OpenHandleCount(), 0u) << "a key handle was left open";
    if (run.failed) {
      EXPECT_TRUE(result == S_OK || result == E_OUTOFMEMORY) << std::hex << result;
    } else {
      EXPECT_EQ(result, S_OK);
    }
    EXPECT_EQ(DllRegisterServer(), S_OK);
    EXPECT_EQ(registry_model::ExportRegText(model), registered_);
    EXPECT_TRUE(TypeLibraryFiled());
    EXPECT_EQ(DllUnregisterServer(), S_OK);
    EXPECT_EQ(registry_model::ExportRegText(model), unregistered_);
    EXPECT_FALSE(TypeLibraryFiled());
  }

  // One sweep attempt over a fresh model: `prepare` uninjected, then `injected` failing.
  template <typename Prepare, typename Call>
  bool Attempt(std::size_t nth, Prepare prepare, Call injected) {
    const std::size_t liveBefore = LiveBlocks();
    Injected run{};
    {
      registry_model::MemoryRegistry model;
      g_scriptRegistry = &model;
      prepare();
      HRESULT result = E_FAIL;
      run = RunFailing(nth, [&] { result = injected(); });
      CheckAfter(model, run, result);
      g_scriptRegistry = nullptr;
    }
    EXPECT_EQ(LiveBlocks(), liveBefore) << "blocks left behind";
    return run.failed;
  }

  std::wstring scratchName_;
  UniqueRegKey scratch_;
  bool overridden_ = false;
  std::string registered_;
  std::string unregistered_;
};

TEST_F(RegistrationFailing, DllRegisterServer) {
  const std::size_t allocations = Sweep("DllRegisterServer", [&](std::size_t nth) {
    return Attempt(
        nth, [] {}, [] { return DllRegisterServer(); });
  });
  EXPECT_GT(allocations, 0u);
}

TEST_F(RegistrationFailing, DllUnregisterServer) {
  const std::size_t allocations = Sweep("DllUnregisterServer", [&](std::size_t nth) {
    return Attempt(
        nth, [] { EXPECT_EQ(DllRegisterServer(), S_OK); }, [] { return DllUnregisterServer(); });
  });
  EXPECT_GT(allocations, 0u);
}

// The type information behind IDispatch is loaded once per process, from the registered library,
// so its sweep carries the state over: each run fails a later allocation of what is still
// missing, and must answer E_OUTOFMEMORY and leave the next call able to finish the load.
TEST_F(RegistrationFailing, TypeInformationLoadRecoversFromEachFailure) {
  registry_model::MemoryRegistry model;
  g_scriptRegistry = &model;
  ASSERT_EQ(DllRegisterServer(), S_OK);
  ComPtr<IClassFactory> factory;
  ASSERT_EQ(S_OK, DllGetClassObject(CLSID_CheckFile, IID_IClassFactory, factory.out()));
  ComPtr<IDispatch> dispatch;
  ASSERT_EQ(S_OK, factory->CreateInstance(nullptr, IID_IDispatch, dispatch.out()));

  std::wstring name = L"GetTypeID";
  LPOLESTR names[] = {name.data()};
  DISPID id = DISPID_UNKNOWN;
  HRESULT result = E_FAIL;
  const std::size_t allocations = Sweep("loading the type information", [&](std::size_t nth) {
    const Injected run = RunFailing(nth, [&] {
      result = dispatch->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    });
    EXPECT_FALSE(run.escaped);
    EXPECT_EQ(result, run.failed ? E_OUTOFMEMORY : S_OK) << std::hex << result;
    return run.failed;
  });
  EXPECT_GT(allocations, 0u);
  EXPECT_EQ(id, 3);

  DISPPARAMS none = {nullptr, nullptr, 0, 0};
  VARIANT typeId;
  ::VariantInit(&typeId);
  EXPECT_EQ(S_OK, dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &none,
                                   &typeId, nullptr, nullptr));
  EXPECT_EQ(V_VT(&typeId), VT_I4);
  EXPECT_EQ(V_I4(&typeId), 0);
  dispatch.reset();
  factory.reset();
  EXPECT_EQ(DllUnregisterServer(), S_OK);
  g_scriptRegistry = nullptr;
}

}  // namespace
}  // namespace kindprobe
