// What a simulated terminal holds, and the faults it can be told to show.
// Texts are Windows-1251, as the terminal keeps them; the state file is
// UTF-8 JSON (README.md) and is converted when it is read and written.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Wire.h"

namespace tolvane::pdtsim {

using cipherlab::Record;

struct TerminalState {
    std::string firmware = "scancode";
    std::string model = "8001L";
    std::string serial = "U8000241";
    std::optional<std::string> clock;  // none: the machine's clock
    bool mainMenu = true;
    uint64_t freeMemoryBytes = 1500 * 1024;
    std::array<std::vector<Record>, 10> documents;  // 0..9
    std::array<std::vector<Record>, 3> databases;   // 1..3 at 0..2
};

struct Faults {
    bool silent = false;      // never answers (the cradle still wakes)
    bool notInMenu = false;   // busy outside the main menu
    double noise = 0;         // probability that a byte on the line is damaged
    std::optional<uint32_t> cutAfter;         // cable pulled after K records of a transfer
    std::optional<uint32_t> memoryFullAfter;  // memory full after K records of an upload
};

// Parses one --fault option ("silent", "noise=0.01", ...) into faults;
// throws std::invalid_argument with a readable message.
void ParseFault(const std::string& option, Faults& faults);

// Throws std::runtime_error naming the path and what is wrong. A missing
// file gives the defaults.
TerminalState LoadStateFile(const std::string& path);
// Replaces the file in one step.
void SaveStateFile(const std::string& path, const TerminalState& state);
// The JSON text of a state (UTF-8), and back.
std::string StateToJson(const TerminalState& state);
TerminalState StateFromJson(const std::string& json);

}  // namespace tolvane::pdtsim
