// OLE Automation shapes at the host boundary: the 16-byte VARIANT, BSTR and
// one-dimensional SAFEARRAY, with the OLE function names that create, read
// and free them. On Windows these come from oleaut32; here libTolvaneRtl.so
// provides them with the same contracts (HRESULT results, caller owns what
// it initialised and must VariantClear it).
#pragma once

#include <cstdint>

#pragma GCC visibility push(default)

typedef int32_t HRESULT;
typedef uint16_t VARTYPE;
typedef int16_t VARIANT_BOOL;
typedef char16_t OLECHAR;
typedef OLECHAR* BSTR;  // length-prefixed UTF-16, points past the 4-byte length

enum : VARTYPE {
    VT_EMPTY = 0, VT_NULL = 1, VT_I2 = 2, VT_I4 = 3, VT_R8 = 5, VT_DATE = 7,
    VT_BSTR = 8, VT_DISPATCH = 9, VT_ERROR = 10, VT_BOOL = 11, VT_VARIANT = 12,
    VT_UNKNOWN = 13, VT_UI1 = 17, VT_I8 = 20, VT_ARRAY = 0x2000, VT_BYREF = 0x4000,
};

enum : HRESULT {
    S_OK = 0,
    E_NOTIMPL = int32_t(0x80004001),
    E_NOINTERFACE = int32_t(0x80004002),
    E_POINTER = int32_t(0x80004003),
    E_FAIL = int32_t(0x80004005),
    E_OUTOFMEMORY = int32_t(0x8007000E),
    E_INVALIDARG = int32_t(0x80070057),
    DISP_E_UNKNOWNNAME = int32_t(0x80020006),
    DISP_E_TYPEMISMATCH = int32_t(0x80020005),
    DISP_E_BADVARTYPE = int32_t(0x80020008),
    DISP_E_OVERFLOW = int32_t(0x8002000A),
    DISP_E_BADINDEX = int32_t(0x8002000B),
    DISP_E_ARRAYISLOCKED = int32_t(0x8002000D),
    DISP_E_BADPARAMCOUNT = int32_t(0x8002000E),
    DISP_E_EXCEPTION = int32_t(0x80020009),
    DISP_E_MEMBERNOTFOUND = int32_t(0x80020003),
    DISP_E_PARAMNOTFOUND = int32_t(0x80020004),
    DISP_E_PARAMNOTOPTIONAL = int32_t(0x8002000F),
    CLASS_E_NOAGGREGATION = int32_t(0x80040110),
    CLASS_E_CLASSNOTAVAILABLE = int32_t(0x80040111),
    REGDB_E_CLASSNOTREG = int32_t(0x80040154),
    CO_E_CLASSSTRING = int32_t(0x800401F3),
    SELFREG_E_CLASS = int32_t(0x80040201),
};

inline bool FAILED(HRESULT hr) { return hr < 0; }
inline bool SUCCEEDED(HRESULT hr) { return hr >= 0; }

struct SAFEARRAYBOUND {
    uint32_t cElements;
    int32_t lLbound;
};

struct SAFEARRAY {
    uint16_t cDims;
    uint16_t fFeatures;
    uint32_t cbElements;
    uint32_t cLocks;
    void* pvData;
    SAFEARRAYBOUND rgsabound[1];
};

struct GUID {
    uint32_t Data1;
    uint16_t Data2;
    uint16_t Data3;
    uint8_t Data4[8];
};
typedef GUID IID;
typedef GUID CLSID;

// COM's root interface in its C++ shape; automation objects derive from it.
struct IUnknown {
    virtual HRESULT QueryInterface(const IID& iid, void** object) = 0;
    virtual uint32_t AddRef() = 0;
    virtual uint32_t Release() = 0;

protected:
    ~IUnknown() = default;
};

struct VARIANT;
typedef VARIANT VARIANTARG;

typedef int32_t DISPID;
typedef uint32_t LCID;
struct ITypeInfo;  // type information is not offered; GetTypeInfo answers E_NOTIMPL

