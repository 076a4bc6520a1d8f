// The component's type library registered from the module for the life of the object, as the
// registration of the server would file it.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include <string>

namespace kindprobe::wintest {

class RegisteredTypeLibrary {
 public:
  explicit RegisteredTypeLibrary(const std::wstring& modulePath);
  ~RegisteredTypeLibrary();
  RegisteredTypeLibrary(const RegisteredTypeLibrary&) = delete;
  RegisteredTypeLibrary& operator=(const RegisteredTypeLibrary&) = delete;
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace kindprobe::wintest
