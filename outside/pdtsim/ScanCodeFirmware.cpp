// The SCANCODE firmware: answers the commands of PROTOCOL.md, streams
// documents and databases, stores uploads.
#include <algorithm>
#include <cmath>
#include <ctime>
#include <optional>
#include <stdexcept>

#include "Firmware.h"
#include "Framing.h"
#include "Transfer.h"

namespace tolvane::pdtsim {

namespace {

using namespace cipherlab;

constexpr uint64_t TurnaroundMs = 300;
constexpr size_t FrameLimit = 1024;
constexpr unsigned MaxStrikes = 12;
constexpr uint64_t IdleSaveMs = 1000;

std::string LocalClockText() {
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%d%H%M%S", &tm);
    return text;
}

class ScanCodeFirmware final : public Firmware {
public:
    // scansity: the SCANSITY firmware, which also tells its model name and
    // free memory; its documents keep the goods code in field 1 and the
    // quantity in field 2, which is the host's business, not the terminal's.
    ScanCodeFirmware(TerminalState& state, const Faults& faults, Logger log, bool scansity = false)
        : state_(state), faults_(faults), log_(std::move(log)), scansity_(scansity) {}

    void OnBytes(std::string_view bytes, uint64_t nowMs) override {
        now_ = nowMs;
        std::vector<Frame> frames;
        decoder_.Feed(bytes, frames);
        unsigned damaged = decoder_.TakeDamaged();
        if (damaged > 0 && upload_ && !upload_->cut && !faults_.silent)
            if (auto reply = upload_->receiver.OnDamage().reply) Send(*reply);
        for (auto& frame : frames) Handle(frame);
    }

    void OnTick(uint64_t nowMs) override {
        now_ = nowMs;
        if (download_ && !download_->cut && download_->sender.InFlight() &&
            now_ >= download_->lastProgress + DataTimeoutMs()) {
            if (++download_->strikes > MaxStrikes) {
                Log("download of " + download_->name + " given up: no acknowledgement");
                download_.reset();
            } else {
                download_->sender.Rewind();
                download_->lastProgress = now_;
            }
        }
        if (upload_ && upload_->unsaved && now_ >= upload_->lastActivity + IdleSaveMs) {
            upload_->unsaved = false;
            savePoint_ = true;
        }
    }

    std::string TakeOutput(size_t backlog, uint64_t nowMs) override {
        now_ = nowMs;
        if (download_ && !download_->cut) {
            Download& d = *download_;
            while (backlog + out_.size() < 2 * FrameLimit) {
                if (d.cutPending && d.sender.Sent() == d.sender.Queued() && !d.sender.InFlight()) {
                    CutDownload();
                    break;
                }
                bool idle = !d.sender.InFlight();
                auto body = d.sender.NextFrame(false);
                if (!body) break;
                if (idle) d.lastProgress = now_;
                Send(*body);
            }
        }
        std::string out;
        out.swap(out_);
        return out;
    }

    uint64_t NextWakeMs() const override {
        uint64_t wake = UINT64_MAX;
        if (download_ && !download_->cut && download_->sender.InFlight())
            wake = download_->lastProgress + DataTimeoutMs();
        if (upload_ && upload_->unsaved) wake = std::min(wake, upload_->lastActivity + IdleSaveMs);
        return wake;
    }

    void SetBaud(uint32_t baud) override { baud_ = baud ? baud : 115200; }

    bool TakeSavePoint() override {
        bool save = savePoint_;
        savePoint_ = false;
        return save;
    }

private:
    struct Download {
        std::string name;
        RecordSender sender;
        uint64_t lastProgress = 0;
        unsigned strikes = 0;
        bool cutPending = false;
        bool cut = false;
        Record cutRecord;
    };
    struct Upload {
        int database = 0;
        RecordReceiver receiver;
        uint32_t stored = 0;
        bool full = false;
        bool cut = false;
        bool unsaved = false;
        uint64_t lastActivity = 0;
    };

