#include "FakeDispatch.h"

#include "rtl/Exception.h"
#include "rtl/Strings.h"

namespace tolvane::test {

void FakeDispatch::On(const std::string& name, Handler handler) {
    for (auto& m : members_)
        if (m.first == name) {
            m.second = std::move(handler);
            return;
        }
    members_.emplace_back(name, std::move(handler));
}

void FakeDispatch::Answer(const std::string& name, const OleVariant& value) {
    On(name, [value](std::vector<VARIANT*>&, uint16_t) { return value; });
}

std::vector<std::string> FakeDispatch::Names() const {
    std::vector<std::string> out;
    for (const auto& c : calls) out.push_back(c.name);
    return out;
}

const FakeDispatch::Call* FakeDispatch::Last(const std::string& name) const {
    for (auto it = calls.rbegin(); it != calls.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

HRESULT FakeDispatch::QueryInterface(const IID& iid, void** object) {
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IDispatch)) return *object = nullptr, E_NOINTERFACE;
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

uint32_t FakeDispatch::Release() { return uint32_t(--references); }

HRESULT FakeDispatch::GetTypeInfoCount(uint32_t* count) {
    *count = 0;
    return S_OK;
}

HRESULT FakeDispatch::GetIDsOfNames(const IID&, OLECHAR** names, uint32_t count, LCID, DISPID* ids) {
    HRESULT hr = S_OK;
    for (uint32_t n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        std::string name = BstrToText(names[n]);
        for (size_t i = 0; i < members_.size(); ++i)
            if (AnsiSameText(members_[i].first, name)) ids[n] = DISPID(i + 1);
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT FakeDispatch::Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                             EXCEPINFO* info, uint32_t*) {
    if (id < 1 || size_t(id) > members_.size()) return DISP_E_MEMBERNOTFOUND;
    Call call{members_[size_t(id) - 1].first, flags, {}, {}};
    std::vector<VARIANT*> args;
    for (uint32_t i = params->cArgs; i-- > 0;) {
        args.push_back(&params->rgvarg[i]);
        OleVariant value;
        OleCheck(VariantCopyInd(value.Ptr(), &params->rgvarg[i]));
        call.args.push_back(value);
        call.types.push_back(params->rgvarg[i].vt);
    }
    calls.push_back(call);
    try {
        OleVariant answer = members_[size_t(id) - 1].second(args, flags);
        if (result) {
            VariantClear(result);
            *result = answer.Detach();
        }
        return S_OK;
    } catch (const Exception& e) {
        if (info) {
            *info = EXCEPINFO{};
            info->bstrDescription = TextToBstr(e.Message());
            info->scode = E_FAIL;
        }
        return DISP_E_EXCEPTION;
    }
}

}  // namespace tolvane::test
