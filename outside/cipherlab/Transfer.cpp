#include "Transfer.h"

#include <algorithm>

namespace tolvane::cipherlab {

namespace {
constexpr size_t MinFrameLimit = 64;
}

RecordSender::RecordSender(SenderConfig config) : config_(config), frameLimit_(config.frameLimit) {}

void RecordSender::Push(Record record) {
    size_t size = EncodedSize(record);
    records_.push_back(std::move(record));
    sizes_.push_back(size);
    ++total_;
    unsentBytes_ += size;
}

std::optional<std::string> RecordSender::NextFrame(bool force) {
    if (sent_ == total_) {
        if (endWanted_ && !endInFlight_ && !endAcked_ && frameEnds_.size() < config_.window) {
            endInFlight_ = true;
            std::string body(1, kind::End);
            PutU32(body, total_);
            body.push_back(char(epoch_));
            return body;
        }
        return std::nullopt;
    }
    if (frameEnds_.size() >= config_.window) return std::nullopt;
    if (!force && !endWanted_ && InFlight() && unsentBytes_ < frameLimit_) return std::nullopt;
    std::string body(1, kind::Data);
    PutU32(body, sent_);
    body.push_back(char(epoch_));
    size_t used = 0;
    do {
        const Record& record = At(sent_);
        AppendRecord(body, record);
        used += SizeAt(sent_);
        unsentBytes_ -= SizeAt(sent_);
        ++sent_;
    } while (sent_ < total_ && used + SizeAt(sent_) <= frameLimit_);
    highest_ = std::max(highest_, sent_);
    frameEnds_.push_back(sent_);
    return body;
}

std::optional<Ack> ParseAck(const std::string& payload) {
    auto next = GetU32(payload, 0);
    if (!next || payload.size() != 6) return std::nullopt;
    return Ack{*next, AckStatus(static_cast<unsigned char>(payload[4])), static_cast<uint8_t>(payload[5])};
}

RecordSender::AckResult RecordSender::OnAck(const Ack& ack) {
    const uint32_t next = ack.next;
    const AckStatus status = ack.status;
    if (next > highest_ || next < acked_) return AckResult::Invalid;
    // After a rewind an ack may come for records sent before it: they
    // arrived after all, so sending goes on from there.
    for (; sent_ < next; ++sent_) unsentBytes_ -= SizeAt(sent_);
    bool progress = next > acked_;
    if (progress) {
        acked_ = next;
        while (!frameEnds_.empty() && frameEnds_.front() <= acked_) frameEnds_.pop_front();
        Drop(acked_);
        frameLimit_ = std::min(config_.frameLimit, frameLimit_ + frameLimit_ / 4 + 16);
    }
    if (status == AckStatus::Done && endInFlight_ && next == total_) {
        endInFlight_ = false;
        endAcked_ = true;
        return AckResult::Progress;
    }
    if (((status == AckStatus::Resend && ack.epoch == epoch_) || status == AckStatus::Restart) && InFlight()) {
        Rewind();
        return AckResult::Rewound;
    }
    return progress ? AckResult::Progress : AckResult::NoProgress;
}

void RecordSender::Rewind() {
    for (uint32_t i = acked_; i < sent_; ++i) unsentBytes_ += SizeAt(i);
    sent_ = acked_;
    frameEnds_.clear();
    endInFlight_ = false;
    frameLimit_ = std::max(MinFrameLimit, frameLimit_ / 2);
    ++epoch_;
}

void RecordSender::Drop(uint32_t upTo) {
    while (base_ < upTo) {
        records_.pop_front();
        sizes_.pop_front();
        ++base_;
    }
}

RecordReceiver::Outcome RecordReceiver::AskResend(uint8_t epoch) {
    Outcome outcome;
    if (askedIn_ != epoch) {
        askedIn_ = epoch;
        outcome.reply = AckBody(AckStatus::Resend);
    }
    return outcome;
}

RecordReceiver::Outcome RecordReceiver::OnData(const std::string& payload) {
    auto first = GetU32(payload, 0);
    std::vector<Record> records;
    if (!first || payload.size() < 5 || !ParseRecords(std::string_view(payload).substr(5), records)) {
        Outcome damaged = OnDamage();
        damaged.malformed = true;
        return damaged;
    }
    lastEpoch_ = static_cast<uint8_t>(payload[4]);
    // A gap: an earlier frame was lost. Ask once in this epoch; the sender goes back.
    if (*first > expected_) return AskResend(lastEpoch_);
    Outcome outcome;
    uint32_t skip = expected_ - *first;
    if (skip < records.size()) {
        outcome.records.assign(std::make_move_iterator(records.begin() + skip), std::make_move_iterator(records.end()));
        expected_ += uint32_t(outcome.records.size());
    }
    // A pure duplicate is acknowledged again: its earlier ack was lost.
    outcome.reply = AckBody(AckStatus::Ok);
    return outcome;
}

RecordReceiver::Outcome RecordReceiver::OnEnd(const std::string& payload) {
    auto total = GetU32(payload, 0);
    if (!total || payload.size() != 5) return OnDamage();
    lastEpoch_ = static_cast<uint8_t>(payload[4]);
    if (*total > expected_) return AskResend(lastEpoch_);
    Outcome outcome;
    if (*total == expected_) {
        outcome.end = true;
        outcome.reply = AckBody(AckStatus::Done);
    }
    return outcome;
}

RecordReceiver::Outcome RecordReceiver::OnDamage() { return AskResend(lastEpoch_); }

std::string RecordReceiver::AckBody(AckStatus status) const {
    std::string body(1, kind::Ack);
    PutU32(body, expected_);
    body.push_back(char(status));
    body.push_back(char(lastEpoch_));
    return body;
}

}  // namespace tolvane::cipherlab