    uint64_t DataTimeoutMs() const {
        return TurnaroundMs + uint64_t(std::ceil(LineMs(4 * (FrameLimit + 2 * 255 + 16), baud_)));
    }

    void Log(const std::string& text) { log_(text); }
    void Send(const std::string& body) { out_ += EncodeFrame(body[0], std::string_view(body).substr(1)); }

    bool InMenu() const { return state_.mainMenu && !faults_.notInMenu; }

    void Answer(char kind, uint8_t tag, Status status, const std::string& data = {}) {
        std::string body(1, cipherlab::kind::Answer);
        body.push_back(char(tag));
        body.push_back(char(status));
        body += data;
        lastCommand_ = kind + lastPayload_;
        lastAnswer_ = body;
        Send(body);
    }

    void Handle(const Frame& frame) {
        // A repeated command is recognised only right after its first copy;
        // anything else in between makes the next command a new one.
        if (frame.kind == kind::Data || frame.kind == kind::Ack) lastCommand_.clear();
        if (frame.kind == kind::Data) return OnUploadData(frame);
        if (frame.kind == kind::Ack) return OnDownloadAck(frame);
        if (frame.payload.empty()) return;
        const uint8_t tag = static_cast<uint8_t>(frame.payload[0]);
        lastPayload_ = frame.payload;
        const std::string args = frame.payload.substr(1);
        if (frame.kind == kind::Wake) {
            // The cradle answers for itself, whatever the terminal does.
            Log("cradle: wake-up");
            return Answer(frame.kind, tag, Status::Ok);
        }
        if (faults_.silent) return;
        if (!lastCommand_.empty() && lastCommand_ == frame.kind + frame.payload) {
            // The same command again: its answer was lost. Answer again
            // without doing it twice (a download restarts from its start).
            Send(lastAnswer_);
            if (frame.kind == kind::Read && download_) download_->sender.Rewind();
            return;
        }
        if (frame.kind != kind::Finish) EndUpload();
        download_.reset();
        switch (frame.kind) {
            case kind::Ping: Log("ping"); return Answer(frame.kind, tag, Status::Ok);
            case kind::State:
                Log(std::string("state: ") + (InMenu() ? "in the main menu" : "not in the main menu"));
                return Answer(frame.kind, tag, Status::Ok, std::string(1, InMenu() ? 1 : 0));
            default: break;
        }
        if (frame.kind == kind::Quit) return Answer(frame.kind, tag, Status::Ok);
        bool known = frame.kind == kind::Serial || frame.kind == kind::Time || frame.kind == kind::Count ||
                     frame.kind == kind::Clear || frame.kind == kind::Read || frame.kind == kind::Write ||
                     frame.kind == kind::Finish ||
                     (scansity_ && (frame.kind == kind::Model || frame.kind == kind::Memory));
        if (!known) return Answer(frame.kind, tag, Status::Unknown);
        if (!InMenu()) {
            Log("refused: not in the main menu");
            return Answer(frame.kind, tag, Status::NotInMenu);
        }
        switch (frame.kind) {
            case kind::Serial: Log("serial number"); return Answer(frame.kind, tag, Status::Ok, state_.serial);
            case kind::Time:
                Log("clock");
                return Answer(frame.kind, tag, Status::Ok, state_.clock ? *state_.clock : LocalClockText());
            case kind::Model: Log("model name"); return Answer(frame.kind, tag, Status::Ok, state_.model);
            case kind::Memory: {
                Log("free memory");
                std::string data;
                PutU32(data, uint32_t(std::min<uint64_t>(state_.freeMemoryBytes / 1024, UINT32_MAX)));
                return Answer(frame.kind, tag, Status::Ok, data);
            }
            case kind::Count: return OnCount(tag, args);
            case kind::Clear: return OnClear(tag, args);
            case kind::Read: return OnRead(tag, args);
            case kind::Write: return OnWrite(tag, args);
            case kind::Finish: return OnFinish(tag, args);
            default: return;
        }
    }

