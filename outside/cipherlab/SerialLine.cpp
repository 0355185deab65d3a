#include "SerialLine.h"

#include <cstdlib>

namespace tolvane::cipherlab {

Line::ReadStatus SerialLine::Read(std::string& out, uint64_t timeoutMs) {
    char buffer[4096];
    size_t got = 0;
    switch (port_.Read(buffer, sizeof buffer, timeoutMs, got)) {
        case platform::SerialPort::ReadResult::Data: out.append(buffer, got); return ReadStatus::Data;
        case platform::SerialPort::ReadResult::Timeout: return ReadStatus::Timeout;
        default: return ReadStatus::Failed;
    }
}

uint64_t TurnaroundFromEnvironment() {
    if (const char* v = std::getenv("TOLVANE_CIPHERLAB_TURNAROUND_MS"); v && *v) {
        char* end = nullptr;
        unsigned long ms = std::strtoul(v, &end, 10);
        if (end && *end == '\0' && ms > 0 && ms < 60000) return ms;
    }
    return 300;
}

}  // namespace tolvane::cipherlab
