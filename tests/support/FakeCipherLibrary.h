// An in-process stand-in for the terminal communication library: the 16
// functions answer from a script held in the object, and every call is
// counted and logged with its arguments. One fake is current at a time (the
// functions are plain C functions); it becomes current when constructed.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "link/CipherLibrary.h"

namespace tolvane::test {

using FakeRecord = std::array<std::string, 8>;

// One answer of ReadData / ReadRecord: the result and, for 1, the fields.
struct FakeRead {
    int32_t Result = 0;
    FakeRecord Fields{};
    // Fills every buffer with 256 characters and no terminating zero, as a
    // faulty library might.
    bool Unterminated = false;
    // Throws instead of answering, as a library failing inside.
    bool Throws = false;
};

class FakeCipherLibrary {
public:
    FakeCipherLibrary();
    ~FakeCipherLibrary();
    FakeCipherLibrary(const FakeCipherLibrary&) = delete;
    FakeCipherLibrary& operator=(const FakeCipherLibrary&) = delete;

    const TCipherLibrary& Table() const;

    int Calls(const std::string& function) const;
    int TotalCalls() const;
    // "OpenComm(3,2,0)", "delimiter(59,96)", "GetError", ...
    std::vector<std::string> Log;

    // The script.
    // Texts go into the buffers as WriteText writes them.
    bool PortOpen = false;
    int32_t OpenAnswer = 1;         // OpenComm's result; non-zero opens the port
    bool OpenLeavesClosed = false;  // the port stays closed whatever OpenComm answers
    std::deque<int32_t> CheckCommAnswers;  // answered first; then whether the port is open
    int32_t PingAnswer = 1;
    int32_t StateAnswer = 1;
    std::string SerialNumber = "SN0001";
    int32_t TimeAnswer = 1;
    std::string Clock = "20100311142530";
    int32_t ErrorCode = 0;
    std::string ErrorText;
    std::array<int32_t, 10> DataCounts{};
    std::array<int32_t, 4> RecordCounts{};
    int32_t ClearDocAnswer = 1;
    std::deque<FakeRead> Reads;  // answered in order; 0 when exhausted
    std::deque<int32_t> PutAnswers;  // answered in order; 1 when exhausted
    int32_t FinishAnswer = 1;
    std::vector<FakeRecord> PutRecords;  // what PutRecord received
    std::vector<int32_t> PutNumbers;     // its database numbers
    std::vector<int32_t> ReadNumbers;    // document / database numbers of the reads

private:
    friend struct FakeCalls;
    std::map<std::string, int> calls_;
    TCipherLibrary table_;
};

// 255 characters and the zero: the most the library may write.
void WriteText(char* buffer, const std::string& text);

}  // namespace tolvane::test
