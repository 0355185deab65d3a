#include "driver/DriverSettings.h"

#include "rtl/Exception.h"

namespace tolvane {

constinit TDriverSettings DriverSettings;

void LoadDriverSettings() {
    throw ENotBuilt("Чтение настроек драйвера из Trade.ini ещё не реализовано в этой сборке");
}

void SaveDriverSettings() {
    throw ENotBuilt("Запись настроек драйвера в Trade.ini ещё не реализована в этой сборке");
}

}  // namespace tolvane
