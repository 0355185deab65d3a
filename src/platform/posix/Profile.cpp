// Profile files on a system without the profile functions: the file is read
// whole, looked up or edited as text, and written back with one atomic
// replacement. Nothing is cached between calls, so every call sees what
// other processes wrote.
#include "platform/Profile.h"

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"
#include "rtl/Strings.h"

namespace tolvane::platform {

namespace {

// Blanks that the reader drops around names and values in the file.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\v'; }

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Section and key parameters lose spaces only (a TAB stays part of the name).
std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

std::string_view StripQuotes(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

enum class LineKind { Blank, Comment, Section, Key, Other };

struct Line {
    size_t Begin = 0, End = 0, Next = 0;  // text [Begin, End), line break [End, Next)
    LineKind Kind = LineKind::Blank;
    std::string_view Name;   // section or key name, trimmed
    std::string_view Value;  // key's value, trimmed, quotes kept
};

Line ClassifyLine(std::string_view content, size_t begin, size_t end, size_t next) {
    Line line;
    line.Begin = begin;
    line.End = end;
    line.Next = next;
    std::string_view text = content.substr(begin, end - begin);
    size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    if (first == text.size()) return line;
    if (text[first] == ';') {
        line.Kind = LineKind::Comment;
    } else if (text[first] == '[') {
        // The name ends at the first "]" or, without one, at the line's end.
        std::string_view rest = text.substr(first + 1);
        line.Kind = LineKind::Section;
        line.Name = TrimBlanks(rest.substr(0, rest.find(']')));
    } else if (size_t eq = text.find('='); eq != std::string_view::npos) {
        line.Kind = LineKind::Key;
        line.Name = TrimBlanks(text.substr(0, eq));
        line.Value = TrimBlanks(text.substr(eq + 1));
    } else {
        line.Kind = LineKind::Other;
    }
    return line;
}

// Lines end in CR LF, LF or CR. visit(line) is called for each line in
// order until it returns false.
template <class Visit>
void ScanLines(std::string_view content, Visit visit) {
    size_t pos = 0;
    while (pos < content.size()) {
        size_t end = pos;
        while (end < content.size() && content[end] != '\r' && content[end] != '\n') ++end;
        size_t next;
        if (end == content.size()) {
            next = end;
        } else {
            next = end + 1;
            if (content[end] == '\r' && next < content.size() && content[next] == '\n') ++next;
        }
        if (!visit(ClassifyLine(content, pos, end, next))) return;
        pos = next;
    }
}

std::vector<Line> SplitLines(std::string_view content) {
    std::vector<Line> lines;
    ScanLines(content, [&](const Line& line) {
        lines.push_back(line);
        return true;
    });
    return lines;
}

// The value of key in the first section of that name, quotes kept.
std::optional<std::string_view> LookupValue(std::string_view content, std::string_view section,
                                            std::string_view key) {
    bool inSection = false;
    std::optional<std::string_view> value;
    ScanLines(content, [&](const Line& line) {
        if (line.Kind == LineKind::Section) {
            if (inSection) return false;  // only the first such section counts
            inSection = AnsiSameText(line.Name, section);
        } else if (inSection && line.Kind == LineKind::Key && AnsiSameText(line.Name, key)) {
            value = line.Value;
            return false;
        }
        return true;
    });
    return value;
}

// Line indices of a section: its header and the lines up to the next header.
struct SectionSpan {
    size_t Header, BodyEnd;
};

std::optional<SectionSpan> FindSection(const std::vector<Line>& lines, std::string_view name) {
    for (size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].Kind != LineKind::Section || !AnsiSameText(lines[i].Name, name)) continue;
        size_t end = i + 1;
        while (end < lines.size() && lines[end].Kind != LineKind::Section) ++end;
        return SectionSpan{i, end};
    }
    return std::nullopt;
}

std::optional<size_t> FindKey(const std::vector<Line>& lines, const SectionSpan& section, std::string_view key) {
    for (size_t i = section.Header + 1; i < section.BodyEnd; ++i)
        if (lines[i].Kind == LineKind::Key && AnsiSameText(lines[i].Name, key)) return i;
    return std::nullopt;
}

bool EndsWithLineBreak(std::string_view content) {
    return !content.empty() && (content.back() == '\n' || content.back() == '\r');
}

std::string SetKeyValue(std::string_view content, std::string_view section, std::string_view key,
                        std::string_view value) {
    auto lines = SplitLines(content);
    auto span = FindSection(lines, section);
    std::string out;
    if (!span) {
        // A new section goes at the end, without a blank line before it.
        out.assign(content);
        if (!out.empty() && !EndsWithLineBreak(out)) out += "\r\n";
        out.append("[").append(section).append("]\r\n").append(key).append("=").append(value).append("\r\n");
        return out;
    }
    if (auto found = FindKey(lines, *span, key)) {
        // The key keeps its place and the file's spelling of its name.
        const Line& line = lines[*found];
        out.assign(content.substr(0, line.Begin));
        out.append(line.Name).append("=").append(value);
        out.append(line.Next > line.End ? content.substr(line.End, line.Next - line.End) : "\r\n");
        out.append(content.substr(line.Next));
        return out;
    }
    // A new key goes right after the section's last key line, before any
    // comments or blank lines that close the section.
    size_t after = span->Header;
    for (size_t i = span->Header + 1; i < span->BodyEnd; ++i)
        if (lines[i].Kind == LineKind::Key || lines[i].Kind == LineKind::Other) after = i;
    const Line& anchor = lines[after];
    out.assign(content.substr(0, anchor.Next));
    if (anchor.Next == anchor.End) out += "\r\n";
    out.append(key).append("=").append(value).append("\r\n");
    out.append(content.substr(anchor.Next));
    return out;
}

std::string DeleteKeyLine(std::string_view content, std::string_view section, std::string_view key) {
    auto lines = SplitLines(content);
    auto span = FindSection(lines, section);
    if (!span) return std::string(content);
    auto found = FindKey(lines, *span, key);
    if (!found) return std::string(content);
    const Line& line = lines[*found];
    return std::string(content.substr(0, line.Begin)).append(content.substr(line.Next));
}

// The header and the key lines go; comments and blank lines stay.
std::string DeleteSectionLines(std::string_view content, std::string_view section) {
    auto lines = SplitLines(content);
    auto span = FindSection(lines, section);
    if (!span) return std::string(content);
    std::string out(content.substr(0, lines[span->Header].Begin));
    for (size_t i = span->Header + 1; i < span->BodyEnd; ++i)
        if (lines[i].Kind == LineKind::Comment || lines[i].Kind == LineKind::Blank)
            out.append(content.substr(lines[i].Begin, lines[i].Next - lines[i].Begin));
    size_t rest = span->BodyEnd < lines.size() ? lines[span->BodyEnd].Begin : content.size();
    out.append(content.substr(rest));
    return out;
}

// A file name without a folder lies in the Windows directory.
std::string ResolvePath(const char* fileName) {
    std::string name(fileName);
    if (name.find_first_of("\\/") == std::string::npos) return WindowsDirectory() + "\\" + name;
    return name;
}

struct FileText {
    bool Exists = false;
    std::string Content;
};

// A missing file reads as empty; any other failure (a missing folder
// included) is nullopt with the last error set.
std::optional<FileText> LoadFile(const std::string& path) {
    if (auto content = ReadWholeFile(path)) return FileText{true, std::move(*content)};
    if (GetLastError() == ERROR_FILE_NOT_FOUND) return FileText{};
    return std::nullopt;
}

}  // namespace

