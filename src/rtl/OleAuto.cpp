// OLE Automation data functions with oleaut32's contracts.
#include <tolvane/oleauto.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "rtl/Encoding.h"
#include "rtl/Strings.h"

namespace {

constexpr uint16_t FADF_VARIANT = 0x0800;

uint32_t* LengthPrefix(BSTR text) { return reinterpret_cast<uint32_t*>(text) - 1; }

// OLE converts numbers to text with the user's locale; the system only ever
// converts integers and texts, so plain C forms suffice here.
HRESULT ToText(const VARIANT& source, std::u16string& out) {
    switch (source.vt) {
        case VT_EMPTY: out.clear(); return S_OK;
        case VT_BSTR: out.assign(source.bstrVal ? source.bstrVal : u"", SysStringLen(source.bstrVal)); return S_OK;
        case VT_I2: out = tolvane::Utf8ToUtf16(std::to_string(source.iVal)); return S_OK;
        case VT_I4: out = tolvane::Utf8ToUtf16(std::to_string(source.lVal)); return S_OK;
        case VT_I8: out = tolvane::Utf8ToUtf16(std::to_string(source.llVal)); return S_OK;
        case VT_UI1: out = tolvane::Utf8ToUtf16(std::to_string(source.bVal)); return S_OK;
        case VT_BOOL: out = source.boolVal ? u"True" : u"False"; return S_OK;
        case VT_R8:
            out = tolvane::Utf8ToUtf16(tolvane::FloatToStr(source.dblVal, tolvane::TFormatSettings{'.'}));
            return S_OK;
        default: return DISP_E_TYPEMISMATCH;
    }
}

HRESULT RoundToInt32(double d, int32_t& out) {
    if (!std::isfinite(d)) return DISP_E_OVERFLOW;
    double r = std::nearbyint(d);  // banker's rounding, as OLE does
    if (r < double(INT32_MIN) || r > double(INT32_MAX)) return DISP_E_OVERFLOW;
    out = int32_t(r);
    return S_OK;
}

HRESULT ToInt32(const VARIANT& source, int32_t& out) {
    switch (source.vt) {
        case VT_EMPTY: out = 0; return S_OK;
        case VT_I2: out = source.iVal; return S_OK;
        case VT_I4: out = source.lVal; return S_OK;
        case VT_UI1: out = source.bVal; return S_OK;
        case VT_BOOL: out = source.boolVal ? -1 : 0; return S_OK;
        case VT_I8:
            if (source.llVal < INT32_MIN || source.llVal > INT32_MAX) return DISP_E_OVERFLOW;
            out = int32_t(source.llVal);
            return S_OK;
        case VT_R8: return RoundToInt32(source.dblVal, out);
        case VT_BSTR: {
            std::string text = tolvane::Trim(tolvane::Utf16ToUtf8(
                std::u16string_view(source.bstrVal ? source.bstrVal : u"", SysStringLen(source.bstrVal))));
            if (auto v = tolvane::TryStrToInt64(text)) {
                if (*v < INT32_MIN || *v > INT32_MAX) return DISP_E_OVERFLOW;
                out = int32_t(*v);
                return S_OK;
            }
            if (auto d = tolvane::TryStrToFloat(text, tolvane::TFormatSettings{'.'})) return RoundToInt32(*d, out);
            return DISP_E_TYPEMISMATCH;
        }
        default: return DISP_E_TYPEMISMATCH;
    }
}

VARIANT* ElementAt(SAFEARRAY* array, const int32_t* indices, HRESULT& hr) {
    hr = S_OK;
    if (!array || !indices) {
        hr = E_INVALIDARG;
        return nullptr;
    }
    int64_t offset = int64_t(*indices) - array->rgsabound[0].lLbound;
    if (offset < 0 || offset >= int64_t(array->rgsabound[0].cElements)) {
        hr = DISP_E_BADINDEX;
        return nullptr;
    }
    return static_cast<VARIANT*>(array->pvData) + offset;
}

}  // namespace

