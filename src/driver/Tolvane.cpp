// The library's exports and its version record.
#include <tolvane/tolvane.h>

#include "driver/PDTCipherDrv.h"
#include "driver/Units.h"

// The version record, readable from the file without loading it (see
// `tolvane --version`, or `readelf -p .tolvane_version libTolvane.so`):
// NUL-separated key=value texts in Windows-1251 after a marker.
extern "C" __attribute__((used, section(".tolvane_version"))) const char TolvaneVersionRecord[] =
    "TOLVANE-VERSIONINFO\0"
    "FileVersion=9.2.0.2\0"
    "FileDescription=Драйвер поддержки ТСД Cipher\0";

extern "C" {

TOLVANE_API TPDTCipherDrv** TOLVANE_STDCALL InitDll() {
    tolvane::DriverInstance = tolvane::CreateDriverObject();
    return &tolvane::DriverInstance;
}

TOLVANE_API void TOLVANE_STDCALL GetVersionExists() {}

}

namespace {

// Start-up when the library is loaded, shut-down when it is unloaded.
struct LibraryLifetime {
    LibraryLifetime() { tolvane::StartUnits(); }
    ~LibraryLifetime() { tolvane::StopUnits(); }
} lifetime;

}  // namespace