    std::vector<Record>* Area(char area, int number, std::string& name) {
        if (area == AreaDocument && number >= 0 && number <= 9) {
            name = "document " + std::to_string(number);
            return &state_.documents[size_t(number)];
        }
        if (area == AreaDatabase && number >= 1 && number <= 3) {
            name = "database " + std::to_string(number);
            return &state_.databases[size_t(number - 1)];
        }
        return nullptr;
    }

    std::vector<Record>* AreaOf(const std::string& args, std::string& name) {
        if (args.size() != 2) return nullptr;
        return Area(args[0], static_cast<unsigned char>(args[1]), name);
    }

    void OnCount(uint8_t tag, const std::string& args) {
        std::string name;
        auto* records = AreaOf(args, name);
        if (!records) return Answer(kind::Count, tag, Status::BadNumber);
        Log("count of " + name + ": " + std::to_string(records->size()));
        std::string data;
        PutU32(data, uint32_t(records->size()));
        Answer(kind::Count, tag, Status::Ok, data);
    }

    void Release(std::vector<Record>& records) {
        for (const auto& r : records) state_.freeMemoryBytes += StoredSize(r);
        records.clear();
    }

    void OnClear(uint8_t tag, const std::string& args) {
        std::string name;
        auto* records = args.size() == 1 ? Area(AreaDocument, static_cast<unsigned char>(args[0]), name) : nullptr;
        if (!records) return Answer(kind::Clear, tag, Status::BadNumber);
        Log("cleared " + name + " (" + std::to_string(records->size()) + " records)");
        Release(*records);
        savePoint_ = true;
        Answer(kind::Clear, tag, Status::Ok);
    }

    void OnRead(uint8_t tag, const std::string& args) {
        std::string name;
        auto* records = AreaOf(args.substr(0, 2), name);
        if (!records) return Answer(kind::Read, tag, Status::BadNumber);
        // The host names the window it can take (one frame on the cradle).
        size_t window = args.size() > 2 ? std::clamp<size_t>(static_cast<unsigned char>(args[2]), 1, 4) : 4;
        download_ = std::make_unique<Download>();
        download_->name = name;
        download_->sender = RecordSender(SenderConfig{FrameLimit, window});
        size_t count = records->size();
        if (faults_.cutAfter && *faults_.cutAfter < count) {
            count = *faults_.cutAfter;
            download_->cutPending = true;
            download_->cutRecord = (*records)[count];
        }
        for (size_t i = 0; i < count; ++i) download_->sender.Push((*records)[i]);
        if (!download_->cutPending) download_->sender.CloseWithEnd();
        download_->lastProgress = now_;
        Log("download of " + name + ": " + std::to_string(records->size()) + " records");
        std::string data;
        PutU32(data, uint32_t(records->size()));
        Answer(kind::Read, tag, Status::Ok, data);
    }

    void CutDownload() {
        Download& d = *download_;
        std::string body(1, kind::Data);
        PutU32(body, d.sender.Queued());
        body.push_back(0);
        AppendRecord(body, d.cutRecord);
        std::string wire = EncodeFrame(body[0], std::string_view(body).substr(1));
        out_ += wire.substr(0, wire.size() / 2);
        d.cut = true;
        Log("fault: cable pulled after " + std::to_string(d.sender.Queued()) + " records of " + d.name +
            ", in the middle of the next one");
    }

    void OnDownloadAck(const Frame& frame) {
        auto ack = ParseAck(frame.payload);
        if (!download_ || download_->cut || faults_.silent || !ack) return;
        Download& d = *download_;
        auto result = d.sender.OnAck(*ack);
        if (result == RecordSender::AckResult::Progress) {
            d.lastProgress = now_;
            d.strikes = 0;
        }
        if (d.sender.EndAcked()) {
            Log("download of " + d.name + " complete: " + std::to_string(d.sender.Queued()) + " records");
            download_.reset();
        }
    }