struct ProfileWriteBatch::State {
    std::string Path;    // resolved system path
    std::string Native;  // identifies the file
    bool Loaded = false;
    bool Dirty = false;
    FileText Text;
    State* Outer = nullptr;
};

namespace {

thread_local ProfileWriteBatch::State* activeBatch = nullptr;

ProfileWriteBatch::State* BatchFor(const std::string& native) {
    for (auto* b = activeBatch; b; b = b->Outer)
        if (b->Native == native) return b;
    return nullptr;
}

// The file's text as this thread should see it: the batch's copy when a
// batch holds the file, else the file itself.
std::optional<FileText> ReadProfile(const std::string& path) {
    auto* batch = BatchFor(NativePath(path));
    if (!batch) return LoadFile(path);
    if (!batch->Loaded) {
        auto text = LoadFile(path);
        if (!text) return std::nullopt;
        batch->Text = std::move(*text);
        batch->Loaded = true;
    }
    return batch->Text;
}

bool StoreProfile(const std::string& path, const FileText& before, std::string after) {
    // A changed file always ends with a line break.
    if (after != before.Content && !after.empty() && !EndsWithLineBreak(after)) after += "\r\n";
    bool changed = !before.Exists || after != before.Content;
    if (auto* batch = BatchFor(NativePath(path))) {
        if (changed) {
            batch->Text.Content = std::move(after);
            batch->Dirty = true;
        }
        return true;
    }
    return !changed || WriteFileAtomically(path, after);
}

uint32_t CopyValue(std::string_view value, char* buffer, uint32_t size) {
    uint32_t n = uint32_t(std::min<size_t>(value.size(), size - 1));
    std::memcpy(buffer, value.data(), n);
    buffer[n] = '\0';
    SetLastError(n < value.size() ? ERROR_MORE_DATA : ERROR_SUCCESS);
    return n;
}

// names: each name followed by NUL. Cut lists end in two NULs.
uint32_t CopyList(const std::string& names, char* buffer, uint32_t size) {
    if (names.size() + 2 <= size) {
        std::memcpy(buffer, names.data(), names.size());
        buffer[names.size()] = '\0';
        return uint32_t(names.size());
    }
    if (size < 2) {
        buffer[0] = '\0';
        return 0;
    }
    uint32_t n = size - 2;
    std::memcpy(buffer, names.data(), n);
    buffer[n] = buffer[n + 1] = '\0';
    SetLastError(ERROR_MORE_DATA);
    return n;
}

}  // namespace

