#include "exchange/LoadDataUnit.h"

namespace tolvane {

constinit TLDSLogger* DriverLog = nullptr;

void InitializeLoadDataFrmUnit() {
    // Touches no file: a log folder that is missing or read-only shows only
    // when a line is written, and never stops the library from loading.
    DriverLog = new TLDSLogger("C:\\TORV\\LogFiles\\PDT.log");
    DriverLog->TrimInPlace = true;
    DriverLog->SetTag("[Cipher]");
}

void FinalizeLoadDataFrmUnit() {
    delete DriverLog;
    DriverLog = nullptr;
}

}  // namespace tolvane
