// The 16 functions over one serial port and one HostLink.
#include "CipherLab.h"

#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "HostLink.h"
#include "SerialLine.h"
#include "platform/Paths.h"
#include "platform/SerialPort.h"
#include "platform/SystemError.h"

namespace {

using namespace tolvane::cipherlab;
using tolvane::platform::SerialPort;

struct Session {
    std::unique_ptr<SerialPort> port;
    std::unique_ptr<SerialLine> line;
    std::unique_ptr<HostLink> link;
    int portNumber = 0;
    char uploadDelimiter = '\t', downloadDelimiter = '\t';
};

std::mutex lock;
Session session;
int lastCode = 0;
std::string lastText = "no error";

void SetError(int code, std::string text) {
    lastCode = code;
    lastText = std::move(text);
}

// Starts a call: clears the last error, and for calls that need the port
// checks that it is open.
bool Begin(bool needPort = true) {
    SetError(code::None, "no error");
    if (needPort && !session.link) {
        SetError(code::NotOpen, "the COM port is not open");
        return false;
    }
    if (session.link) session.link->ClearError();
    return true;
}

int32_t FromLink(bool ok) {
    if (!ok) SetError(session.link->ErrorCode(), session.link->ErrorText());
    return ok ? 1 : 0;
}

void CopyText(char* buffer, const std::string& text) {
    if (!buffer) return;
    size_t n = std::min<size_t>(text.size(), 255);
    std::memcpy(buffer, text.data(), n);
    buffer[n] = '\0';
}

std::string FieldText(const char* field) {
    if (!field) return {};
    return std::string(field, strnlen(field, MaxFieldLength));
}


void ClosePort() {
    if (session.link) session.link->Close();
    session.link.reset();
    session.line.reset();
    session.port.reset();
    session.uploadDelimiter = session.downloadDelimiter = '\t';
}

int32_t ReadAny(char area, int32_t number, char* f[FieldCount]) {
    if (!Begin()) return -lastCode;
    Record record;
    int r = session.link->ReadNext(area, number, record);
    if (r < 0) {
        SetError(session.link->ErrorCode(), session.link->ErrorText());
        return r;
    }
    if (r == 1)
        for (int k = 0; k < FieldCount; ++k) CopyText(f[k], record[k]);
    return r;
}

}  // namespace

