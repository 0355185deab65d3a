#include "Install.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tolvanehost {

namespace {

void Folder(const fs::path& path, std::ostream& out) {
    std::error_code ec;
    if (fs::create_directories(path, ec)) out << "created " << path.string() << "\n";
    if (ec || !fs::is_directory(path)) throw std::runtime_error("cannot create the folder " + path.string());
}

// Copies next to the target, then renames over it.
void Install(const fs::path& from, const fs::path& to, std::ostream& out) {
    if (!fs::is_regular_file(from)) throw std::runtime_error("missing in the build: " + from.string());
    fs::path temp = to;
    temp += ".new-" + std::to_string(getpid());
    std::error_code ec;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (!ec) fs::permissions(temp, fs::perms(0755), ec);
    if (!ec) fs::rename(temp, to, ec);
    if (ec) {
        fs::remove(temp);
        throw std::runtime_error("cannot install " + to.string() + ": " + ec.message());
    }
    out << "installed " << to.string() << "\n";
}

}  // namespace

std::string PrefixFolder() {
    if (const char* prefix = std::getenv("TOLVANE_PREFIX"); prefix && *prefix) return prefix;
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.tolvane";
}

void InitPrefix(const std::string& prefix, const std::string& binFolder, std::ostream& out) {
    const fs::path root(prefix), bin(binFolder);
    const fs::path driveC = root / "drive_c";
    for (const char* folder : {"windows/system32", "TORV/TEMP", "TORV/LogFiles"}) Folder(driveC / folder, out);
    Folder(root / "dosdevices", out);
    Install(bin / "regsvr32", driveC / "windows/system32/REGSVR32.EXE", out);
    Install(bin / "libCitySoftWarehouseDos_OLE.so", driveC / "TORV/CitySoftWarehouseDos_OLE.dll", out);
    out << "prefix ready: " << root.string() << "\n";
}

}  // namespace tolvanehost
