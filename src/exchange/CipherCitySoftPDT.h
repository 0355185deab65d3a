// The terminal driver for the SCANSITY firmware. The terminal is reached
// through the automation object "CitySoftWarehouseDOS.Cpt" by late binding;
// the driver sets the link up, starts the object's operations, polls its
// state while they run, turns its error state into exceptions and merges
// the loaded document into code=quantity lines.
#pragma once

#include <functional>

#include "exchange/BaseTolvane.h"
#include "platform/Automation.h"

namespace tolvane {

class TCipherCitySoftPDT : public TBaseTolvane {
public:
    TCipherCitySoftPDT(int32_t comPort, int32_t baudRate, bool useCradle, TStringList& messageLines,
                       const std::string& delimiterText);
    ~TCipherCitySoftPDT() override;

    static std::unique_ptr<TBaseTolvane> Create(int32_t comPort, int32_t baudRate, bool useCradle,
                                                TStringList& messageLines, const std::string& delimiterText);

    // The automation object, or Null before it was created.
    platform::OleObject TerminalObject;

protected:
    void DoDeleteDocument(int32_t docNumber, std::string& errorText) override;
    int32_t DoReadDocument(int32_t docNumber, TStringList& records) override;
    void DoWriteDatabase(int32_t dbaseNum, const std::string& fileName, int32_t recordCount,
                         std::string& errorText) override;

private:
    void CreateTerminalObject();
    void CheckState();
    void ReportProgress(int32_t total);
    // Polls State every 50 ms while it answers runningState.
    void WaitWhileRunning(int32_t answer, int32_t runningState, int32_t total);
    // The destructor's work; also run when the constructor fails.
    void Close() noexcept;
};

// One line of a loaded document: the code before the first comma (trimmed,
// not empty) and the quantity after it (empty: 1, a decimal integer: its
// value, anything else: 0). False when the line holds no record.
bool SplitCodeQty(const std::string& line, std::string& code, int32_t& quantity);

// What the driver takes from the platform, replaceable by tests.
struct TCitySoftServices {
    std::function<platform::OleObject(const std::string& progId)> CreateOleObject = platform::CreateOleObject;
    std::function<void(uint32_t milliseconds)> Sleep;  // platform::Sleep when empty
};
TCitySoftServices& CitySoftServices();

// How long the registration tool may run before it is stopped.
constexpr uint32_t kRegistrationTimeLimitMs = 60000;

}  // namespace tolvane
