// Where the system's Windows-style paths live on this machine.
//
// The prefix folder plays Wine's role: $TOLVANE_PREFIX, default ~/.tolvane.
// "C:\..." is <prefix>/drive_c/..., the Windows directory is
// <prefix>/drive_c/windows. System paths are Windows-1251 text with "\" or
// "/" separators; native paths are UTF-8 with "/".
#pragma once

#include <string>
#include <string_view>

namespace tolvane::platform {

std::string PrefixDirectory();  // native, no trailing "/"

// The one mapping from a system path to a native path: a drive path goes
// into the prefix (the drive letter in lower case, any case accepted), any
// other path keeps its place; separators become "/"; text becomes UTF-8.
std::string NativePath(std::string_view systemPath);

// The Windows directory as a system path ("C:\windows"); empty on failure.
std::string WindowsDirectory();
// The temporary directory as the system reports it, ending in a separator.
std::string TempDirectory();
// The folder of the running program's executable, as a system path.
std::string ExecutableDirectory();
// The device of serial port COM n: <prefix>/dosdevices/comN when that link
// exists (Wine's scheme), else /dev/ttyS<n-1>.
std::string SerialPortDevice(int n);

}  // namespace tolvane::platform
