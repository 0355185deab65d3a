#include "driver/Units.h"

#include <cstdio>
#include <iterator>

#include "driver/DriverSettings.h"
#include "exchange/LoadDataUnit.h"
#include "rtl/Encoding.h"
#include "support/SafeIniFile.h"
#include "ui/Backends.h"
#include "support/ProgressViewer.h"

namespace tolvane {

namespace {

struct Unit {
    const char* Name;
    void (*Initialize)();
    void (*Finalize)();
};

// A unit with nothing to prepare keeps its place in the order.
void Nothing() {}

void FinalizeCipherMainFrm() { DriverSettings.DBDelimiter.clear(); }

const Unit kUnits[] = {
    {"SafeIniFiles", InitializeSafeIniFiles, FinalizeSafeIniFiles},
    {"tools", Nothing, Nothing},
    // The settings dialog's JPEG picture: Qt registers its image readers
    // itself when the first window is made.
    {"jpeg", Nothing, Nothing},
    {"ProgressViewer", InitializeProgressViewer, FinalizeProgressViewer},  // window registry and window class
    {"ZAVLogger", InitializeZAVLoggerUnit, FinalizeZAVLoggerUnit},          // ErrorsWriter, LogFormatSettings
    {"LoadDataFrm", InitializeLoadDataFrmUnit, FinalizeLoadDataFrmUnit},    // LoadedRecords, DriverLog, title
    {"CipherMainFrm", LoadDriverSettings, FinalizeCipherMainFrm},
};

size_t started = 0;
std::unique_ptr<Exception> failure;

}  // namespace

void StartUnits() {
    if (!ui::Installed()) ui::Install(ui::SelectUserInterface());
    for (; started < std::size(kUnits); ++started) {
        try {
            kUnits[started].Initialize();
        } catch (const Exception& e) {
            failure = e.CloneWithMessage(e.Message());
            std::fprintf(stderr, "Tolvane: start-up of unit %s failed: %s\n", kUnits[started].Name,
                         Cp1251ToUtf8(e.Message()).c_str());
            return;
        }
    }
}

void StopUnits() {
    while (started > 0) {
        --started;
        try {
            kUnits[started].Finalize();
        } catch (...) {
            // Shut-down goes on: the host is unloading us.
        }
    }
    ui::Install(nullptr);
}

const Exception* StartupFailure() { return failure.get(); }

}  // namespace tolvane
