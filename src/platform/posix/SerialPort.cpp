#include "platform/SerialPort.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "platform/SystemError.h"

namespace tolvane::platform {

namespace {

class MonotonicClock final : public Clock {
public:
    uint64_t NowMs() const override {
        using namespace std::chrono;
        return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    }
};

bool SpeedConstant(uint32_t baud, speed_t& speed) {
    switch (baud) {
        case 1200: speed = B1200; return true;
        case 2400: speed = B2400; return true;
        case 4800: speed = B4800; return true;
        case 9600: speed = B9600; return true;
        case 19200: speed = B19200; return true;
        case 38400: speed = B38400; return true;
        case 57600: speed = B57600; return true;
        case 115200: speed = B115200; return true;
        case 230400: speed = B230400; return true;
        default: return false;
    }
}

}  // namespace

const Clock& SteadyClock() {
    static const MonotonicClock clock;
    return clock;
}

std::unique_ptr<SerialPort> SerialPort::Open(const std::string& device) {
    // O_NOCTTY: a port must never become our controlling terminal;
    // O_NONBLOCK: waiting is done with poll, so a read never hangs.
    int fd;
    do fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetLastErrorFromErrno(errno);
        return nullptr;
    }
    if (!isatty(fd)) {
        ::close(fd);
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return std::unique_ptr<SerialPort>(new SerialPort(fd));
}

SerialPort::~SerialPort() { ::close(fd_); }

bool SerialPort::Configure(uint32_t baud) {
    speed_t speed;
    if (!SpeedConstant(baud, speed)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    cfmakeraw(&tio);
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | CS8;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (cfsetispeed(&tio, speed) != 0 || cfsetospeed(&tio, speed) != 0 || tcsetattr(fd_, TCSANOW, &tio) != 0) {
        SetLastErrorFromErrno(errno);
        return false;
    }
    return true;
}

SerialPort::ReadResult SerialPort::Read(void* buffer, size_t size, uint64_t timeoutMs, size_t& got) {
    got = 0;
    const Deadline deadline(SteadyClock(), timeoutMs);
    for (;;) {
        pollfd p{fd_, POLLIN, 0};
        uint64_t left = deadline.RemainingMs();
        int ready = ::poll(&p, 1, int(left > 60000 ? 60000 : left));
        if (ready < 0) {
            if (errno == EINTR) continue;
            SetLastErrorFromErrno(errno);
            return ReadResult::Failed;
        }
        if (ready == 0) {
            if (deadline.Expired()) return ReadResult::Timeout;
            continue;
        }
        if (p.revents & POLLIN) {
            ssize_t n = ::read(fd_, buffer, size);
            if (n > 0) {
                got = size_t(n);
                return ReadResult::Data;
            }
            if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
            if (n < 0 && errno != EIO) {
                SetLastErrorFromErrno(errno);
                return ReadResult::Failed;
            }
            SetLastError(ERROR_GEN_FAILURE);
            return ReadResult::HungUp;  // EOF or EIO: the other end is gone
        }
        if (p.revents & (POLLHUP | POLLERR | POLLNVAL)) {
            SetLastError(ERROR_GEN_FAILURE);
            return ReadResult::HungUp;
        }
    }
}

bool SerialPort::Write(const void* data, size_t size) {
    auto bytes = static_cast<const unsigned char*>(data);
    while (size > 0) {
        ssize_t n = ::write(fd_, bytes, size);
        if (n > 0) {
            bytes += n;
            size -= size_t(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno == EAGAIN) {
            // The line's buffer is full: wait until it drains a little.
            pollfd p{fd_, POLLOUT, 0};
            int ready = ::poll(&p, 1, 1000);
            if (ready < 0 && errno != EINTR) {
                SetLastErrorFromErrno(errno);
                return false;
            }
            if (ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL))) {
                SetLastError(ERROR_GEN_FAILURE);
                return false;
            }
            continue;
        }
        SetLastErrorFromErrno(n < 0 ? errno : EIO);
        return false;
    }
    return true;
}

void SerialPort::FlushInput() { tcflush(fd_, TCIFLUSH); }

bool SerialPort::HungUp() const {
    pollfd p{fd_, 0, 0};
    int ready;
    do ready = ::poll(&p, 1, 0);
    while (ready < 0 && errno == EINTR);
    return ready > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace tolvane::platform
