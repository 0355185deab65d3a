// The two ends of a record transfer, shared by the host (upload sender,
// download receiver) and the terminal (download sender, upload receiver).
// Pure state: the callers move the bytes and keep the clocks.
//
// Records are numbered from 0 within a transfer. The sender packs records
// into data frames of up to FrameLimit bytes and keeps up to Window frames
// unacknowledged; the receiver acknowledges cumulatively with the number of
// the next record it expects. A loss (damaged frame, gap, time-out) rewinds
// the sender to the first unacknowledged record: go-back-N at record
// granularity, so frames are rebuilt and may shrink under noise.
//
// Every rewind starts a new epoch, carried in each data frame and echoed in
// each ack. A resend request counts only for the epoch it names, so the
// requests that the frames of an abandoned epoch still raise do not send
// the same records again and again; and the receiver may ask once per
// epoch, so a damaged retransmission is asked for again at once.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "Wire.h"

namespace tolvane::cipherlab {

struct SenderConfig {
    size_t frameLimit = 1024;  // payload bytes a data frame aims at
    size_t window = 4;         // data frames in flight
};

struct Ack {
    uint32_t next = 0;
    AckStatus status = AckStatus::Ok;
    uint8_t epoch = 0;
};
std::optional<Ack> ParseAck(const std::string& payload);

class RecordSender {
public:
    explicit RecordSender(SenderConfig config = {});

    void Push(Record record);
    // No more records follow: after the last one an end frame is sent.
    void CloseWithEnd() { endWanted_ = true; }

    // The body of the next frame to send (kind byte first), or nothing when
    // the window is full or nothing is due. Without force, records wait
    // while a frame is in flight until a full frame's worth has gathered, so
    // a fast caller fills frames while a slow one still gets each record out
    // at once.
    std::optional<std::string> NextFrame(bool force);

    enum class AckResult { Progress, NoProgress, Rewound, Invalid };
    AckResult OnAck(const Ack& ack);
    // Sends again from the first unacknowledged record, with smaller frames.
    void Rewind();

    uint32_t Acked() const { return acked_; }
    uint32_t Sent() const { return sent_; }
    uint32_t Queued() const { return total_; }
    bool InFlight() const { return sent_ > acked_ || endInFlight_; }
    bool AllAcked() const { return acked_ == total_ && !endInFlight_; }
    bool EndAcked() const { return endAcked_; }
    size_t FrameLimit() const { return frameLimit_; }
    size_t UnsentBytes() const { return unsentBytes_; }

private:
    const Record& At(uint32_t index) const { return records_[index - base_]; }
    size_t SizeAt(uint32_t index) const { return sizes_[index - base_]; }
    void Drop(uint32_t upTo);

    SenderConfig config_;
    size_t frameLimit_;
    std::deque<Record> records_;  // records base_ .. total_-1
    std::deque<size_t> sizes_;
    uint32_t base_ = 0, acked_ = 0, sent_ = 0, total_ = 0;
    uint32_t highest_ = 0;  // one past the furthest record ever sent
    uint8_t epoch_ = 0;
    std::deque<uint32_t> frameEnds_;  // one past the last record of each frame in flight
    size_t unsentBytes_ = 0;
    bool endWanted_ = false, endInFlight_ = false, endAcked_ = false;
};

class RecordReceiver {
public:
    struct Outcome {
        std::vector<Record> records;  // new records, in order
        bool malformed = false;       // the frame passed its CRC but not its parsing
        std::optional<std::string> reply;  // an ack body to send
        bool end = false;             // the end frame of a complete transfer arrived
    };

    Outcome OnData(const std::string& payload);
    Outcome OnEnd(const std::string& payload);
    // A damaged frame: ask once for a resend until the next progress.
    Outcome OnDamage();
    // Takes back the records of the last outcome from index `from` on (the
    // terminal's memory ran out): they count as not received.
    void Refuse(uint32_t from) { expected_ = from; }
    // An ack body for the current position with the given status.
    std::string AckBody(AckStatus status) const;
    uint32_t Expected() const { return expected_; }

private:
    Outcome AskResend(uint8_t epoch);
    uint32_t expected_ = 0;
    uint8_t lastEpoch_ = 0;            // of the last intact frame
    std::optional<uint8_t> askedIn_;  // the epoch a resend was asked in
};

}  // namespace tolvane::cipherlab
