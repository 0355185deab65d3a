#include "support/LDSLogger.h"

#include <typeinfo>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "rtl/Exception.h"
#include "rtl/FileNames.h"
#include "rtl/Strings.h"
#include "support/LogFiles.h"

namespace tolvane {

// Start-up may run before the dynamic initialisers of this file, so every
// module-wide value here is constant-initialised.
constinit bool DefaultUseGlobalMutex = true;
constinit bool RaiseOnMutexFailure = false;
constinit bool UseLocaleFormats = false;
constinit TLDSLogger* ErrorsWriter = nullptr;

namespace {

constexpr const char* kLevelTags[] = {"",        " [инф]",   " [ошиб]",  " [сбой]",
                                      " [вним]", " [событ]", " [отлад]", " [другое]"};
constexpr char kLevelChars[] = "-+?!#$%@";
constexpr int kLevelCount = 8;

const char* const kErrorsWriterName = "ZAVLoggerErrorsWriter.log";
const char* const kWriteFailureReport = "Ошибка при попытке записи (%0:s) в лог \"%1:s\" строки [%2:s]: %3:s <%4:s>";
const char* const kWriteFailureMark = " <Ошибка при записи в лог>";

void FixLogFormats(TFormatSettings& fs) {
    fs.ShortDateFormat = fs.LongDateFormat = "dd/mm/yyyy";
    fs.ShortTimeFormat = fs.LongTimeFormat = "hh:nn:ss.zzz";
    fs.DateSeparator = '.';
    fs.TimeSeparator = ':';
    fs.DecimalSeparator = '.';
}

}  // namespace

std::string LevelTag(int level) { return level >= 0 && level < kLevelCount ? kLevelTags[level] : ""; }

char LevelChar(int level) { return level >= 0 && level < kLevelCount ? kLevelChars[level] : '\0'; }

std::string MutexNameFor(const std::string& path) {
    std::string name = AnsiLowerCase(path);
    constexpr std::string_view kNotInNames = "\"*/:<>?\\|";
    for (char& c : name)
        if (kNotInNames.find(c) != std::string_view::npos) c = '_';
    return name;
}

TFormatSettings& LogFormatSettings() {
    static TFormatSettings settings = [] {
        TFormatSettings fs = SystemFormatSettings();
        FixLogFormats(fs);
        return fs;
    }();
    return settings;
}

TLDSLogger::TLDSLogger(const std::string& fileName) : useGlobalMutex_(DefaultUseGlobalMutex) { SetFileName(fileName); }

TLDSLogger::~TLDSLogger() { SetUseGlobalMutex(false); }

void TLDSLogger::Lock() {
    writeLock_.lock();
    // A mutex left by a killed holder is simply taken over.
    if (mutex_) mutex_->Wait();
}

void TLDSLogger::Unlock() {
    if (mutex_) mutex_->Release();
    writeLock_.unlock();
}

std::string TLDSLogger::BuildLine(const std::string& text, TLogLevel level, TDateTime at) const {
    std::lock_guard lock(writeLock_);
    return BuildLineLocked(text, level, at);
}

std::string TLDSLogger::BuildLineLocked(const std::string& text, TLogLevel level, TDateTime at) const {
    std::string message = Trim(text);
    if (message.empty()) return {};
    std::string line =
        FormatDateTime(DateTimeFormat, at, UseLocaleFormats ? SystemFormatSettings() : LogFormatSettings());
    if (ShowLevelChar) line = std::string(1, LevelChar(level)) + " " + line;
    if (ShowLevelTag) line += LevelTag(level);
    if (!tag_.empty()) line += " " + tag_;
    if (ShowProcessId && ShowThreadId)
        line += Format(" <P:%d;T:%d>", {platform::GetCurrentProcessId(), platform::GetCurrentThreadId()});
    else if (ShowProcessId)
        line += Format(" <P:%d>", {platform::GetCurrentProcessId()});
    else if (ShowThreadId)
        line += Format(" <T:%d>", {platform::GetCurrentThreadId()});
    return line + " " + message;
}

void TLDSLogger::Write(const std::string& text, TLogLevel level) {
    if (!WritingEnabled || level >= kLevelCount || !(Levels & LogLevelBit(level))) return;
    Lock();
    try {
        if (!fileName_.empty()) {
            std::string line, stage;
            bool opened = false;
            std::string failure, failureClass;
            try {
                line = BuildLineLocked(text, level, Now());
                AppendLine(line, stage, opened);
            } catch (const Exception& e) {
                failure = e.Message();
                failureClass = e.ClassName();
            } catch (const std::exception& e) {
                failure = e.what();
                failureClass = typeid(e).name();
            }
            if (!failureClass.empty()) {
                if (!IsErrorsWriter && ErrorsWriter && ErrorsWriter != this) {
                    ErrorsWriter->WriteFmt(kWriteFailureReport,
                                           {stage, fileName_, opened ? line : Trim(text), failure, failureClass},
                                           lvPlain);
                }
                line += kWriteFailureMark;
            }
            if (NotifyWindow != 0 && NotifyMessage != 0) Notify(line);
        }
    } catch (...) {
        Unlock();
        throw;
    }
    Unlock();
}

void TLDSLogger::AppendLine(const std::string& line, std::string& stage, bool& opened) {
    std::unique_ptr<platform::File> file;
    if (platform::FileExists(fileName_)) {
        stage = "fmOpenReadWrite";
        file = OpenLogStream(fileName_, TLogOpenMode::fmOpenReadWrite);
    } else {
        stage = "fmCreate";
        // The log folder may not exist yet on a fresh machine.
        std::string folder = ExtractFilePath(fileName_);
        if (!folder.empty() && !platform::DirectoryExists(folder)) platform::ForceDirectories(folder);
        file = OpenLogStream(fileName_, TLogOpenMode::fmCreate);
    }
    opened = true;
    stage += "-OK";

    std::string bytes = line + "\r\n";
    if (!file->Seek(0, SEEK_END) || !file->Write(bytes.data(), bytes.size()))
        throw EInOutError(
            Format("Cannot write the log file: %s", {platform::SysErrorMessage(platform::GetLastError())}));
    stage += ";ProcessFile...";

    int64_t size = file->Size();
    if (MaxFileSize > 0 && size > MaxFileSize + MaxFileSize / 3)
        TrimBySize(file);
    else
        TrimByAge(file);
    // The file closes here, also when a step above raised.
}

void TLDSLogger::TrimBySize(std::unique_ptr<platform::File>& file) {
    if (!TrimInPlace) {
        file.reset();
        RotateFiles(fileName_, MaxBackups);
        return;
    }
    int64_t size = file->Size();
    if (size <= MaxFileSize + LineSearchWindow) return;
    int64_t cut = FindLineStart(*file, size - MaxFileSize);
    CutFileHead(*file, cut,
                Format("%s_%d_%d", {fileName_, platform::GetCurrentProcessId(), platform::GetCurrentThreadId()}));
}

void TLDSLogger::TrimByAge(std::unique_ptr<platform::File>& file) {
    if (RetentionDays <= 0) return;
    TDateTime now = Now();
    // A clock set back also allows a check.
    if (lastRetentionCheck_ != 0 && now >= lastRetentionCheck_ &&
        now - lastRetentionCheck_ < RetentionCheckIntervalDays)
        return;
    lastRetentionCheck_ = now;
    if (file->Size() <= RetentionBlockSize) return;
    const TFormatSettings& fs = UseLocaleFormats ? SystemFormatSettings() : LogFormatSettings();
    auto cut = FindAgeCut(*file, DateTimeFormat, fs, now, RetentionDays);
    if (!cut) return;
    // Rotation moves the whole file to the backups, its young lines too.
    if (!TrimInPlace) {
        file.reset();
        RotateFiles(fileName_, MaxBackups);
        return;
    }
    CutFileHead(*file, *cut,
                Format("%s_%d_%d", {fileName_, platform::GetCurrentProcessId(), platform::GetCurrentThreadId()}));
}

void TLDSLogger::Notify(const std::string& line) {
    std::lock_guard lock(recentLinesLock_);
    recentLines_.Add(line);
    while (recentLines_.Count() > std::max(MaxRecentLines, 0)) recentLines_.Delete(0);
    platform::PostMessage(NotifyWindow, NotifyMessage, 0, 0);
}

TStringList TLDSLogger::RecentLines() const {
    std::lock_guard lock(recentLinesLock_);
    return recentLines_;
}

void TLDSLogger::WriteFmt(const std::string& format, FormatArgs args, TLogLevel level) {
    Write(Format(format, args), level);
}

void TLDSLogger::WriteFmt(const std::string& format, const std::vector<FormatArg>& args, TLogLevel level) {
    Write(Format(format, args), level);
}

void TLDSLogger::SetTag(const std::string& tag) {
    std::lock_guard lock(writeLock_);
    tag_ = tag;
}

std::string TLDSLogger::Tag() const {
    std::lock_guard lock(writeLock_);
    return tag_;
}

std::string TLDSLogger::FileName() const {
    std::lock_guard lock(writeLock_);
    return fileName_;
}

void TLDSLogger::SetFileName(const std::string& fileName) {
    std::lock_guard lock(writeLock_);
    if (fileName.empty()) return;
    std::string full = ExtractFilePath(fileName).empty()
                           ? IncludeTrailingPathDelimiter(platform::ExecutableDirectory()) + fileName
                           : fileName;
    // Without a mutex yet, the same name is set again so that it gets one.
    if ((mutex_ || !useGlobalMutex_) && AnsiSameText(full, fileName_)) return;
    mutex_.reset();
    fileName_ = full;
    if (useGlobalMutex_) CreateGlobalMutex();
}

void TLDSLogger::SetUseGlobalMutex(bool use) {
    std::lock_guard lock(writeLock_);
    useGlobalMutex_ = use;
    if (!use) mutex_.reset();
}

bool TLDSLogger::UseGlobalMutex() const {
    std::lock_guard lock(writeLock_);
    return useGlobalMutex_;
}

std::string TLDSLogger::MutexName() const {
    std::lock_guard lock(writeLock_);
    return mutex_ ? mutex_->Name() : std::string();
}

void TLDSLogger::CreateGlobalMutex() {
    // The mutex is open to every account and program that logs to the same
    // path; "Global\" first, the plain name when that is refused.
    std::string name = MutexNameFor(fileName_);
    mutex_ = platform::NamedMutex::Create("Global\\" + name);
    if (!mutex_) mutex_ = platform::NamedMutex::Create(name);
    if (!mutex_ && RaiseOnMutexFailure)
        throw Exception(Format("Ошибка при создании объекта \"мьютекс\": %s",
                               {platform::SysErrorMessage(platform::GetLastError())}));
}

void InitializeZAVLoggerUnit() {
    if (!ErrorsWriter) {
        ErrorsWriter = new TLDSLogger(platform::TempDirectory() + kErrorsWriterName);
        ErrorsWriter->TrimInPlace = true;
        ErrorsWriter->IsErrorsWriter = true;
    }
    TFormatSettings& fs = LogFormatSettings();
    fs = SystemFormatSettings();
    FixLogFormats(fs);
}

void FinalizeZAVLoggerUnit() {
    delete ErrorsWriter;
    ErrorsWriter = nullptr;
}

}  // namespace tolvane