enum : DISPID { DISPID_UNKNOWN = -1, DISPID_PROPERTYPUT = -3 };
enum : uint16_t {
    DISPATCH_METHOD = 1, DISPATCH_PROPERTYGET = 2, DISPATCH_PROPERTYPUT = 4, DISPATCH_PROPERTYPUTREF = 8,
};

// Arguments of IDispatch::Invoke: rgvarg holds them in reverse order (the
// last argument first), named ones (only DISPID_PROPERTYPUT here) first.
struct DISPPARAMS {
    VARIANTARG* rgvarg;
    DISPID* rgdispidNamedArgs;
    uint32_t cArgs;
    uint32_t cNamedArgs;
};

// Filled by Invoke when it answers DISP_E_EXCEPTION; the caller frees the BSTRs.
struct EXCEPINFO {
    uint16_t wCode;
    uint16_t wReserved;
    BSTR bstrSource;
    BSTR bstrDescription;
    BSTR bstrHelpFile;
    uint32_t dwHelpContext;
    void* pvReserved;
    void* pfnDeferredFillIn;
    HRESULT scode;
};

// The late-binding interface of automation objects, in its C++ shape.
struct IDispatch : IUnknown {
    virtual HRESULT GetTypeInfoCount(uint32_t* count) = 0;
    virtual HRESULT GetTypeInfo(uint32_t index, LCID lcid, ITypeInfo** info) = 0;
    virtual HRESULT GetIDsOfNames(const IID& iid, OLECHAR** names, uint32_t count, LCID lcid, DISPID* ids) = 0;
    virtual HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params,
                           VARIANT* result, EXCEPINFO* excepInfo, uint32_t* argErr) = 0;

protected:
    ~IDispatch() = default;
};

// What an in-process server's DllGetClassObject hands out.
struct IClassFactory : IUnknown {
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& iid, void** object) = 0;
    virtual HRESULT LockServer(int32_t lock) = 0;

protected:
    ~IClassFactory() = default;
};

inline bool IsEqualGUID(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3) return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i]) return false;
    return true;
}

inline constexpr IID IID_NULL = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
inline constexpr IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IClassFactory = {0x00000001, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
inline constexpr IID IID_IDispatch = {0x00020400, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

// The entry points an in-process server exports.
extern "C" {
typedef HRESULT (*DllRegisterServerProc)();
typedef HRESULT (*DllUnregisterServerProc)();
typedef HRESULT (*DllGetClassObjectProc)(const CLSID& clsid, const IID& iid, void** object);
}

// The 16-byte OLE VARIANT: type tag, three reserved words, an 8-byte value.
struct VARIANT {
    VARTYPE vt;
    uint16_t wReserved1;
    uint16_t wReserved2;
    uint16_t wReserved3;
    union {
        int64_t llVal;
        int32_t lVal;
        int16_t iVal;
        uint8_t bVal;
        double dblVal;
        double date;
        VARIANT_BOOL boolVal;
        HRESULT scode;
        BSTR bstrVal;
        IUnknown* punkVal;
        IDispatch* pdispVal;
        SAFEARRAY* parray;
        int32_t* plVal;
        BSTR* pbstrVal;
        VARIANT* pvarVal;
        void* byref;
    };
};
static_assert(sizeof(VARIANT) == 16, "VARIANT is 16 bytes at the host boundary");

extern "C" {
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text);
uint32_t SysStringLen(BSTR text);

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* source);
// As VariantCopy, but a by-reference source is copied as the value it refers to.
HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source);
HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, uint16_t flags, VARTYPE vt);

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count);
HRESULT SafeArrayDestroy(SAFEARRAY* array);
HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** dest);
HRESULT SafeArrayPutElement(SAFEARRAY* array, const int32_t* indices, const void* value);
HRESULT SafeArrayGetElement(SAFEARRAY* array, const int32_t* indices, void* value);
HRESULT SafeArrayGetLBound(SAFEARRAY* array, uint32_t dim, int32_t* bound);
HRESULT SafeArrayGetUBound(SAFEARRAY* array, uint32_t dim, int32_t* bound);
uint32_t SafeArrayGetDim(SAFEARRAY* array);
}

#pragma GCC visibility pop