    void OnWrite(uint8_t tag, const std::string& args) {
        std::string name;
        auto* records = args.size() == 1 ? Area(AreaDatabase, static_cast<unsigned char>(args[0]), name) : nullptr;
        if (!records) return Answer(kind::Write, tag, Status::BadNumber);
        Release(*records);
        upload_ = std::make_unique<Upload>();
        upload_->database = static_cast<unsigned char>(args[0]);
        upload_->unsaved = true;
        upload_->lastActivity = now_;
        uint32_t roomRecords = faults_.memoryFullAfter ? *faults_.memoryFullAfter : UINT32_MAX;
        uint32_t roomBytes = uint32_t(std::min<uint64_t>(state_.freeMemoryBytes, UINT32_MAX));
        Log("upload to " + name + " begins (emptied; room for " + std::to_string(roomBytes) + " bytes)");
        std::string data;
        PutU32(data, roomRecords);
        PutU32(data, roomBytes);
        Answer(kind::Write, tag, Status::Ok, data);
    }

    void OnUploadData(const Frame& frame) {
        if (!upload_ || upload_->cut || faults_.silent) return;
        Upload& u = *upload_;
        u.lastActivity = now_;
        auto outcome = u.receiver.OnData(frame.payload);
        auto& database = state_.databases[size_t(u.database - 1)];
        uint32_t index = u.receiver.Expected() - uint32_t(outcome.records.size());
        for (auto& record : outcome.records) {
            if (faults_.cutAfter && u.stored == *faults_.cutAfter) {
                u.receiver.Refuse(index);
                u.cut = true;
                Log("fault: cable pulled after " + std::to_string(u.stored) + " records of the upload");
                savePoint_ = true;
                return;
            }
            size_t cost = StoredSize(record);
            if ((faults_.memoryFullAfter && u.stored == *faults_.memoryFullAfter) || cost > state_.freeMemoryBytes) {
                u.receiver.Refuse(index);
                if (!u.full) Log("memory full after " + std::to_string(u.stored) + " records");
                u.full = true;
                return Send(u.receiver.AckBody(AckStatus::MemoryFull));
            }
            state_.freeMemoryBytes -= cost;
            database.push_back(std::move(record));
            ++u.stored;
            ++index;
            u.unsaved = true;
        }
        if (faults_.cutAfter && u.stored == *faults_.cutAfter) {
            u.cut = true;
            Log("fault: cable pulled after " + std::to_string(u.stored) + " records of the upload");
            savePoint_ = true;
            return;
        }
        if (outcome.reply) Send(*outcome.reply);
    }

    void EndUpload() {
        if (!upload_) return;
        Log("upload to database " + std::to_string(upload_->database) + " ends: " +
            std::to_string(upload_->stored) + " records stored");
        upload_.reset();
        savePoint_ = true;
    }

    void OnFinish(uint8_t tag, const std::string&) {
        if (!upload_) return Answer(kind::Finish, tag, Status::NoTransfer);
        bool full = upload_->full;
        std::string data;
        PutU32(data, upload_->stored);
        EndUpload();
        Answer(kind::Finish, tag, full ? Status::MemoryFull : Status::Ok, data);
    }

    TerminalState& state_;
    Faults faults_;
    Logger log_;
    FrameDecoder decoder_;
    std::string out_;
    uint64_t now_ = 0;
    uint32_t baud_ = 115200;
    bool scansity_;
    bool savePoint_ = false;
    std::string lastCommand_;  // kind and payload of the last command answered
    std::string lastPayload_;
    std::string lastAnswer_;
    std::unique_ptr<Download> download_;
    std::unique_ptr<Upload> upload_;
};

}  // namespace

std::unique_ptr<Firmware> MakeFirmware(const std::string& name, TerminalState& state, const Faults& faults,
                                       Logger log) {
    if (name == "scancode") return std::make_unique<ScanCodeFirmware>(state, faults, std::move(log));
    if (name == "scansity") return std::make_unique<ScanCodeFirmware>(state, faults, std::move(log), true);
    throw std::runtime_error("unknown firmware '" + name + "' (scancode, scansity)");
}

}  // namespace tolvane::pdtsim
