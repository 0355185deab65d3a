// The terminal line protocol as pure code: framing, records, the transfer
// window, and the host's link against the simulator's firmware over an
// in-memory line that can damage or cut the byte stream.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "Firmware.h"
#include "Framing.h"
#include "HostLink.h"
#include "Transfer.h"
#include "Wire.h"

using namespace tolvane::cipherlab;
using tolvane::pdtsim::Faults;
using tolvane::pdtsim::Firmware;
using tolvane::pdtsim::MakeFirmware;
using tolvane::pdtsim::TerminalState;

namespace {

std::string Bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) out.push_back(char(v));
    return out;
}

std::vector<Frame> Decode(FrameDecoder& decoder, const std::string& bytes) {
    std::vector<Frame> frames;
    decoder.Feed(bytes, frames);
    return frames;
}

TEST(Framing, CobsRemovesZerosAndRoundTrips) {
    struct Case {
        std::string plain, stuffed;
    };
    const Case cases[] = {
        {"", Bytes({1})},
        {Bytes({0}), Bytes({1, 1})},
        {Bytes({0, 0}), Bytes({1, 1, 1})},
        {Bytes({0x11, 0, 0x22}), Bytes({2, 0x11, 2, 0x22})},
        {Bytes({0x11, 0x22, 0, 0x33}), Bytes({3, 0x11, 0x22, 2, 0x33})},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CobsEncode(c.plain), c.stuffed);
        std::string back;
        ASSERT_TRUE(CobsDecode(c.stuffed, back));
        EXPECT_EQ(back, c.plain);
    }
    // Runs around the 254-byte block limit.
    for (size_t n : {253u, 254u, 255u, 508u, 1000u}) {
        std::string plain(n, 'x');
        plain[n / 2] = 0;
        std::string stuffed = CobsEncode(plain);
        EXPECT_EQ(stuffed.find('\0'), std::string::npos) << n;
        std::string back;
        ASSERT_TRUE(CobsDecode(stuffed, back)) << n;
        EXPECT_EQ(back, plain) << n;
    }
    std::string out;
    EXPECT_FALSE(CobsDecode(Bytes({5, 1, 2}), out));  // code points past the end
}

TEST(Framing, CrcIsTheStandardOne) { EXPECT_EQ(Crc32("123456789"), 0xCBF43926u); }

TEST(Framing, ReadableFrameTranscript) {
    // PING with tag 7: kind 'P', payload 07, CRC-32 of "P\x07", then COBS and the end zero.
    std::string wire = EncodeFrame('P', Bytes({7}));
    uint32_t crc = Crc32("P\x07");
    std::string body = "P\x07";
    for (int k = 0; k < 4; ++k) body.push_back(char(crc >> (8 * k)));
    EXPECT_EQ(wire, CobsEncode(body) + '\0');

    FrameDecoder decoder;
    // Noise before the frame, the frame split in two reads, a second frame.
    auto frames = Decode(decoder, "garbage" + Bytes({0}) + wire.substr(0, 3));
    EXPECT_TRUE(frames.empty());
    EXPECT_EQ(decoder.TakeDamaged(), 1u);
    frames = Decode(decoder, wire.substr(3) + EncodeFrame('r', Bytes({7, 0})));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].kind, 'P');
    EXPECT_EQ(frames[0].payload, Bytes({7}));
    EXPECT_EQ(frames[1].kind, 'r');
    EXPECT_EQ(frames[1].payload, Bytes({7, 0}));
    EXPECT_EQ(decoder.TakeDamaged(), 0u);
}

TEST(Framing, NoDamagedFrameIsEverDelivered) {
    const std::string wire = EncodeFrame('D', std::string("\0\0\0\0\x02\x03" "abc\x01x", 12));
    std::mt19937 random(5);
    // Every single-byte change, and many random multi-byte ones.
    for (size_t at = 0; at + 1 < wire.size(); ++at) {
        for (int flip : {0x01, 0x80, 0xFF}) {
            std::string bad = wire;
            bad[at] = char(bad[at] ^ flip);
            FrameDecoder decoder;
            auto frames = Decode(decoder, bad + wire);
            // Only the intact copy that follows may come through.
            ASSERT_LE(frames.size(), 1u) << at;
            if (frames.size() == 1) {
                EXPECT_EQ(EncodeFrame(frames[0].kind, frames[0].payload), wire);
            }
        }
    }
    for (int trial = 0; trial < 2000; ++trial) {
        std::string bad = wire;
        for (int k = 0; k < 3; ++k) bad[random() % (bad.size() - 1)] ^= char(1 + random() % 255);
        if (bad == wire) continue;
        FrameDecoder decoder;
        for (const auto& f : Decode(decoder, bad)) EXPECT_EQ(EncodeFrame(f.kind, f.payload), wire);
    }
}

