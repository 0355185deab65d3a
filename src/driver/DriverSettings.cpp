#include "driver/DriverSettings.h"

#include "driver/Tools.h"
#include "platform/Files.h"
#include "support/SafeIniFile.h"

namespace tolvane {

constinit TDriverSettings DriverSettings;

namespace {

// Constant-initialised: the settings are loaded while the library starts.
constexpr char kSection[] = "Tolvane";

}  // namespace

std::string SettingsFilePath() { return GetWindowsDirPath() + "Trade.ini"; }

void LoadDriverSettings() {
    TSafeIniFile ini(SettingsFilePath());
    TDriverSettings& s = DriverSettings;
    s.ComPort = ini.ReadInteger(kSection, "ComPort", s.ComPort);
    s.BaudRate = ini.ReadInteger(kSection, "BaudRate", s.BaudRate);
    s.LoadDocNumber = ini.ReadInteger(kSection, "LoadDocNumber", s.LoadDocNumber);
    s.UseCradle = ini.ReadBool(kSection, "UseCradle", s.UseCradle);
    s.ClearDocument = ini.ReadBool(kSection, "ClearDocument", s.ClearDocument);
    s.MustConfirmBeforeClear = ini.ReadBool(kSection, "MustConfirmBeforeClear", s.MustConfirmBeforeClear);
    s.DBaseNum = ini.ReadInteger(kSection, "db_cbDBaseNum", 1);
    s.DBDelimiter = ini.ReadString(kSection, "db_edDBDelimiter", "09");
    s.ProgramType = ini.ReadInteger(kSection, "ProgramType", 0);
}

void SaveDriverSettings() {
    // The Windows directory always exists on Windows; in a fresh prefix it
    // may not yet.
    platform::ForceDirectories(GetWindowsDirPath());
    TSafeIniFile ini(SettingsFilePath());
    const TDriverSettings& s = DriverSettings;
    ini.WriteInteger(kSection, "ComPort", s.ComPort);
    ini.WriteInteger(kSection, "BaudRate", s.BaudRate);
    ini.WriteInteger(kSection, "LoadDocNumber", s.LoadDocNumber);
    ini.WriteBool(kSection, "UseCradle", s.UseCradle);
    ini.WriteBool(kSection, "ClearDocument", s.ClearDocument);
    ini.WriteBool(kSection, "MustConfirmBeforeClear", s.MustConfirmBeforeClear);
    ini.WriteInteger(kSection, "ProgramType", s.ProgramType);
}

}  // namespace tolvane
