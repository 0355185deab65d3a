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
            return body;
        }
        return std::nullopt;
    }
    if (frameEnds_.size() >= config_.window) return std::nullopt;
    if (!force && !endWanted_ && InFlight() && unsentBytes_ < frameLimit_) return std::nullopt;
    std::string body(1, kind::Data);
    PutU32(body, sent_);
    size_t used = 0;
    do {
        const Record& record = At(sent_);
        AppendRecord(body, record);
        used += SizeAt(sent_);
        unsentBytes_ -= SizeAt(sent_);
        ++sent_;
    } while (sent_ < total_ && used + SizeAt(sent_) <= frameLimit_);
    frameEnds_.push_back(sent_);
    return body;
}

RecordSender::AckResult RecordSender::OnAck(uint32_t next, AckStatus status) {
    if (next > sent_ || next < acked_) return AckResult::Invalid;
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
    if (status == AckStatus::Resend && InFlight()) {
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
}

void RecordSender::Drop(uint32_t upTo) {
    while (base_ < upTo) {
        records_.pop_front();
        sizes_.pop_front();
        ++base_;
    }
}

RecordReceiver::Outcome RecordReceiver::OnData(const std::string& payload) {
    Outcome outcome;
    auto first = GetU32(payload, 0);
    std::vector<Record> records;
    if (!first || !ParseRecords(std::string_view(payload).substr(4), records)) {
        Outcome damaged = OnDamage();
        damaged.malformed = true;
        return damaged;
    }
    if (*first > expected_) {
        // A gap: an earlier frame was lost. Ask once; the sender goes back.
        if (!askedResend_) {
            askedResend_ = true;
            outcome.reply = AckBody(AckStatus::Resend);
        }
        return outcome;
    }
    uint32_t skip = expected_ - *first;
    if (skip < records.size()) {
        outcome.records.assign(std::make_move_iterator(records.begin() + skip), std::make_move_iterator(records.end()));
        expected_ += uint32_t(outcome.records.size());
        askedResend_ = false;
    }
    // A pure duplicate is acknowledged again: its earlier ack was lost.
    outcome.reply = AckBody(AckStatus::Ok);
    return outcome;
}

RecordReceiver::Outcome RecordReceiver::OnEnd(const std::string& payload) {
    Outcome outcome;
    auto total = GetU32(payload, 0);
    if (total && *total == expected_) {
        outcome.end = true;
        outcome.reply = AckBody(AckStatus::Done);
    } else if (total && *total > expected_ && !askedResend_) {
        askedResend_ = true;
        outcome.reply = AckBody(AckStatus::Resend);
    }
    return outcome;
}

RecordReceiver::Outcome RecordReceiver::OnDamage() {
    Outcome outcome;
    if (!askedResend_) {
        askedResend_ = true;
        outcome.reply = AckBody(AckStatus::Resend);
    }
    return outcome;
}

std::string RecordReceiver::AckBody(AckStatus status) const {
    std::string body(1, kind::Ack);
    PutU32(body, expected_);
    body.push_back(char(status));
    return body;
}

}  // namespace tolvane::cipherlab
