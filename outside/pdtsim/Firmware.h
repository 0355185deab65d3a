// The terminal's side of the line: a firmware is fed the bytes that arrive
// and the passing time, and hands out the bytes it sends. No I/O here: the
// simulator's loop (or a test) moves the bytes and keeps the clock.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "TerminalState.h"

namespace tolvane::pdtsim {

using Logger = std::function<void(const std::string&)>;

class Firmware {
public:
    virtual ~Firmware() = default;
    virtual void OnBytes(std::string_view bytes, uint64_t nowMs) = 0;
    virtual void OnTick(uint64_t nowMs) = 0;
    // Bytes to send now. backlog is what still waits to go out on the line,
    // so that a transfer is produced as the line drains, not all at once.
    virtual std::string TakeOutput(size_t backlog, uint64_t nowMs) = 0;
    // When OnTick is next needed (UINT64_MAX: not before the next bytes).
    virtual uint64_t NextWakeMs() const = 0;
    // The speed the line runs at; time-outs follow it.
    virtual void SetBaud(uint32_t baud) = 0;
    // True once after the state changed in a way that should be written out.
    virtual bool TakeSavePoint() = 0;
};

// "scancode" or "scansity"; any other name throws std::runtime_error.
std::unique_ptr<Firmware> MakeFirmware(const std::string& name, TerminalState& state, const Faults& faults,
                                       Logger log);

}  // namespace tolvane::pdtsim
