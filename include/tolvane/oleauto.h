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

struct IDispatch;  // declared by the automation service
struct VARIANT;

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

typedef VARIANT VARIANTARG;

extern "C" {
BSTR SysAllocString(const OLECHAR* text);
BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length);
void SysFreeString(BSTR text);
uint32_t SysStringLen(BSTR text);

void VariantInit(VARIANT* v);
HRESULT VariantClear(VARIANT* v);
HRESULT VariantCopy(VARIANT* dest, const VARIANT* source);
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
