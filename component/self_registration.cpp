#include "component/self_registration.h"

#include "registration/server_registration.h"
#include "resource_ids.h"

namespace kindprobe::component {

HRESULT UpdateCheckFileRegistry(bool doRegister) {
  return registration::RunRegistryScript(KINDPROBE_CLASS_SCRIPT_RESOURCE, doRegister);
}

}  // namespace kindprobe::component
