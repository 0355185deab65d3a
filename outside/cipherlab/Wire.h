// The messages of the terminal line protocol (see PROTOCOL.md): frame kinds,
// answer statuses, the encoding of records and numbers, and the time a line
// needs for a number of bytes at a baud-rate code.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::cipherlab {

constexpr int FieldCount = 8;
constexpr size_t MaxFieldLength = 255;

// One record: 8 fields of Windows-1251 text, at most 255 bytes each.
using Record = std::array<std::string, FieldCount>;

namespace kind {
// Host to terminal: commands. Every command payload starts with a tag byte
// that the answer repeats.
constexpr char Wake = 'I';    // cradle: wake the infrared adapter
constexpr char Ping = 'P';
constexpr char State = 'S';   // is the terminal in its main menu
constexpr char Serial = 'N';
constexpr char Time = 'T';
constexpr char Count = 'C';   // area, number
constexpr char Clear = 'X';   // document
constexpr char Read = 'R';    // area, number: start a download
constexpr char Write = 'W';   // database: start an upload (empties it)
constexpr char Finish = 'F';  // u32 records sent: end the upload
constexpr char Quit = 'Q';    // end whatever transfer runs
// SCANSITY terminals only.
constexpr char Model = 'M';   // the terminal's model name
constexpr char Memory = 'K';  // u32 free memory in KB
// Terminal to host.
constexpr char Answer = 'r';  // tag, status, data
// Either way, inside a transfer.
constexpr char Data = 'D';    // u32 index of the first record, records
constexpr char End = 'E';     // u32 number of records: the download is complete
constexpr char Ack = 'A';     // u32 next record expected, ack status
}  // namespace kind

constexpr char AreaDocument = 'D';
constexpr char AreaDatabase = 'B';

enum class Status : uint8_t {
    Ok = 0,
    NotInMenu = 1,    // the terminal is busy outside its main menu
    BadNumber = 2,    // no such document or database
    MemoryFull = 3,
    NoTransfer = 4,   // a finish without an upload
    Unknown = 5,      // a command this terminal does not know
};

enum class AckStatus : uint8_t {
    Ok = 0,
    Resend = 1,      // something was lost: send again from the index given
    MemoryFull = 2,  // stored up to the index given; the rest is refused
    Done = 3,        // the end of a download arrived
    Restart = 4,     // nothing usable arrived for a while: send again from the index given
};

// Little-endian numbers inside payloads.
void PutU32(std::string& out, uint32_t value);
std::optional<uint32_t> GetU32(std::string_view in, size_t at);

// A record on the line: the number of fields up to the last non-empty one
// (0..8), then each of them as a length byte and its bytes.
void AppendRecord(std::string& out, const Record& record);
size_t EncodedSize(const Record& record);
// Appends the records of a data payload (after its index); false when the
// payload is malformed (then nothing is appended).
bool ParseRecords(std::string_view in, std::vector<Record>& out);
// The terminal's memory cost of a record: its fields with their ends, plus one.
size_t StoredSize(const Record& record);

// Baud-rate codes 1..5: 115200, 57600, 38400, 19200, 9600; 0 for others.
uint32_t BaudOfCode(int code);
// Milliseconds the line needs for n characters (8N1: 10 bit times each).
double LineMs(size_t bytes, uint32_t baud);

}  // namespace tolvane::cipherlab
