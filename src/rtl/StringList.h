// A list of text lines with the platform's string-list conventions:
// Text joins lines with CR LF; setting Text splits at CR LF, LF or CR;
// IndexOf and the name=value helpers ignore letter case (Windows-1251).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#pragma GCC visibility push(default)

namespace tolvane {

class TStringList {
public:
    TStringList() = default;
    TStringList(std::initializer_list<std::string> lines) : lines_(lines) {}

    int Count() const { return int(lines_.size()); }
    bool Empty() const { return lines_.empty(); }
    const std::string& operator[](int index) const;
    std::string& operator[](int index);
    const std::vector<std::string>& Lines() const { return lines_; }

    int Add(std::string line);
    void Insert(int index, std::string line);
    void Delete(int index);
    void Clear() { lines_.clear(); }
    void Assign(const TStringList& other) { lines_ = other.lines_; }

    int IndexOf(std::string_view line) const;

    // "name=value" lines.
    std::string Names(int index) const;
    std::string ValueFromIndex(int index) const;
    int IndexOfName(std::string_view name) const;
    std::string Values(std::string_view name) const;
    void SetValue(std::string_view name, std::string_view value);

    std::string Text() const;
    void SetText(std::string_view text);

    // Native file paths; bytes are stored as they are (Windows-1251).
    // EFOpenError when the file cannot be opened, EInOutError on a failed write.
    void LoadFromFile(const std::string& nativePath);
    void SaveToFile(const std::string& nativePath) const;

    auto begin() const { return lines_.begin(); }
    auto end() const { return lines_.end(); }

private:
    void CheckIndex(int index) const;
    std::vector<std::string> lines_;
};

}  // namespace tolvane

#pragma GCC visibility pop
