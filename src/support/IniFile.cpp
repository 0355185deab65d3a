#include "support/IniFile.h"

#include <vector>

#include "platform/Profile.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

TOLVANE_DEFINE_EXCEPTION(EIniFileException)

namespace {

constexpr uint32_t kValueBuffer = 2048;
constexpr uint32_t kListBuffer = 16384;

// Names in a NUL-separated list, as the profile reader returns them.
void AddNames(const std::vector<char>& buffer, uint32_t length, TStringList& names) {
    size_t pos = 0;
    while (pos < length) {
        std::string name(&buffer[pos]);
        pos += name.size() + 1;
        if (!name.empty()) names.Add(std::move(name));
    }
}

// A list that does not fit comes back cut at size - 2: grow until it fits.
void ReadList(const char* section, const std::string& fileName, TStringList& names) {
    std::vector<char> buffer(kListBuffer);
    for (;;) {
        uint32_t n = platform::GetPrivateProfileStringA(section, nullptr, nullptr, buffer.data(),
                                                        uint32_t(buffer.size()), fileName.c_str());
        if (n + 2 < buffer.size()) {
            AddNames(buffer, n, names);
            return;
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace

TIniFile::~TIniFile() = default;

void TIniFile::RaiseWriteError() const {
    throw EIniFileException(Format("Не удалось записать в файл %s", {fileName_}));
}

std::string TIniFile::ReadString(const std::string& section, const std::string& key, const std::string& def) {
    std::vector<char> buffer(kValueBuffer);
    uint32_t n = platform::GetPrivateProfileStringA(section.c_str(), key.c_str(), def.c_str(), buffer.data(),
                                                    kValueBuffer, fileName_.c_str());
    return std::string(buffer.data(), n);
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    if (!platform::WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(), fileName_.c_str()))
        RaiseWriteError();
}

namespace {

template <class T, class Convert>
T ReadConverted(TIniFile& ini, const std::string& section, const std::string& key, T def, Convert convert) {
    std::string text = ini.ReadString(section, key, "");
    if (text.empty()) return def;
    try {
        return convert(text);
    } catch (const EConvertError&) {
        return def;
    }
}

}  // namespace

TDateTime TIniFile::ReadDate(const std::string& section, const std::string& key, TDateTime def) {
    return ReadConverted(*this, section, key, def, [](std::string_view s) { return StrToDate(s); });
}
TDateTime TIniFile::ReadDateTime(const std::string& section, const std::string& key, TDateTime def) {
    return ReadConverted(*this, section, key, def, [](std::string_view s) { return StrToDateTime(s); });
}
double TIniFile::ReadFloat(const std::string& section, const std::string& key, double def) {
    return ReadConverted(*this, section, key, def, [](std::string_view s) { return StrToFloat(s); });
}
TDateTime TIniFile::ReadTime(const std::string& section, const std::string& key, TDateTime def) {
    return ReadConverted(*this, section, key, def, [](std::string_view s) { return StrToTime(s); });
}

void TIniFile::WriteDate(const std::string& section, const std::string& key, TDateTime value) {
    WriteString(section, key, DateToStr(value));
}
void TIniFile::WriteDateTime(const std::string& section, const std::string& key, TDateTime value) {
    WriteString(section, key, DateTimeToStr(value));
}
void TIniFile::WriteFloat(const std::string& section, const std::string& key, double value) {
    WriteString(section, key, FloatToStr(value));
}
void TIniFile::WriteTime(const std::string& section, const std::string& key, TDateTime value) {
    WriteString(section, key, TimeToStr(value));
}

void TIniFile::ReadSection(const std::string& section, TStringList& keys) {
    keys.Clear();
    ReadList(section.c_str(), fileName_, keys);
}

void TIniFile::ReadSections(TStringList& sections) {
    sections.Clear();
    ReadList(nullptr, fileName_, sections);
}

void TIniFile::ReadSectionValues(const std::string& section, TStringList& values) {
    TStringList keys;
    ReadList(section.c_str(), fileName_, keys);
    values.Clear();
    std::vector<char> buffer(65535);
    for (const std::string& key : keys) {
        uint32_t n = platform::GetPrivateProfileStringA(section.c_str(), key.c_str(), "", buffer.data(),
                                                        uint32_t(buffer.size()), fileName_.c_str());
        values.Add(key + "=" + std::string(buffer.data(), n));
    }
}

void TIniFile::EraseSection(const std::string& section) {
    if (!platform::WritePrivateProfileStringA(section.c_str(), nullptr, nullptr, fileName_.c_str()))
        RaiseWriteError();
}

void TIniFile::DeleteKey(const std::string& section, const std::string& key) {
    if (!platform::WritePrivateProfileStringA(section.c_str(), key.c_str(), nullptr, fileName_.c_str()))
        RaiseWriteError();
}

void TIniFile::UpdateFile() { platform::WritePrivateProfileStringA(nullptr, nullptr, nullptr, fileName_.c_str()); }

int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key, int32_t def) {
    return StrToIntDef(ReadString(section, key, ""), def);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, int32_t value) {
    WriteString(section, key, IntToStr(value));
}

bool TIniFile::ReadBool(const std::string& section, const std::string& key, bool def) {
    return ReadInteger(section, key, def ? 1 : 0) != 0;
}

void TIniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}

}  // namespace tolvane
