// The module-wide settings record and its file.
#pragma once

#include <string>

#include "exchange/DriverSettings.h"

namespace tolvane {

extern TDriverSettings DriverSettings;

// Fill the record from, and write its basic fields to, section [Tolvane]
// of GetWindowsDirPath() + "Trade.ini".
void LoadDriverSettings();
// GetWindowsDirPath() + "Trade.ini", built anew for every load and save.
std::string SettingsFilePath();
void SaveDriverSettings();

}  // namespace tolvane
