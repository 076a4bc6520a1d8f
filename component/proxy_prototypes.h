/* Forced into the generated proxy code: MinGW's unknwn.h declares these runtime routines for
   C++ only, and the generated proxy table refers to them from C. */
#ifndef KINDPROBE_PROXY_PROTOTYPES_H
#define KINDPROBE_PROXY_PROTOTYPES_H

#include <objbase.h>

HRESULT STDMETHODCALLTYPE IUnknown_QueryInterface_Proxy(IUnknown* This, REFIID riid,
                                                        void** ppvObject);
ULONG STDMETHODCALLTYPE IUnknown_AddRef_Proxy(IUnknown* This);
ULONG STDMETHODCALLTYPE IUnknown_Release_Proxy(IUnknown* This);

#endif