Record MakeRecord(std::initializer_list<std::string> fields) {
    Record r;
    size_t k = 0;
    for (const auto& f : fields) r[k++] = f;
    return r;
}

TEST(Records, EncodeAndParseKeepEveryField) {
    const std::vector<Record> records = {
        MakeRecord({}),
        MakeRecord({"4600000000011 2"}),
        MakeRecord({"a", "", "c", "", "", "", "", "h"}),
        MakeRecord({std::string(255, 'x'), std::string(255, '\xDF'), "", "", "", "", "", std::string(255, '\x01')}),
    };
    std::string payload;
    for (const auto& r : records) AppendRecord(payload, r);
    EXPECT_EQ(payload.substr(0, 2), Bytes({0, 1}));  // empty record; then one field
    std::vector<Record> back;
    ASSERT_TRUE(ParseRecords(payload, back));
    EXPECT_EQ(back, records);
    for (const auto& r : records) EXPECT_EQ(EncodedSize(r), [&] { std::string s; AppendRecord(s, r); return s.size(); }());

    const std::string malformed[] = {Bytes({9}), Bytes({1, 5, 'a'}), Bytes({2, 1, 'a'}), Bytes({1, 1, 0})};
    for (const auto& m : malformed) {
        std::vector<Record> out;
        EXPECT_FALSE(ParseRecords(m, out));
        EXPECT_TRUE(out.empty());
    }
}

TEST(LineTiming, TimeOutsFollowTheBaudRate) {
    EXPECT_EQ(BaudOfCode(1), 115200u);
    EXPECT_EQ(BaudOfCode(2), 57600u);
    EXPECT_EQ(BaudOfCode(5), 9600u);
    EXPECT_EQ(BaudOfCode(0), 0u);
    EXPECT_EQ(BaudOfCode(6), 0u);
    EXPECT_DOUBLE_EQ(LineMs(960, 9600), 1000.0);  // 10 bit times a character

    struct NullLine : Line {
        bool Write(std::string_view) override { return true; }
        ReadStatus Read(std::string&, uint64_t) override { return ReadStatus::Timeout; }
        uint64_t NowMs() const override { return 0; }
    } line;
    HostLink fast(line, {115200, false, 100}), slow(line, {9600, false, 100});
    EXPECT_GT(fast.CommandTimeoutMs(10), 100u);
    EXPECT_EQ(slow.CommandTimeoutMs(10) - 100, 12 * (fast.CommandTimeoutMs(10) - 100) - 1);
    // A transfer waits at least for two full data frames at the line's speed.
    EXPECT_GE(slow.DataTimeoutMs(), 100 + uint64_t(LineMs(2 * 1024, 9600)));
}

