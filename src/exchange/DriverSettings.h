// The driver's settings record. The record itself lives in the driver
// layer (DriverSettings); the exchange layer reads the fields it is handed.
#pragma once

#include <cstdint>
#include <string>

namespace tolvane {

struct TDriverSettings {
    int32_t ComPort = 0;
    int32_t BaudRate = 4;
    int32_t LoadDocNumber = 0;
    bool UseCradle = false;
    bool ClearDocument = true;
    bool MustConfirmBeforeClear = true;
    int32_t DBaseNum = 0;
    std::string DBDelimiter = "09";
    int32_t ProgramType = 0;
};

}  // namespace tolvane
