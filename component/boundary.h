// Nothing thrown inside the module may reach a caller across the COM boundary: every export and
// every interface method that can allocate runs its body through CallAtBoundary.
#pragma once

#include <windows.h>

#include <new>
#include <utility>

namespace kindprobe::component {

// Runs `body` and answers its HRESULT; an allocation failure becomes E_OUTOFMEMORY and anything
// else thrown becomes E_UNEXPECTED.
template <typename Body>
HRESULT CallAtBoundary(Body&& body) noexcept {
  try {
    return std::forward<Body>(body)();
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_UNEXPECTED;
  }
}

// Whether a caller passed a null pointer where COM declares a reference (REFIID, REFCLSID): the
// caller's mistake, answered with E_INVALIDARG instead of a crash. The address is read through
// a volatile pointer, so the compiler cannot assume that a reference is never null.
inline bool IsNullId(const GUID& id) noexcept {
  const GUID* volatile address = &id;
  return address == nullptr;
}

}  // namespace kindprobe::component