TEST(Transfer, SenderFillsFramesAndGoesBackAfterALoss) {
    RecordSender sender({64, 2});
    for (int i = 0; i < 10; ++i) sender.Push(MakeRecord({std::string(20, char('a' + i))}));
    // Each record takes 22 bytes: two fit a 64-byte frame.
    auto f1 = sender.NextFrame(false), f2 = sender.NextFrame(false), f3 = sender.NextFrame(false);
    auto Epoch = [](const std::string& frame) { return uint8_t(frame[5]); };
    ASSERT_TRUE(f1 && f2);
    EXPECT_FALSE(f3);  // window of two frames
    RecordReceiver receiver;
    auto o1 = receiver.OnData(f1->substr(1));
    ASSERT_EQ(o1.records.size(), 2u);
    EXPECT_EQ(o1.records[1][0], std::string(20, 'b'));
    // f2 is lost; the next frame leaves a gap and the receiver asks once.
    EXPECT_EQ(sender.OnAck({2, AckStatus::Ok, Epoch(*f1)}), RecordSender::AckResult::Progress);
    auto f4 = sender.NextFrame(false);
    ASSERT_TRUE(f4);
    auto gap = receiver.OnData(f4->substr(1));
    EXPECT_TRUE(gap.records.empty());
    ASSERT_TRUE(gap.reply);
    EXPECT_EQ(*gap.reply, receiver.AckBody(AckStatus::Resend));
    EXPECT_FALSE(receiver.OnData(f4->substr(1)).reply);  // asked already
    EXPECT_EQ(sender.OnAck({2, AckStatus::Resend, Epoch(*f1)}), RecordSender::AckResult::Rewound);
    EXPECT_EQ(sender.Sent(), 2u);
    auto again = sender.NextFrame(false);
    ASSERT_TRUE(again);
    EXPECT_EQ(Epoch(*again), Epoch(*f1) + 1);
    // A late request of the old epoch does not send the same records again.
    EXPECT_EQ(sender.OnAck({2, AckStatus::Resend, Epoch(*f1)}), RecordSender::AckResult::NoProgress);
    EXPECT_EQ(sender.Sent(), 4u);
    auto o2 = receiver.OnData(again->substr(1));
    ASSERT_FALSE(o2.records.empty());
    EXPECT_EQ(o2.records[0][0], std::string(20, 'c'));
    // A duplicate is acknowledged again but delivers nothing.
    auto dup = receiver.OnData(f1->substr(1));
    EXPECT_TRUE(dup.records.empty());
    ASSERT_TRUE(dup.reply);
    EXPECT_EQ(*dup.reply, receiver.AckBody(AckStatus::Ok));
    EXPECT_EQ(sender.OnAck({99, AckStatus::Ok, Epoch(*f1)}), RecordSender::AckResult::Invalid);
    // After a rewind, an ack for records sent before it moves sending on.
    ASSERT_TRUE(sender.NextFrame(false));
    sender.Rewind();
    const uint32_t before = sender.Acked();
    EXPECT_EQ(sender.OnAck({before + 3, AckStatus::Ok, Epoch(*f1)}), RecordSender::AckResult::Progress);
    EXPECT_EQ(sender.Sent(), before + 3);
    auto next = sender.NextFrame(false);
    ASSERT_TRUE(next);
    EXPECT_EQ(GetU32(next->substr(1), 0), before + 3);
}

TEST(Transfer, RecordsWaitForAFullFrameOnlyWhileOneIsInFlight) {
    RecordSender sender({64, 4});
    sender.Push(MakeRecord({"one"}));
    ASSERT_TRUE(sender.NextFrame(false));  // idle line: at once
    sender.Push(MakeRecord({"two"}));
    EXPECT_FALSE(sender.NextFrame(false));  // gathers while the first flies
    EXPECT_TRUE(sender.NextFrame(true));    // unless forced
    sender.OnAck({2, AckStatus::Ok, 0});
    EXPECT_TRUE(sender.AllAcked());
}

// An in-memory line between a HostLink and a firmware, on a virtual clock
// that moves only while the host waits. It can damage bytes at a rate and
// cut the line for good after a number of bytes towards the host.
class LoopbackLine final : public Line {
public:
    LoopbackLine(Firmware& firmware, double noise = 0, uint32_t seed = 1)
        : firmware_(firmware), noise_(noise), random_(seed) {}

    std::optional<size_t> cutAfterBytes;

    bool Write(std::string_view bytes) override {
        burst_ = 0;
        if (cut_) return true;
        std::string copy(bytes);
        Damage(copy);
        firmware_.OnBytes(copy, now_);
        Collect();
        return true;
    }
    ReadStatus Read(std::string& out, uint64_t timeoutMs) override {
        const uint64_t until = now_ + timeoutMs;
        for (;;) {
            Collect();
            if (!toHost_.empty()) {
                out += toHost_;
                toHost_.clear();
                return ReadStatus::Data;
            }
            if (now_ >= until) return ReadStatus::Timeout;
            uint64_t wake = firmware_.NextWakeMs();
            now_ = std::clamp(wake, now_ + 1, until);
            firmware_.OnTick(now_);
        }
    }
    uint64_t NowMs() const override { return now_; }
    size_t SentBytes() const { return sent_; }
    size_t DamagedBytes() const { return damaged_; }
    size_t MaxBurst() const { return maxBurst_; }

private:
    void Damage(std::string& bytes) {
        std::uniform_real_distribution<double> chance(0, 1);
        for (char& c : bytes)
            if (noise_ > 0 && chance(random_) < noise_) {
                c = char(c ^ (1 + random_() % 255));
                ++damaged_;
            }
    }
    void Collect() {
        std::string bytes = firmware_.TakeOutput(0, now_);
        Damage(bytes);
        if (cutAfterBytes) {
            size_t room = *cutAfterBytes > sent_ ? *cutAfterBytes - sent_ : 0;
            if (bytes.size() >= room) {
                bytes.resize(room);
                cut_ = true;
            }
        }
        if (cut_ && bytes.empty()) return;
        // Data frames the terminal sends without hearing from the host between them.
        std::vector<Frame> frames;
        monitor_.Feed(bytes, frames);
        burst_ += size_t(std::count_if(frames.begin(), frames.end(), [](const Frame& f) {
            return f.kind == kind::Data || f.kind == kind::End;
        }));
        maxBurst_ = std::max(maxBurst_, burst_);
        sent_ += bytes.size();
        toHost_ += bytes;
    }

