#include "exchange/LoadDataUnit.h"

namespace tolvane {

constinit TStringList* LoadedRecords = nullptr;

void WriteDriverLog(const std::string&) {
    // The driver log arrives with the log writer.
}

void InitializeLoadDataFrmUnit() { LoadedRecords = new TStringList; }

void FinalizeLoadDataFrmUnit() {
    delete LoadedRecords;
    LoadedRecords = nullptr;
}

}  // namespace tolvane
