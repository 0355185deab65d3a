// The abstract terminal driver: one contract for a terminal that holds
// numbered documents and lookup databases, and the three workflows every
// firmware driver shares (load, delete, upload) with their operator
// messages. A driver lives for one exchange; construction opens and tests
// the connection, destruction closes it and never raises.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rtl/StringList.h"

namespace tolvane {

class TBaseTolvane;

// (Sender, Min, Max, Position)
using TDriverProgressEvent = std::function<void(TBaseTolvane& sender, int32_t min, int32_t max, int32_t position)>;

class TBaseTolvane {
public:
    // MessageLines receives every message; the rest is for the firmware
    // drivers, which open and test the connection in their constructors.
    TBaseTolvane(int32_t comPort, int32_t baudRate, bool useCradle, TStringList& messageLines,
                 const std::string& delimiterText);
    virtual ~TBaseTolvane() = default;

    TBaseTolvane(const TBaseTolvane&) = delete;
    TBaseTolvane& operator=(const TBaseTolvane&) = delete;

    TStringList& MessageLines;
    TDriverProgressEvent OnProgress;

    // A memo line, a log line at the info level, and a chance for the
    // windows to repaint.
    void AddMessage(const std::string& text);

    int32_t LoadDocument(int32_t docNumber, TStringList& records);
    void DeleteDocument(int32_t docNumber, std::string& errorText);
    void UploadDatabase(int32_t dbaseNum, const std::string& fileName, std::string& errorText);

protected:
    virtual void DoDeleteDocument(int32_t docNumber, std::string& errorText);
    virtual int32_t DoReadDocument(int32_t docNumber, TStringList& records);
    virtual void DoWriteDatabase(int32_t dbaseNum, const std::string& fileName, int32_t recordCount,
                                 std::string& errorText);
    void FireProgress(int32_t min, int32_t max, int32_t position);
};

// The "class reference" by which the load window creates a driver.
using TBaseTolvaneClass = std::unique_ptr<TBaseTolvane> (*)(int32_t comPort, int32_t baudRate, bool useCradle,
                                                             TStringList& messageLines,
                                                             const std::string& delimiterText);

// SCANCODE for 0, SCANSITY for any other value.
TBaseTolvaneClass DriverClassFor(int32_t programType);

// The delimiter setting read as a hexadecimal character code: hexadecimal
// digits only, value within 32 bits, low 8 bits taken; 9 (tab) otherwise.
char DelimiterFromText(const std::string& delimiterText);

}  // namespace tolvane
