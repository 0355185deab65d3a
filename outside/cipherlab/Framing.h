// Frames on the line: a body (kind byte, payload, CRC-32 of both, little
// endian) stuffed with COBS so that it holds no zero byte, followed by one
// zero byte that ends the frame. A receiver finds the next frame after any
// damage at the next zero byte.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::cipherlab {

uint32_t Crc32(std::string_view data);

std::string CobsEncode(std::string_view data);
// False when the input is not valid COBS (a zero byte inside, a code that
// points past the end).
bool CobsDecode(std::string_view data, std::string& out);

// Largest body a receiver accepts; a record of 8 full fields fits with room.
constexpr size_t MaxFrameBody = 4096;

struct Frame {
    char kind = 0;
    std::string payload;
};

// The bytes of one frame on the line, the ending zero included.
std::string EncodeFrame(char kind, std::string_view payload);

// Cuts a byte stream into frames. Damaged frames (bad stuffing, bad CRC,
// too short or too long) are counted and dropped, never delivered.
class FrameDecoder {
public:
    // Appends every complete good frame found in bytes to frames.
    void Feed(std::string_view bytes, std::vector<Frame>& frames);
    // Damaged frames seen since the last call; resets the count.
    unsigned TakeDamaged();
    // Bytes of an unfinished frame are waiting.
    bool Partial() const { return !pending_.empty(); }
    void Reset() { pending_.clear(); }

private:
    void Finish(std::vector<Frame>& frames);
    std::string pending_;
    bool overflow_ = false;
    unsigned damaged_ = 0;
};

}  // namespace tolvane::cipherlab
