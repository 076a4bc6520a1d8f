// The server's class-entry table and the module object built on it.
#include "component/class_object.h"
#include "component/self_registration.h"
#include "component/server_module.h"
#include "kindprobe.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace kindprobe::component {
namespace {

const ClassCategory* NoCategories() { return nullptr; }

ClassEntry g_classEntries[] = {
    {&CLSID_CheckFile, &UpdateCheckFileRegistry, &CheckFileClassObject::Create, nullptr,
     &NoCategories},
};

ComServerModule g_serverModule(reinterpret_cast<HMODULE>(&__ImageBase), g_classEntries,
                               KINDPROBE_APPID_TEXT);

}  // namespace

ComServerModule& ServerModule() { return g_serverModule; }

}  // namespace kindprobe::component
