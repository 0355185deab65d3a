// Loading a library by its Windows name and finding its functions.
// "CipherLab.dll" resolves to libCipherLab.so: first in the folder of the
// module that holds this code (the driver's own folder, as Windows searches
// the application's), then by the system loader's search. A name with a
// folder ("C:\TORV\Server.dll") loads exactly that file, whatever its
// extension.
#pragma once

#include <string>

namespace tolvane::platform {

using LibraryHandle = void*;

// nullptr with the last error set (ERROR_MOD_NOT_FOUND) on failure;
// LoadErrorText() then tells the loader's own reason.
LibraryHandle LoadLibrary(const std::string& windowsName);
void FreeLibrary(LibraryHandle handle);
void* GetProcAddress(LibraryHandle handle, const char* name);
std::string LoadErrorText();
// The file name the loader is asked for: "CipherLab.dll" -> "libCipherLab.so".
std::string SharedObjectName(const std::string& windowsName);

}  // namespace tolvane::platform
