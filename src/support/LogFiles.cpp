#include "support/LogFiles.h"

#include <algorithm>
#include <cctype>

#include "platform/Process.h"
#include "platform/SystemError.h"
#include "rtl/Exception.h"
#include "rtl/FileNames.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

using platform::File;

namespace {

// The failed step and the system's text for the last error.
[[noreturn]] void RaiseIoError(const std::string& what) {
    throw EInOutError(Format("%s: %s", {what, platform::SysErrorMessage(platform::GetLastError())}));
}

std::string OnFile(const char* what, const std::string& path) { return Format("%s \"%s\"", {what, path}); }

std::unique_ptr<File> TryOpen(const std::string& path, TLogOpenMode mode) {
    using namespace platform;
    if (mode == TLogOpenMode::fmOpenReadWrite)
        return File::Open(path, AccessReadWrite, ShareReadWrite, Disposition::OpenExisting);
    // Created exclusive, but never emptied: should another writer have
    // created the file a moment ago, its lines stay.
    return File::Open(path, AccessReadWrite, ShareNone, Disposition::OpenAlways);
}

[[noreturn]] void RaiseOpenFailure(const std::string& path, TLogOpenMode mode, uint32_t code) {
    std::string text = platform::SysErrorMessage(code);
    if (mode == TLogOpenMode::fmCreate) throw EFCreateError(Format("Cannot create file \"%s\". %s", {path, text}));
    throw EFOpenError(Format("Cannot open file \"%s\". %s", {path, text}));
}

void CopyRange(File& from, File& to, int64_t count, const std::string& fromName, const std::string& toName) {
    char buffer[65536];
    while (count > 0) {
        size_t want = size_t(std::min<int64_t>(count, sizeof buffer));
        if (!from.ReadExact(buffer, want)) RaiseIoError("Cannot read " + fromName);
        if (!to.Write(buffer, want)) RaiseIoError("Cannot write " + toName);
        count -= int64_t(want);
    }
}

bool IsDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string BackupName(const std::string& fileName, int64_t number) {
    std::string digits = std::to_string(number);
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    return fileName + digits;
}

// Reads `width` digits (1 or 2 when width is 0) at s[i].
std::optional<int> ReadNumber(std::string_view s, size_t& i, size_t width) {
    size_t most = width ? width : 2, n = 0;
    int value = 0;
    while (n < most && i < s.size() && s[i] >= '0' && s[i] <= '9') {
        value = value * 10 + (s[i] - '0');
        ++i;
        ++n;
    }
    if (n == 0 || (width && n != width)) return std::nullopt;
    return value;
}

// Reads the stamp at the very start of `line`, token by token as
// FormatDateTime writes them.
std::optional<TDateTime> ParseStampAt(std::string_view line, std::string_view format, const TFormatSettings& fs,
                                      TDateTime today) {
    DateParts date = DecodeDate(today);
    TimeParts time;
    bool afterHour = false;
    size_t i = 0, at = 0;
    auto literal = [&](std::string_view text) {
        if (line.substr(at, text.size()) != text) return false;
        at += text.size();
        return true;
    };
    while (i < format.size()) {
        char c = format[i];
        char l = char(std::tolower(static_cast<unsigned char>(c)));
        size_t run = 1;
        while (i + run < format.size() && std::tolower(static_cast<unsigned char>(format[i + run])) == l) ++run;
        if (c == '"' || c == '\'') {
            size_t close = format.find(c, i + 1);
            if (close == std::string_view::npos) close = format.size();
            if (!literal(format.substr(i + 1, close - i - 1))) return std::nullopt;
            i = close + 1;
            continue;
        }
        std::optional<int> v = 0;
        switch (l) {
            case 'd':
                v = ReadNumber(line, at, run >= 2 ? 2 : 0);
                date.Day = v.value_or(0);
                break;
            case 'y':
                v = ReadNumber(line, at, run >= 3 ? 4 : 2);
                date.Year = run >= 3 ? v.value_or(0) : 2000 + v.value_or(0);
                break;
            case 'm':
                v = ReadNumber(line, at, run >= 2 ? 2 : 0);
                (afterHour ? time.Minute : date.Month) = v.value_or(0);
                break;
            case 'h':
                v = ReadNumber(line, at, run >= 2 ? 2 : 0);
                time.Hour = v.value_or(0);
                break;
            case 'n':
                v = ReadNumber(line, at, run >= 2 ? 2 : 0);
                time.Minute = v.value_or(0);
                break;
            case 's':
                v = ReadNumber(line, at, run >= 2 ? 2 : 0);
                time.Second = v.value_or(0);
                break;
            case 'z':
                v = ReadNumber(line, at, run >= 3 ? 3 : 0);
                time.Millisecond = v.value_or(0);
                break;
            case '/':
                if (!literal(std::string(run, fs.DateSeparator))) return std::nullopt;
                break;
            case ':':
                if (!literal(std::string(run, fs.TimeSeparator))) return std::nullopt;
                break;
            default:
                if (!literal(format.substr(i, run))) return std::nullopt;
                break;
        }
        if (!v) return std::nullopt;
        if (l == 'h')
            afterHour = true;
        else if (l != ':' && l != ' ')
            afterHour = false;
        i += run;
    }
    auto d = TryEncodeDate(date.Year, date.Month, date.Day);
    auto t = TryEncodeTime(time.Hour, time.Minute, time.Second, time.Millisecond);
    if (!d || !t) return std::nullopt;
    return *d + *t;
}

constexpr std::string_view kLevelChars = "-+?!#$%@";
constexpr size_t kStampPrefix = 128;  // bytes of a line kept for reading its stamp

}  // namespace

