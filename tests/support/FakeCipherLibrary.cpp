#include "FakeCipherLibrary.h"

#include <cstring>
#include <stdexcept>

namespace tolvane::test {

namespace {

FakeCipherLibrary* current = nullptr;

FakeCipherLibrary& Current() {
    if (!current) throw std::logic_error("no fake terminal library is current");
    return *current;
}

std::string Args(std::initializer_list<int32_t> values) {
    std::string text = "(";
    for (int32_t v : values) text += (text.size() > 1 ? "," : "") + std::to_string(v);
    return text + ")";
}

}  // namespace

void WriteText(char* buffer, const std::string& text) {
    size_t length = std::min(text.size(), size_t(CipherMaxText));
    std::memcpy(buffer, text.data(), length);
    buffer[length] = '\0';
}

struct FakeCalls {
    static FakeCipherLibrary& F(const char* name, std::initializer_list<int32_t> args = {}) {
        FakeCipherLibrary& f = Current();
        f.calls_[name]++;
        f.Log.push_back(std::string(name) + (args.size() ? Args(args) : ""));
        return f;
    }
    static int32_t OpenComm(int32_t port, int32_t baud, int32_t type) {
        FakeCipherLibrary& f = F("OpenComm", {port, baud, type});
        if (f.OpenAnswer && !f.OpenLeavesClosed) f.PortOpen = true;
        return f.OpenAnswer;
    }
    static int32_t CloseComm() {
        F("CloseComm").PortOpen = false;
        return 1;
    }
    static int32_t CheckComm() {
        FakeCipherLibrary& f = F("CheckComm");
        if (f.CheckCommAnswers.empty()) return f.PortOpen ? 1 : 0;
        int32_t answer = f.CheckCommAnswers.front();
        f.CheckCommAnswers.pop_front();
        return answer;
    }
    static int32_t Delimiter(int32_t upload, int32_t download) {
        F("delimiter", {upload, download});
        return 1;
    }
    static int32_t Ping() { return F("Ping").PingAnswer; }
    static int32_t GetCurrentState() { return F("GetCurrentState").StateAnswer; }
    static int32_t GetSerialNumber(char* buffer) {
        WriteText(buffer, F("GetSerialNumber").SerialNumber);
        return 1;
    }
    static int32_t GetTime(char* buffer) {
        FakeCipherLibrary& f = F("GetTime");
        WriteText(buffer, f.TimeAnswer ? f.Clock : std::string());
        return f.TimeAnswer;
    }
    static int32_t GetDataCount(int32_t document) {
        FakeCipherLibrary& f = F("GetDataCount", {document});
        return document >= 0 && document <= 9 ? f.DataCounts[document] : 0;
    }
    static int32_t GetRecordsCount(int32_t database) {
        FakeCipherLibrary& f = F("GetRecordsCount", {database});
        return database >= 1 && database <= 3 ? f.RecordCounts[database] : 0;
    }
    static int32_t ClearDoc(int32_t document) { return F("ClearDoc", {document}).ClearDocAnswer; }
    static int32_t GetError(char* buffer) {
        FakeCipherLibrary& f = F("GetError");
        WriteText(buffer, f.ErrorText);
        return f.ErrorCode;
    }
    static int32_t Read(const char* name, int32_t number, char* const* buffers) {
        FakeCipherLibrary& f = F(name, {number});
        f.ReadNumbers.push_back(number);
        if (f.Reads.empty()) return 0;
        FakeRead read = f.Reads.front();
        f.Reads.pop_front();
        if (read.Throws) throw std::runtime_error("the terminal library failed inside");
        if (read.Result == 1)
            for (int k = 0; k < 8; ++k) {
                if (read.Unterminated) std::memset(buffers[k], 'x', CipherBufferSize);
                else WriteText(buffers[k], read.Fields[k]);
            }
        return read.Result;
    }
    static int32_t ReadData(int32_t n, char* f1, char* f2, char* f3, char* f4, char* f5, char* f6, char* f7,
                            char* f8) {
        char* const buffers[8] = {f1, f2, f3, f4, f5, f6, f7, f8};
        return Read("ReadData", n, buffers);
    }
    static int32_t ReadRecord(int32_t n, char* f1, char* f2, char* f3, char* f4, char* f5, char* f6, char* f7,
                              char* f8) {
        char* const buffers[8] = {f1, f2, f3, f4, f5, f6, f7, f8};
        return Read("ReadRecord", n, buffers);
    }
    static int32_t PutRecord(int32_t n, char* f1, char* f2, char* f3, char* f4, char* f5, char* f6, char* f7,
                             char* f8) {
        FakeCipherLibrary& f = F("PutRecord", {n});
        // Read as the library does: up to the zero (an unterminated buffer
        // shows up under the address sanitizer).
        f.PutRecords.push_back({f1, f2, f3, f4, f5, f6, f7, f8});
        f.PutNumbers.push_back(n);
        if (f.PutAnswers.empty()) return 1;
        int32_t answer = f.PutAnswers.front();
        f.PutAnswers.pop_front();
        return answer;
    }
    static int32_t Finish() { return F("Finish").FinishAnswer; }
};

FakeCipherLibrary::FakeCipherLibrary() {
    table_.OpenComm = &FakeCalls::OpenComm;
    table_.CloseComm = &FakeCalls::CloseComm;
    table_.CheckComm = &FakeCalls::CheckComm;
    table_.delimiter = &FakeCalls::Delimiter;
    table_.Ping = &FakeCalls::Ping;
    table_.GetCurrentState = &FakeCalls::GetCurrentState;
    table_.GetSerialNumber = &FakeCalls::GetSerialNumber;
    table_.GetTime = &FakeCalls::GetTime;
    table_.GetDataCount = &FakeCalls::GetDataCount;
    table_.GetRecordsCount = &FakeCalls::GetRecordsCount;
    table_.ClearDoc = &FakeCalls::ClearDoc;
    table_.GetError = &FakeCalls::GetError;
    table_.ReadData = &FakeCalls::ReadData;
    table_.ReadRecord = &FakeCalls::ReadRecord;
    table_.PutRecord = &FakeCalls::PutRecord;
    table_.Finish = &FakeCalls::Finish;
    current = this;
}

FakeCipherLibrary::~FakeCipherLibrary() {
    if (current == this) current = nullptr;
}

const TCipherLibrary& FakeCipherLibrary::Table() const { return table_; }

int FakeCipherLibrary::Calls(const std::string& function) const {
    auto it = calls_.find(function);
    return it == calls_.end() ? 0 : it->second;
}

int FakeCipherLibrary::TotalCalls() const {
    int total = 0;
    for (const auto& [name, count] : calls_) total += count;
    return total;
}

}  // namespace tolvane::test
