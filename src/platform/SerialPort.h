// A serial line: a device opened in raw 8N1 mode at a given speed, read with
// a time-out, written in full. Pseudo-terminals work as well as real ports
// (they accept the speed and ignore it).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace tolvane::platform {

// Milliseconds of the monotonic clock behind an interface, so that time-out
// arithmetic can be tested with a clock that a test moves by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual uint64_t NowMs() const = 0;
};
const Clock& SteadyClock();

// A point in time after which waiting is over.
class Deadline {
public:
    Deadline(const Clock& clock, uint64_t afterMs) : clock_(&clock), at_(clock.NowMs() + afterMs) {}
    bool Expired() const { return clock_->NowMs() >= at_; }
    // Milliseconds left, 0 once expired; never negative, never wraps.
    uint64_t RemainingMs() const {
        uint64_t now = clock_->NowMs();
        return now >= at_ ? 0 : at_ - now;
    }
    uint64_t At() const { return at_; }

private:
    const Clock* clock_;
    uint64_t at_;
};

class SerialPort {
public:
    enum class ReadResult { Data, Timeout, HungUp, Failed };

    // nullptr on failure with the last error set. The device is a native path.
    static std::unique_ptr<SerialPort> Open(const std::string& device);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    // Raw 8 data bits, no parity, 1 stop bit, no flow control, at the speed in
    // bits per second. False (last error set) for a speed the system lacks or
    // a device that refuses the settings.
    bool Configure(uint32_t baud);
    // Waits up to timeoutMs for at least one byte and returns what is there
    // (up to size bytes) in got.
    ReadResult Read(void* buffer, size_t size, uint64_t timeoutMs, size_t& got);
    // Writes every byte (retrying short writes); false on failure or hang-up.
    bool Write(const void* data, size_t size);
    // Throws away what was received and not yet read.
    void FlushInput();
    // True when the other end has gone (the device hung up).
    bool HungUp() const;

private:
    explicit SerialPort(int fd) : fd_(fd) {}
    int fd_;
};

}  // namespace tolvane::platform
