// File work of the log writer, each step on its own so it can be tested:
// opening with a retry while another program holds the file, cutting the
// head off a file in place, rotating to numbered backups, and finding where
// lines older than a retention period end.
//
// Failures raise (EFOpenError, EFCreateError, EInOutError or Exception with
// the open time-out); the writer turns them into reports.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Files.h"
#include "rtl/DateTime.h"
#include "rtl/FormatSettings.h"

namespace tolvane {

// How long an open of a log file is retried, in ms.
inline constexpr int DefaultOpenTimeout = 200;

enum class TLogOpenMode {
    fmOpenReadWrite,  // an existing file, read and write, every sharing allowed
    fmCreate,         // created when missing, exclusive while open
};

// Opens the log file. While the open fails because another program holds
// the file (sharing or lock violation) it is retried every 10 ms until
// timeoutMs has passed, then "Log file open timeout: %d ms (%s)" is raised;
// any other failure raises at once. Timeout 0 makes one attempt and passes
// its failure on unchanged; a negative timeout means DefaultOpenTimeout.
std::unique_ptr<platform::File> OpenLogStream(const std::string& path, TLogOpenMode mode, int timeoutMs = -1);

// Bytes read per step of the backward search for a line start.
inline constexpr int64_t LineSearchWindow = 255;

// The start of the line that `cut` falls into: just after the nearest CR or
// LF before it (past the LF of a CR LF pair), searched backwards in windows
// of LineSearchWindow bytes; `cut` itself when no line break lies before it.
int64_t FindLineStart(platform::File& file, int64_t cut);

// Keeps the bytes from `cut` to the end at the start of the file and drops
// the rest, copying through the temporary file tempPath, which is deleted
// afterwards (also after a failure).
void CutFileHead(platform::File& file, int64_t cut, const std::string& tempPath);

// A numbered backup of a log: "PDT.log007" is number 7 of "PDT.log".
struct TLogBackup {
    std::string Path;
    int64_t Number = 0;
};

// The backups of fileName in its folder, ascending by number.
std::vector<TLogBackup> ListBackups(const std::string& fileName);

// Deletes the highest-numbered backups until at most maxBackups remain
// (maxBackups <= 0 keeps all), renames each remaining backup to the next
// number (at least three digits) from the highest down, and renames the log
// itself to backup "000".
void RotateFiles(const std::string& fileName, int maxBackups);

// Age trimming reads files from the start in blocks of this size and leaves
// smaller files alone.
inline constexpr int64_t RetentionBlockSize = 32768;

// The time stamp at the start of a log line written with dateTimeFormat
// (after an optional level character and blank); a format without a date
// dates the time `today`. Nothing when the line does not start with one.
std::optional<TDateTime> ParseLogStamp(std::string_view line, std::string_view dateTimeFormat,
                                       const TFormatSettings& fs, TDateTime today);

// Where age trimming cuts the file: the start of the first line younger
// than retentionDays that follows a line older than it. Nothing when the
// first dated line is younger than 4/3 of the period, or when no such line
// exists (lines without a stamp are never dated, so never removed).
std::optional<int64_t> FindAgeCut(platform::File& file, std::string_view dateTimeFormat, const TFormatSettings& fs,
                                  TDateTime now, double retentionDays);

}  // namespace tolvane