extern "C" {

BSTR SysAllocStringLen(const OLECHAR* text, uint32_t length) {
    auto* block = static_cast<uint32_t*>(std::malloc(sizeof(uint32_t) + (size_t(length) + 1) * sizeof(OLECHAR)));
    if (!block) return nullptr;
    block[0] = length * uint32_t(sizeof(OLECHAR));
    auto* chars = reinterpret_cast<OLECHAR*>(block + 1);
    if (text) std::memcpy(chars, text, length * sizeof(OLECHAR));
    else std::memset(chars, 0, length * sizeof(OLECHAR));
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(const OLECHAR* text) {
    if (!text) return nullptr;
    uint32_t length = 0;
    while (text[length]) ++length;
    return SysAllocStringLen(text, length);
}

void SysFreeString(BSTR text) {
    if (text) std::free(LengthPrefix(text));
}

uint32_t SysStringLen(BSTR text) { return text ? *LengthPrefix(text) / uint32_t(sizeof(OLECHAR)) : 0; }

void VariantInit(VARIANT* v) {
    std::memset(v, 0, sizeof *v);
    v->vt = VT_EMPTY;
}

HRESULT VariantClear(VARIANT* v) {
    if (!v) return E_INVALIDARG;
    if (!(v->vt & VT_BYREF)) {
        if (v->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayDestroy(v->parray);
            if (FAILED(hr)) return hr;
        } else if (v->vt == VT_BSTR) {
            SysFreeString(v->bstrVal);
        } else if ((v->vt == VT_DISPATCH || v->vt == VT_UNKNOWN) && v->punkVal) {
            v->punkVal->Release();
        }
    }
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* source) {
    if (!dest || !source) return E_INVALIDARG;
    if (dest == source) return S_OK;
    VARIANT copy = *source;
    if (!(source->vt & VT_BYREF)) {
        if (source->vt & VT_ARRAY) {
            HRESULT hr = SafeArrayCopy(source->parray, &copy.parray);
            if (FAILED(hr)) return hr;
        } else if (source->vt == VT_BSTR && source->bstrVal) {
            copy.bstrVal = SysAllocStringLen(source->bstrVal, SysStringLen(source->bstrVal));
            if (!copy.bstrVal) return E_OUTOFMEMORY;
        } else if ((source->vt == VT_DISPATCH || source->vt == VT_UNKNOWN) && source->punkVal) {
            source->punkVal->AddRef();
        }
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) return hr;
    *dest = copy;
    return S_OK;
}

HRESULT VariantCopyInd(VARIANT* dest, const VARIANT* source) {
    if (!dest || !source) return E_INVALIDARG;
    if (!(source->vt & VT_BYREF)) return VariantCopy(dest, source);
    if (!source->byref) return E_INVALIDARG;
    VARTYPE base = VARTYPE(source->vt & ~VT_BYREF);
    if (base == VT_VARIANT) {
        const VARIANT* inner = source->pvarVal;
        if (inner->vt == (VT_BYREF | VT_VARIANT)) return E_INVALIDARG;  // OLE allows one level only
        return VariantCopyInd(dest, inner);
    }
    VARIANT value;
    VariantInit(&value);
    value.vt = base;
    if (base & VT_ARRAY) {
        value.parray = *static_cast<SAFEARRAY**>(source->byref);
    } else {
        switch (base) {
            case VT_I2: value.iVal = *static_cast<int16_t*>(source->byref); break;
            case VT_I4: value.lVal = *source->plVal; break;
            case VT_I8: value.llVal = *static_cast<int64_t*>(source->byref); break;
            case VT_UI1: value.bVal = *static_cast<uint8_t*>(source->byref); break;
            case VT_BOOL: value.boolVal = *static_cast<VARIANT_BOOL*>(source->byref); break;
            case VT_ERROR: value.scode = *static_cast<HRESULT*>(source->byref); break;
            case VT_R8:
            case VT_DATE: value.dblVal = *static_cast<double*>(source->byref); break;
            case VT_BSTR: value.bstrVal = *source->pbstrVal; break;
            case VT_DISPATCH:
            case VT_UNKNOWN: value.punkVal = *static_cast<IUnknown**>(source->byref); break;
            default: return DISP_E_BADVARTYPE;
        }
    }
    // value borrows the referenced data; VariantCopy makes dest its own copy.
    return VariantCopy(dest, &value);
}

HRESULT VariantChangeType(VARIANT* dest, const VARIANT* source, uint16_t, VARTYPE vt) {
    if (!dest || !source) return E_INVALIDARG;
    if (source->vt & VT_BYREF) {
        VARIANT value;
        VariantInit(&value);
        HRESULT hr = VariantCopyInd(&value, source);
        if (SUCCEEDED(hr)) hr = VariantChangeType(dest, &value, 0, vt);
        VariantClear(&value);
        return hr;
    }
    const VARIANT& value = *source;
    if (value.vt == vt) return VariantCopy(dest, &value);
    VARIANT result;
    VariantInit(&result);
    if (vt == VT_BSTR) {
        std::u16string text;
        HRESULT hr = ToText(value, text);
        if (FAILED(hr)) return hr;
        result.vt = VT_BSTR;
        result.bstrVal = SysAllocStringLen(text.data(), uint32_t(text.size()));
    } else if (vt == VT_I4) {
        int32_t n = 0;
        HRESULT hr = ToInt32(value, n);
        if (FAILED(hr)) return hr;
        result.vt = VT_I4;
        result.lVal = n;
    } else {
        return DISP_E_BADVARTYPE;
    }
    HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    *dest = result;
    return S_OK;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, int32_t lowerBound, uint32_t count) {
    if (vt != VT_VARIANT) return nullptr;
    auto* array = static_cast<SAFEARRAY*>(std::calloc(1, sizeof(SAFEARRAY)));
    if (!array) return nullptr;
    array->cDims = 1;
    array->fFeatures = FADF_VARIANT;
    array->cbElements = sizeof(VARIANT);
    array->rgsabound[0] = {count, lowerBound};
    array->pvData = std::calloc(count ? count : 1, sizeof(VARIANT));
    if (!array->pvData) {
        std::free(array);
        return nullptr;
    }
    return array;
}

HRESULT SafeArrayDestroy(SAFEARRAY* array) {
    if (!array) return S_OK;
    if (array->cLocks) return DISP_E_ARRAYISLOCKED;
    auto* items = static_cast<VARIANT*>(array->pvData);
    for (uint32_t i = 0; i < array->rgsabound[0].cElements; ++i) VariantClear(&items[i]);
    std::free(array->pvData);
    std::free(array);
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* source, SAFEARRAY** dest) {
    if (!source || !dest) return E_INVALIDARG;
    SAFEARRAY* copy = SafeArrayCreateVector(VT_VARIANT, source->rgsabound[0].lLbound, source->rgsabound[0].cElements);
    if (!copy) return E_OUTOFMEMORY;
    auto* from = static_cast<VARIANT*>(source->pvData);
    auto* to = static_cast<VARIANT*>(copy->pvData);
    for (uint32_t i = 0; i < source->rgsabound[0].cElements; ++i) {
        HRESULT hr = VariantCopy(&to[i], &from[i]);
        if (FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *dest = copy;
    return S_OK;
}

HRESULT SafeArrayPutElement(SAFEARRAY* array, const int32_t* indices, const void* value) {
    HRESULT hr;
    VARIANT* slot = ElementAt(array, indices, hr);
    if (!slot) return hr;
    return VariantCopy(slot, static_cast<const VARIANT*>(value));
}

HRESULT SafeArrayGetElement(SAFEARRAY* array, const int32_t* indices, void* value) {
    HRESULT hr;
    VARIANT* slot = ElementAt(array, indices, hr);
    if (!slot) return hr;
    auto* out = static_cast<VARIANT*>(value);
    VariantInit(out);
    return VariantCopy(out, slot);
}

HRESULT SafeArrayGetLBound(SAFEARRAY* array, uint32_t dim, int32_t* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *bound = array->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* array, uint32_t dim, int32_t* bound) {
    if (!array || !bound) return E_INVALIDARG;
    if (dim != 1) return DISP_E_BADINDEX;
    *bound = int32_t(int64_t(array->rgsabound[0].lLbound) + array->rgsabound[0].cElements - 1);
    return S_OK;
}

uint32_t SafeArrayGetDim(SAFEARRAY* array) { return array ? array->cDims : 0; }

}  // extern "C"