    Firmware& firmware_;
    double noise_;
    std::mt19937 random_;
    uint64_t now_ = 0;
    std::string toHost_;
    size_t sent_ = 0;
    size_t damaged_ = 0;
    FrameDecoder monitor_;
    size_t burst_ = 0, maxBurst_ = 0;
    bool cut_ = false;
};

std::vector<Record> Goods(int n, size_t width = 40) {
    std::vector<Record> records;
    for (int i = 0; i < n; ++i) {
        std::string code = "46" + std::to_string(10000000000 + i);
        records.push_back(MakeRecord({code, std::string(width, char('A' + i % 26)), std::to_string(i) + ".50",
                                      i % 3 ? "" : "\xD5\xEB\xE5\xE1"}));
    }
    return records;
}

struct Rig {
    explicit Rig(Faults faults = {}, double noise = 0, uint32_t seed = 1, bool cradle = false,
                 const std::string& firmwareName = "scancode")
        : firmware(MakeFirmware(firmwareName, state, faults, [](const std::string&) {})),
          line(*firmware, noise, seed),
          link(line, {115200, cradle, 100}) {}
    TerminalState state;
    std::unique_ptr<Firmware> firmware;
    LoopbackLine line;
    HostLink link;

    // Reads until the end or an error; returns the last answer.
    int ReadAll(char area, int number, std::vector<Record>& got) {
        Record r;
        int answer;
        while ((answer = link.ReadNext(area, number, r)) == 1) got.push_back(r);
        return answer;
    }
};

TEST(HostLinkWithFirmware, CommandsAndCounts) {
    Rig rig;
    rig.state.documents[4] = Goods(3);
    rig.state.clock = "20100311142530";
    EXPECT_TRUE(rig.link.Ping());
    EXPECT_EQ(rig.link.InMenu(), true);
    EXPECT_EQ(rig.link.SerialNumber(), "U8000241");
    EXPECT_EQ(rig.link.ClockText(), "20100311142530");
    EXPECT_EQ(rig.link.Count(AreaDocument, 4), 3u);
    EXPECT_EQ(rig.link.Count(AreaDatabase, 2), 0u);
    EXPECT_TRUE(rig.link.Clear(4));
    EXPECT_EQ(rig.link.Count(AreaDocument, 4), 0u);
    EXPECT_FALSE(rig.link.Count(AreaDocument, 12));
    EXPECT_EQ(rig.link.ErrorCode(), code::BadDocument);
}

TEST(HostLinkWithFirmware, OnlyTheScanSityFirmwareTellsItsModelAndFreeMemory) {
    Rig scansity({}, 0, 1, false, "scansity");
    scansity.state.model = "CPT-711";
    scansity.state.freeMemoryBytes = 1500 * 1024 + 1023;
    EXPECT_EQ(scansity.link.ModelName(), "CPT-711");
    EXPECT_EQ(scansity.link.FreeMemoryKb(), 1500u) << "whole KB";

    Rig scancode;
    EXPECT_FALSE(scancode.link.ModelName());
    EXPECT_EQ(scancode.link.ErrorCode(), code::UnknownAnswer);
    EXPECT_FALSE(scancode.link.FreeMemoryKb());
    EXPECT_EQ(scancode.link.ErrorCode(), code::UnknownAnswer);

    Faults menu;
    menu.notInMenu = true;
    Rig busy(menu, 0, 1, false, "scansity");
    EXPECT_FALSE(busy.link.ModelName());
    EXPECT_EQ(busy.link.ErrorCode(), code::NotInMenu);
}

