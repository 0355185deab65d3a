#include "driver/SettingsDialog.h"

#include "rtl/Exception.h"

namespace tolvane {

void ShowSettings() {
    throw ENotBuilt("Окно настроек драйвера ещё не реализовано в этой сборке");
}

}  // namespace tolvane
