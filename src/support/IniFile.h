// The INI file class the guarded INI file builds on: every operation is one
// or a few calls of the profile functions, nothing is cached. Integers and
// booleans reach the file only through the virtual ReadString and
// WriteString, so a class that replaces those guards them too.
#pragma once

#include <cstdint>
#include <string>

#include "rtl/DateTime.h"
#include "rtl/Exception.h"
#include "rtl/StringList.h"

namespace tolvane {

TOLVANE_DECLARE_EXCEPTION(EIniFileException, Exception);

class TIniFile {
public:
    explicit TIniFile(std::string fileName) : fileName_(std::move(fileName)) {}
    virtual ~TIniFile();

    TIniFile(const TIniFile&) = delete;
    TIniFile& operator=(const TIniFile&) = delete;

    // The path exactly as the constructor received it.
    const std::string& FileName() const { return fileName_; }

    virtual std::string ReadString(const std::string& section, const std::string& key, const std::string& def);
    // EIniFileException when the profile writer fails; its last error stays set.
    virtual void WriteString(const std::string& section, const std::string& key, const std::string& value);

    // Typed values in the system's format settings; a text that does not
    // convert yields the default.
    virtual TDateTime ReadDate(const std::string& section, const std::string& key, TDateTime def);
    virtual TDateTime ReadDateTime(const std::string& section, const std::string& key, TDateTime def);
    virtual double ReadFloat(const std::string& section, const std::string& key, double def);
    virtual TDateTime ReadTime(const std::string& section, const std::string& key, TDateTime def);
    virtual void WriteDate(const std::string& section, const std::string& key, TDateTime value);
    virtual void WriteDateTime(const std::string& section, const std::string& key, TDateTime value);
    virtual void WriteFloat(const std::string& section, const std::string& key, double value);
    virtual void WriteTime(const std::string& section, const std::string& key, TDateTime value);

    // Keys, sections and key=value lines exactly as the file holds them.
    virtual void ReadSection(const std::string& section, TStringList& keys);
    virtual void ReadSections(TStringList& sections);
    virtual void ReadSectionValues(const std::string& section, TStringList& values);
    // EIniFileException when the profile writer fails.
    virtual void EraseSection(const std::string& section);
    virtual void DeleteKey(const std::string& section, const std::string& key);
    // Writes go to the file at once, so there is no cached copy to write.
    virtual void UpdateFile();

    // Decimal, or hexadecimal after "0x"; a missing key or a text that is no
    // number gives the default. Stored as decimal.
    int32_t ReadInteger(const std::string& section, const std::string& key, int32_t def);
    void WriteInteger(const std::string& section, const std::string& key, int32_t value);
    // True for any non-zero number; stored as "1" or "0".
    bool ReadBool(const std::string& section, const std::string& key, bool def);
    void WriteBool(const std::string& section, const std::string& key, bool value);

protected:
    [[noreturn]] void RaiseWriteError() const;

private:
    std::string fileName_;
};

}  // namespace tolvane
