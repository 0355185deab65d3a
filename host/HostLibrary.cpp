#include "HostLibrary.h"

#include <dlfcn.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include "Text.h"

namespace tolvanehost {

namespace {

// Owns a VARIANT for the length of a call.
struct ScopedVariant {
    VARIANT v;
    ScopedVariant() { VariantInit(&v); }
    ~ScopedVariant() { VariantClear(&v); }
};

std::string BstrToUtf8(BSTR text) { return text ? FromUtf16(text, SysStringLen(text)) : std::string(); }

std::pair<std::string, int32_t> ReadPair(SAFEARRAY* pairs, int32_t index) {
    ScopedVariant pair, code, quantity;
    if (FAILED(SafeArrayGetElement(pairs, &index, &pair.v)) || !(pair.v.vt & VT_ARRAY))
        throw std::runtime_error("the driver returned a malformed document");
    int32_t first = 0, second = 1;
    if (FAILED(SafeArrayGetElement(pair.v.parray, &first, &code.v)) ||
        FAILED(SafeArrayGetElement(pair.v.parray, &second, &quantity.v)) || code.v.vt != VT_BSTR ||
        quantity.v.vt != VT_I4)
        throw std::runtime_error("the driver returned a malformed document pair");
    return {BstrToUtf8(code.v.bstrVal), quantity.v.lVal};
}

}  // namespace

std::string LibraryPath(const char* argv0) {
    if (const char* path = std::getenv("TOLVANE_LIBRARY"); path && *path) return path;
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    auto folder = ec ? std::filesystem::path(argv0).parent_path() : exe.parent_path();
    return (folder / "libTolvane.so").string();
}

VersionRecord ReadVersionRecord(const std::string& libraryPath) {
    std::ifstream in(libraryPath, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + libraryPath);
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    static const std::string kMarker("TOLVANE-VERSIONINFO\0", 20);
    size_t at = content.find(kMarker);
    if (at == std::string::npos) throw std::runtime_error(libraryPath + " carries no version record");
    VersionRecord record;
    for (size_t pos = at + kMarker.size(); pos < content.size() && content[pos] != '\0';) {
        std::string entry(content.c_str() + pos);
        pos += entry.size() + 1;
        size_t eq = entry.find('=');
        if (eq == std::string::npos) continue;
        if (entry.compare(0, eq, "FileVersion") == 0) record.FileVersion = entry.substr(eq + 1);
        if (entry.compare(0, eq, "FileDescription") == 0) record.FileDescription = ToUtf8(entry.substr(eq + 1));
    }
    return record;
}

Driver::Driver(const std::string& libraryPath) {
    library_ = dlopen(libraryPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library_) throw std::runtime_error(std::string("cannot load the driver: ") + dlerror());
    auto initDll = reinterpret_cast<TInitDllFunc>(dlsym(library_, "InitDll"));
    if (!initDll) throw std::runtime_error("the driver library has no InitDll");
    object_ = *initDll();
}

Driver::~Driver() {
    // The library's shut-down runs when the process unloads it.
}

int32_t Driver::GetVersion() { return object_->Table->GetVersion(object_); }

std::string Driver::GetDriverName() {
    std::string name;
    object_->Table->GetDriverName(&name, object_);
    return ToUtf8(name);
}

Document Driver::LoadData() {
    ScopedVariant result;
    object_->Table->LoadData(&result.v, object_);
    if (result.v.vt == VT_NULL || result.v.vt == VT_EMPTY) return std::nullopt;
    if (!(result.v.vt & VT_ARRAY)) throw std::runtime_error("the driver returned neither Null nor an array");
    int32_t low = 0, high = -1;
    SafeArrayGetLBound(result.v.parray, 1, &low);
    SafeArrayGetUBound(result.v.parray, 1, &high);
    std::vector<std::pair<std::string, int32_t>> pairs;
    for (int32_t i = low; i <= high; ++i) pairs.push_back(ReadPair(result.v.parray, i));
    return pairs;
}

void Driver::SendGoods(const std::string& utf8Path) {
    std::u16string wide = ToUtf16(utf8Path);
    ScopedVariant goods, path;
    path.v.vt = VT_BSTR;
    path.v.bstrVal = SysAllocStringLen(wide.data(), uint32_t(wide.size()));
    goods.v.vt = VT_ARRAY | VT_VARIANT;
    goods.v.parray = SafeArrayCreateVector(VT_VARIANT, 0, 1);
    int32_t index = 0;
    SafeArrayPutElement(goods.v.parray, &index, &path.v);
    object_->Table->SendGoods(object_, goods.v);
}

void Driver::ShowSettings() { object_->Table->ShowSettings(object_); }

}  // namespace tolvanehost
