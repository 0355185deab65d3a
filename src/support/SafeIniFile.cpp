#include "support/SafeIniFile.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <optional>
#include <thread>

#include "platform/NamedMutex.h"
#include "platform/Profile.h"
#include "platform/SystemError.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

constinit TFormatSettings IniFormatSettings;

void InitializeSafeIniFiles() {
    IniFormatSettings = SystemFormatSettings();
    IniFormatSettings.ShortDateFormat = IniFormatSettings.LongDateFormat = "dd.mm.yyyy";
    IniFormatSettings.ShortTimeFormat = IniFormatSettings.LongTimeFormat = "hh:nn:ss.zzzz";
    IniFormatSettings.DateSeparator = '.';
    IniFormatSettings.TimeSeparator = ':';
    IniFormatSettings.DecimalSeparator = '.';
}

void FinalizeSafeIniFiles() { IniFormatSettings = TFormatSettings{}; }

namespace {

constexpr int32_t kNoCount = -65535;
constexpr uint32_t kReadBuffer = 65535;
constexpr auto kWriteRetryTimeout = std::chrono::milliseconds(1000);
constexpr auto kWriteRetryPause = std::chrono::milliseconds(20);
// Above this many parts the part keys are looked up in the key list instead
// of asked for one by one, so a damaged count cannot stall a read.
constexpr int32_t kPartsAskedOneByOne = 1024;

constexpr char kCountSuffix[] = "__$Count";
constexpr char kHashSuffix[] = "__$Hash";
constexpr char kLineSuffix[] = "__$Line";

// A new exception of e's class: "context -> e's message".
[[noreturn]] void RaiseChained(const Exception& e, const std::string& context) {
    auto chained = e.CloneWithMessage(Format("%s -> %s", {context, e.Message()}));
    chained->Raise();
    __builtin_unreachable();
}

// Codes after which another attempt cannot succeed.
bool IsFinalWriteError(uint32_t code) {
    return code == platform::ERROR_PATH_NOT_FOUND || code == platform::ERROR_BUFFER_OVERFLOW ||
           code == platform::ERROR_DISK_FULL || code == platform::ERROR_INVALID_NAME;
}

// Runs write until it stops raising, pausing between attempts, for up to the
// retry time-out; then raises "system's text -> the write's message".
template <class Write>
void WithWriteRetry(Write write) {
    auto deadline = std::chrono::steady_clock::now() + kWriteRetryTimeout;
    for (;;) {
        try {
            write();
            return;
        } catch (const Exception& e) {
            uint32_t code = platform::GetLastError();
            if (std::chrono::steady_clock::now() < deadline && !IsFinalWriteError(code)) {
                std::this_thread::sleep_for(kWriteRetryPause);
                continue;
            }
            RaiseChained(e, platform::SysErrorMessage(code));
        }
    }
}

// Optional sign and decimal digits, within 32 bits.
std::optional<int32_t> StrictDecimal(std::string_view s) {
    size_t i = (!s.empty() && (s[0] == '-' || s[0] == '+')) ? 1 : 0;
    if (i == s.size() || s.size() - i > 10) return std::nullopt;
    int64_t v = 0;
    for (size_t k = i; k < s.size(); ++k) {
        if (s[k] < '0' || s[k] > '9') return std::nullopt;
        v = v * 10 + (s[k] - '0');
    }
    if (s[0] == '-') v = -v;
    if (v < INT32_MIN || v > INT32_MAX) return std::nullopt;
    return int32_t(v);
}

// k of "K__$Line<k>" when name is such a key of K with 2 <= k <= count.
std::optional<int32_t> PartNumber(const std::string& name, const std::string& key, int32_t count) {
    std::string prefix = key + kLineSuffix;
    if (name.size() <= prefix.size() || !AnsiSameText(std::string_view(name).substr(0, prefix.size()), prefix))
        return std::nullopt;
    std::string_view digits = std::string_view(name).substr(prefix.size());
    if (digits[0] == '0' || digits[0] == '+' || digits[0] == '-') return std::nullopt;
    auto k = StrictDecimal(digits);
    if (!k || *k < 2 || *k > count) return std::nullopt;
    return k;
}

std::string Decode(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size();) {
        if (raw.compare(i, LineBreakMarker.size(), LineBreakMarker) == 0) {
            out += "\r\n";
            i += LineBreakMarker.size();
        } else {
            out += raw[i++];
        }
    }
    return out;
}

