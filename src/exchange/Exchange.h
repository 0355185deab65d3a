// The two exchange workflows the host operations hand on to.
#pragma once

#include <tolvane/oleauto.h>

#include <string>

#include "exchange/BaseTolvane.h"
#include "exchange/DriverSettings.h"

namespace tolvane {

// Sets result to Null, then to the loaded (code, quantity) pairs.
// A test file "C:\TORV\PDTTest.txt" replaces the terminal and the window.
void LoadDocuments(VARIANT& result, const TDriverSettings& settings,
                   TBaseTolvaneClass (*driverClassFor)(int32_t) = DriverClassFor);
// Writes the goods file into the terminal's lookup database.
void UploadGoods(const std::string& fileName, const TDriverSettings& settings,
                 TBaseTolvaneClass (*driverClassFor)(int32_t) = DriverClassFor);

}  // namespace tolvane
