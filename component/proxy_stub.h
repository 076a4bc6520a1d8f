/* The module's own marshalling code for ICheckFile: the proxy/stub part that the exports consult
   before the class-entry table. Its tables stay inside proxy_stub.c, since rpcproxy.h does not
   compile as C++. */
#ifndef KINDPROBE_PROXY_STUB_H
#define KINDPROBE_PROXY_STUB_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The module as recorded at process attach. */
extern HINSTANCE proxyModule;

/* Process attach and detach notifications; attach records the module and always succeeds. */
BOOL ProxyStubProcessAttach(HINSTANCE module);
void ProxyStubProcessDetach(void);

/* The proxy/stub part's answers to DllGetClassObject and DllCanUnloadNow. */
HRESULT ProxyStubGetClassObject(REFCLSID classId, REFIID iid, void** object);
HRESULT ProxyStubCanUnloadNow(void);

/* Files (or removes) the interface and its proxy/stub class in the registry, for
   self-registration. */
HRESULT ProxyStubRegister(void);
HRESULT ProxyStubUnregister(void);

#ifdef __cplusplus
}
#endif

#endif
