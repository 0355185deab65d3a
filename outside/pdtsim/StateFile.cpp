#include <cmath>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "TerminalState.h"
#include "platform/Files.h"
#include "rtl/Encoding.h"

namespace tolvane::pdtsim {

using nlohmann::json;

namespace {

uint32_t ParseCount(const std::string& text, const std::string& option) {
    size_t used = 0;
    unsigned long v = 0;
    try {
        v = std::stoul(text, &used);
    } catch (const std::exception&) {
        used = 0;
    }
    if (used == 0 || used != text.size() || v > 0xFFFFFFFFul)
        throw std::invalid_argument("bad fault '" + option + "': '" + text + "' is not a record count");
    return uint32_t(v);
}

Record RecordFromJson(const json& j, const std::string& where) {
    if (!j.is_array()) throw std::runtime_error(where + ": a record must be a list of field texts");
    if (j.size() > cipherlab::FieldCount) throw std::runtime_error(where + ": more than 8 fields");
    Record record;
    for (size_t k = 0; k < j.size(); ++k) {
        if (!j[k].is_string()) throw std::runtime_error(where + ": field " + std::to_string(k + 1) + " is not a text");
        record[k] = Utf8ToCp1251(j[k].get<std::string>());
        if (record[k].size() > cipherlab::MaxFieldLength)
            throw std::runtime_error(where + ": field " + std::to_string(k + 1) + " is longer than 255 characters");
    }
    return record;
}

template <size_t N>
void ReadArea(const json& root, const char* key, int first, std::array<std::vector<Record>, N>& areas) {
    if (!root.contains(key)) return;
    const json& object = root.at(key);
    if (!object.is_object()) throw std::runtime_error(std::string(key) + " must be an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
        int number = -1;
        try {
            size_t used = 0;
            number = std::stoi(it.key(), &used);
            if (used != it.key().size()) number = -1;
        } catch (const std::exception&) {
        }
        if (number < first || number >= first + int(N))
            throw std::runtime_error(std::string(key) + ": no number " + it.key() + " (" + std::to_string(first) +
                                     ".." + std::to_string(first + int(N) - 1) + ")");
        if (!it.value().is_array()) throw std::runtime_error(std::string(key) + " " + it.key() + " must be a list");
        auto& records = areas[size_t(number - first)];
        records.clear();
        size_t i = 0;
        for (const auto& r : it.value())
            records.push_back(RecordFromJson(r, std::string(key) + " " + it.key() + ", record " + std::to_string(++i)));
    }
}

}  // namespace

void ParseFault(const std::string& option, Faults& faults) {
    auto eq = option.find('=');
    std::string name = option.substr(0, eq), value = eq == std::string::npos ? "" : option.substr(eq + 1);
    if (name == "silent" && eq == std::string::npos) faults.silent = true;
    else if (name == "not-in-menu" && eq == std::string::npos) faults.notInMenu = true;
    else if (name == "noise" && eq != std::string::npos) {
        size_t used = 0;
        double rate = -1;
        try {
            rate = std::stod(value, &used);
        } catch (const std::exception&) {
        }
        if (used != value.size() || !(rate >= 0 && rate <= 1))
            throw std::invalid_argument("bad fault '" + option + "': the rate is a number from 0 to 1");
        faults.noise = rate;
    } else if (name == "cut-after" && eq != std::string::npos) faults.cutAfter = ParseCount(value, option);
    else if (name == "memory-full-after" && eq != std::string::npos) faults.memoryFullAfter = ParseCount(value, option);
    else
        throw std::invalid_argument("unknown fault '" + option +
                                    "' (silent, not-in-menu, noise=RATE, cut-after=K, memory-full-after=K)");
}

TerminalState StateFromJson(const std::string& text) {
    json root;
    try {
        root = json::parse(text);
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("not valid JSON: ") + e.what());
    }
    if (!root.is_object()) throw std::runtime_error("the state must be a JSON object");
    TerminalState state;
    try {
        if (root.contains("firmware")) state.firmware = root.at("firmware").get<std::string>();
        if (root.contains("model")) state.model = Utf8ToCp1251(root.at("model").get<std::string>());
        if (root.contains("serial")) state.serial = Utf8ToCp1251(root.at("serial").get<std::string>());
        if (root.contains("clock") && !root.at("clock").is_null())
            state.clock = Utf8ToCp1251(root.at("clock").get<std::string>());
        if (root.contains("main_menu")) state.mainMenu = root.at("main_menu").get<bool>();
        if (root.contains("free_memory_kb")) {
            double kb = root.at("free_memory_kb").get<double>();
            if (!(kb >= 0 && kb < 4.0e9)) throw std::runtime_error("free_memory_kb must be 0 or more");
            state.freeMemoryBytes = uint64_t(std::llround(kb * 1024));
        }
    } catch (const json::exception& e) {
        throw std::runtime_error(std::string("a key has the wrong type: ") + e.what());
    }
    if (state.serial.size() > cipherlab::MaxFieldLength) throw std::runtime_error("serial is longer than 255");
    ReadArea(root, "documents", 0, state.documents);
    ReadArea(root, "databases", 1, state.databases);
    return state;
}

std::string StateToJson(const TerminalState& state) {
    // Written by hand so that the file stays easy to edit: one record per
    // line, trailing empty fields left out.
    auto text = [](const std::string& cp1251) { return json(Cp1251ToUtf8(cp1251)).dump(); };
    auto area = [&](const auto& areas, int first) {
        std::string out = "{";
        for (size_t i = 0; i < areas.size(); ++i) {
            out += std::string(i ? "," : "") + "\n    \"" + std::to_string(int(i) + first) + "\": [";
            const auto& records = areas[i];
            for (size_t r = 0; r < records.size(); ++r) {
                int used = cipherlab::FieldCount;
                while (used > 0 && records[r][used - 1].empty()) --used;
                out += std::string(r ? "," : "") + "\n      [";
                for (int k = 0; k < used; ++k) out += (k ? ", " : "") + text(records[r][k]);
                out += "]";
            }
            out += records.empty() ? "]" : "\n    ]";
        }
        return out + "\n  }";
    };
    std::string out = "{\n";
    out += "  \"firmware\": " + json(state.firmware).dump() + ",\n";
    out += "  \"model\": " + text(state.model) + ",\n";
    out += "  \"serial\": " + text(state.serial) + ",\n";
    if (state.clock) out += "  \"clock\": " + text(*state.clock) + ",\n";
    out += std::string("  \"main_menu\": ") + (state.mainMenu ? "true" : "false") + ",\n";
    out += "  \"free_memory_kb\": " + json(double(state.freeMemoryBytes) / 1024.0).dump() + ",\n";
    out += "  \"documents\": " + area(state.documents, 0) + ",\n";
    out += "  \"databases\": " + area(state.databases, 1) + "\n}\n";
    return out;
}

TerminalState LoadStateFile(const std::string& path) {
    auto text = platform::ReadWholeFile(Utf8ToCp1251(path));
    if (!text) {
        if (!platform::FileExists(Utf8ToCp1251(path))) return TerminalState{};
        throw std::runtime_error(path + ": cannot be read");
    }
    try {
        return StateFromJson(*text);
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

void SaveStateFile(const std::string& path, const TerminalState& state) {
    if (!platform::WriteFileAtomically(Utf8ToCp1251(path), StateToJson(state)))
        throw std::runtime_error(path + ": cannot be written");
}

}  // namespace tolvane::pdtsim
