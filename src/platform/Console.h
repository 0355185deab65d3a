// The text terminal: whether there is one, raw key input with a time-out,
// and UTF-8 output.
#pragma once

#include <string>

namespace tolvane::platform {

bool StdinIsTerminal();
bool StderrIsTerminal();
bool HasDisplay();  // a graphical display is reachable ($DISPLAY or $WAYLAND_DISPLAY)

constexpr int kKeyTimeout = -1;
constexpr int kKeyEndOfInput = -2;

// Keys from standard input, one at a time, without echo or line buffering
// while the object lives (when standard input is a terminal). Escape
// sequences of cursor and function keys are swallowed, so Esc means Esc.
class ConsoleKeys {
public:
    ConsoleKeys();
    ~ConsoleKeys();
    ConsoleKeys(const ConsoleKeys&) = delete;
    ConsoleKeys& operator=(const ConsoleKeys&) = delete;

    // A byte (13 for Enter, 27 for Esc), kKeyTimeout or kKeyEndOfInput.
    int ReadKey(int timeoutMs);

private:
    bool raw_ = false;
    struct Saved;
    Saved* saved_ = nullptr;
};

// Writes UTF-8 text to standard error, unbuffered.
void WriteConsole(const std::string& utf8);

}  // namespace tolvane::platform
