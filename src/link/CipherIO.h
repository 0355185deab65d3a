// TCipherIO: the link to a terminal that runs the SCANCODE firmware, over
// the terminal communication library. It keeps the connection parameters,
// opens and closes the port, turns the library's answers into typed results
// and exceptions with fixed messages, composes the information report and
// moves records between the terminal and text lines.
//
// One thread: the component is used from the thread that created it and
// fires its events synchronously in that thread.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "link/CipherLibrary.h"
#include "link/UploadProgress.h"
#include "rtl/DateTime.h"
#include "rtl/StringList.h"

namespace tolvane {

class TCipherIO;

// One message per library error code 0..23.
constexpr int32_t MaxLibraryErrorCode = 23;
extern const char* const ErrorTexts[MaxLibraryErrorCode + 1];

// Stages of a transfer's progress.
enum TProgressStage : int32_t { psBegin = 0, psStep = 1, psEnd = 2 };

// The fields of one record: slot k holds field k+1; at most 8.
using SlotArray = std::vector<std::string>;
constexpr int MaxRecordFields = 8;

enum class TDownloadMode { Document, Database };

using TCipherNotifyEvent = std::function<void(TCipherIO& sender)>;
// (Sender, Stage, Min, Max, Position)
using TCipherProgressEvent =
    std::function<void(TCipherIO& sender, int32_t stage, int32_t min, int32_t max, int32_t position)>;

struct TLibraryError {
    int32_t Code = 0;
    std::string Text;
};

// Field functions over a set of delimiter characters: a field is a maximal
// run of characters not in the set.
int CountFields(std::string_view text, std::string_view delimiters);
// 1-based position of the first character of field n; 0 when there is none.
int FieldStart(int n, std::string_view text, std::string_view delimiters);
// Field n (1-based); empty when there is none.
std::string ExtractField(int n, std::string_view text, std::string_view delimiters);

// The terminal clock text, 14 digits yyyymmddhhnnss, as a date and time.
// Raises "Неверный формат даты %s" when a piece is not a number, and the
// date-encoding error for an impossible date or time.
TDateTime ParseClockText(const std::string& text);

class TCipherIO {
public:
    // Over the library loaded by name at the first call.
    TCipherIO();
    // Over another table of the same functions (a stand-in); it must outlive
    // the component.
    explicit TCipherIO(const TCipherLibrary& library);
    // Closes the port when it reads open; never raises.
    ~TCipherIO();

    TCipherIO(const TCipherIO&) = delete;
    TCipherIO& operator=(const TCipherIO&) = delete;

    // Whether the port is open, as the library says.
    bool Active();
    void SetActive(bool value);

    // Refused while the port is open.
    int32_t PortNumber() const { return portNumber_; }
    void SetPortNumber(int32_t value);
    int32_t BaudRate() const { return baudRate_; }
    void SetBaudRate(int32_t value);
    // 0 plain COM port, 1 infrared cradle.
    uint8_t PortType() const { return portType_; }
    void SetPortType(uint8_t value);

    // The library learns the delimiters when the port opens.
    char DownloadDelimiter = '\t';
    char UploadDelimiter = '\t';

    TCipherNotifyEvent OnActiveChange;
    TCipherProgressEvent OnProgress;

    // Downloaded lines, or the lines of the file last uploaded.
    TStringList& Records() { return records_; }

    TLibraryError GetLibraryError();
    // Raises the message for the library's last error; returns when it
    // reports code 0.
    void RaiseLibraryError();

    bool TestLink();
    bool IsReadyForExchange();
    std::string ReadSerialNumber();
    // Empty when the library could not read the clock.
    std::string ReadClockText();
    TDateTime ReadClock();
    int32_t DocumentRecordCount(int32_t document);
    int32_t BaseRecordCount(int32_t database);
    int32_t ClearTerminalDocument(int32_t document);
    // Raises unless the link can exchange now.
    void CheckReady();
    // The information report, one "\r\n"-ended line per item.
    std::string TerminalInfo();

    // Record side.
    int32_t ReadDocumentRecord(int32_t document, SlotArray& slots);
    int32_t ReadBaseRecord(int32_t database, SlotArray& slots);
    bool WriteBaseRecord(int32_t database, const SlotArray& slots);
    static std::string JoinFields(char delimiter, const SlotArray& slots);
    static void SplitLine(const std::string& line, std::string_view delimiters, SlotArray& slots);
    bool Download(TDownloadMode mode, int32_t number);
    bool DownloadDocument(int32_t document, TStringList& list);
    bool UploadFile(int32_t database, const std::string& fileName);
    void FinishExchange();

    // The window UploadFile shows; the system's progress viewer unless replaced.
    void SetProgressFactory(TUploadProgressFactory factory) { progressFactory_ = std::move(factory); }

private:
    const TCipherLibrary& Lib();
    bool CheckComm();
    void CheckPropertyChange(const char* message);
    int32_t ReadCall(TDownloadMode mode, int32_t number, SlotArray& slots);
    void FireProgress(int32_t stage, int32_t max, int32_t position);
    TStringList LoadUploadFile(const std::string& fileName);

    const TCipherLibrary* library_ = nullptr;
    uint8_t portType_ = 1;
    int32_t baudRate_ = 1;
    int32_t portNumber_ = 2;
    TStringList records_;
    std::array<std::unique_ptr<char[]>, MaxRecordFields> fieldBuffers_;
    TUploadProgressFactory progressFactory_;
};

}  // namespace tolvane