bool IsBlankOrQuote(char c) { return static_cast<unsigned char>(c) <= 32 || c == '"'; }

// The profile reader trims blanks and takes one pair of matching quotes off
// a value; double quotes around such a part bring it back unchanged.
bool NeedsQuotes(std::string_view part) {
    if (part.empty()) return false;
    if (IsBlankOrQuote(part.front()) || IsBlankOrQuote(part.back())) return true;
    return part.size() >= 2 && part.front() == '\'' && part.back() == '\'';
}

}  // namespace

std::string IniMutexName(std::string_view prefix, std::string_view path) {
    std::string name = std::string(prefix) + AnsiLowerCase(path);
    for (size_t pos; (pos = name.find("\\\\")) != std::string::npos;) name.erase(pos, 1);
    for (char& c : name)
        if (std::string_view("\"*/:<>?\\|").find(c) != std::string_view::npos) c = '_';
    return name;
}

uint32_t ValueHash(std::string_view text) {
    uint32_t h = 0;
    for (unsigned char c : text) {
        h += c;
        h -= std::rotl(h, 13);
    }
    return h;
}

std::vector<std::string> SplitValue(std::string_view text, uint32_t& hash) {
    std::vector<std::string> parts;
    std::string first;
    std::string part;
    auto close = [&] {
        if (parts.empty()) first = part;
        parts.push_back(NeedsQuotes(part) ? "\"" + part + "\"" : part);
        part.clear();
    };
    for (char c : text) {
        if (part.size() >= MaxValuePart) close();
        if (c == '\r') continue;
        if (c == '\n') {
            // A marker never straddles two parts.
            if (part.size() + LineBreakMarker.size() > MaxValuePart) close();
            part += LineBreakMarker;
        } else {
            part += c;
        }
    }
    if (!part.empty()) close();
    hash = parts.size() >= 2 ? ValueHash(first) : 0;
    return parts;
}

// Holds the file's lock for one operation, and gives it back also when the
// operation fails.
class TSafeIniFile::FileLock {
public:
    explicit FileLock(TSafeIniFile& ini) : ini_(ini) { ini_.EnterFileLock(); }
    ~FileLock() { ini_.LeaveFileLock(); }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

private:
    TSafeIniFile& ini_;
};

// The mutex is machine-wide and open to every account ("Global\" first,
// then the plain name); without one the object works unguarded, silently.
TSafeIniFile::TSafeIniFile(std::string fileName) : TIniFile(std::move(fileName)) {
    std::string name = IniMutexName(IniMutexPrefix, FileName());
    mutex_ = platform::NamedMutex::Create("Global\\" + name);
    if (!mutex_) mutex_ = platform::NamedMutex::Create(name);
}

TSafeIniFile::~TSafeIniFile() {
    EnterFileLock();
    LeaveFileLock();
}

// A mutex left by a process that died is simply taken over.
void TSafeIniFile::EnterFileLock() {
    if (mutex_) mutex_->Wait();
}

void TSafeIniFile::LeaveFileLock() {
    if (mutex_) mutex_->Release();
}

void TSafeIniFile::CheckSection(const std::string& section) const {
    if (Trim(section).empty())
        throw EIniFileException(Format("Не указано название секции. Имя файла: %s", {FileName()}));
}

void TSafeIniFile::CheckKey(const std::string& key) const {
    if (Trim(key).empty())
        throw EIniFileException(Format("Не указано название переменной. Имя файла: %s", {FileName()}));
}

// Names the file cannot hold would be written as other lines (a key with
// "=" sets another key, a "]" in a section name starts another section), and
// a NUL would cut the value short: such writes are refused.
void TSafeIniFile::CheckWritable(const std::string& section, const std::string& key,
                                 const std::string& value) const {
    if (section.find_first_of(std::string_view("]\r\n\0", 4)) != std::string::npos)
        throw EIniFileException(
            Format("Недопустимое название секции \"%s\". Имя файла: %s", {section, FileName()}));
    std::string name = Trim(key);
    if (key.find_first_of(std::string_view("=\r\n\0", 4)) != std::string::npos || name[0] == ';' || name[0] == '[')
        throw EIniFileException(
            Format("Недопустимое название переменной \"%s\". Имя файла: %s", {key, FileName()}));
    if (value.find('\0') != std::string::npos)
        throw EIniFileException(
            Format("Значение переменной %s содержит символ с кодом 0. Имя файла: %s", {key, FileName()}));
}

