/* The tables around the generated IDiagnosis proxy/stub, behind the same entry points as
   Kindprobe.dll's (component/proxy_stub.h): each module carries its own. Kept in C: the
   generated proxy code and rpcproxy.h do not compile as C++. */
#include "component/proxy_stub.h"

#include <objbase.h>
#include <rpcproxy.h>

#include "kindprobe_diagnosis.h"

extern const ExtendedProxyFileInfo kindprobe_diagnosis_ProxyFileInfo;

/* The proxy-file table: one file, with the one interface IDiagnosis. */
static const ProxyFileInfo* proxyFileList[] = {
    (const ProxyFileInfo*)&kindprobe_diagnosis_ProxyFileInfo, NULL};
/* The proxy/stub class is named after the first (and only) interface of the table. */
static const CLSID* const proxyClassId = &IID_IDiagnosis;
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