TEST(HostLinkWithFirmware, AnUploadOfNoRecordsEmptiesTheDatabase) {
    Rig rig;
    rig.state.databases[2] = Goods(5);
    EXPECT_TRUE(rig.link.BeginUpload(3));
    EXPECT_TRUE(rig.link.Finish());
    EXPECT_TRUE(rig.state.databases[2].empty());
    EXPECT_EQ(rig.state.freeMemoryBytes, TerminalState().freeMemoryBytes + [] {
        size_t cost = 0;
        for (const auto& r : Goods(5)) cost += StoredSize(r);
        return cost;
    }()) << "the room of the records comes back";
}

TEST(HostLinkWithFirmware, DownloadIteratesAndStartsOver) {
    Rig rig;
    rig.state.databases[1] = Goods(300);
    std::vector<Record> got;
    EXPECT_EQ(rig.ReadAll(AreaDatabase, 2, got), 0);
    EXPECT_EQ(got, rig.state.databases[1]);
    got.clear();
    EXPECT_EQ(rig.ReadAll(AreaDatabase, 2, got), 0);  // the call after the end starts over
    EXPECT_EQ(got.size(), 300u);
    got.clear();
    EXPECT_EQ(rig.ReadAll(AreaDocument, 0, got), 0);  // an empty document ends at once
    EXPECT_TRUE(got.empty());
}

TEST(HostLinkWithFirmware, TheCradleWakesAndTakesTurns) {
    for (bool cradle : {false, true}) {
        SCOPED_TRACE(cradle);
        Rig rig({}, 0, 1, cradle);
        rig.state.documents[0] = Goods(200);
        if (cradle) {
            EXPECT_TRUE(rig.link.Wake());
        }
        std::vector<Record> got;
        EXPECT_EQ(rig.ReadAll(AreaDocument, 0, got), 0);
        EXPECT_EQ(got, rig.state.documents[0]);
        // Half duplex: one frame, then the host's turn. A plain port streams.
        if (cradle) {
            EXPECT_EQ(rig.line.MaxBurst(), 1u);
        } else {
            EXPECT_GT(rig.line.MaxBurst(), 2u);
        }
        for (const auto& r : got) ASSERT_TRUE(rig.link.Put(1, r));
        EXPECT_TRUE(rig.link.Finish());
        EXPECT_EQ(rig.state.databases[0], got);
    }
}

TEST(HostLinkWithFirmware, UploadStoresEveryRecordAndEmptiesFirst) {
    Rig rig;
    rig.state.databases[0] = Goods(5);
    const auto goods = Goods(500, 50);
    for (const auto& r : goods) ASSERT_TRUE(rig.link.Put(1, r)) << rig.link.ErrorText();
    ASSERT_TRUE(rig.link.Finish()) << rig.link.ErrorText();
    EXPECT_EQ(rig.state.databases[0], goods);
    EXPECT_TRUE(rig.firmware->TakeSavePoint());
}

TEST(HostLinkWithFirmware, NoisyLineDeliversExactRecordsOrFails) {
    const auto goods = Goods(200, 20);
    int completed = 0;
    for (uint32_t seed = 1; seed <= 10; ++seed) {
        SCOPED_TRACE(seed);
        Rig rig({}, 0.006, seed);
        rig.state.documents[0] = goods;
        std::vector<Record> got;
        int answer = rig.ReadAll(AreaDocument, 0, got);
        ASSERT_LE(got.size(), goods.size());
        EXPECT_TRUE(std::equal(got.begin(), got.end(), goods.begin())) << "seed " << seed;
        if (answer == 0) {
            EXPECT_EQ(got.size(), goods.size());
            ++completed;
        } else {
            EXPECT_TRUE(answer == -code::TimeOut || answer == -code::TransferError) << answer;
        }

        bool sent = true;
        for (const auto& r : goods) sent = sent && rig.link.Put(3, r);
        sent = rig.link.Finish() && sent;
        const auto& stored = rig.state.databases[2];
        ASSERT_LE(stored.size(), goods.size());
        EXPECT_TRUE(std::equal(stored.begin(), stored.end(), goods.begin())) << "seed " << seed;
        if (sent) {
            EXPECT_EQ(stored.size(), goods.size());
        }
        completed += sent;
        EXPECT_GT(rig.line.DamagedBytes(), 10u) << "the noise must really hit the transfer";
    }
    // The retries cope with this much noise.
    EXPECT_EQ(completed, 20);
}

