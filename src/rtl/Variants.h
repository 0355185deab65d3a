// C++ helpers over the OLE VARIANT for the system's own code: an owning
// wrapper and conversions that raise the platform's variant errors.
#pragma once

#include <tolvane/oleauto.h>

#include <cstdint>
#include <string>

#pragma GCC visibility push(default)

namespace tolvane {

// Raises EOleError with the code when hr is a failure.
void OleCheck(HRESULT hr);

// Owns one VARIANT and clears it when it goes.
class OleVariant {
public:
    OleVariant() { VariantInit(&v_); }
    explicit OleVariant(const VARIANT& source);  // copies
    OleVariant(const OleVariant& other) : OleVariant(other.v_) {}
    OleVariant& operator=(const OleVariant& other);
    ~OleVariant() { VariantClear(&v_); }

    static OleVariant Null();
    static OleVariant FromInt(int32_t value);
    static OleVariant FromText(const std::string& cp1251);  // a BSTR
    static OleVariant FromBool(bool value);

    VARIANT& Get() { return v_; }
    const VARIANT& Get() const { return v_; }
    VARIANT* Ptr() { return &v_; }
    // Gives up ownership: the caller now owns the VARIANT.
    VARIANT Detach();

private:
    VARIANT v_;
};

std::string VarTypeName(VARTYPE vt);
// EVariantError "Could not convert variant of type (%s) into type (%s)".
std::string VarToText(const VARIANT& v);
int32_t VarToInt(const VARIANT& v);
// True/False (any letter case) or a number, non-zero being true.
bool VarToBool(const VARIANT& v);
std::string BstrToText(BSTR text);
BSTR TextToBstr(const std::string& cp1251);

}  // namespace tolvane

#pragma GCC visibility pop
