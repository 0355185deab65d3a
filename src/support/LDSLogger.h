// The shared log writer. Every driver loaded by any program on the machine
// appends to the same log file, so a writer never keeps the file open: each
// line is written under an in-process lock plus a machine-wide named mutex
// derived from the path, by opening the file, appending, trimming it when it
// has grown too large, and closing it again. Between two lines other
// programs may read, copy or delete the file.
//
// Writing never raises for a failure of the file: the failure is recorded by
// ErrorsWriter, a second writer whose file lies in the user's temporary
// folder, and the line is lost.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Messages.h"
#include "platform/NamedMutex.h"
#include "rtl/DateTime.h"
#include "rtl/Format.h"
#include "rtl/FormatSettings.h"
#include "rtl/StringList.h"

namespace tolvane {

enum TLogLevel : uint8_t { lvPlain, lvInfo, lvError, lvFailure, lvWarning, lvEvent, lvDebug, lvOther };

// A set of levels, one bit per level.
using TLogLevels = uint8_t;
inline constexpr TLogLevels AllLogLevels = 0xFF;
constexpr TLogLevels LogLevelBit(TLogLevel level) { return TLogLevels(1u << level); }

// The tag written after the time stamp (empty for lvPlain, " [инф]" for
// lvInfo, ...) and the level character ("-+?!#$%@"); nothing for levels
// above lvOther.
std::string LevelTag(int level);
char LevelChar(int level);

// The mutex name for a log path: lower case, with the characters that a
// kernel object name cannot hold replaced by "_".
std::string MutexNameFor(const std::string& path);

class TLDSLogger {
public:
    // Raises only when the module is told to raise on a mutex that cannot
    // be created (RaiseOnMutexFailure).
    explicit TLDSLogger(const std::string& fileName);
    ~TLDSLogger();

    TLDSLogger(const TLDSLogger&) = delete;
    TLDSLogger& operator=(const TLDSLogger&) = delete;

    // Appends one line; see the writer's comment above. Levels above lvOther
    // and levels outside Levels write nothing.
    void Write(const std::string& text, TLogLevel level);
    // Formats with Format (positional "%0:s" allowed) and writes. A format
    // that does not fit its arguments raises EConvertError.
    void WriteFmt(const std::string& format, FormatArgs args, TLogLevel level);
    void WriteFmt(const std::string& format, const std::vector<FormatArg>& args, TLogLevel level);

    // The line Write would append at time `at` (without the line break).
    std::string BuildLine(const std::string& text, TLogLevel level, TDateTime at) const;

    // A name without a folder lands in the folder of the program's
    // executable. The same name in other letter case keeps the mutex.
    void SetFileName(const std::string& fileName);
    std::string FileName() const;
    void SetTag(const std::string& tag);
    std::string Tag() const;
    // Off closes the mutex; on takes effect at the next SetFileName.
    void SetUseGlobalMutex(bool use);
    bool UseGlobalMutex() const;
    // The mutex's name; empty when the writer runs without one.
    std::string MutexName() const;

    // The last lines written while NotifyWindow is set, oldest first.
    TStringList RecentLines() const;

    // Settings read by Write. Set them before the writer is shared between
    // threads; Tag, FileName and UseGlobalMutex have their own setters.
    int64_t MaxFileSize = 1048576;  // <= 0: no size trimming
    bool TrimInPlace = true;        // cut the file in place, else rotate to backups
    bool WritingEnabled = true;
    bool ShowThreadId = false;
    bool ShowProcessId = false;
    std::string DateTimeFormat = "dd/mm/yyyy hh:nn:ss.zzz";
    bool ShowLevelChar = false;
    bool ShowLevelTag = true;
    int32_t MaxBackups = 10;      // backups kept before a rotation; <= 0 keeps all
    bool IsErrorsWriter = false;  // does not report its own failures
    TLogLevels Levels = AllLogLevels;
    platform::WindowHandle NotifyWindow = 0;  // 0: no recent lines, no posts
    uint32_t NotifyMessage = 1345;
    int32_t MaxRecentLines = 1024;
    double RetentionDays = 0;  // age limit of lines in days; 0: no age trimming

private:
    void Lock();
    void Unlock();
    std::string BuildLineLocked(const std::string& text, TLogLevel level, TDateTime at) const;
    // Opens, appends, trims and closes; raises on failure, with `stage`
    // telling how far it got and `opened` whether the open succeeded.
    void AppendLine(const std::string& line, std::string& stage, bool& opened);
    void TrimBySize(std::unique_ptr<platform::File>& file);
    void TrimByAge(std::unique_ptr<platform::File>& file);
    void CreateGlobalMutex();
    void Notify(const std::string& line);

    mutable std::recursive_mutex writeLock_;
    mutable std::recursive_mutex recentLinesLock_;
    std::unique_ptr<platform::NamedMutex> mutex_;
    std::string fileName_;
    std::string tag_;
    bool useGlobalMutex_;
    TStringList recentLines_;
    TDateTime lastRetentionCheck_ = 0;
};

// Module-wide values of the log writer.
inline constexpr double RetentionCheckIntervalDays = 60.0 / 86400;  // least time between two age trims
extern bool DefaultUseGlobalMutex;                                  // copied into every new writer; true
extern bool RaiseOnMutexFailure;                                    // false: a writer without a mutex says nothing
extern bool UseLocaleFormats;                                       // false: time stamps use LogFormatSettings
// Fixed date and time settings of the time stamps.
TFormatSettings& LogFormatSettings();
// Records the failures of every other writer; created by the unit's start-up.
extern TLDSLogger* ErrorsWriter;

// The unit's start-up and shut-down: the ErrorsWriter in the user's
// temporary folder and the time stamp settings.
void InitializeZAVLoggerUnit();
void FinalizeZAVLoggerUnit();

}  // namespace tolvane
