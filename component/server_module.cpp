#include "component/server_module.h"

#include <cstring>
#include <new>

#include "component/boundary.h"
#include "platform/win32/unique_resource.h"

namespace kindprobe::component {

ComServerModule::ComServerModule(HMODULE module, std::span<ClassEntry> entries,
                                 const wchar_t* appId)
    : moduleHandle_(module), appId_(appId), classEntries_(entries) {
  if (FAILED(classEntriesLock_.Init())) initFailed_ = true;
  classEntriesLive_.store(true, std::memory_order_release);
  if (FAILED(staticInitLock_.Init())) initFailed_ = true;
}

// Still torn down here when nothing detached the module first (a module object that is not the
// process's own); after TearDown this does nothing.
ComServerModule::~ComServerModule() { TearDown(); }

LONG ComServerModule::Lock() { return ::InterlockedIncrement(&lockCount_); }

LONG ComServerModule::Unlock() { return ::InterlockedDecrement(&lockCount_); }

LONG ComServerModule::GetLockCount() const { return lockCount_; }

HRESULT ComServerModule::AddCommonReplacements(registration::ScriptRegistrar& registrar) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  if (appId_ == nullptr) return S_OK;
  return registrar.AppendReplacement(u"APPID", reinterpret_cast<const char16_t*>(appId_));
}

HRESULT ComServerModule::AddTermFunc(TermFunc func, DWORD_PTR data) {
  std::unique_ptr<TermNode> node(new (std::nothrow) TermNode{func, data, nullptr});
  if (!node) return E_OUTOFMEMORY;
  platform::LockGuard guard(staticInitLock_);
  node->next = std::move(termList_);
  termList_ = std::move(node);
  return S_OK;
}

void ComServerModule::Term() {
  if (terminated_) return;
  terminated_ = true;
  // Unlinked node by node, so a long list is not torn down by recursion.
  while (termList_) {
    std::unique_ptr<TermNode> node = std::move(termList_);
    termList_ = std::move(node->next);
    node->func(node->data);
  }
  staticInitLock_.Term();
}

HRESULT ComServerModule::GetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (!classEntriesLive_.load(std::memory_order_acquire)) return E_UNEXPECTED;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;
  if (IsNullId(classId) || IsNullId(iid)) return E_INVALIDARG;

  ClassEntry* entry = nullptr;
  for (ClassEntry& candidate : classEntries_) {
    if (candidate.createClassObject == nullptr) continue;
    if (std::memcmp(candidate.classId, &classId, sizeof(CLSID)) == 0) {
      entry = &candidate;
      break;
    }
  }
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;

  HRESULT result = S_OK;
  IUnknown* classObject = entry->classObject.load(std::memory_order_acquire);
  if (classObject == nullptr) {
    platform::LockGuard guard(classEntriesLock_);
    classObject = entry->classObject.load(std::memory_order_relaxed);
    if (classObject == nullptr) {
      result = entry->createClassObject(IID_IUnknown, reinterpret_cast<void**>(&classObject));
      // Published only once it is complete: other threads test it without the lock.
      entry->classObject.store(classObject, std::memory_order_release);
    }
  }
  if (classObject != nullptr) result = classObject->QueryInterface(iid, object);
  if (*object == nullptr && result == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return result;
}

void ComServerModule::TermClassEntries() {
  if (!classEntriesLive_.exchange(false, std::memory_order_acq_rel)) return;
  for (ClassEntry& entry : classEntries_) {
    // The table's own reference, adopted to be given back.
    const platform::win32::ComPtr<IUnknown> classObject(
        entry.classObject.exchange(nullptr, std::memory_order_acq_rel));
  }
  classEntriesLock_.Term();
}

void ComServerModule::TearDown() {
  Term();
  TermClassEntries();
}

}  // namespace kindprobe::component
