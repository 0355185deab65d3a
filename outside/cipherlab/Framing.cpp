#include "Framing.h"

#include <array>

namespace tolvane::cipherlab {

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t c = i;
        for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        table[i] = c;
    }
    return table;
}

}  // namespace

uint32_t Crc32(std::string_view data) {
    static const auto table = MakeCrcTable();
    uint32_t c = 0xFFFFFFFFu;
    for (unsigned char b : data) c = table[(c ^ b) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

std::string CobsEncode(std::string_view data) {
    std::string out;
    out.reserve(data.size() + data.size() / 254 + 2);
    size_t codeAt = out.size();
    out.push_back(0);
    unsigned char code = 1;
    for (unsigned char b : data) {
        if (b == 0) {
            out[codeAt] = char(code);
            codeAt = out.size();
            out.push_back(0);
            code = 1;
            continue;
        }
        out.push_back(char(b));
        if (++code == 0xFF) {
            out[codeAt] = char(code);
            codeAt = out.size();
            out.push_back(0);
            code = 1;
        }
    }
    out[codeAt] = char(code);
    return out;
}

bool CobsDecode(std::string_view data, std::string& out) {
    out.clear();
    size_t i = 0;
    while (i < data.size()) {
        unsigned char code = static_cast<unsigned char>(data[i]);
        if (code == 0 || i + code > data.size()) return false;
        for (size_t k = 1; k < code; ++k) {
            if (data[i + k] == 0) return false;
            out.push_back(data[i + k]);
        }
        i += code;
        if (code < 0xFF && i < data.size()) out.push_back(0);
    }
    return true;
}

std::string EncodeFrame(char kind, std::string_view payload) {
    std::string body;
    body.reserve(payload.size() + 5);
    body.push_back(kind);
    body.append(payload);
    uint32_t crc = Crc32(body);
    for (int k = 0; k < 4; ++k) body.push_back(char((crc >> (8 * k)) & 0xFF));
    std::string wire = CobsEncode(body);
    wire.push_back(0);
    return wire;
}

void FrameDecoder::Feed(std::string_view bytes, std::vector<Frame>& frames) {
    for (char c : bytes) {
        if (c == 0) {
            Finish(frames);
            continue;
        }
        if (overflow_) continue;
        if (pending_.size() > MaxFrameBody + MaxFrameBody / 254 + 2) {
            overflow_ = true;
            pending_.clear();
            continue;
        }
        pending_.push_back(c);
    }
}

void FrameDecoder::Finish(std::vector<Frame>& frames) {
    std::string body;
    bool good = !overflow_ && CobsDecode(pending_, body) && body.size() >= 5 && body.size() <= MaxFrameBody + 5;
    if (good) {
        uint32_t crc = 0;
        for (int k = 0; k < 4; ++k) crc |= uint32_t(static_cast<unsigned char>(body[body.size() - 4 + k])) << (8 * k);
        body.resize(body.size() - 4);
        good = Crc32(body) == crc;
    }
    // A lone zero (an empty frame) is line noise between frames, not damage.
    if (good) frames.push_back(Frame{body[0], body.substr(1)});
    else if (!pending_.empty() || overflow_) ++damaged_;
    pending_.clear();
    overflow_ = false;
}

unsigned FrameDecoder::TakeDamaged() {
    unsigned n = damaged_;
    damaged_ = 0;
    return n;
}

}  // namespace tolvane::cipherlab