std::string TSafeIniFile::ReadRawValue(const std::string& section, const std::string& key, const std::string& def,
                                       uint32_t* hash) {
    // One buffer per thread: a fresh 64 KiB for every key would dominate a read.
    thread_local std::vector<char> buffer(kReadBuffer);
    uint32_t n = platform::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                    kReadBuffer, FileName().c_str());
    std::string_view raw(buffer.data(), n);
    if (hash) *hash = ValueHash(raw);
    return Decode(raw);
}

std::string TSafeIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) {
    try {
        CheckSection(section);
        CheckKey(key);
        FileLock lock(*this);
        int32_t count = StrToIntDef(ReadRawValue(section, key + kCountSuffix, "", nullptr), kNoCount);
        uint32_t hash = 0;
        std::string result = ReadRawValue(section, key, def, &hash);
        if (count <= 1) return result;
        auto stored = StrictDecimal(ReadRawValue(section, key + kHashSuffix, "", nullptr));
        if (!stored || *stored != int32_t(hash)) return result;
        if (count <= kPartsAskedOneByOne) {
            for (int32_t k = 2; k <= count; ++k)
                result += ReadRawValue(section, key + kLineSuffix + IntToStr(k), "", nullptr);
            return result;
        }
        // Parts that are missing read as empty, so only those present matter.
        TStringList keys;
        TIniFile::ReadSection(section, keys);
        std::vector<std::pair<int32_t, std::string>> present;
        for (const std::string& name : keys)
            if (auto k = PartNumber(name, key, count)) present.emplace_back(*k, name);
        std::sort(present.begin(), present.end());
        for (const auto& [k, name] : present) result += ReadRawValue(section, name, "", nullptr);
        return result;
    } catch (const Exception& e) {
        RaiseChained(e, "TSafeIniFile.ReadString");
    }
}

void TSafeIniFile::WriteKeyWithRetry(const std::string& section, const std::string& key, const std::string& value) {
    WithWriteRetry([&] { TIniFile::WriteString(section, key, value); });
}

void TSafeIniFile::DeleteValueParts(const std::string& section, const std::string& key, bool deleteKey) {
    FileLock lock(*this);
    int32_t count = ReadInteger(section, key + kCountSuffix, kNoCount);
    if (count != kNoCount) {
        TIniFile::DeleteKey(section, key + kCountSuffix);
        TIniFile::DeleteKey(section, key + kHashSuffix);
        // Every part key from the count down to 2 that the file holds.
        TStringList keys;
        TIniFile::ReadSection(section, keys);
        for (const std::string& name : keys)
            if (PartNumber(name, key, count)) TIniFile::DeleteKey(section, name);
    }
    if (deleteKey) TIniFile::DeleteKey(section, key);
}

// All keys of one value change in one replacement of the file, so a process
// killed halfway leaves the old value whole.
void TSafeIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    try {
        CheckSection(section);
        CheckKey(key);
        CheckWritable(section, key, value);
        uint32_t hash = 0;
        std::vector<std::string> parts = SplitValue(value, hash);
        FileLock lock(*this);
        platform::ProfileWriteBatch batch(FileName().c_str());
        DeleteValueParts(section, key, false);
        WriteKeyWithRetry(section, key, parts.empty() ? std::string() : parts[0]);
        if (parts.size() >= 2) {
            WriteKeyWithRetry(section, key + kCountSuffix, IntToStr(int64_t(parts.size())));
            WriteKeyWithRetry(section, key + kHashSuffix, IntToStr(int32_t(hash)));
            for (size_t k = 2; k <= parts.size(); ++k)
                WriteKeyWithRetry(section, key + kLineSuffix + IntToStr(int64_t(k)), parts[k - 1]);
        }
        WithWriteRetry([&] {
            if (!batch.Commit()) RaiseWriteError();
        });
    } catch (const Exception& e) {
        RaiseChained(e, "TSafeIniFile.WriteString");
    }
}

void TSafeIniFile::DeleteKey(const std::string& section, const std::string& key) {
    try {
        CheckSection(section);
        CheckKey(key);
        FileLock lock(*this);
        platform::ProfileWriteBatch batch(FileName().c_str());
        DeleteValueParts(section, key, true);
        WithWriteRetry([&] {
            if (!batch.Commit()) RaiseWriteError();
        });
    } catch (const Exception& e) {
        RaiseChained(e, "TSafeIniFile.DeleteKey");
    }
}

