// How the automation object talks to a SCANSITY terminal. Each call
// answers a LinkResult: state 0 for success, else one of the object's error
// states with its message (UTF-8). Calls come from one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace scansity {

// The object's state codes (its State member).
namespace state {
constexpr int32_t Idle = 0;
constexpr int32_t PortError = 1;      // the port cannot be opened
constexpr int32_t NotOpen = 2;        // no InitComm yet, or closed
constexpr int32_t NoAnswer = 3;       // the terminal does not answer
constexpr int32_t NotInMenu = 4;      // the terminal is outside its main menu
constexpr int32_t TransferError = 5;  // the line broke off a transfer
constexpr int32_t MemoryFull = 6;
constexpr int32_t NoSuchData = 7;     // no such document or database
constexpr int32_t FileError = 8;
constexpr int32_t BadArgument = 9;
constexpr int32_t Busy = 10;          // a Read or Write is running
constexpr int32_t Writing = 80;
constexpr int32_t Reading = 81;
}  // namespace state

struct LinkResult {
    int32_t state = state::Idle;
    std::string message;
    bool Ok() const { return state == state::Idle; }
};

// A terminal record: up to 8 Windows-1251 fields.
using Fields = std::vector<std::string>;

class TerminalLink {
public:
    virtual ~TerminalLink() = default;
    // baudCode 1..5 (115200 .. 9600); cradle: the infrared cradle.
    virtual LinkResult Open(int32_t port, int32_t baudCode, bool cradle) = 0;
    virtual void Close() = 0;
    // The link test: the terminal's model name.
    virtual LinkResult Identify(std::string& model) = 0;
    virtual LinkResult SerialNumber(std::string& serial) = 0;
    virtual LinkResult FreeMemoryKb(int32_t& kb) = 0;
    // Documents 0..9, databases 1..3.
    virtual LinkResult Count(int32_t document, uint32_t& records) = 0;
    // The next record of a download (started by the first call); end is set
    // after the last one, and the next call starts over.
    virtual LinkResult ReadNext(int32_t document, Fields& record, bool& end) = 0;
    // Empties the database on the first record, then stores records in order.
    virtual LinkResult Put(int32_t database, const Fields& record) = 0;
    // Ends an upload (also one of no records): all records put were stored.
    virtual LinkResult Finish(int32_t database) = 0;
    virtual LinkResult Clear(int32_t document) = 0;
};

// The serial line to the terminal on COM n.
std::unique_ptr<TerminalLink> MakeSerialLink();

}  // namespace scansity
