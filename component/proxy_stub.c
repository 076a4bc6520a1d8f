/* The tables around a module's generated proxy/stub: the proxy-file list, the factory buffer
   the RPC runtime owns, and the stub release routines the generated stub tables name. Each COM
   module compiles this file for its own one interface, naming the generated proxy-file info and
   the interface's IID with KINDPROBE_PROXY_FILE_INFO and KINDPROBE_PROXY_INTERFACE.
   Kept in C: the generated proxy code and rpcproxy.h do not compile as C++. */
#include "component/proxy_stub.h"

#include <objbase.h>
#include <rpcproxy.h>

extern const ExtendedProxyFileInfo KINDPROBE_PROXY_FILE_INFO;
extern const IID KINDPROBE_PROXY_INTERFACE;

/* The proxy-file table: one file, with the module's one interface. */
static const ProxyFileInfo* proxyFileList[] = {(const ProxyFileInfo*)&KINDPROBE_PROXY_FILE_INFO,
                                               NULL};
/* The proxy/stub class is named after the first (and only) interface of the table. */
static const CLSID* const proxyClassId = &KINDPROBE_PROXY_INTERFACE;
HINSTANCE proxyModule = NULL;

/* Owned by the RPC runtime, zero at start. */
static CStdPSFactoryBuffer proxyFactoryBuffer = {0, 0, 0, 0};

/* The stub tables of the generated code release their stubs through these. */
ULONG STDMETHODCALLTYPE CStdStubBuffer_Release(IRpcStubBuffer* This) {
  return NdrCStdStubBuffer_Release(This, (IPSFactoryBuffer*)&proxyFactoryBuffer);
}

ULONG STDMETHODCALLTYPE CStdStubBuffer2_Release(IRpcStubBuffer* This) {
  return NdrCStdStubBuffer2_Release(This, (IPSFactoryBuffer*)&proxyFactoryBuffer);
}

BOOL ProxyStubProcessAttach(HINSTANCE module) {
  proxyModule = module;
  return TRUE;
}

void ProxyStubProcessDetach(void) {}

HRESULT ProxyStubGetClassObject(REFCLSID classId, REFIID iid, void** object) {
  return NdrDllGetClassObject(classId, iid, object, proxyFileList, proxyClassId,
                              &proxyFactoryBuffer);
}

HRESULT ProxyStubCanUnloadNow(void) { return NdrDllCanUnloadNow(&proxyFactoryBuffer); }

HRESULT ProxyStubRegister(void) {
  return NdrDllRegisterProxy(proxyModule, proxyFileList, proxyClassId);
}

HRESULT ProxyStubUnregister(void) {
  return NdrDllUnregisterProxy(proxyModule, proxyFileList, proxyClassId);
}
