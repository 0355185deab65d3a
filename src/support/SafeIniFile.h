// The system's INI file: TIniFile with a machine-wide lock per file, values
// that may hold line breaks and be longer than one key can hold, and every
// failure raised again with the operation's name in front.
//
// Stored form of a value V under key K:
//   K             the first part (the whole value when it fits in one)
//   K__$Count     the number of parts, when there are two or more
//   K__$Hash      ValueHash of the first part, as signed decimal
//   K__$Line<k>   part k, k = 2 .. count
// A line break is stored as LineBreakMarker; a part that begins or ends
// with a blank or a quote is stored in double quotes, which the profile
// reader takes off again. The parts are joined only while the hash matches
// the first part, so a program that rewrites K alone is read as it wrote it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rtl/FormatSettings.h"
#include "support/IniFile.h"

namespace tolvane {

namespace platform {
class NamedMutex;
}

// Date, time and number forms of the typed reads and writes: "dd.mm.yyyy",
// "hh:nn:ss.zzzz", decimal point. Filled by the unit's start-up.
extern TFormatSettings IniFormatSettings;
void InitializeSafeIniFiles();
void FinalizeSafeIniFiles();

// Six ordinary characters that stand for one line break in a stored value.
inline constexpr std::string_view LineBreakMarker = "<@\\n@>";
inline constexpr std::string_view IniMutexPrefix = "ini file lock mutex";
// The longest part: two quotes around it still fit the 65,535-character
// read buffer with its terminating NUL.
inline constexpr size_t MaxValuePart = 65532;

// prefix + the lower-cased path, doubled backslashes made single, and
// characters a mutex name cannot hold replaced by "_".
std::string IniMutexName(std::string_view prefix, std::string_view path);
uint32_t ValueHash(std::string_view text);
// The stored parts of a value (none for the empty text) and, with two or
// more parts, the hash of the first one.
std::vector<std::string> SplitValue(std::string_view text, uint32_t& hash);

class TSafeIniFile : public TIniFile {
public:
    explicit TSafeIniFile(std::string fileName);
    ~TSafeIniFile() override;

    std::string ReadString(const std::string& section, const std::string& key, const std::string& def) override;
    void WriteString(const std::string& section, const std::string& key, const std::string& value) override;

    TDateTime ReadDate(const std::string& section, const std::string& key, TDateTime def) override;
    TDateTime ReadDateTime(const std::string& section, const std::string& key, TDateTime def) override;
    double ReadFloat(const std::string& section, const std::string& key, double def) override;
    TDateTime ReadTime(const std::string& section, const std::string& key, TDateTime def) override;
    void WriteDate(const std::string& section, const std::string& key, TDateTime value) override;
    void WriteDateTime(const std::string& section, const std::string& key, TDateTime value) override;
    void WriteFloat(const std::string& section, const std::string& key, double value) override;
    void WriteTime(const std::string& section, const std::string& key, TDateTime value) override;

    // Keys and values as stored: part keys are listed, values not decoded.
    void ReadSection(const std::string& section, TStringList& keys) override;
    void ReadSections(TStringList& sections) override;
    void ReadSectionValues(const std::string& section, TStringList& values) override;
    void EraseSection(const std::string& section) override;
    // Removes the key and its part keys.
    void DeleteKey(const std::string& section, const std::string& key) override;
    void UpdateFile() override;

    // Whether the object works under a lock (false when no mutex could be made).
    bool Guarded() const { return mutex_ != nullptr; }

private:
    class FileLock;

    void EnterFileLock();
    void LeaveFileLock();
    void CheckSection(const std::string& section) const;
    void CheckKey(const std::string& key) const;
    void CheckWritable(const std::string& section, const std::string& key, const std::string& value) const;
    std::string ReadRawValue(const std::string& section, const std::string& key, const std::string& def,
                             uint32_t* hash);
    void DeleteValueParts(const std::string& section, const std::string& key, bool deleteKey);
    void WriteKeyWithRetry(const std::string& section, const std::string& key, const std::string& value);

    std::unique_ptr<platform::NamedMutex> mutex_;
};

}  // namespace tolvane
