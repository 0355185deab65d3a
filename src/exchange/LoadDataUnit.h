// Module-wide state of the terminal-exchange unit, created at the library's
// start-up and freed at its shut-down.
#pragma once

#include <string>

#include "rtl/StringList.h"
#include "support/LDSLogger.h"

namespace tolvane {

// The loaded document as key=quantity lines; created at start-up.
extern TStringList* LoadedRecords;

// The driver log "C:\TORV\LogFiles\PDT.log" with the tag "[Cipher]";
// null outside start-up and shut-down.
extern TLDSLogger* DriverLog;

// Writes a line to the driver log at the info level, when the log exists.
void WriteDriverLog(const std::string& text);

void InitializeLoadDataFrmUnit();
void FinalizeLoadDataFrmUnit();

}  // namespace tolvane
