// regsvr32: registers an in-process automation server by calling its
// DllRegisterServer (or DllUnregisterServer with /u). /s keeps it quiet:
// the outcome is then only the exit status.
//
//   regsvr32 [/s] [/u] FILE
//
// Exit status: 0 done, 1 bad arguments, 3 the file cannot be loaded, 4 it
// has no such entry point, 5 the entry point failed.
#include <cstdio>
#include <string>

#include "platform/Library.h"
#include "platform/Paths.h"
#include "rtl/Encoding.h"
#include "rtl/Strings.h"

#include <tolvane/oleauto.h>

using namespace tolvane;

namespace {

bool silent = false;

int Report(int status, const std::string& utf8) {
    if (!silent) std::fprintf(status == 0 ? stdout : stderr, "regsvr32: %s\n", utf8.c_str());
    return status;
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        // Options are two characters; a longer argument is the file, even a
        // native path that starts with "/".
        bool option = arg.size() == 2 && (arg[0] == '/' || arg[0] == '-');
        if (option && (arg[1] == 's' || arg[1] == 'S')) silent = true;
        else if (option && (arg[1] == 'u' || arg[1] == 'U')) unregister = true;
        else if (!option && file.empty() && !arg.empty()) file = arg;
        else return Report(1, "usage: regsvr32 [/s] [/u] FILE (unexpected argument \"" + arg + "\")");
    }
    if (file.empty()) return Report(1, "usage: regsvr32 [/s] [/u] FILE");

    // The argument is a Windows path ("C:\TORV\x.dll") or a native one.
    std::string systemPath = Utf8ToCp1251(file);
    if (systemPath.find_first_of("/\\") == std::string::npos) systemPath = ".\\" + systemPath;
    platform::LibraryHandle library = platform::LoadLibrary(systemPath);
    if (!library) return Report(3, "cannot load \"" + file + "\": " + platform::LoadErrorText());
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    auto call = reinterpret_cast<DllRegisterServerProc>(platform::GetProcAddress(library, entry));
    if (!call) return Report(4, "\"" + file + "\" has no entry point " + entry);
    HRESULT hr = call();
    if (FAILED(hr)) {
        char code[16];
        std::snprintf(code, sizeof code, "%08X", unsigned(hr));
        return Report(5, std::string(entry) + " in \"" + file + "\" failed with code 0x" + code);
    }
    return Report(0, std::string(entry) + " in \"" + file + "\" succeeded");
}
