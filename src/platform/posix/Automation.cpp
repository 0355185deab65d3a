#include "platform/Automation.h"

#include <cctype>
#include <cstdio>
#include <utility>
#include <vector>

#include "platform/Files.h"
#include "platform/Library.h"
#include "platform/NamedMutex.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "rtl/Encoding.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/StringList.h"
#include "rtl/Strings.h"

namespace tolvane::platform {

namespace {

constexpr const char* kRegistryFolder = "C:\\windows\\registry";
constexpr const char* kRegistryFile = "C:\\windows\\registry\\classes.ini";
constexpr const char* kRegistryMutex = "Global\\tolvane class registry";

// The registry as sections in file order; each section is a ProgID with its
// CLSID and Server keys.
std::vector<ServerClass> ReadRegistry() {
    std::vector<ServerClass> out;
    auto text = ReadWholeFile(kRegistryFile);
    if (!text) return out;
    TStringList lines;
    lines.SetText(*text);
    for (int i = 0; i < lines.Count(); ++i) {
        std::string line = Trim(lines[i]);
        if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
            out.push_back({line.substr(1, line.size() - 2), {}, {}});
            continue;
        }
        auto eq = line.find('=');
        if (out.empty() || eq == std::string::npos) continue;
        std::string key = Trim(line.substr(0, eq)), value = Trim(line.substr(eq + 1));
        if (AnsiSameText(key, "CLSID")) out.back().Clsid = StringToGuid(value).value_or(GUID{});
        else if (AnsiSameText(key, "Server")) out.back().ServerFile = value;
    }
    return out;
}

bool WriteRegistry(const std::vector<ServerClass>& entries) {
    std::string text;
    for (const auto& e : entries)
        text += "[" + e.ProgId + "]\r\nCLSID=" + GuidToString(e.Clsid) + "\r\nServer=" + e.ServerFile + "\r\n\r\n";
    return ForceDirectories(kRegistryFolder) && WriteFileAtomically(kRegistryFile, text);
}

// Registrations from several processes must not lose each other's entries.
template <typename Body>
bool UnderRegistryLock(Body body) {
    auto mutex = NamedMutex::Create(kRegistryMutex);
    if (!mutex) return false;
    mutex->Wait();
    bool ok = body();
    uint32_t error = GetLastError();
    mutex->Release();
    SetLastError(error);
    return ok;
}

[[noreturn]] void RaiseOle(HRESULT hr) { throw EOleError(OleErrorText(hr)); }

void FreeExcepInfo(EXCEPINFO& info) {
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrHelpFile);
}

}  // namespace

std::string ClassRegistryFile() { return NativePath(kRegistryFile); }

bool RegisterServerClass(const ServerClass& entry) {
    return UnderRegistryLock([&] {
        auto entries = ReadRegistry();
        bool replaced = false;
        for (auto& e : entries)
            if (AnsiSameText(e.ProgId, entry.ProgId)) e = entry, replaced = true;
        if (!replaced) entries.push_back(entry);
        return WriteRegistry(entries);
    });
}

bool UnregisterServerClass(const std::string& progId) {
    return UnderRegistryLock([&] {
        auto entries = ReadRegistry();
        std::vector<ServerClass> kept;
        for (auto& e : entries)
            if (!AnsiSameText(e.ProgId, progId)) kept.push_back(e);
        return kept.size() == entries.size() || WriteRegistry(kept);
    });
}

std::optional<ServerClass> FindServerClass(const std::string& progId) {
    for (auto& e : ReadRegistry())
        if (AnsiSameText(e.ProgId, progId)) return e;
    return std::nullopt;
}

std::string GuidToString(const GUID& g) {
    char text[40];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return text;
}

std::optional<GUID> StringToGuid(const std::string& text) {
    // {8-4-4-4-12} hexadecimal digits, braces required, letter case ignored.
    static constexpr int kGroups[] = {8, 4, 4, 4, 12};
    if (text.size() != 38 || text.front() != '{' || text.back() != '}') return std::nullopt;
    std::string digits;
    size_t pos = 1;
    for (int g = 0; g < 5; ++g) {
        for (int i = 0; i < kGroups[g]; ++i, ++pos)
            if (!std::isxdigit(static_cast<unsigned char>(text[pos]))) return std::nullopt;
            else digits += text[pos];
        if (g < 4 && text[pos++] != '-') return std::nullopt;
    }
    auto hex = [&](size_t from, size_t count) { return std::stoull(digits.substr(from, count), nullptr, 16); };
    GUID g{};
    g.Data1 = uint32_t(hex(0, 8));
    g.Data2 = uint16_t(hex(8, 4));
    g.Data3 = uint16_t(hex(12, 4));
    for (int i = 0; i < 8; ++i) g.Data4[i] = uint8_t(hex(16 + 2 * size_t(i), 2));
    return g;
}

std::string OleErrorText(HRESULT hr) {
    switch (hr) {
        case CO_E_CLASSSTRING: return "Недопустимая строка с указанием класса";
        case REGDB_E_CLASSNOTREG: return "Класс не зарегистрирован";
        case CLASS_E_CLASSNOTAVAILABLE: return "Фабрика классов не может предоставить требуемый класс";
        case CLASS_E_NOAGGREGATION: return "Этот класс не может быть создан как часть агрегата";
        case E_NOINTERFACE: return "Интерфейс не поддерживается";
        case E_OUTOFMEMORY: return "Недостаточно памяти для завершения операции";
        case E_INVALIDARG: return "Параметр задан неверно";
        case E_FAIL: return "Неопознанная ошибка";
        case DISP_E_UNKNOWNNAME: return "Неизвестное имя";
        case DISP_E_MEMBERNOTFOUND: return "Элемент не найден";
        case DISP_E_TYPEMISMATCH: return "Несоответствие типа";
        case DISP_E_BADPARAMCOUNT: return "Недопустимое число параметров";
        case DISP_E_PARAMNOTFOUND: return "Параметр не найден";
        case DISP_E_OVERFLOW: return "Переполнение";
        default: return Format("Ошибка OLE %.8X", {uint64_t(uint32_t(hr))});
    }
}

