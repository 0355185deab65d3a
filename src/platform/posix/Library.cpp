#include "platform/Library.h"

#include <dlfcn.h>

#include <filesystem>

#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "rtl/Strings.h"

namespace tolvane::platform {

namespace {

thread_local std::string loadError;

std::string OwnFolder() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&OwnFolder), &info) == 0 || !info.dli_fname) return {};
    return std::filesystem::path(info.dli_fname).parent_path().string();
}

}  // namespace

std::string SharedObjectName(const std::string& windowsName) {
    std::string base = std::filesystem::path(windowsName).filename().string();
    if (base.size() > 4 && AnsiSameText(base.substr(base.size() - 4), ".dll")) base.resize(base.size() - 4);
    if (base.find(".so") != std::string::npos) return base;
    return "lib" + base + ".so";
}

LibraryHandle LoadLibrary(const std::string& windowsName) {
    bool hasFolder = windowsName.find_first_of("/\\") != std::string::npos;
    // A path names that exact file, whatever its extension (a server file
    // "X.dll" is the shared object itself); a bare name is mapped.
    std::string file = hasFolder ? NativePath(windowsName) : SharedObjectName(windowsName);
    void* handle = nullptr;
    if (!hasFolder) {
        std::string folder = OwnFolder();
        if (!folder.empty() && std::filesystem::exists(folder + "/" + file))
            handle = dlopen((folder + "/" + file).c_str(), RTLD_NOW | RTLD_LOCAL);
    }
    if (!handle) handle = dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        loadError = why ? why : file;
        SetLastError(ERROR_MOD_NOT_FOUND);
    }
    return handle;
}

void FreeLibrary(LibraryHandle handle) {
    if (handle) dlclose(handle);
}

void* GetProcAddress(LibraryHandle handle, const char* name) {
    void* symbol = handle ? dlsym(handle, name) : nullptr;
    if (!symbol) SetLastError(ERROR_PROC_NOT_FOUND);
    return symbol;
}

std::string LoadErrorText() { return loadError; }

}  // namespace tolvane::platform
