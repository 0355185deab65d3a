// The driver library as a host sees it: loaded with dlopen, reached only
// through InitDll and the operation table of the public header.
#pragma once

#include <tolvane/tolvane.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tolvanehost {

// Null, or the (code, quantity) pairs, code in UTF-8.
using Document = std::optional<std::vector<std::pair<std::string, int32_t>>>;

struct VersionRecord {
    std::string FileVersion;
    std::string FileDescription;  // UTF-8
};

// libTolvane.so beside the program (or $TOLVANE_LIBRARY).
std::string LibraryPath(const char* argv0);
// Reads the version record from the file without loading it.
VersionRecord ReadVersionRecord(const std::string& libraryPath);

class Driver {
public:
    explicit Driver(const std::string& libraryPath);
    ~Driver();

    int32_t GetVersion();
    std::string GetDriverName();  // UTF-8
    Document LoadData();
    void SendGoods(const std::string& utf8Path);
    void ShowSettings();

private:
    void* library_;
    TPDTCipherDrv* object_;
};

}  // namespace tolvanehost
