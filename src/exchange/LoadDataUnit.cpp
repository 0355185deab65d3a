#include "exchange/LoadDataUnit.h"

#include "support/ProgressViewer.h"

namespace tolvane {

constinit TStringList* LoadedRecords = nullptr;
constinit TLDSLogger* DriverLog = nullptr;

void WriteDriverLog(const std::string& text) {
    if (DriverLog) DriverLog->Write(text, lvInfo);
}

void InitializeLoadDataFrmUnit() {
    LoadedRecords = new TStringList;
    // Touches no file: a log folder that is missing or read-only shows only
    // when a line is written, and never stops the library from loading.
    DriverLog = new TLDSLogger("C:\\TORV\\LogFiles\\PDT.log");
    DriverLog->TrimInPlace = true;
    DriverLog->SetTag("[Cipher]");
    SetApplicationTitle("Вельтара: Драйвер для работы с CipherLab");
}

void FinalizeLoadDataFrmUnit() {
    delete LoadedRecords;
    LoadedRecords = nullptr;
    delete DriverLog;
    DriverLog = nullptr;
}

}  // namespace tolvane
