#include "HostLink.h"

#include <cmath>
#include <random>

namespace tolvane::cipherlab {

namespace {

constexpr int CommandAttempts = 3;
// Resend requests in a row, without one record of progress, after which a
// transfer is given up; and time-outs in a row with nothing heard at all
// (a pulled cable should not keep the operator waiting).
constexpr unsigned MaxStrikes = 10;
constexpr unsigned MaxSilences = 3;
// Data frames of the terminal: its frame limit plus the frame's own bytes.
constexpr size_t DataFrameBytes = 1024 + 2 * 255 + 16;
// The longest answer to a command (a text of 255 bytes with its frame).
constexpr size_t AnswerBytes = 300;

std::string Number(int n) { return std::string(1, char(n & 0xFF)); }

const char* AreaName(char area) { return area == AreaDocument ? "document" : "database"; }

}  // namespace

struct HostLink::Download {
    char area;
    int number;
    RecordReceiver receiver;
    std::deque<Record> ready;
    bool ended = false;
    uint64_t lastProgress = 0;
    unsigned strikes = 0;
    unsigned silences = 0;
    bool heard = false;  // since the last time-out
    bool damageSeen = false;
};

struct HostLink::Upload {
    int database;
    RecordSender sender;
    uint32_t roomRecords;
    uint64_t roomBytes;
    uint64_t lastProgress = 0;
    unsigned strikes = 0;
    unsigned silences = 0;
    bool damageSeen = false;
    int failedCode = code::None;
    std::string failedText;
};

// The first tag is random, so that a new session's first command is never
// taken for a repetition of the previous session's last one.
HostLink::HostLink(Line& line, LinkParams params)
    : line_(line), params_(params), tag_(uint8_t(std::random_device{}())) {}

HostLink::~HostLink() = default;

uint64_t HostLink::CommandTimeoutMs(size_t requestBytes) const {
    return params_.turnaroundMs + uint64_t(std::ceil(LineMs(requestBytes + AnswerBytes, params_.baud)));
}

uint64_t HostLink::DataTimeoutMs() const {
    // Two frames: the one on the line and the one queued behind it.
    return params_.turnaroundMs + uint64_t(std::ceil(LineMs(2 * DataFrameBytes, params_.baud)));
}

void HostLink::SetError(int code, std::string text) {
    errorCode_ = code;
    if (text.size() > 255) text.resize(255);
    errorText_ = std::move(text);
}

bool HostLink::Fail(int code, std::string text) {
    SetError(code, std::move(text));
    return false;
}

bool HostLink::Send(const std::string& body) {
    if (line_.Write(EncodeFrame(body[0], std::string_view(body).substr(1)))) return true;
    return Fail(code::PortError, "the port failed while sending (the device hung up)");
}

bool HostLink::Receive(uint64_t timeoutMs) {
    std::string bytes;
    auto status = line_.Read(bytes, timeoutMs);
    if (status == Line::ReadStatus::Failed)
        return Fail(code::PortError, "the port failed while receiving (the device hung up)");
    if (status == Line::ReadStatus::Timeout) return true;
    std::vector<Frame> frames;
    decoder_.Feed(bytes, frames);
    damaged_ += decoder_.TakeDamaged();
    for (auto& f : frames) inbox_.push_back(std::move(f));
    return true;
}

std::optional<HostLink::Answer> HostLink::Command(char kind, std::string args, const char* what) {
    DropDownload();
    inbox_.clear();
    damaged_ = 0;
    const uint8_t tag = ++tag_;
    std::string payload(1, char(tag));
    payload += args;
    const std::string wire = EncodeFrame(kind, payload);
    const uint64_t timeout = CommandTimeoutMs(wire.size());
    bool heardSomething = false;
    for (int attempt = 1; attempt <= CommandAttempts; ++attempt) {
        if (!line_.Write(wire)) {
            Fail(code::PortError, std::string("the port failed while sending ") + what);
            return std::nullopt;
        }
        const uint64_t until = line_.NowMs() + timeout;
        for (;;) {
            while (!inbox_.empty()) {
                Frame frame = std::move(inbox_.front());
                inbox_.pop_front();
                heardSomething = true;
                if (frame.kind == kind::Answer && frame.payload.size() >= 2 &&
                    static_cast<unsigned char>(frame.payload[0]) == tag) {
                    return Answer{Status(static_cast<unsigned char>(frame.payload[1])), frame.payload.substr(2)};
                }
            }
            uint64_t now = line_.NowMs();
            if (now >= until) break;
            if (!Receive(until - now)) return std::nullopt;
        }
    }
    if (heardSomething || damaged_ > 0)
        Fail(code::TransferError, std::string("no intact answer to ") + what + " after " +
                                      std::to_string(CommandAttempts) + " attempts (" + std::to_string(damaged_) +
                                      " damaged frames)");
    else
        Fail(code::TimeOut, std::string("time-out: no answer to ") + what + " after " +
                                std::to_string(CommandAttempts) + " attempts of " + std::to_string(timeout) + " ms");
    return std::nullopt;
}

std::optional<HostLink::Answer> HostLink::CommandOk(char kind, std::string args, const char* what, char area) {
    auto answer = Command(kind, std::move(args), what);
    if (!answer) return std::nullopt;
    switch (answer->status) {
        case Status::Ok: return answer;
        case Status::NotInMenu:
            Fail(code::NotInMenu, std::string("the terminal is not in its main menu and refused ") + what);
            break;
        case Status::BadNumber:
            Fail(area == AreaDatabase ? code::BadDatabase : code::BadDocument,
                 std::string("the terminal has no such ") + AreaName(area) + " (" + what + ")");
            break;
        case Status::MemoryFull: Fail(code::MemoryFull, std::string("terminal memory full (") + what + ")"); break;
        case Status::NoTransfer: Fail(code::NothingToSend, std::string("no transfer to end (") + what + ")"); break;
        default:
            Fail(code::UnknownAnswer, std::string("unknown answer status ") +
                                          std::to_string(int(answer->status)) + " to " + what);
    }
    return std::nullopt;
}

bool HostLink::Wake() {
    if (CommandOk(kind::Wake, {}, "the cradle wake-up")) return true;
    return Fail(code::IrAdapter, "the infrared cradle does not answer: " + errorText_);
}

bool HostLink::Ping() {
    if (!EndUpload()) return false;
    return Command(kind::Ping, {}, "PING").has_value();
}

std::optional<bool> HostLink::InMenu() {
    if (!EndUpload()) return std::nullopt;
    auto answer = CommandOk(kind::State, {}, "STATE");
    if (!answer) return std::nullopt;
    if (answer->data.size() != 1) {
        Fail(code::UnknownAnswer, "malformed answer to STATE");
        return std::nullopt;
    }
    return answer->data[0] != 0;
}

namespace {
bool IsCleanText(const std::string& text) {
    return text.size() <= MaxFieldLength && text.find('\0') == std::string::npos;
}
}  // namespace

std::optional<std::string> HostLink::SerialNumber() {
    if (!EndUpload()) return std::nullopt;
    auto answer = CommandOk(kind::Serial, {}, "SERIAL");
    if (!answer) return std::nullopt;
    if (!IsCleanText(answer->data)) {
        Fail(code::TooLongReceived, "the serial number does not fit 255 characters");
        return std::nullopt;
    }
    return answer->data;
}

std::optional<std::string> HostLink::ClockText() {
    if (!EndUpload()) return std::nullopt;
    auto answer = CommandOk(kind::Time, {}, "TIME");
    if (!answer) return std::nullopt;
    if (!IsCleanText(answer->data)) {
        Fail(code::TooLongReceived, "the clock text does not fit 255 characters");
        return std::nullopt;
    }
    return answer->data;
}

std::optional<uint32_t> HostLink::Count(char area, int number) {
    if (!EndUpload()) return std::nullopt;
    auto answer = CommandOk(kind::Count, std::string(1, area) + Number(number), "COUNT", area);
    if (!answer) return std::nullopt;
    auto count = GetU32(answer->data, 0);
    if (!count || answer->data.size() != 4) {
        Fail(code::UnknownAnswer, "malformed answer to COUNT");
        return std::nullopt;
    }
    return count;
}

std::optional<std::string> HostLink::ModelName() {
    if (!EndUpload()) return std::nullopt;
    auto answer = CommandOk(kind::Model, {}, "MODEL");
    if (!answer) return std::nullopt;
    if (!IsCleanText(answer->data)) {
        Fail(code::TooLongReceived, "the model name does not fit 255 characters");
        return std::nullopt;
    }
    return answer->data;
}

std::optional<uint32_t> HostLink::FreeMemoryKb() {
    if (!EndUpload()) return std::nullopt;
    auto answer = CommandOk(kind::Memory, {}, "MEMORY");
    if (!answer) return std::nullopt;
    auto kb = GetU32(answer->data, 0);
    if (!kb || answer->data.size() != 4) {
        Fail(code::UnknownAnswer, "malformed answer to MEMORY");
        return std::nullopt;
    }
    return kb;
}

bool HostLink::Clear(int document) {
    if (!EndUpload()) return false;
    return CommandOk(kind::Clear, Number(document), "CLEAR", AreaDocument).has_value();
}

void HostLink::DropDownload() { download_.reset(); }

int HostLink::AbandonDownload() {
    DropDownload();
    return -errorCode_;
}

int HostLink::ReadNext(char area, int number, Record& out) {
    if (!EndUpload()) return -errorCode_;
    if (download_ && (download_->area != area || download_->number != number)) DropDownload();
    if (!download_) {
        // The terminal's window: one frame on the half-duplex cradle.
        const std::string window = Number(params_.cradle ? 1 : 4);
        auto answer = CommandOk(kind::Read, std::string(1, area) + Number(number) + window, "READ", area);
        if (!answer) return -errorCode_;
        download_ = std::make_unique<Download>(Download{area, number, {}, {}, false, line_.NowMs(), 0, 0, false, false});
    }
    Download& d = *download_;
    const uint64_t timeout = DataTimeoutMs();
    // Take in whatever has arrived before answering from the buffer, so the
    // terminal's window keeps moving while the caller consumes records.
    bool wait = false;
    for (;;) {
        uint64_t now = line_.NowMs();
        uint64_t until = d.lastProgress + timeout;
        if (!Receive(wait ? (until > now ? until - now : 0) : 0)) return AbandonDownload();
        if (damaged_ > 0) {
            damaged_ = 0;
            d.damageSeen = d.heard = true;
            if (auto reply = d.receiver.OnDamage().reply; reply && !Send(*reply)) return AbandonDownload();
        }
        while (!inbox_.empty()) {
            Frame frame = std::move(inbox_.front());
            inbox_.pop_front();
            RecordReceiver::Outcome outcome;
            if (frame.kind == kind::Data) outcome = d.receiver.OnData(frame.payload);
            else if (frame.kind == kind::End) outcome = d.receiver.OnEnd(frame.payload);
            else continue;  // a late answer or a stray frame
            if (outcome.malformed) d.damageSeen = true;
            d.heard = true;
            if (!outcome.records.empty()) {
                d.lastProgress = line_.NowMs();
                d.strikes = 0;
                for (auto& r : outcome.records) d.ready.push_back(std::move(r));
            }
            if (outcome.end) d.ended = true;
            if (outcome.reply && !Send(*outcome.reply)) return AbandonDownload();
        }
        if (!d.ready.empty()) {
            out = std::move(d.ready.front());
            d.ready.pop_front();
            return 1;
        }
        if (d.ended) {
            DropDownload();
            return 0;
        }
        if (wait && line_.NowMs() >= d.lastProgress + timeout) {
            // Noise gets several chances; plain silence only a few.
            const bool heard = d.heard;
            d.heard = false;
            d.silences = heard ? 0 : d.silences + 1;
            if ((heard && ++d.strikes > MaxStrikes) || d.silences > MaxSilences) {
                // Damage, or a frame that stopped half-way, means the
                // transfer broke off; plain silence is a time-out.
                int c = d.damageSeen || decoder_.Partial() ? code::TransferError : code::TimeOut;
                Fail(c, std::string(c == code::TimeOut ? "time-out" : "transfer broken off") + " after record " +
                            std::to_string(d.receiver.Expected()) + " of " + AreaName(area) + " " +
                            std::to_string(number));
                DropDownload();
                return -c;
            }
            d.lastProgress = line_.NowMs();
            if (!Send(d.receiver.AckBody(AckStatus::Restart))) return AbandonDownload();
        }
        wait = true;
    }
}

bool HostLink::Put(int database, const Record& record) {
    DropDownload();
    if (upload_ && upload_->database != database && !EndUpload()) return false;
    if (!upload_ && !BeginUpload(database)) return false;
    Upload& u = *upload_;
    if (u.failedCode != code::None) return Fail(u.failedCode, u.failedText);
    if (!UploadStep(false)) return false;
    const size_t cost = StoredSize(record);
    if (u.roomRecords == 0 || cost > u.roomBytes)
        return Fail(code::MemoryFull, "terminal memory full: record " + std::to_string(u.sender.Queued() + 1) +
                                          " needs " + std::to_string(cost) + " bytes, " +
                                          std::to_string(u.roomBytes) + " free");
    --u.roomRecords;
    u.roomBytes -= cost;
    u.sender.Push(record);
    return UploadStep(false);
}

bool HostLink::BeginUpload(int database) {
    DropDownload();
    if (upload_ && !EndUpload()) return false;
    auto answer = CommandOk(kind::Write, Number(database), "WRITE", AreaDatabase);
    if (!answer) return false;
    auto records = GetU32(answer->data, 0), bytes = GetU32(answer->data, 4);
    if (!records || !bytes) return Fail(code::UnknownAnswer, "malformed answer to WRITE");
    SenderConfig config;
    if (params_.cradle) config.window = 1;
    upload_ = std::make_unique<Upload>(
        Upload{database, RecordSender(config), *records, *bytes, line_.NowMs(), 0, 0, false, code::None, {}});
    return true;
}

// Sends what the window allows; with block, or when a full frame is held
// back by a full window, waits for acknowledgements first. A failure
// becomes the upload's: every later call reports it until Finish.
bool HostLink::UploadStep(bool block) {
    Upload& u = *upload_;
    auto sendDue = [&](bool force) {
        for (;;) {
            // The clock of a silence starts when a frame goes into an idle line.
            bool idle = !u.sender.InFlight();
            auto body = u.sender.NextFrame(force);
            if (!body) return true;
            if (idle) u.lastProgress = line_.NowMs();
            if (!Send(*body)) return false;
        }
    };
    bool ok = PumpUpload(0) && sendDue(block);
    while (ok && (block ? !u.sender.AllAcked() : u.sender.UnsentBytes() >= u.sender.FrameLimit()))
        ok = PumpUpload(DataTimeoutMs()) && sendDue(block);
    if (!ok) {
        u.failedCode = errorCode_;
        u.failedText = errorText_;
    }
    return ok;
}

// Handles acknowledgements that arrive within timeoutMs (none waited for
// when 0), and goes back after a silence.
bool HostLink::PumpUpload(uint64_t timeoutMs) {
    Upload& u = *upload_;
    if (timeoutMs > 0 && u.sender.InFlight()) {
        uint64_t now = line_.NowMs(), until = u.lastProgress + DataTimeoutMs();
        timeoutMs = until > now ? until - now : 0;
    }
    if (!Receive(timeoutMs)) return false;
    if (damaged_ > 0) {
        damaged_ = 0;
        u.damageSeen = true;
    }
    while (!inbox_.empty()) {
        Frame frame = std::move(inbox_.front());
        inbox_.pop_front();
        u.silences = 0;
        auto ack = frame.kind == kind::Ack ? ParseAck(frame.payload) : std::nullopt;
        if (!ack) continue;
        const uint32_t next = ack->next;
        if (ack->status == AckStatus::MemoryFull)
            return Fail(code::MemoryFull, "terminal memory full: it stored " + std::to_string(next) +
                                              " records of this upload and refused the rest");
        switch (u.sender.OnAck(*ack)) {
            case RecordSender::AckResult::Progress:
                u.lastProgress = line_.NowMs();
                u.strikes = 0;
                u.damageSeen = false;
                break;
            case RecordSender::AckResult::Rewound:
                u.damageSeen = true;
                if (++u.strikes > MaxStrikes)
                    return Fail(code::TransferError, "transfer error: record " + std::to_string(next + 1) +
                                                         " did not get through after " +
                                                         std::to_string(MaxStrikes) + " attempts");
                break;
            case RecordSender::AckResult::Invalid:
                return Fail(code::BadAck, "the terminal acknowledged record " + std::to_string(next) +
                                              " that was never sent");
            case RecordSender::AckResult::NoProgress: break;
        }
    }
    if (u.sender.InFlight() && line_.NowMs() >= u.lastProgress + DataTimeoutMs()) {
        if (++u.silences > MaxSilences || ++u.strikes > MaxStrikes) {
            int c = u.damageSeen ? code::TransferError : code::TimeOut;
            return Fail(c, std::string(c == code::TimeOut ? "time-out" : "transfer broken off") +
                               ": no acknowledgement of record " + std::to_string(u.sender.Acked() + 1) +
                               " of the upload to database " + std::to_string(u.database));
        }
        u.sender.Rewind();
        u.lastProgress = line_.NowMs();
    }
    return true;
}

bool HostLink::EndUpload() {
    if (!upload_) return true;
    Upload& u = *upload_;
    int failCode = u.failedCode;
    std::string failText = u.failedText;
    bool ok = failCode == code::None && UploadStep(true);
    if (!ok && failCode == code::None) {
        failCode = errorCode_;
        failText = errorText_;
    }
    const uint32_t queued = u.sender.Queued();
    std::string args;
    PutU32(args, queued);
    upload_.reset();
    // The finish is sent after a failure too, so that the terminal leaves
    // its upload and keeps what it stored.
    auto answer = CommandOk(kind::Finish, args, "FINISH");
    if (!ok) return Fail(failCode, failText);
    if (!answer) return false;
    auto stored = GetU32(answer->data, 0);
    if (!stored || *stored != queued)
        return Fail(code::TransferError, "the terminal stored " + std::to_string(stored.value_or(0)) + " of " +
                                             std::to_string(queued) + " records");
    return true;
}

bool HostLink::Finish() {
    DropDownload();
    return EndUpload();
}

void HostLink::Close() {
    if (upload_) EndUpload();
    // Stop a download that still runs; nobody waits for the answer.
    if (download_) {
        DropDownload();
        std::string payload(1, char(++tag_));
        line_.Write(EncodeFrame(kind::Quit, payload));
    }
}

}  // namespace tolvane::cipherlab