std::unique_ptr<File> OpenLogStream(const std::string& path, TLogOpenMode mode, int timeoutMs) {
    using namespace platform;
    if (timeoutMs < 0) timeoutMs = DefaultOpenTimeout;
    if (timeoutMs == 0) {
        if (auto file = TryOpen(path, mode)) return file;
        RaiseOpenFailure(path, mode, GetLastError());
    }
    const uint64_t deadline = GetTickCount64() + uint64_t(timeoutMs);
    for (;;) {
        if (auto file = TryOpen(path, mode)) return file;
        uint32_t code = GetLastError();
        bool busy = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION;
        if (!busy) RaiseOpenFailure(path, mode, code);
        if (GetTickCount64() >= deadline)
            throw Exception(Format("Log file open timeout: %d ms (%s)", {timeoutMs, SysErrorMessage(code)}));
        Sleep(10);
    }
}

int64_t FindLineStart(File& file, int64_t cut) {
    char window[LineSearchWindow + 1];
    int64_t end = cut;  // the search window is [end - size, end)
    while (end > 0) {
        int64_t size = std::min(LineSearchWindow, end);
        if (!file.Seek(end - size, SEEK_SET) || !file.ReadExact(window, size_t(size)))
            RaiseIoError("Cannot read the log file");
        for (int64_t k = size - 1; k >= 0; --k) {
            if (window[k] != '\r' && window[k] != '\n') continue;
            int64_t start = end - size + k + 1;
            // A cut between CR and LF would leave a stray LF in front.
            if (window[k] == '\r') {
                char next = 0;
                size_t got = 0;
                if (!file.Seek(start, SEEK_SET) || !file.Read(&next, 1, got)) RaiseIoError("Cannot read the log file");
                if (got == 1 && next == '\n') ++start;
            }
            return start;
        }
        end -= size;
    }
    return cut;
}

void CutFileHead(File& file, int64_t cut, const std::string& tempPath) {
    using namespace platform;
    auto temp = File::Open(tempPath, AccessReadWrite, ShareNone, Disposition::CreateAlways);
    if (!temp)
        throw EFCreateError(Format("Cannot create file \"%s\". %s", {tempPath, SysErrorMessage(GetLastError())}));
    try {
        int64_t size = file.Size();
        const std::string tempName = OnFile("file", tempPath);
        if (size < 0 || !file.Seek(cut, SEEK_SET)) RaiseIoError("Cannot seek in the log file");
        CopyRange(file, *temp, size - cut, "the log file", tempName);
        int64_t kept = temp->Size();
        if (kept < 0 || !file.SetSize(kept)) RaiseIoError("Cannot set the size of the log file");
        if (!temp->Seek(0, SEEK_SET) || !file.Seek(0, SEEK_SET)) RaiseIoError("Cannot seek in " + tempName);
        CopyRange(*temp, file, kept, tempName, "the log file");
    } catch (...) {
        temp.reset();
        DeleteFile(tempPath);
        throw;
    }
    temp.reset();
    DeleteFile(tempPath);
}

