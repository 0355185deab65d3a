// The module-wide settings record and its file.
#pragma once

#include "exchange/DriverSettings.h"

namespace tolvane {

extern TDriverSettings DriverSettings;

// Fill the record from, and write its basic fields to, section [Tolvane]
// of GetWindowsDirPath() + "Trade.ini".
void LoadDriverSettings();
void SaveDriverSettings();

}  // namespace tolvane
