// The protocol's Line over a serial port of the platform.
#pragma once

#include "HostLink.h"
#include "platform/SerialPort.h"

namespace tolvane::cipherlab {

class SerialLine final : public Line {
public:
    explicit SerialLine(platform::SerialPort& port) : port_(port) {}
    bool Write(std::string_view bytes) override { return port_.Write(bytes.data(), bytes.size()); }
    ReadStatus Read(std::string& out, uint64_t timeoutMs) override;
    uint64_t NowMs() const override { return platform::SteadyClock().NowMs(); }

private:
    platform::SerialPort& port_;
};

// What a terminal may take before it answers: 300 ms, or
// $TOLVANE_CIPHERLAB_TURNAROUND_MS (1..59999) for tests.
uint64_t TurnaroundFromEnvironment();

}  // namespace tolvane::cipherlab
