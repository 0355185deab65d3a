// Module-wide objects of the terminal-exchange unit, created at the
// library's start-up and freed at its shut-down.
#pragma once

#include "support/LDSLogger.h"

namespace tolvane {

// The driver log "C:\TORV\LogFiles\PDT.log" with the tag "[Cipher]";
// null outside start-up and shut-down.
extern TLDSLogger* DriverLog;

void InitializeLoadDataFrmUnit();
void FinalizeLoadDataFrmUnit();

}  // namespace tolvane