extern "C" {

int32_t OpenComm(int32_t port, int32_t baudCode, int32_t portType) {
    std::lock_guard guard(lock);
    Begin(false);
    ClosePort();
    const uint32_t baud = BaudOfCode(baudCode);
    if (port < 1 || port > 255 || baud == 0 || (portType != 0 && portType != 1)) {
        SetError(code::BadPortSettings, "wrong port settings: COM" + std::to_string(port) + ", baud-rate code " +
                                            std::to_string(baudCode) + ", port type " + std::to_string(portType));
        return 0;
    }
    const std::string device = tolvane::platform::SerialPortDevice(port);
    auto serial = SerialPort::Open(device);
    if (!serial) {
        SetError(code::CannotOpen, "cannot open COM" + std::to_string(port) + " (" + device + "): " +
                                       tolvane::platform::SysErrorMessage(tolvane::platform::GetLastError()));
        return 0;
    }
    if (!serial->Configure(baud)) {
        SetError(code::CannotConfigure, "cannot set COM" + std::to_string(port) + " to " + std::to_string(baud) +
                                            " baud: " +
                                            tolvane::platform::SysErrorMessage(tolvane::platform::GetLastError()));
        return 0;
    }
    serial->FlushInput();
    session.port = std::move(serial);
    session.line = std::make_unique<SerialLine>(*session.port);
    session.link = std::make_unique<HostLink>(*session.line, LinkParams{baud, portType == 1, TurnaroundFromEnvironment()});
    session.portNumber = port;
    if (portType == 1 && !session.link->Wake()) {
        SetError(session.link->ErrorCode(), session.link->ErrorText());
        session.link.reset();
        ClosePort();
        return 0;
    }
    return 1;
}

int32_t CloseComm(void) {
    std::lock_guard guard(lock);
    Begin(false);
    ClosePort();
    return 1;
}

int32_t CheckComm(void) {
    std::lock_guard guard(lock);
    Begin(false);
    return session.port && !session.port->HungUp() ? 1 : 0;
}

int32_t Ping(void) {
    std::lock_guard guard(lock);
    if (!Begin()) return 0;
    return FromLink(session.link->Ping());
}

int32_t GetCurrentState(void) {
    std::lock_guard guard(lock);
    if (!Begin()) return 0;
    auto inMenu = session.link->InMenu();
    if (!inMenu) return FromLink(false);
    return *inMenu ? 1 : 0;
}

int32_t GetSerialNumber(char* buffer) {
    std::lock_guard guard(lock);
    CopyText(buffer, "");
    if (!Begin()) return 0;
    auto text = session.link->SerialNumber();
    if (text) CopyText(buffer, *text);
    return FromLink(text.has_value());
}

int32_t GetTime(char* buffer) {
    std::lock_guard guard(lock);
    CopyText(buffer, "");
    if (!Begin()) return 0;
    auto text = session.link->ClockText();
    if (text) CopyText(buffer, *text);
    return FromLink(text.has_value());
}

int32_t GetDataCount(int32_t document) {
    std::lock_guard guard(lock);
    if (!Begin()) return 0;
    if (document < 0 || document > 9) {
        SetError(code::BadDocument, "document " + std::to_string(document) + " is out of 0..9");
        return 0;
    }
    auto count = session.link->Count(AreaDocument, document);
    if (!count) return FromLink(false);
    return int32_t(*count);
}

int32_t GetRecordsCount(int32_t database) {
    std::lock_guard guard(lock);
    if (!Begin()) return 0;
    if (database < 1 || database > 3) {
        SetError(code::BadDatabase, "database " + std::to_string(database) + " is out of 1..3");
        return 0;
    }
    auto count = session.link->Count(AreaDatabase, database);
    if (!count) return FromLink(false);
    return int32_t(*count);
}

int32_t ClearDoc(int32_t document) {
    std::lock_guard guard(lock);
    if (!Begin()) return 0;
    if (document < 0 || document > 9) {
        SetError(code::BadDocument, "document " + std::to_string(document) + " is out of 0..9");
        return 0;
    }
    return FromLink(session.link->Clear(document));
}

int32_t ReadData(int32_t document, char* f1, char* f2, char* f3, char* f4, char* f5, char* f6, char* f7,
                 char* f8) {
    std::lock_guard guard(lock);
    if (document < 0 || document > 9) {
        Begin(false);
        SetError(code::BadDocument, "document " + std::to_string(document) + " is out of 0..9");
        return -code::BadDocument;
    }
    char* fields[FieldCount] = {f1, f2, f3, f4, f5, f6, f7, f8};
    return ReadAny(AreaDocument, document, fields);
}

int32_t ReadRecord(int32_t database, char* f1, char* f2, char* f3, char* f4, char* f5, char* f6, char* f7,
                   char* f8) {
    std::lock_guard guard(lock);
    if (database < 1 || database > 3) {
        Begin(false);
        SetError(code::BadDatabase, "database " + std::to_string(database) + " is out of 1..3");
        return -code::BadDatabase;
    }
    char* fields[FieldCount] = {f1, f2, f3, f4, f5, f6, f7, f8};
    return ReadAny(AreaDatabase, database, fields);
}

int32_t PutRecord(int32_t database, const char* f1, const char* f2, const char* f3, const char* f4, const char* f5,
                  const char* f6, const char* f7, const char* f8) {
    std::lock_guard guard(lock);
    if (!Begin()) return 0;
    if (database < 1 || database > 3) {
        SetError(code::BadDatabase, "database " + std::to_string(database) + " is out of 1..3");
        return 0;
    }
    Record record{FieldText(f1), FieldText(f2), FieldText(f3), FieldText(f4),
                  FieldText(f5), FieldText(f6), FieldText(f7), FieldText(f8)};
    return FromLink(session.link->Put(database, record));
}

int32_t Finish(void) {
    std::lock_guard guard(lock);
    if (!Begin(false) || !session.link) return 1;
    return FromLink(session.link->Finish());
}

int32_t delimiter(int32_t upload, int32_t download) {
    std::lock_guard guard(lock);
    Begin(false);
    session.uploadDelimiter = char(upload & 0xFF);
    session.downloadDelimiter = char(download & 0xFF);
    return 1;
}

int32_t GetError(char* buffer) {
    std::lock_guard guard(lock);
    CopyText(buffer, lastText);
    return lastCode;
}

}  // extern "C"
