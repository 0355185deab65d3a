#include "rtl/StringList.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

void TStringList::CheckIndex(int index) const {
    if (index < 0 || index >= Count())
        throw EListError(Format("List index out of bounds (%d)", {index}));
}

const std::string& TStringList::operator[](int index) const {
    CheckIndex(index);
    return lines_[size_t(index)];
}

std::string& TStringList::operator[](int index) {
    CheckIndex(index);
    return lines_[size_t(index)];
}

int TStringList::Add(std::string line) {
    lines_.push_back(std::move(line));
    return Count() - 1;
}

void TStringList::Insert(int index, std::string line) {
    if (index < 0 || index > Count()) throw EListError(Format("List index out of bounds (%d)", {index}));
    lines_.insert(lines_.begin() + index, std::move(line));
}

void TStringList::Delete(int index) {
    CheckIndex(index);
    lines_.erase(lines_.begin() + index);
}

int TStringList::IndexOf(std::string_view line) const {
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(lines_[size_t(i)], line)) return i;
    return -1;
}

std::string TStringList::Names(int index) const {
    const std::string& line = (*this)[index];
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(0, eq);
}

std::string TStringList::ValueFromIndex(int index) const {
    const std::string& line = (*this)[index];
    size_t eq = line.find('=');
    return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

int TStringList::IndexOfName(std::string_view name) const {
    for (int i = 0; i < Count(); ++i) {
        const std::string& line = lines_[size_t(i)];
        size_t eq = line.find('=');
        if (eq != std::string::npos && AnsiSameText(std::string_view(line).substr(0, eq), name)) return i;
    }
    return -1;
}

std::string TStringList::Values(std::string_view name) const {
    int i = IndexOfName(name);
    return i < 0 ? std::string() : ValueFromIndex(i);
}

void TStringList::SetValue(std::string_view name, std::string_view value) {
    int i = IndexOfName(name);
    std::string line = std::string(name) + "=" + std::string(value);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i >= 0) {
        lines_[size_t(i)] = std::move(line);
    } else {
        Add(std::move(line));
    }
}

std::string TStringList::Text() const {
    std::string text;
    for (const auto& line : lines_) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TStringList::SetText(std::string_view text) {
    lines_.clear();
    size_t start = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines_.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines_.emplace_back(text.substr(start));
}

void TStringList::LoadFromFile(const std::string& nativePath) {
    // stdio rather than a stream: a failed read (a folder, an I/O error)
    // must not pass for an empty file.
    std::FILE* file = std::fopen(nativePath.c_str(), "rb");
    if (!file) throw EFOpenError(Format("Cannot open file \"%s\". %s", {nativePath, std::strerror(errno)}));
    std::string content;
    char chunk[65536];
    size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, file)) > 0) content.append(chunk, got);
    const int readError = std::ferror(file) ? errno : 0;
    std::fclose(file);
    if (readError == EISDIR)
        throw EFOpenError(Format("Cannot open file \"%s\". %s", {nativePath, std::strerror(readError)}));
    if (readError) throw EInOutError(Format("Cannot read file \"%s\". %s", {nativePath, std::strerror(readError)}));
    SetText(content);
}

void TStringList::SaveToFile(const std::string& nativePath) const {
    std::ofstream out(nativePath, std::ios::binary | std::ios::trunc);
    if (!out) throw EFCreateError(Format("Cannot create file \"%s\". %s", {nativePath, std::strerror(errno)}));
    out << Text();
    out.flush();
    if (!out) throw EInOutError(Format("Cannot write file \"%s\"", {nativePath}));
}

}  // namespace tolvane
