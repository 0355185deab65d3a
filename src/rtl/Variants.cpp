#include "rtl/Variants.h"

#include "rtl/Encoding.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

void OleCheck(HRESULT hr) {
    if (FAILED(hr)) throw EOleError(Format("OLE error %.8X", {uint64_t(uint32_t(hr))}));
}

OleVariant::OleVariant(const VARIANT& source) {
    VariantInit(&v_);
    OleCheck(VariantCopy(&v_, &source));
}

OleVariant& OleVariant::operator=(const OleVariant& other) {
    if (this != &other) OleCheck(VariantCopy(&v_, &other.v_));
    return *this;
}

OleVariant OleVariant::Null() {
    OleVariant v;
    v.v_.vt = VT_NULL;
    return v;
}

OleVariant OleVariant::FromInt(int32_t value) {
    OleVariant v;
    v.v_.vt = VT_I4;
    v.v_.lVal = value;
    return v;
}

OleVariant OleVariant::FromText(const std::string& cp1251) {
    OleVariant v;
    v.v_.vt = VT_BSTR;
    v.v_.bstrVal = TextToBstr(cp1251);
    return v;
}

OleVariant OleVariant::FromBool(bool value) {
    OleVariant v;
    v.v_.vt = VT_BOOL;
    v.v_.boolVal = VARIANT_BOOL(value ? -1 : 0);  // VARIANT_TRUE is -1
    return v;
}

VARIANT OleVariant::Detach() {
    VARIANT out = v_;
    VariantInit(&v_);
    return out;
}

std::string VarTypeName(VARTYPE vt) {
    std::string base;
    switch (vt & 0x0FFF) {
        case VT_EMPTY: base = "Empty"; break;
        case VT_NULL: base = "Null"; break;
        case VT_I2: base = "Smallint"; break;
        case VT_I4: base = "Integer"; break;
        case VT_R8: base = "Double"; break;
        case VT_DATE: base = "Date"; break;
        case VT_BSTR: base = "OleStr"; break;
        case VT_DISPATCH: base = "Dispatch"; break;
        case VT_BOOL: base = "Boolean"; break;
        case VT_VARIANT: base = "Variant"; break;
        case VT_UNKNOWN: base = "Unknown"; break;
        case VT_UI1: base = "Byte"; break;
        case VT_I8: base = "Int64"; break;
        default: base = "Unknown"; break;
    }
    if (vt & VT_ARRAY) base = "Array " + base;
    if (vt & VT_BYREF) base = "ByRef " + base;
    return base;
}

namespace {

[[noreturn]] void CannotConvert(VARTYPE from, const char* to) {
    throw EVariantError(Format("Could not convert variant of type (%s) into type (%s)", {VarTypeName(from), to}));
}

}  // namespace

std::string VarToText(const VARIANT& v) {
    OleVariant text;
    if (FAILED(VariantChangeType(text.Ptr(), &v, 0, VT_BSTR))) CannotConvert(v.vt, "String");
    return BstrToText(text.Get().bstrVal);
}

int32_t VarToInt(const VARIANT& v) {
    OleVariant n;
    HRESULT hr = VariantChangeType(n.Ptr(), &v, 0, VT_I4);
    if (hr == DISP_E_OVERFLOW) throw EVariantError("Overflow while converting variant of type (" + VarTypeName(v.vt) + ") into type (Integer)");
    if (FAILED(hr)) CannotConvert(v.vt, "Integer");
    return n.Get().lVal;
}

bool VarToBool(const VARIANT& v) {
    const VARIANT* value = v.vt == (VT_BYREF | VT_VARIANT) ? v.pvarVal : &v;
    if (value->vt == VT_BOOL) return value->boolVal != 0;
    if (value->vt == VT_BSTR) {
        const std::string text = Trim(BstrToText(value->bstrVal));
        if (AnsiSameText(text, "True")) return true;
        if (AnsiSameText(text, "False")) return false;
    }
    OleVariant n;
    if (FAILED(VariantChangeType(n.Ptr(), value, 0, VT_I4))) CannotConvert(value->vt, "Boolean");
    return n.Get().lVal != 0;
}

std::string BstrToText(BSTR text) {
    return Utf16ToCp1251(std::u16string_view(text ? text : u"", SysStringLen(text)));
}

BSTR TextToBstr(const std::string& cp1251) {
    std::u16string wide = Cp1251ToUtf16(cp1251);
    return SysAllocStringLen(wide.data(), uint32_t(wide.size()));
}

}  // namespace tolvane
