#include "Config.h"

#include <ostream>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "rtl/Encoding.h"
#include "rtl/Strings.h"
#include "support/SafeIniFile.h"

namespace tolvanehost {

namespace {

constexpr char kSection[] = "Tolvane";

std::string SettingsFile() { return tolvane::platform::WindowsDirectory() + "\\Trade.ini"; }

// Console text as Windows-1251; nullopt when a character has no form there.
std::optional<std::string> FromConsole(const std::string& utf8) {
    std::string cp1251 = tolvane::Utf8ToCp1251(utf8);
    if (tolvane::Cp1251ToUtf8(cp1251) != utf8) return std::nullopt;
    return cp1251;
}

std::string ToConsole(const std::string& cp1251) {
    std::string text = tolvane::Cp1251ToUtf8(cp1251);
    for (size_t pos; (pos = text.find("\r\n")) != std::string::npos;) text.erase(pos, 1);
    return text;
}

// The stored parts of a long value (K__$Count, K__$Hash, K__$Line<k>) are
// shown as the one value they belong to.
bool IsPartKey(const std::string& name, const tolvane::TStringList& keys) {
    for (const std::string& key : keys) {
        if (name.size() <= key.size() || !tolvane::AnsiSameText(name.substr(0, key.size()), key)) continue;
        std::string suffix = name.substr(key.size());
        if (tolvane::AnsiSameText(suffix, "__$Count") || tolvane::AnsiSameText(suffix, "__$Hash")) return true;
        if (suffix.size() > 7 && tolvane::AnsiSameText(suffix.substr(0, 7), "__$Line") &&
            suffix.find_first_not_of("0123456789", 7) == std::string::npos)
            return true;
    }
    return false;
}

// Keys the driver reads as numbers refuse other text, so a typing error is
// answered now instead of being read as the default later.
bool IsNumericKey(const std::string& key) {
    static const char* const kNumeric[] = {"ComPort",       "BaudRate",      "LoadDocNumber",
                                           "UseCradle",     "ClearDocument", "MustConfirmBeforeClear",
                                           "db_cbDBaseNum", "ProgramType",   "db_cbFieldCount"};
    for (const char* name : kNumeric)
        if (tolvane::AnsiSameText(key, name)) return true;
    return key.size() == 9 && tolvane::AnsiSameText(key.substr(0, 8), "db_seLen") && key[8] >= '1' && key[8] <= '8';
}

}  // namespace

int ConfigList(std::ostream& out) {
    tolvane::TSafeIniFile ini(SettingsFile());
    tolvane::TStringList keys;
    ini.ReadSection(kSection, keys);
    for (const std::string& key : keys) {
        if (IsPartKey(key, keys)) continue;
        std::string value = ToConsole(ini.ReadString(kSection, key, ""));
        for (size_t pos = 0; (pos = value.find('\n', pos)) != std::string::npos;) value.replace(pos, 1, "\\n");
        out << ToConsole(key) << "=" << value << "\n";
    }
    return 0;
}

int ConfigGet(const std::string& key, std::ostream& out, std::ostream& err) {
    auto name = FromConsole(key);
    if (!name) {
        err << "tolvane: в имени ключа есть символы вне кодовой страницы Windows-1251: " << key << "\n";
        return 1;
    }
    tolvane::TSafeIniFile ini(SettingsFile());
    tolvane::TStringList keys;
    ini.ReadSection(kSection, keys);
    if (!name->empty() && keys.IndexOf(*name) < 0) {
        err << "tolvane: ключа " << key << " нет в секции [Tolvane] файла " << ToConsole(SettingsFile()) << "\n";
        return 1;
    }
    out << ToConsole(ini.ReadString(kSection, *name, "")) << "\n";
    return 0;
}

int ConfigSet(const std::string& key, const std::string& value, std::ostream& err) {
    auto name = FromConsole(key);
    auto text = FromConsole(value);
    if (!name || !text) {
        err << "tolvane: в " << (name ? "значении" : "имени ключа")
            << " есть символы вне кодовой страницы Windows-1251: " << (name ? value : key) << "\n";
        return 1;
    }
    if (IsNumericKey(*name) && !tolvane::TryStrToInt(*text)) {
        err << "tolvane: значение ключа " << key << " должно быть целым числом, а не \"" << value << "\"\n";
        return 1;
    }
    // The Windows directory always exists on Windows; a fresh prefix may lack it.
    tolvane::platform::ForceDirectories(tolvane::platform::WindowsDirectory());
    tolvane::TSafeIniFile ini(SettingsFile());
    ini.WriteString(kSection, *name, *text);
    return 0;
}

}  // namespace tolvanehost
