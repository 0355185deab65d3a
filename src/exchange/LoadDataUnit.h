// Module-wide state of the terminal-exchange unit.
#pragma once

#include <string>

#include "rtl/StringList.h"

namespace tolvane {

// The loaded document as key=quantity lines; created at start-up.
extern TStringList* LoadedRecords;

// Writes a line to the driver log at the info level, when the log exists.
void WriteDriverLog(const std::string& text);

void InitializeLoadDataFrmUnit();
void FinalizeLoadDataFrmUnit();

}  // namespace tolvane
