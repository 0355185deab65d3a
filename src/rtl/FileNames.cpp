#include "rtl/FileNames.h"

namespace tolvane {

namespace {

size_t NameStart(std::string_view fileName) {
    size_t at = fileName.find_last_of("\\/:");
    return at == std::string_view::npos ? 0 : at + 1;
}

}  // namespace

std::string ExtractFilePath(std::string_view fileName) { return std::string(fileName.substr(0, NameStart(fileName))); }

std::string ExtractFileName(std::string_view fileName) { return std::string(fileName.substr(NameStart(fileName))); }

std::string ExtractFileExt(std::string_view fileName) {
    size_t start = NameStart(fileName);
    size_t dot = fileName.rfind('.');
    if (dot == std::string_view::npos || dot < start) return {};
    return std::string(fileName.substr(dot));
}

std::string IncludeTrailingPathDelimiter(std::string_view folder) {
    std::string out(folder);
    if (!out.empty() && (out.back() == '\\' || out.back() == '/')) return out;
    out += out.find('/') != std::string::npos && out.find('\\') == std::string::npos ? '/' : '\\';
    return out;
}

}  // namespace tolvane
