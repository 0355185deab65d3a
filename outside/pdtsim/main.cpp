// pdt-sim: a terminal on a pseudo-terminal, published as <prefix>/dosdevices/comN.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <CLI/CLI.hpp>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstring>
#include <deque>
#include <filesystem>
#include <iostream>
#include <random>

#include "Firmware.h"
#include "Wire.h"

namespace {

using namespace tolvane::pdtsim;

int stopPipe[2] = {-1, -1};

void OnStop(int) {
    char c = 1;
    [[maybe_unused]] auto n = write(stopPipe[1], &c, 1);
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

void Say(const std::string& text) { std::cerr << "pdt-sim: " << text << std::endl; }

uint32_t BaudOf(speed_t speed) {
    switch (speed) {
        case B9600: return 9600;
        case B19200: return 19200;
        case B38400: return 38400;
        case B57600: return 57600;
        case B115200: return 115200;
        case B4800: return 4800;
        case B2400: return 2400;
        case B1200: return 1200;
        case B230400: return 230400;
        default: return 115200;
    }
}

// The line between the host and the terminal: the speed the host set on
// the port, the damage that noise does, and with pacing the time bytes take.
class Wire {
public:
    Wire(int master, int slave, double noise, uint32_t seed, bool pace)
        : master_(master), slave_(slave), noise_(noise), random_(seed), pace_(pace) {}

    uint32_t Baud() const {
        termios tio{};
        if (tcgetattr(slave_, &tio) != 0) return 115200;
        return BaudOf(cfgetospeed(&tio));
    }
    double ByteMs() const { return 10000.0 / Baud(); }

    void Damage(std::string& bytes) {
        if (noise_ <= 0) return;
        std::uniform_real_distribution<double> chance(0, 1);
        std::uniform_int_distribution<int> flip(1, 255);
        for (char& c : bytes)
            if (chance(random_) < noise_) c = char(static_cast<unsigned char>(c) ^ flip(random_));
    }

    // Reads what the host wrote; returns false when the pty failed.
    bool Receive(double now) {
        char buffer[4096];
        for (;;) {
            ssize_t n = read(master_, buffer, sizeof buffer);
            if (n > 0) {
                std::string chunk(buffer, size_t(n));
                Damage(chunk);
                double due = now;
                if (pace_) {
                    rxFreeAt_ = std::max(rxFreeAt_, now) + double(n) * ByteMs();
                    due = rxFreeAt_;
                }
                inbound_.push_back({std::move(chunk), due});
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            return n < 0 && (errno == EAGAIN || errno == EIO);
        }
    }

    // Hands the bytes whose time has come to the firmware.
    void Deliver(Firmware& firmware, double now) {
        while (!inbound_.empty() && inbound_.front().due <= now) {
            firmware.OnBytes(inbound_.front().bytes, uint64_t(now));
            inbound_.pop_front();
        }
    }

    void Queue(std::string bytes, double now) {
        if (bytes.empty()) return;
        // Bytes for an idle line start now; behind others they follow on.
        if (outbound_.empty() && txFreeAt_ < now) txFreeAt_ = now;
        Damage(bytes);
        outbound_ += bytes;
    }
    size_t Backlog() const { return outbound_.size(); }

    void Transmit(double now) {
        if (outbound_.empty()) return;
        size_t allowed = outbound_.size();
        if (pace_) {
            // A byte starts when the one before it has gone. A late wake-up
            // sends what the line would have carried meanwhile.
            if (now < txFreeAt_) return;
            allowed = std::min(allowed, size_t((now - txFreeAt_) / ByteMs()) + 1);
        }
        ssize_t n = write(master_, outbound_.data(), allowed);
        if (n > 0) {
            outbound_.erase(0, size_t(n));
            if (pace_) txFreeAt_ += double(n) * ByteMs();
        }
    }

    // When something next needs doing on the line (infinity: nothing).
    double NextDue() const {
        double due = HUGE_VAL;
        if (!inbound_.empty()) due = inbound_.front().due;
        if (!outbound_.empty()) due = std::min(due, pace_ ? txFreeAt_ : 0.0);
        return due;
    }
    bool WantsWrite() const { return !outbound_.empty(); }

private:
    struct Chunk {
        std::string bytes;
        double due;
    };
    int master_, slave_;
    double noise_;
    std::mt19937 random_;
    bool pace_;
    std::deque<Chunk> inbound_;
    std::string outbound_;
    double rxFreeAt_ = 0, txFreeAt_ = 0;
};

int Run(const std::string& prefix, int port, const std::string& statePath, std::string firmwareName, bool pace,
        const Faults& faults, uint32_t seed) {
    TerminalState state = LoadStateFile(statePath);
    if (firmwareName.empty()) firmwareName = state.firmware;
    auto firmware = MakeFirmware(firmwareName, state, faults, Say);

    int master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        throw std::runtime_error(std::string("cannot create a pseudo-terminal: ") + std::strerror(errno));
    char name[256];
    if (ptsname_r(master, name, sizeof name) != 0) throw std::runtime_error("ptsname failed");
    // Holding the slave open keeps the line alive between the host's opens,
    // and lets us see the speed the host sets.
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave < 0) throw std::runtime_error(std::string("cannot open ") + name + ": " + std::strerror(errno));
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    namespace fs = std::filesystem;
    const fs::path link = fs::path(prefix) / "dosdevices" / ("com" + std::to_string(port));
    fs::create_directories(link.parent_path());
    const fs::path temporary = link.string() + ".new" + std::to_string(getpid());
    fs::remove(temporary);
    fs::create_symlink(name, temporary);
    fs::rename(temporary, link);  // one step: a reader sees the old link or the new one

    Wire wire(master, slave, faults.noise, seed, pace);
    Say("firmware " + firmwareName + ", model " + state.model + ", serial " + state.serial + ", state " + statePath +
        (pace ? ", paced" : ""));
    Say("ready: COM" + std::to_string(port) + " is " + link.string() + " -> " + name);

    auto save = [&] {
        try {
            SaveStateFile(statePath, state);
            Say("state written to " + statePath);
        } catch (const std::exception& e) {
            Say(std::string("cannot write the state: ") + e.what());
        }
    };

    uint32_t baud = 0;
    for (;;) {
        double now = NowMs();
        if (uint32_t b = wire.Baud(); b != baud) {
            baud = b;
            firmware->SetBaud(baud);
        }
        double due = std::min(wire.NextDue(), double(firmware->NextWakeMs()));
        int timeout = due == HUGE_VAL ? 1000 : int(std::clamp(std::ceil(due - now), 0.0, 1000.0));
        pollfd fds[2] = {{master, short(POLLIN | (wire.WantsWrite() && !pace ? POLLOUT : 0)), 0},
                         {stopPipe[0], POLLIN, 0}};
        int ready = poll(fds, 2, timeout);
        if (ready < 0 && errno != EINTR) throw std::runtime_error(std::string("poll: ") + std::strerror(errno));
        if (ready > 0 && (fds[1].revents & POLLIN)) break;
        now = NowMs();
        if (ready > 0 && (fds[0].revents & POLLIN) && !wire.Receive(now))
            throw std::runtime_error(std::string("the pseudo-terminal failed: ") + std::strerror(errno));
        wire.Deliver(*firmware, now);
        firmware->OnTick(uint64_t(now));
        wire.Queue(firmware->TakeOutput(wire.Backlog(), uint64_t(now)), now);
        wire.Transmit(now);
        if (firmware->TakeSavePoint()) save();
    }
    Say("stopping");
    save();
    std::error_code ec;
    if (fs::is_symlink(link, ec) && fs::read_symlink(link, ec) == name) fs::remove(link, ec);
    close(slave);
    close(master);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"pdt-sim: a simulated terminal on a pseudo-terminal"};
    std::string prefix, statePath, firmware;
    int port = 0;
    bool pace = false;
    uint32_t seed = 1;
    std::vector<std::string> faultOptions;
    app.add_option("--prefix", prefix, "prefix folder; the line appears as <prefix>/dosdevices/comN")->required();
    app.add_option("--port", port, "COM port number")->required()->check(CLI::Range(1, 255));
    app.add_option("--state", statePath, "JSON state file (created when missing)")->required();
    app.add_option("--firmware", firmware, "scancode or scansity (default: the state file's)")
        ->check(CLI::IsMember({"scancode", "scansity"}));
    app.add_flag("--pace", pace, "hold the line to the byte rate of the speed the host set");
    app.add_option("--fault", faultOptions,
                   "silent | not-in-menu | noise=RATE | cut-after=K | memory-full-after=K (repeatable)");
    app.add_option("--seed", seed, "seed of the line noise");
    CLI11_PARSE(app, argc, argv);

    Faults faults;
    try {
        for (const auto& option : faultOptions) ParseFault(option, faults);
    } catch (const std::exception& e) {
        Say(e.what());
        return 2;
    }
    if (pipe2(stopPipe, O_CLOEXEC) != 0) return 1;
    struct sigaction action{};
    action.sa_handler = OnStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    try {
        return Run(prefix, port, statePath, firmware, pace, faults, seed);
    } catch (const std::exception& e) {
        Say(std::string("error: ") + e.what());
        return 1;
    }
}