void TSafeIniFile::EraseSection(const std::string& section) {
    try {
        CheckSection(section);
        FileLock lock(*this);
        TIniFile::EraseSection(section);
    } catch (const Exception& e) {
        RaiseChained(e, "TSafeIniFile.EraseSection");
    }
}

void TSafeIniFile::ReadSection(const std::string& section, TStringList& keys) {
    try {
        CheckSection(section);
        FileLock lock(*this);
        TIniFile::ReadSection(section, keys);
    } catch (const Exception& e) {
        RaiseChained(e, "TSafeIniFile.ReadSection");
    }
}

void TSafeIniFile::ReadSectionValues(const std::string& section, TStringList& values) {
    try {
        CheckSection(section);
        FileLock lock(*this);
        TIniFile::ReadSectionValues(section, values);
    } catch (const Exception& e) {
        RaiseChained(e, "TSafeIniFile.ReadSectionValues");
    }
}

void TSafeIniFile::ReadSections(TStringList& sections) {
    FileLock lock(*this);
    TIniFile::ReadSections(sections);
}

void TSafeIniFile::UpdateFile() {
    FileLock lock(*this);
    TIniFile::UpdateFile();
}

namespace {

// Typed reads: empty text or a failed conversion gives the default; an
// error of ReadString passes as it is, any other is chained.
template <class T, class Convert>
T ReadTyped(TSafeIniFile& ini, const std::string& section, const std::string& key, T def, const char* context,
            Convert convert) {
    std::string text = ini.ReadString(section, key, "");
    if (text.empty()) return def;
    try {
        return convert(text);
    } catch (const EConvertError&) {
        return def;
    } catch (const Exception& e) {
        RaiseChained(e, context);
    }
}

template <class Write>
void WriteTyped(const char* context, Write write) {
    try {
        write();
    } catch (const Exception& e) {
        RaiseChained(e, context);
    }
}

}  // namespace

TDateTime TSafeIniFile::ReadDate(const std::string& section, const std::string& key, TDateTime def) {
    return ReadTyped(*this, section, key, def, "TSafeIniFile.ReadDate",
                     [](std::string_view s) { return StrToDate(s, IniFormatSettings); });
}
TDateTime TSafeIniFile::ReadDateTime(const std::string& section, const std::string& key, TDateTime def) {
    return ReadTyped(*this, section, key, def, "TSafeIniFile.ReadDateTime",
                     [](std::string_view s) { return StrToDateTime(s, IniFormatSettings); });
}
double TSafeIniFile::ReadFloat(const std::string& section, const std::string& key, double def) {
    return ReadTyped(*this, section, key, def, "TSafeIniFile.ReadFloat",
                     [](std::string_view s) { return StrToFloat(s, IniFormatSettings); });
}
TDateTime TSafeIniFile::ReadTime(const std::string& section, const std::string& key, TDateTime def) {
    return ReadTyped(*this, section, key, def, "TSafeIniFile.ReadTime",
                     [](std::string_view s) { return StrToTime(s, IniFormatSettings); });
}

void TSafeIniFile::WriteDate(const std::string& section, const std::string& key, TDateTime value) {
    WriteTyped("TSafeIniFile.WriteDate", [&] { WriteString(section, key, DateToStr(value, IniFormatSettings)); });
}
void TSafeIniFile::WriteDateTime(const std::string& section, const std::string& key, TDateTime value) {
    WriteTyped("TSafeIniFile.WriteDateTime",
               [&] {
                   const TFormatSettings& fs = IniFormatSettings;
                   WriteString(section, key, FormatDateTime(fs.ShortDateFormat + " " + fs.LongTimeFormat, value, fs));
               });
}
void TSafeIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
    WriteTyped("TSafeIniFile.WriteFloat", [&] { WriteString(section, key, FloatToStr(value, IniFormatSettings)); });
}
void TSafeIniFile::WriteTime(const std::string& section, const std::string& key, TDateTime value) {
    WriteTyped("TSafeIniFile.WriteTime", [&] { WriteString(section, key, TimeToStr(value, IniFormatSettings)); });
}

}  // namespace tolvane
