// The process-wide state of the in-process server: module lock count, termination functions,
// the re-entrant lock for static data and the class-entry table with its cached class objects.
#pragma once

#include <windows.h>

#include <objbase.h>

#include <atomic>
#include <cstddef>
#include <memory>
#include <span>

#include "platform/win32/critical_section.h"
#include "registration/server_registration.h"

namespace kindprobe::component {

using platform::win32::CriticalSection;

// A component category that a class implements (or, when `required`, needs).
struct ClassCategory {
  bool required;
  const GUID* id;  // a CATID
};

// One creatable class of the server.
struct ClassEntry {
  const CLSID* classId;
  // Runs the class's registry script (register or unregister).
  HRESULT (*updateRegistry)(bool doRegister);
  // Creates the class object; an entry without one is skipped by lookups.
  HRESULT (*createClassObject)(REFIID iid, void** object);
  // The cached class object, holding one reference; null until first requested. Published
  // complete (release) and read without the lock (acquire).
  std::atomic<IUnknown*> classObject;
  // The class's category list, terminated by an entry with a null id; null for none.
  const ClassCategory* (*categories)();
};

using TermFunc = void (*)(DWORD_PTR data);

class ComServerModule final : public registration::RegistrarModule {
 public:
  // Never throws: a lock that cannot be initialised sets InitFailed(), which fails the module's
  // load. `appId` ("{...}") is the module's AppID for its scripts' %APPID%; null: it has none.
  ComServerModule(HMODULE module, std::span<ClassEntry> entries, const wchar_t* appId);
  // Only the module's own members go here: everything that reaches other objects was torn down
  // by TearDown() when the module was detached, whatever order static objects die in.
  ~ComServerModule();
  ComServerModule(const ComServerModule&) = delete;
  ComServerModule& operator=(const ComServerModule&) = delete;

  LONG Lock();
  LONG Unlock();
  LONG GetLockCount() const;

  // RegistrarModule: the module file, and "APPID" (if it has one) for every registry script of
  // the module.
  HMODULE ModuleHandle() const override { return moduleHandle_; }
  HRESULT AddCommonReplacements(registration::ScriptRegistrar& registrar) override;

  // Registers `func(data)` to run at termination, newest first.
  HRESULT AddTermFunc(TermFunc func, DWORD_PTR data);
  // Runs and frees the termination functions, then destroys staticInitLock. Runs once.
  void Term();

  // The class object of `classId` from the class-entry table, created on first request.
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object);
  // Releases every cached class object; later requests answer E_UNEXPECTED.
  void TermClassEntries();

  // Term, then TermClassEntries: run when the module is detached from the process, before any
  // static object of the module is destroyed. A second call does nothing.
  void TearDown();

  bool InitFailed() const { return initFailed_; }
  std::span<ClassEntry> ClassEntries() const { return classEntries_; }
  // Guards termList and the one-time loads of static data. Re-entrant: a thread that holds it
  // may add a termination function.
  CriticalSection& StaticInitLock() { return staticInitLock_; }

 private:
  struct TermNode {
    TermFunc func;
    DWORD_PTR data;
    std::unique_ptr<TermNode> next;
  };

  // Set up in this order and torn down in reverse: the module file, the class-entry table with
  // its lock, then the lock count, termination functions and static-data lock.
  HMODULE moduleHandle_;
  const wchar_t* appId_;
  std::span<ClassEntry> classEntries_;
  CriticalSection classEntriesLock_;
  std::atomic<bool> classEntriesLive_{false};
  volatile LONG lockCount_ = 0;
  std::unique_ptr<TermNode> termList_;
  CriticalSection staticInitLock_;
  bool terminated_ = false;

  bool initFailed_ = false;
};

// The server module of this process.
ComServerModule& ServerModule();

}  // namespace kindprobe::component
