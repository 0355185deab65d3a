#include "CptObject.h"

#include <cstdio>

#include "platform/Files.h"
#include "rtl/Encoding.h"
#include "rtl/StringList.h"
#include "rtl/Strings.h"
#include "rtl/Variants.h"

namespace scansity {

namespace {

std::atomic<int> liveObjects{0};

enum Member : DISPID {
    idPort = 1, idBaudRate, idConnectionType, idLookupDelimiter,  // settings: properties
    idInitComm, idState, idStateMessage, idLinkTest, idSerialNumber, idFreeMemory, idRecordCount, idRead, idRecordsTransferred,
    idWrite, idDeleteData, idEnabled, idCloseComm,
};

const char* const kNames[] = {"Port",       "BaudRate",     "ConnectionType", "LookupDelimiter",
                              "InitComm",   "State",        "StateMessage",   "LinkTest",
                              "SerialNumber", "FreeMemory", "RecordCount",    "Read",
                              "RecordsTransferred", "Write", "DeleteData",    "Enabled",
                              "CloseComm"};
constexpr DISPID kMemberCount = DISPID(sizeof kNames / sizeof kNames[0]);

// Arguments each method takes.
int ArgumentCount(DISPID id) {
    switch (id) {
        case idLinkTest: return 1;
        case idRecordCount:
        case idDeleteData: return 2;
        case idWrite: return 3;
        case idRead: return 5;
        default: return 0;
    }
}

HRESULT IntArg(const VARIANT* v, int32_t& out) {
    VARIANT n;
    VariantInit(&n);
    HRESULT hr = VariantChangeType(&n, v, 0, VT_I4);
    if (SUCCEEDED(hr)) out = n.lVal;
    VariantClear(&n);
    return hr;
}

// A text argument as Windows-1251.
HRESULT TextArg(const VARIANT* v, std::string& out) {
    VARIANT text;
    VariantInit(&text);
    HRESULT hr = VariantChangeType(&text, v, 0, VT_BSTR);
    if (SUCCEEDED(hr)) out = tolvane::BstrToText(text.bstrVal);
    VariantClear(&text);
    return hr;
}

void SetInt(VARIANT* result, int32_t value) {
    if (!result) return;
    VariantClear(result);
    result->vt = VT_I4;
    result->lVal = value;
}

void SetText(VARIANT* result, const std::string& utf8) {
    if (!result) return;
    VariantClear(result);
    std::u16string wide = tolvane::Utf8ToUtf16(utf8);
    result->vt = VT_BSTR;
    result->bstrVal = SysAllocStringLen(wide.data(), uint32_t(wide.size()));
}

std::string Utf8(const std::string& cp1251) { return tolvane::Cp1251ToUtf8(cp1251); }

// Goods file lines as records: fields split at the delimiter, empty lines
// skipped. Empty on success, else what is wrong (UTF-8).
std::string ParseGoods(const std::string& text, char delimiter, std::vector<Fields>& records) {
    tolvane::TStringList lines;
    lines.SetText(text);
    for (int i = 0; i < lines.Count(); ++i) {
        const std::string& line = lines[i];
        if (line.empty()) continue;
        Fields fields;
        size_t start = 0;
        while (true) {
            size_t at = line.find(delimiter, start);
            fields.push_back(line.substr(start, at == std::string::npos ? std::string::npos : at - start));
            if (at == std::string::npos) break;
            start = at + 1;
        }
        if (fields.size() > 8) return "в строке " + std::to_string(i + 1) + " больше 8 полей";
        for (const auto& f : fields)
            if (f.size() > 255) return "в строке " + std::to_string(i + 1) + " поле длиннее 255 символов";
        records.push_back(std::move(fields));
    }
    return {};
}

}  // namespace

CptObject::CptObject(std::unique_ptr<TerminalLink> link) : link_(std::move(link)) { ++liveObjects; }

CptObject::~CptObject() {
    CloseComm();
    --liveObjects;
}

int CptObject::LiveObjects() { return liveObjects; }

HRESULT CptObject::QueryInterface(const IID& iid, void** object) {
    if (!object) return E_POINTER;
    if (!IsEqualGUID(iid, IID_IUnknown) && !IsEqualGUID(iid, IID_IDispatch)) {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    *object = static_cast<IDispatch*>(this);
    AddRef();
    return S_OK;
}

uint32_t CptObject::AddRef() { return ++references_; }

uint32_t CptObject::Release() {
    uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
}

HRESULT CptObject::GetTypeInfoCount(uint32_t* count) {
    if (!count) return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT CptObject::GetIDsOfNames(const IID&, OLECHAR** names, uint32_t count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    HRESULT hr = S_OK;
    for (uint32_t n = 0; n < count; ++n) {
        std::string name = tolvane::BstrToText(names[n]);
        ids[n] = DISPID_UNKNOWN;
        for (DISPID i = 0; i < kMemberCount; ++i)
            if (tolvane::AnsiSameText(name, kNames[i])) ids[n] = i + 1;
        if (ids[n] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT CptObject::Invoke(DISPID id, const IID&, LCID, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                          EXCEPINFO*, uint32_t* argErr) {
    if (id < 1 || id > kMemberCount) return DISP_E_MEMBERNOTFOUND;
    if (!params) return E_INVALIDARG;
    bool setting = id <= idLookupDelimiter;
    int32_t* field = id == idPort ? &port_ : id == idBaudRate ? &baudRate_ : id == idConnectionType ? &connectionType_
                                                                                            : &lookupDelimiter_;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (!setting) return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1 || params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_BADPARAMCOUNT;
        int32_t value = 0;
        HRESULT hr = IntArg(&params->rgvarg[0], value);
        if (FAILED(hr)) {
            if (argErr) *argErr = 0;
            return hr;
        }
        *field = value;
        return S_OK;
    }
    if (!(flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET))) return E_INVALIDARG;
    if (params->cNamedArgs != 0) return DISP_E_PARAMNOTFOUND;
    if (setting) {
        if (params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        SetInt(result, *field);
        return S_OK;
    }
    if (int(params->cArgs) != ArgumentCount(id)) return DISP_E_BADPARAMCOUNT;
    std::vector<VARIANT*> args;
    for (uint32_t i = params->cArgs; i-- > 0;) args.push_back(&params->rgvarg[i]);  // call order
    return Method(id, args, result);
}

HRESULT CptObject::Method(DISPID id, std::vector<VARIANT*>& args, VARIANT* result) {
    std::vector<int32_t> ints(args.size());
    auto ints_at = [&](std::initializer_list<size_t> which) {
        for (size_t i : which)
            if (FAILED(IntArg(args[i], ints[i]))) return false;
        return true;
    };
    switch (id) {
        case idInitComm: InitComm(); return S_OK;
        case idState: {
            std::lock_guard lock(mutex_);
            SetInt(result, state_);
            return S_OK;
        }
        case idStateMessage: {
            std::lock_guard lock(mutex_);
            SetText(result, message_);
            return S_OK;
        }
        case idLinkTest: {
            VARTYPE vt = args[0]->vt;
            if (vt != (VT_BYREF | VT_BSTR) && vt != (VT_BYREF | VT_VARIANT)) return DISP_E_TYPEMISMATCH;
            SetInt(result, LinkTest(args[0]));
            return S_OK;
        }
        case idSerialNumber: {
            std::string serial;
            if (Ready()) {
                LinkResult r = link_->SerialNumber(serial);
                SetState(r);
            }
            SetText(result, Utf8(serial));
            return S_OK;
        }
        case idFreeMemory: {
            int32_t kb = 0;
            if (Ready()) SetState(link_->FreeMemoryKb(kb));
            SetInt(result, kb);
            return S_OK;
        }
        case idRecordCount:
            if (!ints_at({0, 1})) return DISP_E_TYPEMISMATCH;
            SetInt(result, RecordCount(ints[0], ints[1]));
            return S_OK;
        case idRead: {
            std::string path;
            if (FAILED(TextArg(args[0], path)) || !ints_at({1, 2, 3, 4})) return DISP_E_TYPEMISMATCH;
            SetInt(result, Read(path, ints[1], ints[3]));
            return S_OK;
        }
        case idRecordsTransferred: SetInt(result, transferred_); return S_OK;
        case idWrite: {
            std::string path;
            if (FAILED(TextArg(args[0], path)) || !ints_at({1, 2})) return DISP_E_TYPEMISMATCH;
            SetInt(result, Write(path, ints[2]));
            return S_OK;
        }
        case idDeleteData:
            if (!ints_at({0, 1})) return DISP_E_TYPEMISMATCH;
            SetInt(result, DeleteData(ints[0], ints[1]));
            return S_OK;
        case idEnabled: SetInt(result, open_ ? 1 : 0); return S_OK;
        case idCloseComm: CloseComm(); return S_OK;
        default: return DISP_E_MEMBERNOTFOUND;
    }
}

void CptObject::EndTransfer(const LinkResult& outcome) {
    // One step, so that nobody sees the transfer over with its state unset.
    std::lock_guard lock(mutex_);
    state_ = outcome.state;
    message_ = outcome.Ok() ? std::string() : outcome.message;
    running_ = false;
}

void CptObject::SetState(int32_t code, const std::string& message) {
    std::lock_guard lock(mutex_);
    state_ = code;
    message_ = code == state::Idle ? std::string() : message;
}

bool CptObject::Ready() {
    if (running_) {
        SetState(state::Busy, "ТСД занят: идёт обмен данными");
        return false;
    }
    if (!open_) {
        SetState(state::NotOpen, "Порт не открыт");
        return false;
    }
    return true;
}

void CptObject::InitComm() {
    CloseComm();
    if (port_ < 1 || port_ > 255) return SetState(state::BadArgument, "Недопустимый номер порта: " + std::to_string(port_));
    if (baudRate_ < 1 || baudRate_ > 5)
        return SetState(state::BadArgument, "Недопустимый код скорости: " + std::to_string(baudRate_));
    LinkResult r = link_->Open(port_, baudRate_, connectionType_ == 0);
    open_ = r.Ok();
    SetState(r);
}

int32_t CptObject::LinkTest(VARIANT* model) {
    std::string name;
    if (!Ready()) return state::NotOpen;
    LinkResult r = link_->Identify(name);
    SetState(r);
    if (!r.Ok()) return r.state;
    std::u16string wide = tolvane::Cp1251ToUtf16(name);
    BSTR text = SysAllocStringLen(wide.data(), uint32_t(wide.size()));
    if (model->vt == (VT_BYREF | VT_BSTR)) {
        SysFreeString(*model->pbstrVal);
        *model->pbstrVal = text;
    } else {
        VariantClear(model->pvarVal);
        model->pvarVal->vt = VT_BSTR;
        model->pvarVal->bstrVal = text;
    }
    return 0;
}

int32_t CptObject::RecordCount(int32_t area, int32_t document) {
    if (!Ready()) return -1;
    if (area != 0 || document < 1 || document > 10) {
        SetState(state::NoSuchData, "Нет документа №" + std::to_string(document));
        return -1;
    }
    uint32_t count = 0;
    LinkResult r = link_->Count(document - 1, count);
    SetState(r);
    return r.Ok() ? int32_t(count) : -1;
}

int32_t CptObject::Read(const std::string& path, int32_t area, int32_t document) {
    if (!Ready()) return state::Busy;
    if (area != 0 || document < 1 || document > 10) {
        SetState(state::NoSuchData, "Нет документа №" + std::to_string(document));
        return state::NoSuchData;
    }
    // The file is written fresh and kept to ourselves while it grows; a
    // broken download leaves no file behind.
    std::unique_ptr<tolvane::platform::File> file = tolvane::platform::File::Open(
        path, tolvane::platform::AccessWrite, tolvane::platform::ShareNone, tolvane::platform::Disposition::CreateAlways);
    if (!file) {
        SetState(state::FileError, "Не удалось создать файл " + Utf8(path));
        return state::FileError;
    }
    StopWorker();
    transferred_ = 0;
    SetState(state::Reading, "Идёт чтение документа");
    running_ = true;
    worker_ = std::thread([this, file = std::move(file), path, document]() mutable {
        LinkResult outcome;
        while (!stop_) {
            Fields record;
            bool end = false;
            outcome = link_->ReadNext(document - 1, record, end);
            if (!outcome.Ok() || end) break;
            // Goods code in field 1, quantity in field 2.
            std::string line = (record.empty() ? std::string() : record[0]) + "," + (record.size() > 1 ? record[1] : "") + "\r\n";
            if (!file->Write(line.data(), line.size())) {
                outcome = {state::FileError, "Ошибка записи в файл " + Utf8(path)};
                break;
            }
            ++transferred_;
        }
        if (stop_ && outcome.Ok()) outcome = {state::TransferError, "Чтение документа прервано"};
        file.reset();
        if (!outcome.Ok()) tolvane::platform::DeleteFile(path);
        EndTransfer(outcome);
    });
    return state::Reading;
}

int32_t CptObject::Write(const std::string& path, int32_t database) {
    if (!Ready()) return state::Busy;
    if (database < 1 || database > 3) {
        SetState(state::NoSuchData, "Нет базы данных №" + std::to_string(database));
        return state::NoSuchData;
    }
    auto text = tolvane::platform::ReadWholeFile(path);
    if (!text) {
        SetState(state::FileError, "Не удалось прочитать файл " + Utf8(path));
        return state::FileError;
    }
    std::vector<Fields> records;
    if (std::string wrong = ParseGoods(*text, char(lookupDelimiter_), records); !wrong.empty()) {
        SetState(state::FileError, "Файл " + Utf8(path) + ": " + wrong);
        return state::FileError;
    }
    StopWorker();
    transferred_ = 0;
    SetState(state::Writing, "Идёт запись базы данных");
    running_ = true;
    worker_ = std::thread([this, records = std::move(records), database] {
        LinkResult outcome;
        for (const auto& record : records) {
            if (stop_) {
                outcome = {state::TransferError, "Запись базы данных прервана"};
                break;
            }
            outcome = link_->Put(database, record);
            if (!outcome.Ok()) break;
            ++transferred_;
        }
        // Finish also closes a broken upload, so the terminal keeps what it stored.
        LinkResult finished = link_->Finish(database);
        if (outcome.Ok()) outcome = finished;
        EndTransfer(outcome);
    });
    return state::Writing;
}

int32_t CptObject::DeleteData(int32_t area, int32_t document) {
    if (!Ready()) return -1;
    if (area != 0 || document < 1 || document > 10) {
        SetState(state::NoSuchData, "Нет документа №" + std::to_string(document));
        return -1;
    }
    LinkResult r = link_->Clear(document - 1);
    SetState(r);
    return r.Ok() ? 0 : -1;
}

void CptObject::AwaitTransfer() {
    if (worker_.joinable()) worker_.join();
}

void CptObject::StopWorker() {
    if (worker_.joinable()) {
        stop_ = true;
        worker_.join();
    }
    stop_ = false;
}

void CptObject::CloseComm() {
    StopWorker();
    if (open_) link_->Close();
    open_ = false;
}

}  // namespace scansity
