// OLE Automation on this machine: a class registry file in the prefix,
// creation of an automation object by its programmatic identifier through
// the registered in-process server's class factory, and late binding
// (members named at run time through IDispatch).
//
// The registry is <prefix>/drive_c/windows/registry/classes.ini, one section
// per ProgID with the class id and the server file's native path. Servers
// write it from their DllRegisterServer, as they would write the Windows
// registry. Loaded servers stay loaded for the life of the process.
#pragma once

#include <tolvane/oleauto.h>

#include <initializer_list>
#include <optional>
#include <string>

#include "rtl/Variants.h"

namespace tolvane::platform {

struct ServerClass {
    std::string ProgId;
    CLSID Clsid{};
    std::string ServerFile;  // native path (UTF-8)
};

// Native path of the registry file.
std::string ClassRegistryFile();
// Adds or replaces the entry; false with the last error set on failure.
bool RegisterServerClass(const ServerClass& entry);
// Removes the entry; true also when there was none.
bool UnregisterServerClass(const std::string& progId);
// The entry for a ProgID, letter case ignored.
std::optional<ServerClass> FindServerClass(const std::string& progId);

std::string GuidToString(const GUID& guid);  // "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}"
std::optional<GUID> StringToGuid(const std::string& text);

// The system's text for an OLE result code, as the platform's error box
// shows it.
std::string OleErrorText(HRESULT hr);

// One argument of a late-bound call: a value, or a reference to the
// caller's variable that the object may change.
class OleArg {
public:
    OleArg(int32_t value) : v_(OleVariant::FromInt(value)) {}
    OleArg(const std::string& cp1251) : v_(OleVariant::FromText(cp1251)) {}
    OleArg(const char* cp1251) : v_(OleVariant::FromText(cp1251)) {}
    OleArg(const OleVariant& value) : v_(value) {}

    static OleArg ByRef(int32_t& variable);
    // Refers to the payload of an integer or text variant ("a wide-text
    // variable by reference"); the variant keeps ownership.
    static OleArg ByRef(OleVariant& variable);

    const VARIANT& Get() const { return v_.Get(); }

private:
    OleArg() = default;
    OleVariant v_;
};

// An automation object reference, or Null. Copies share the object.
class OleObject {
public:
    OleObject() = default;
    explicit OleObject(IDispatch* owned) : dispatch_(owned) {}  // takes over one reference
    OleObject(const OleObject& other);
    OleObject& operator=(const OleObject& other);
    ~OleObject() { Clear(); }

    bool IsNull() const { return dispatch_ == nullptr; }
    void Clear();
    IDispatch* Dispatch() const { return dispatch_; }

    // A property read or a method without arguments (whichever the object has).
    OleVariant Get(const std::string& name) const;
    void Set(const std::string& name, const OleArg& value) const;
    OleVariant Call(const std::string& name, std::initializer_list<OleArg> args = {}) const;

private:
    DISPID IdOf(const std::string& name) const;
    OleVariant Invoke(const std::string& name, uint16_t flags, const OleArg* args, size_t count) const;
    IDispatch* dispatch_ = nullptr;
};

// Creates the object registered under the ProgID through its server's
// class factory. Raises EOleError: "Недопустимая строка с указанием класса"
// for an unknown ProgID, a text naming the server file when it cannot be
// loaded or has no class factory, the factory's error otherwise.
OleObject CreateOleObject(const std::string& progId);

}  // namespace tolvane::platform
