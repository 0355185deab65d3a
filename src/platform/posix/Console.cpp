#include "platform/Console.h"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace tolvane::platform {

struct ConsoleKeys::Saved {
    termios mode;
};

bool StdinIsTerminal() { return isatty(STDIN_FILENO) == 1; }
bool StderrIsTerminal() { return isatty(STDERR_FILENO) == 1; }

bool HasDisplay() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY"})
        if (const char* v = std::getenv(name); v && *v) return true;
    return false;
}

ConsoleKeys::ConsoleKeys() {
    if (!StdinIsTerminal()) return;
    saved_ = new Saved;
    if (tcgetattr(STDIN_FILENO, &saved_->mode) != 0) return;
    termios raw = saved_->mode;
    raw.c_lflag &= ~tcflag_t(ICANON | ECHO);
    raw.c_iflag &= ~tcflag_t(ICRNL);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    raw_ = tcsetattr(STDIN_FILENO, TCSANOW, &raw) == 0;
}

ConsoleKeys::~ConsoleKeys() {
    if (raw_) tcsetattr(STDIN_FILENO, TCSANOW, &saved_->mode);
    delete saved_;
}

namespace {

int ReadByte(int timeoutMs) {
    pollfd p{STDIN_FILENO, POLLIN, 0};
    int ready;
    do ready = poll(&p, 1, timeoutMs);
    while (ready < 0 && errno == EINTR);
    if (ready == 0) return kKeyTimeout;
    unsigned char c;
    ssize_t n;
    do n = read(STDIN_FILENO, &c, 1);
    while (n < 0 && errno == EINTR);
    return n == 1 ? c : kKeyEndOfInput;
}

}  // namespace

int ConsoleKeys::ReadKey(int timeoutMs) {
    int c = ReadByte(timeoutMs);
    if (c == '\n') return 13;
    if (c != 27) return c;
    // A sequence such as ESC [ A arrives at once; a lone Esc does not.
    int next = ReadByte(30);
    if (next != '[' && next != 'O') return 27;
    while ((next = ReadByte(30)) >= 0 && !((next >= 'A' && next <= 'Z') || (next >= 'a' && next <= 'z') || next == '~')) {
    }
    return ReadKey(timeoutMs);
}

void WriteConsole(const std::string& utf8) {
    size_t done = 0;
    while (done < utf8.size()) {
        ssize_t n = write(STDERR_FILENO, utf8.data() + done, utf8.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += size_t(n);
    }
}

}  // namespace tolvane::platform