TEST(HostLinkWithFirmware, ACutLineNeverDeliversAHalfRecord) {
    const auto goods = Goods(6, 30);
    size_t fullLength = 0;
    {
        Rig rig;
        rig.state.documents[1] = goods;
        std::vector<Record> got;
        ASSERT_EQ(rig.ReadAll(AreaDocument, 1, got), 0);
        fullLength = rig.line.SentBytes();
    }
    // Cut the line towards the host after every byte count up to the whole.
    for (size_t cut = 0; cut <= fullLength; ++cut) {
        Rig rig;
        rig.state.documents[1] = goods;
        rig.line.cutAfterBytes = cut;
        std::vector<Record> got;
        int answer = rig.ReadAll(AreaDocument, 1, got);
        ASSERT_TRUE(std::equal(got.begin(), got.end(), goods.begin())) << "cut after " << cut;
        if (answer == 0) {
            EXPECT_EQ(got.size(), goods.size()) << cut;
        } else {
            EXPECT_LT(answer, 0) << cut;
        }
    }
}

TEST(HostLinkWithFirmware, FaultsOfTheTerminal) {
    {
        Faults silent;
        silent.silent = true;
        Rig rig(silent);
        uint64_t before = rig.line.NowMs();
        EXPECT_FALSE(rig.link.Ping());
        EXPECT_EQ(rig.link.ErrorCode(), code::TimeOut);
        // Three attempts, each the command time-out: bounded.
        EXPECT_LE(rig.line.NowMs() - before, 3 * rig.link.CommandTimeoutMs(16));
    }
    {
        Faults busy;
        busy.notInMenu = true;
        Rig rig(busy);
        EXPECT_TRUE(rig.link.Ping());
        EXPECT_EQ(rig.link.InMenu(), false);
        Record r;
        EXPECT_EQ(rig.link.ReadNext(AreaDocument, 0, r), -code::NotInMenu);
        EXPECT_FALSE(rig.link.Put(1, r));
        EXPECT_EQ(rig.link.ErrorCode(), code::NotInMenu);
    }
    {
        Faults full;
        full.memoryFullAfter = 3;
        Rig rig(full);
        const auto goods = Goods(5);
        for (int i = 0; i < 3; ++i) EXPECT_TRUE(rig.link.Put(2, goods[i]));
        EXPECT_FALSE(rig.link.Put(2, goods[3]));  // the refusal belongs to the 4th record
        EXPECT_EQ(rig.link.ErrorCode(), code::MemoryFull);
        EXPECT_TRUE(rig.link.Finish());
        EXPECT_EQ(rig.state.databases[1], std::vector<Record>(goods.begin(), goods.begin() + 3));
    }
    {
        // Real memory: the room is counted in bytes, and given back by a clear.
        Rig rig;
        const auto goods = Goods(3);
        rig.state.freeMemoryBytes = StoredSize(goods[0]) + StoredSize(goods[1]) + 10;
        EXPECT_TRUE(rig.link.Put(1, goods[0]));
        EXPECT_TRUE(rig.link.Put(1, goods[1]));
        EXPECT_FALSE(rig.link.Put(1, goods[2]));
        EXPECT_EQ(rig.link.ErrorCode(), code::MemoryFull);
        EXPECT_TRUE(rig.link.Finish());
        EXPECT_EQ(rig.state.freeMemoryBytes, 10u);
        rig.state.documents[0] = {goods[2]};
        EXPECT_TRUE(rig.link.Clear(0));
        EXPECT_EQ(rig.state.freeMemoryBytes, 10u + StoredSize(goods[2]));
    }
    {
        Faults pulled;
        pulled.cutAfter = 4;
        Rig rig(pulled);
        const auto goods = Goods(10);
        rig.state.documents[2] = goods;
        std::vector<Record> got;
        int answer = rig.ReadAll(AreaDocument, 2, got);
        EXPECT_EQ(answer, -code::TransferError);  // a half frame arrived, then silence
        EXPECT_EQ(got, std::vector<Record>(goods.begin(), goods.begin() + 4));

        bool ok = true;
        for (const auto& r : goods) ok = ok && rig.link.Put(1, r);
        ok = rig.link.Finish() && ok;
        EXPECT_FALSE(ok);
        EXPECT_TRUE(rig.link.ErrorCode() == code::TimeOut || rig.link.ErrorCode() == code::TransferError);
        EXPECT_EQ(rig.state.databases[0], std::vector<Record>(goods.begin(), goods.begin() + 4));
    }
}

}  // namespace
