#include "component/self_registration.h"

namespace kindprobe::component {

// Registration scripts arrive with self-registration; until then the module registers nothing.
HRESULT UpdateCheckFileRegistry(bool) { return E_NOTIMPL; }

}  // namespace kindprobe::component
