// The process-wide state of the in-process server: module lock count, termination functions,
// the re-entrant lock for static data and the class-entry table with its cached class objects.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <cstddef>
#include <memory>
#include <span>

#include "component/critical_section.h"

namespace kindprobe::registration {
class ScriptRegistrar;
}

namespace kindprobe::component {

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
  // The cached class object, holding one reference; null until first requested.
  IUnknown* classObject;
  // The class's category list, terminated by an entry with a null id; null for none.
  const ClassCategory* (*categories)();
};

using TermFunc = void (*)(DWORD_PTR data);

class ComServerModule {
 public:
  // Construction runs in three groups (module handle, class entries, the rest) and never throws:
  // a lock that cannot be initialised sets InitFailed(), which fails the module's load.
  ComServerModule(HMODULE module, std::span<ClassEntry> entries);
  // Tears the groups down in reverse: Term, then the class entries.
  virtual ~ComServerModule();
  ComServerModule(const ComServerModule&) = delete;
  ComServerModule& operator=(const ComServerModule&) = delete;

  virtual LONG Lock();
  virtual LONG Unlock();
  virtual LONG GetLockCount();
  // Adds the replacement values every registry script of the module may use ("APPID").
  virtual HRESULT AddCommonReplacements(registration::ScriptRegistrar& registrar);

  // Registers `func(data)` to run at termination, newest first.
  HRESULT AddTermFunc(TermFunc func, DWORD_PTR data);
  // Runs and frees the termination functions, then destroys staticInitLock. Runs once.
  void Term();

  // The class object of `classId` from the class-entry table, created on first request.
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object);
  // Releases every cached class object; later requests answer E_UNEXPECTED.
  void TermClassEntries();

  bool InitFailed() const { return initFailed; }
  HMODULE ModuleHandle() const { return moduleHandle; }
  std::span<ClassEntry> ClassEntries() const { return classEntries; }
  // Guards termList and the one-time loads of static data. Re-entrant: a thread that holds it
  // may add a termination function.
  CriticalSection& StaticInitLock() { return staticInitLock; }

 private:
  struct TermNode {
    TermFunc func;
    DWORD_PTR data;
    std::unique_ptr<TermNode> next;
  };

  // Group 1.
  HMODULE moduleHandle;
  // Group 2.
  std::span<ClassEntry> classEntries;
  CriticalSection classEntriesLock;
  bool classEntriesLive = false;
  // Group 3.
  volatile LONG lockCount = 0;
  std::unique_ptr<TermNode> termList;
  CriticalSection staticInitLock;
  bool terminated = false;

  bool initFailed = false;
};

// The server module of this process.
ComServerModule& ServerModule();

}  // namespace kindprobe::component
