// The one exception of the server frame: a constructor whose lock cannot be initialised throws
// it, and the function that creates the object turns it into E_OUTOFMEMORY. It never leaves the
// module.
#pragma once

#include <windows.h>

namespace kindprobe::component {

class CAtlException {
 public:
  explicit CAtlException(HRESULT hr) : hr_(hr) {}
  HRESULT hr() const { return hr_; }

 private:
  HRESULT hr_;
};

}  // namespace kindprobe::component
