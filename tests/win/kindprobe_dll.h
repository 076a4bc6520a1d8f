// Kindprobe.dll as a client without the registry sees it: loaded by path, its exports called
// directly.
#pragma once

#include <windows.h>
#include <objbase.h>

#include <string>

#include "com_support.h"
#include "kindprobe.h"

namespace kindprobe::wintest {

class KindprobeDll {
 public:
  // The module beside the test program, loaded once for the process.
  static KindprobeDll& Get();

  HMODULE module() const { return module_; }
  const std::wstring& path() const { return path_; }
  HRESULT GetClassObject(REFCLSID classId, REFIID iid, void** object) const;
  HRESULT CanUnloadNow() const;

  // The class object of CheckFile, and the shared object through it.
  ComPtr<IClassFactory> ClassFactory() const;
  ComPtr<ICheckFile> CreateCheckFile() const;

 private:
  KindprobeDll();

  std::wstring path_;
  HMODULE module_ = nullptr;
  HRESULT(STDAPICALLTYPE* getClassObject_)(REFCLSID, REFIID, void**) = nullptr;
  HRESULT(STDAPICALLTYPE* canUnloadNow_)() = nullptr;
};

// The directory of the test program, without a trailing separator.
std::wstring ProgramDirectory();

// The description the component reports, read back through the method table.
std::wstring ErrorInfoOf(ICheckFile* checker);
long TypeIdOf(ICheckFile* checker);
// Runs one check through the method table and returns its TypeID.
long CheckPath(ICheckFile* checker, const std::wstring& path);

}  // namespace kindprobe::wintest
