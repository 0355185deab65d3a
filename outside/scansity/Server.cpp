// The in-process server file of "CitySoftWarehouseDOS.Cpt": registration
// entry points and the class factory. The file is the shared object itself,
// installed under any name (C:\TORV\CitySoftWarehouseDos_OLE.dll).
#include <dlfcn.h>

#include "CptObject.h"
#include "platform/Automation.h"
#include "rtl/Encoding.h"

#define SERVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr const char* kProgId = "CitySoftWarehouseDOS.Cpt";
constexpr CLSID kClsid = {0x6C1F3A52, 0x9E0B, 0x4D27, {0x8A, 0x61, 0x3B, 0x5E, 0x0C, 0x94, 0xD2, 0x17}};

std::atomic<int> serverLocks{0};

class ClassFactory final : public IClassFactory {
public:
    HRESULT QueryInterface(const IID& iid, void** object) override {
        if (!object) return E_POINTER;
        if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IClassFactory)) {
            *object = nullptr;
            return E_NOINTERFACE;
        }
        *object = static_cast<IClassFactory*>(this);
        return S_OK;
    }
    // One factory for the life of the server.
    uint32_t AddRef() override { return 2; }
    uint32_t Release() override { return 1; }

    HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        auto* created = new (std::nothrow) scansity::CptObject(scansity::MakeSerialLink());
        if (!created) return E_OUTOFMEMORY;
        HRESULT hr = created->QueryInterface(iid, object);
        created->Release();  // the caller's reference, if any, keeps it
        return hr;
    }
    HRESULT LockServer(int32_t lock) override {
        serverLocks += lock ? 1 : -1;
        return S_OK;
    }
};

ClassFactory factory;

// This file's own path, as the registry keeps it.
std::string OwnPath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnPath), &info) == 0 || !info.dli_fname) return {};
    return info.dli_fname;
}

}  // namespace

SERVER_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (!IsEqualGUID(clsid, kClsid)) return CLASS_E_CLASSNOTAVAILABLE;
    return factory.QueryInterface(iid, object);
}

SERVER_EXPORT HRESULT DllCanUnloadNow() { return scansity::CptObject::LiveObjects() == 0 && serverLocks == 0 ? S_OK : 1; }

SERVER_EXPORT HRESULT DllRegisterServer() {
    std::string path = OwnPath();
    if (path.empty()) return SELFREG_E_CLASS;
    return tolvane::platform::RegisterServerClass({kProgId, kClsid, path}) ? S_OK : SELFREG_E_CLASS;
}

SERVER_EXPORT HRESULT DllUnregisterServer() {
    return tolvane::platform::UnregisterServerClass(kProgId) ? S_OK : SELFREG_E_CLASS;
}
