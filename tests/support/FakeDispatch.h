// An in-process automation object whose members are test code: each member
// is a handler that sees the arguments in call order (by-reference ones can
// be written through) and answers a value. A handler that raises a
// tolvane::Exception makes Invoke answer DISP_E_EXCEPTION with its text.
#pragma once

#include <tolvane/oleauto.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "rtl/Variants.h"

namespace tolvane::test {

class FakeDispatch : public IDispatch {
public:
    struct Call {
        std::string name;
        uint16_t flags;
        std::vector<OleVariant> args;  // values as passed (references resolved), call order
        std::vector<VARTYPE> types;    // the types as passed, VT_BYREF included
    };
    using Handler = std::function<OleVariant(std::vector<VARIANT*>& args, uint16_t flags)>;

    // Created with one reference, held by the caller.
    FakeDispatch() = default;
    virtual ~FakeDispatch() = default;

    void On(const std::string& name, Handler handler);
    // A member that answers a fixed value and ignores its arguments.
    void Answer(const std::string& name, const OleVariant& value);

    std::vector<Call> calls;
    int references = 1;

    std::vector<std::string> Names() const;  // member names in call order
    const Call* Last(const std::string& name) const;

    HRESULT QueryInterface(const IID& iid, void** object) override;
    uint32_t AddRef() override { return uint32_t(++references); }
    uint32_t Release() override;
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const IID&, OLECHAR** names, uint32_t count, LCID, DISPID* ids) override;
    HRESULT Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* info, uint32_t* argErr) override;

private:
    std::vector<std::pair<std::string, Handler>> members_;
};

}  // namespace tolvane::test
