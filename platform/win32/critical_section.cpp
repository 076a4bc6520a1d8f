#include "platform/win32/critical_section.h"

namespace kindprobe::platform::win32 {

HRESULT CriticalSection::Init() {
  if (initialized_) return S_OK;
  // The spin-count variant reports a failure through its result, where the plain initialiser
  // raised a structured exception on old systems.
  if (!::InitializeCriticalSectionAndSpinCount(&section_, 0)) {
    const DWORD error = ::GetLastError();
    return error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY ? E_OUTOFMEMORY : E_FAIL;
  }
  initialized_ = true;
  return S_OK;
}

void CriticalSection::Term() {
  if (!initialized_) return;
  ::DeleteCriticalSection(&section_);
  initialized_ = false;
}

}  // namespace kindprobe::platform::win32
