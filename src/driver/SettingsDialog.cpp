#include "driver/SettingsDialog.h"

#include "driver/CipherMainForm.h"
#include "driver/DriverSettings.h"

namespace tolvane {

void ShowSettings() { ShowSettingsDialog(DriverSettings); }

}  // namespace tolvane
