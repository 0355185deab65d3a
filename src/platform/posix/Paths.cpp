#include "platform/Paths.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

#include "rtl/Encoding.h"

namespace tolvane::platform {

namespace {

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

bool IsDrivePath(std::string_view p) {
    return p.size() >= 2 && p[1] == ':' &&
           ((p[0] >= 'a' && p[0] <= 'z') || (p[0] >= 'A' && p[0] <= 'Z'));
}

std::string WithSlashes(std::string_view p) {
    std::string out(p);
    for (char& c : out)
        if (c == '\\') c = '/';
    return out;
}

}  // namespace

std::string PrefixDirectory() {
    if (const char* prefix = std::getenv("TOLVANE_PREFIX"); prefix && *prefix) {
        std::string p = prefix;
        while (p.size() > 1 && p.back() == '/') p.pop_back();
        return p;
    }
    const char* home = std::getenv("HOME");
    return std::string(home && *home ? home : "/tmp") + "/.tolvane";
}

std::string NativePath(std::string_view systemPath) {
    std::string utf8 = Cp1251ToUtf8(systemPath);
    if (!IsDrivePath(utf8)) return WithSlashes(utf8);
    char drive = char(std::tolower(static_cast<unsigned char>(utf8[0])));
    std::string rest = WithSlashes(std::string_view(utf8).substr(2));
    std::string out = PrefixDirectory() + "/drive_" + drive;
    if (rest.empty() || rest[0] != '/') out += '/';
    return out + rest;
}

std::string WindowsDirectory() { return "C:\\windows"; }

std::string TempDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    std::string dir = tmp && *tmp ? tmp : "/tmp";
    if (!IsSeparator(dir.back())) dir += '/';
    return Utf8ToCp1251(dir);
}

std::string ExecutableDirectory() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return ".";
    return Utf8ToCp1251(exe.parent_path().string());
}

std::string SerialPortDevice(int n) {
    std::string link = PrefixDirectory() + "/dosdevices/com" + std::to_string(n);
    if (access(link.c_str(), F_OK) == 0 || std::filesystem::is_symlink(link)) return link;
    return "/dev/ttyS" + std::to_string(n - 1);
}

}  // namespace tolvane::platform