OleArg OleArg::ByRef(int32_t& variable) {
    OleArg arg;
    arg.v_.Get().vt = VT_BYREF | VT_I4;
    arg.v_.Get().plVal = &variable;
    return arg;
}

OleArg OleArg::ByRef(OleVariant& variable) {
    VARIANT& target = variable.Get();
    if (target.vt != VT_I4 && target.vt != VT_BSTR)
        throw EOleError("Передача по ссылке допустима только для целого числа или строки");
    OleArg arg;
    arg.v_.Get().vt = VT_BYREF | target.vt;
    arg.v_.Get().byref = target.vt == VT_I4 ? static_cast<void*>(&target.lVal) : static_cast<void*>(&target.bstrVal);
    return arg;
}

OleObject::OleObject(const OleObject& other) : dispatch_(other.dispatch_) {
    if (dispatch_) dispatch_->AddRef();
}

OleObject& OleObject::operator=(const OleObject& other) {
    if (other.dispatch_) other.dispatch_->AddRef();
    Clear();
    dispatch_ = other.dispatch_;
    return *this;
}

void OleObject::Clear() {
    if (dispatch_) std::exchange(dispatch_, nullptr)->Release();
}

DISPID OleObject::IdOf(const std::string& name) const {
    if (!dispatch_) throw EVariantError("Invalid variant operation");
    BSTR wide = TextToBstr(name);
    OLECHAR* names[] = {wide};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, 0, &id);
    SysFreeString(wide);
    if (hr == DISP_E_UNKNOWNNAME) throw EOleError(Format("Метод '%s' не поддерживается объектом автоматизации", {name}));
    if (FAILED(hr)) RaiseOle(hr);
    return id;
}

OleVariant OleObject::Invoke(const std::string& name, uint16_t flags, const OleArg* args, size_t count) const {
    DISPID id = IdOf(name);
    std::vector<VARIANTARG> reversed(count);
    for (size_t i = 0; i < count; ++i) reversed[count - 1 - i] = args[i].Get();  // borrowed, not cleared
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), nullptr, uint32_t(count), 0};
    if (flags == DISPATCH_PROPERTYPUT) params.rgdispidNamedArgs = &putId, params.cNamedArgs = 1;
    OleVariant result;
    EXCEPINFO info{};
    uint32_t argErr = 0;
    HRESULT hr = dispatch_->Invoke(id, IID_NULL, 0, flags, &params, flags == DISPATCH_PROPERTYPUT ? nullptr : result.Ptr(),
                                   &info, &argErr);
    if (hr == DISP_E_EXCEPTION) {
        std::string text = info.bstrDescription ? BstrToText(info.bstrDescription) : OleErrorText(info.scode);
        FreeExcepInfo(info);
        throw EOleError(text);
    }
    if (FAILED(hr)) RaiseOle(hr);
    return result;
}

OleVariant OleObject::Get(const std::string& name) const {
    return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, nullptr, 0);
}

void OleObject::Set(const std::string& name, const OleArg& value) const {
    Invoke(name, DISPATCH_PROPERTYPUT, &value, 1);
}

OleVariant OleObject::Call(const std::string& name, std::initializer_list<OleArg> args) const {
    return Invoke(name, DISPATCH_METHOD | DISPATCH_PROPERTYGET, args.begin(), args.size());
}

OleObject CreateOleObject(const std::string& progId) {
    auto entry = FindServerClass(progId);
    if (!entry) RaiseOle(CO_E_CLASSSTRING);
    if (entry->ServerFile.empty()) RaiseOle(REGDB_E_CLASSNOTREG);
    std::string server = Utf8ToCp1251(entry->ServerFile);
    LibraryHandle library = LoadLibrary(server);  // stays loaded: its objects may run threads
    if (!library)
        throw EOleError(Format("Не удалось загрузить сервер объекта \"%s\" (%s): %s",
                               {progId, server, Utf8ToCp1251(LoadErrorText())}));
    auto getClassObject = reinterpret_cast<DllGetClassObjectProc>(GetProcAddress(library, "DllGetClassObject"));
    if (!getClassObject)
        throw EOleError(Format("Сервер объекта \"%s\" (%s) не содержит точки входа DllGetClassObject", {progId, server}));
    IClassFactory* factory = nullptr;
    HRESULT hr = getClassObject(entry->Clsid, IID_IClassFactory, reinterpret_cast<void**>(&factory));
    if (FAILED(hr) || !factory) RaiseOle(FAILED(hr) ? hr : E_NOINTERFACE);
    IDispatch* object = nullptr;
    hr = factory->CreateInstance(nullptr, IID_IDispatch, reinterpret_cast<void**>(&object));
    factory->Release();
    if (FAILED(hr) || !object) RaiseOle(FAILED(hr) ? hr : E_NOINTERFACE);
    return OleObject(object);
}

}  // namespace tolvane::platform