uint32_t GetPrivateProfileStringA(const char* section, const char* key, const char* defaultValue, char* buffer,
                                  uint32_t size, const char* fileName) {
    if (size == 0 || !buffer) return 0;
    // The default loses trailing spaces only; its quotes stay.
    std::string_view def = defaultValue ? defaultValue : "";
    while (!def.empty() && def.back() == ' ') def.remove_suffix(1);
    if (!fileName || !*fileName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return CopyValue(def, buffer, size);
    }
    auto text = ReadProfile(ResolvePath(fileName));
    if (!text) return CopyValue(def, buffer, size);
    if (!text->Exists) {
        uint32_t n = CopyValue(def, buffer, size);
        SetLastError(ERROR_FILE_NOT_FOUND);
        return n;
    }
    if (section && key) {
        if (auto value = LookupValue(text->Content, TrimSpaces(section), TrimSpaces(key)))
            return CopyValue(StripQuotes(*value), buffer, size);
        return CopyValue(def, buffer, size);
    }
    auto lines = SplitLines(text->Content);
    if (!section) {
        std::string names;
        for (const Line& line : lines)
            if (line.Kind == LineKind::Section && !line.Name.empty()) names.append(line.Name).push_back('\0');
        SetLastError(ERROR_SUCCESS);
        return CopyList(names, buffer, size);
    }
    auto span = FindSection(lines, TrimSpaces(section));
    std::string names;
    if (span)
        for (size_t i = span->Header + 1; i < span->BodyEnd; ++i)
            if (lines[i].Kind == LineKind::Key) names.append(lines[i].Name).push_back('\0');
    if (names.empty()) return CopyValue(def, buffer, size);
    SetLastError(ERROR_SUCCESS);
    return CopyList(names, buffer, size);
}

bool WritePrivateProfileStringA(const char* section, const char* key, const char* value, const char* fileName) {
    if (!fileName || !*fileName) {
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    }
    if (!section) {
        // All three nullptr flushes the cache; there is none to flush.
        SetLastError(key || value ? ERROR_FILE_NOT_FOUND : ERROR_SUCCESS);
        return false;
    }
    std::string path = ResolvePath(fileName);
    auto before = ReadProfile(path);
    if (!before) return false;
    // Windows keeps a file that starts with the UTF-16 byte-order mark in
    // UTF-16; single-byte lines would damage it, so it is left alone.
    if (before->Content.rfind("\xFF\xFE", 0) == 0) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return false;
    }
    std::string_view sectionName = TrimSpaces(section);
    std::string after;
    if (!key)
        after = DeleteSectionLines(before->Content, sectionName);
    else if (!value)
        after = DeleteKeyLine(before->Content, sectionName, TrimSpaces(key));
    else
        after = SetKeyValue(before->Content, sectionName, TrimSpaces(key), value);
    return StoreProfile(path, *before, std::move(after));
}

ProfileWriteBatch::ProfileWriteBatch(const char* fileName) {
    std::string path = ResolvePath(fileName ? fileName : "");
    std::string native = NativePath(path);
    if (BatchFor(native)) return;
    state_ = std::make_unique<State>();
    state_->Path = std::move(path);
    state_->Native = std::move(native);
    state_->Outer = activeBatch;
    activeBatch = state_.get();
}

ProfileWriteBatch::~ProfileWriteBatch() {
    if (!state_) return;
    // Batches end in the reverse order of their start on one thread.
    activeBatch = state_->Outer;
}

bool ProfileWriteBatch::Commit() {
    if (!state_ || !state_->Dirty) return true;
    if (!WriteFileAtomically(state_->Path, state_->Text.Content)) return false;
    state_->Dirty = false;
    state_->Text.Exists = true;
    return true;
}

}  // namespace tolvane::platform
