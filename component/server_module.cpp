#include "component/server_module.h"

#include <cstring>
#include <new>

#include "kindprobe.h"
#include "registration/registry_script.h"

namespace kindprobe::component {

ComServerModule::ComServerModule(HMODULE module, std::span<ClassEntry> entries)
    : moduleHandle(module), classEntries(entries) {
  if (FAILED(classEntriesLock.Init())) initFailed = true;
  classEntriesLive = true;
  if (FAILED(staticInitLock.Init())) initFailed = true;
}

ComServerModule::~ComServerModule() {
  Term();
  TermClassEntries();
}

LONG ComServerModule::Lock() { return ::InterlockedIncrement(&lockCount); }

LONG ComServerModule::Unlock() { return ::InterlockedDecrement(&lockCount); }

LONG ComServerModule::GetLockCount() { return lockCount; }

HRESULT ComServerModule::AddCommonReplacements(registration::ScriptRegistrar& registrar) {
  static_assert(sizeof(wchar_t) == sizeof(char16_t));
  return registrar.AppendReplacement(u"APPID",
                                     reinterpret_cast<const char16_t*>(KINDPROBE_APPID_TEXT));
}

HRESULT ComServerModule::AddTermFunc(TermFunc func, DWORD_PTR data) {
  std::unique_ptr<TermNode> node(new (std::nothrow) TermNode{func, data, nullptr});
  if (!node) return E_OUTOFMEMORY;
  platform::LockGuard guard(staticInitLock);
  node->next = std::move(termList);
  termList = std::move(node);
  return S_OK;
}

void ComServerModule::Term() {
  if (terminated) return;
  terminated = true;
  // Unlinked node by node, so a long list is not torn down by recursion.
  while (termList) {
    std::unique_ptr<TermNode> node = std::move(termList);
    termList = std::move(node->next);
    node->func(node->data);
  }
  staticInitLock.Term();
}

HRESULT ComServerModule::GetClassObject(REFCLSID classId, REFIID iid, void** object) {
  if (!classEntriesLive) return E_UNEXPECTED;
  if (object == nullptr) return E_POINTER;
  *object = nullptr;

  ClassEntry* entry = nullptr;
  for (ClassEntry& candidate : classEntries) {
    if (candidate.createClassObject == nullptr) continue;
    if (std::memcmp(candidate.classId, &classId, sizeof(CLSID)) == 0) {
      entry = &candidate;
      break;
    }
  }
  if (entry == nullptr) return CLASS_E_CLASSNOTAVAILABLE;

  HRESULT result = S_OK;
  if (entry->classObject == nullptr) {
    platform::LockGuard guard(classEntriesLock);
    if (entry->classObject == nullptr) {
      IUnknown* created = nullptr;
      result = entry->createClassObject(IID_IUnknown, reinterpret_cast<void**>(&created));
      // Published only once it is complete: other threads test it without the lock.
      ::InterlockedExchangePointer(reinterpret_cast<void* volatile*>(&entry->classObject), created);
    }
  }
  if (entry->classObject != nullptr) result = entry->classObject->QueryInterface(iid, object);
  if (*object == nullptr && result == S_OK) return CLASS_E_CLASSNOTAVAILABLE;
  return result;
}

void ComServerModule::TermClassEntries() {
  if (!classEntriesLive) return;
  for (ClassEntry& entry : classEntries) {
    if (entry.classObject != nullptr) {
      IUnknown* classObject = entry.classObject;
      entry.classObject = nullptr;
      classObject->Release();
    }
  }
  classEntriesLock.Term();
  classEntriesLive = false;
}

}  // namespace kindprobe::component