std::vector<TLogBackup> ListBackups(const std::string& fileName) {
    const std::string folder = ExtractFilePath(fileName);
    const std::string ownExt = ExtractFileExt(fileName);
    std::vector<TLogBackup> backups;
    for (const std::string& name : platform::FindFiles(fileName + "*")) {
        std::string ext = ExtractFileExt(name);
        if (AnsiSameText(ext, ownExt) || ext.size() <= ownExt.size()) continue;
        std::string_view number = std::string_view(ext).substr(ownExt.size());
        if (!IsDigits(number) || number.size() > 18) continue;
        backups.push_back({folder + name, std::stoll(std::string(number))});
    }
    std::sort(backups.begin(), backups.end(),
              [](const TLogBackup& a, const TLogBackup& b) { return a.Number < b.Number; });
    return backups;
}

void RotateFiles(const std::string& fileName, int maxBackups) {
    std::vector<TLogBackup> backups = ListBackups(fileName);
    if (maxBackups > 0) {
        while (backups.size() > size_t(maxBackups)) {
            if (!platform::DeleteFile(backups.back().Path))
                RaiseIoError(OnFile("Cannot delete file", backups.back().Path));
            backups.pop_back();
        }
    }
    for (auto b = backups.rbegin(); b != backups.rend(); ++b) {
        std::string target = BackupName(fileName, b->Number + 1);
        if (!platform::RenameFile(b->Path, target)) RaiseIoError(OnFile("Cannot rename file", b->Path));
    }
    if (!platform::RenameFile(fileName, BackupName(fileName, 0))) RaiseIoError(OnFile("Cannot rename file", fileName));
}

std::optional<TDateTime> ParseLogStamp(std::string_view line, std::string_view dateTimeFormat,
                                       const TFormatSettings& fs, TDateTime today) {
    today = TDateTime(int64_t(today));
    if (auto stamp = ParseStampAt(line, dateTimeFormat, fs, today)) return stamp;
    if (line.size() >= 2 && line[1] == ' ' && kLevelChars.find(line[0]) != std::string_view::npos)
        return ParseStampAt(line.substr(2), dateTimeFormat, fs, today);
    return std::nullopt;
}

std::optional<int64_t> FindAgeCut(File& file, std::string_view dateTimeFormat, const TFormatSettings& fs, TDateTime now,
                                  double retentionDays) {
    if (!file.Seek(0, SEEK_SET)) RaiseIoError("Cannot seek in the log file");
    std::string block(size_t(RetentionBlockSize), '\0');
    std::string head;  // the first bytes of the line being read
    int64_t lineStart = 0, offset = 0;
    bool first = true, olderSeen = false;
    // Judges one line; true when the search is over (cut or stop).
    std::optional<int64_t> cut;
    auto judge = [&](std::string_view line) {
        auto stamp = ParseLogStamp(line, dateTimeFormat, fs, now);
        if (!stamp) return false;
        double age = now - *stamp;
        if (first && age < retentionDays * 4 / 3) return true;
        first = false;
        if (age >= retentionDays)
            olderSeen = true;
        else if (olderSeen) {
            cut = lineStart;
            return true;
        }
        return false;
    };
    for (;;) {
        size_t got = 0;
        if (!file.Read(block.data(), block.size(), got)) RaiseIoError("Cannot read the log file");
        if (got == 0) break;
        for (size_t k = 0; k < got; ++k) {
            char c = block[k];
            if (c == '\n') {
                if (judge(head)) return cut;
                head.clear();
                lineStart = offset + int64_t(k) + 1;
            } else if (head.size() < kStampPrefix && c != '\r') {
                head += c;
            }
        }
        offset += int64_t(got);
    }
    if (!head.empty() && judge(head)) return cut;
    return std::nullopt;
}

}  // namespace tolvane
