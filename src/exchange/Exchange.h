// The two exchange workflows the host operations hand on to.
#pragma once

#include <tolvane/oleauto.h>

#include <string>

#include "exchange/DriverSettings.h"

namespace tolvane {

// Sets result to Null, then to the loaded (code, quantity) pairs.
void LoadDocuments(VARIANT& result, const TDriverSettings& settings);
// Writes the goods file into the terminal's lookup database.
void UploadGoods(const std::string& fileName, const TDriverSettings& settings);

}  // namespace tolvane
