// The host's end of the terminal line protocol: commands with their answers,
// downloads with read-ahead and uploads with a window, over any Line. Every
// operation reports failure through Error() with the library's error codes.
#pragma once

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "Framing.h"
#include "Transfer.h"
#include "Wire.h"

namespace tolvane::cipherlab {

// The library's error codes, in the meaning the caller's table gives them.
namespace code {
constexpr int None = 0;
constexpr int NotOpen = 1;
constexpr int CannotOpen = 2;
constexpr int CannotConfigure = 3;
constexpr int IrAdapter = 4;
constexpr int PortError = 5;
constexpr int TimeOut = 8;
constexpr int TransferError = 9;
constexpr int BadAck = 11;
constexpr int UnknownAnswer = 16;
constexpr int TooLongReceived = 17;
constexpr int NotInMenu = 18;
constexpr int MemoryFull = 19;
constexpr int NothingToSend = 20;
constexpr int BadPortSettings = 21;
constexpr int BadDatabase = 22;
constexpr int BadDocument = 23;
}  // namespace code

// A byte line with a clock: the serial port in the library, an in-memory
// wire in tests.
class Line {
public:
    enum class ReadStatus { Data, Timeout, Failed };
    virtual ~Line() = default;
    virtual bool Write(std::string_view bytes) = 0;
    // Appends what arrives within timeoutMs (at least one byte on Data).
    virtual ReadStatus Read(std::string& out, uint64_t timeoutMs) = 0;
    virtual uint64_t NowMs() const = 0;
};

struct LinkParams {
    uint32_t baud = 115200;
    bool cradle = false;          // infrared cradle: half duplex, one frame in flight
    uint64_t turnaroundMs = 300;  // what the terminal may take to start answering
};

class HostLink {
public:
    HostLink(Line& line, LinkParams params);
    ~HostLink();

    bool Wake();
    bool Ping();
    std::optional<bool> InMenu();
    std::optional<std::string> SerialNumber();
    std::optional<std::string> ClockText();
    std::optional<uint32_t> Count(char area, int number);
    // SCANSITY terminals also tell their model name and free memory.
    std::optional<std::string> ModelName();
    std::optional<uint32_t> FreeMemoryKb();
    // Starts an upload to the database (which empties it) before any record
    // is put, so that an upload of no records still empties it.
    bool BeginUpload(int database);
    bool Clear(int document);
    // 1: a record is in out; 0: no further record (the next call starts
    // over); negative: minus the error code.
    int ReadNext(char area, int number, Record& out);
    // True: the record is queued for the terminal, which has room for it,
    // and nothing sent before has failed so far.
    bool Put(int database, const Record& record);
    // Sends what is queued, waits for every acknowledgement and closes the
    // upload; true when every record put since it began was stored.
    bool Finish();
    // Before closing the port: ends an upload, tells the terminal to stop.
    void Close();

    int ErrorCode() const { return errorCode_; }
    const std::string& ErrorText() const { return errorText_; }
    void ClearError() { SetError(code::None, "no error"); }

    // Milliseconds without an answer after which a command is sent again.
    uint64_t CommandTimeoutMs(size_t requestBytes) const;
    // Milliseconds without progress after which a transfer is nudged.
    uint64_t DataTimeoutMs() const;

private:
    struct Answer {
        Status status;
        std::string data;
    };
    struct Download;
    struct Upload;

    void SetError(int code, std::string text);
    bool Fail(int code, std::string text);
    std::optional<Answer> Command(char kind, std::string args, const char* what);
    std::optional<Answer> CommandOk(char kind, std::string args, const char* what, char area = 0);
    // Reads what arrives within timeoutMs into the inbox; false on a line failure.
    bool Receive(uint64_t timeoutMs);
    bool Send(const std::string& body);
    bool EndUpload();
    void DropDownload();
    int AbandonDownload();  // drops the download; minus the error code
    bool UploadStep(bool block);
    bool PumpUpload(uint64_t timeoutMs);

    Line& line_;
    LinkParams params_;
    FrameDecoder decoder_;
    std::deque<Frame> inbox_;
    unsigned damaged_ = 0;
    uint8_t tag_ = 0;
    int errorCode_ = code::None;
    std::string errorText_ = "no error";
    std::unique_ptr<Download> download_;
    std::unique_ptr<Upload> upload_;
};

}  // namespace tolvane::cipherlab
