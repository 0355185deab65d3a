// The 16 functions of libCipherLab.so, loaded as the system loads them,
// against pdt-sim over a real pseudo-terminal.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "CipherLab.h"
#include "PdtSimProcess.h"
#include "TestSupport.h"
#include "rtl/Encoding.h"

using nlohmann::json;
using tolvane::Cp1251ToUtf8;
using tolvane::Utf8ToCp1251;
using tolvane::test::PdtSimProcess;
using tolvane::test::TempPrefix;

namespace {

struct CipherLabApi {
    CipherLabApi() {
        handle = dlopen((tolvane::test::BinaryDir() + "/libCipherLab.so").c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!handle) throw std::runtime_error(dlerror());
        Bind(OpenComm, "OpenComm");
        Bind(CloseComm, "CloseComm");
        Bind(CheckComm, "CheckComm");
        Bind(Ping, "Ping");
        Bind(GetCurrentState, "GetCurrentState");
        Bind(GetSerialNumber, "GetSerialNumber");
        Bind(GetTime, "GetTime");
        Bind(GetDataCount, "GetDataCount");
        Bind(GetRecordsCount, "GetRecordsCount");
        Bind(ClearDoc, "ClearDoc");
        Bind(ReadData, "ReadData");
        Bind(ReadRecord, "ReadRecord");
        Bind(PutRecord, "PutRecord");
        Bind(Finish, "Finish");
        Bind(delimiter, "delimiter");
        Bind(GetError, "GetError");
    }
    template <typename F>
    void Bind(F*& f, const char* name) {
        f = reinterpret_cast<F*>(dlsym(handle, name));
        if (!f) throw std::runtime_error(std::string("missing export ") + name);
    }
    void* handle;
    decltype(::OpenComm)* OpenComm;
    decltype(::CloseComm)* CloseComm;
    decltype(::CheckComm)* CheckComm;
    decltype(::Ping)* Ping;
    decltype(::GetCurrentState)* GetCurrentState;
    decltype(::GetSerialNumber)* GetSerialNumber;
    decltype(::GetTime)* GetTime;
    decltype(::GetDataCount)* GetDataCount;
    decltype(::GetRecordsCount)* GetRecordsCount;
    decltype(::ClearDoc)* ClearDoc;
    decltype(::ReadData)* ReadData;
    decltype(::ReadRecord)* ReadRecord;
    decltype(::PutRecord)* PutRecord;
    decltype(::Finish)* Finish;
    decltype(::delimiter)* delimiter;
    decltype(::GetError)* GetError;
};

CipherLabApi& Api() {
    static CipherLabApi api;
    return api;
}

using Fields = std::vector<std::string>;  // CP1251, 8 entries

struct Buffers {
    char f[8][256];
    Buffers() { Fill('#'); }
    void Fill(char c) {
        for (auto& b : f) {
            std::memset(b, c, 255);
            b[255] = 0;
        }
    }
    Fields Get() const { return Fields(std::begin(f), std::end(f)); }
};

int Read(bool document, int number, Buffers& b) {
    auto fn = document ? Api().ReadData : Api().ReadRecord;
    return fn(number, b.f[0], b.f[1], b.f[2], b.f[3], b.f[4], b.f[5], b.f[6], b.f[7]);
}

// Reads until the end or an error; returns the last answer.
int ReadAll(bool document, int number, std::vector<Fields>& got) {
    Buffers b;
    int r;
    while ((r = Read(document, number, b)) == 1) got.push_back(b.Get());
    return r;
}

int Put(int database, const Fields& f) {
    return Api().PutRecord(database, f[0].c_str(), f[1].c_str(), f[2].c_str(), f[3].c_str(), f[4].c_str(),
                           f[5].c_str(), f[6].c_str(), f[7].c_str());
}

int LastError(std::string* text = nullptr) {
    char buffer[256];
    std::memset(buffer, '#', sizeof buffer);
    int code = Api().GetError(buffer);
    EXPECT_LT(std::strlen(buffer), 256u);
    if (text) *text = buffer;
    return code;
}

// Records as UTF-8 field lists in the state file, as CP1251 8-field lists here.
Fields ToFields(const json& record) {
    Fields f(8);
    for (size_t k = 0; k < record.size(); ++k) f[k] = Utf8ToCp1251(record[k].get<std::string>());
    return f;
}

json GoodsJson(int n, int width = 30) {
    json records = json::array();
    for (int i = 0; i < n; ++i)
        records.push_back({"46" + std::to_string(10000000000 + i), "Товар " + std::string(size_t(width), 'x'),
                           std::to_string(i) + ".50", i % 2 ? "" : "шт"});
    return records;
}

json BaseState() {
    return json{{"firmware", "scancode"},  {"model", "8001L"},    {"serial", "U8000241"},
                {"clock", "20101209140307"}, {"main_menu", true}, {"free_memory_kb", 1500},
                {"documents", json::object()}, {"databases", {{"1", json::array()}, {"2", json::array()}, {"3", json::array()}}}};
}

class CipherLab : public ::testing::Test {
protected:
    void SetUp() override { setenv("TOLVANE_CIPHERLAB_TURNAROUND_MS", "60", 1); }
    void TearDown() override {
        Api().CloseComm();
        unsetenv("TOLVANE_CIPHERLAB_TURNAROUND_MS");
    }
    void Start(const json& state, const std::vector<std::string>& args = {}) {
        sim = std::make_unique<PdtSimProcess>(prefix.Path(), 3, state.dump(), args);
    }
    json SavedState() {
        sim->Stop();
        return json::parse(tolvane::test::ReadFile(sim->StatePath()));
    }
    TempPrefix prefix;
    std::unique_ptr<PdtSimProcess> sim;
};

TEST_F(CipherLab, OpenInformationAndClose) {
    json state = BaseState();
    state["documents"]["0"] = json::array({json::array({"4600000000011 2"}), json::array({"4600000000028"})});
    state["databases"]["1"] = GoodsJson(4);
    Start(state);
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    EXPECT_EQ(LastError(), 0);
    EXPECT_EQ(Api().CheckComm(), 1);
    EXPECT_EQ(Api().delimiter('\t', '`'), 1);
    EXPECT_EQ(Api().Ping(), 1);
    EXPECT_EQ(Api().GetCurrentState(), 1);
    char text[256];
    std::memset(text, '#', sizeof text);
    Api().GetSerialNumber(text);
    EXPECT_STREQ(text, "U8000241");
    EXPECT_EQ(Api().GetTime(text), 1);
    EXPECT_STREQ(text, "20101209140307");
    EXPECT_EQ(Api().GetDataCount(0), 2);
    EXPECT_EQ(Api().GetDataCount(9), 0);
    EXPECT_EQ(LastError(), 0);  // an empty document is no error
    EXPECT_EQ(Api().GetRecordsCount(1), 4);
    EXPECT_EQ(Api().CloseComm(), 1);
    EXPECT_EQ(Api().CheckComm(), 0);
    EXPECT_EQ(Api().Ping(), 0);
    EXPECT_EQ(LastError(), 1);  // port not open
    // The cradle answers its wake-up; the same terminal then serves as before.
    ASSERT_EQ(Api().OpenComm(3, 5, 1), 1);
    EXPECT_EQ(Api().GetDataCount(0), 2);
    Api().CloseComm();
    sim->Stop();  // all it said is in the log now
    EXPECT_NE(sim->Log().find("cradle: wake-up"), std::string::npos);
}

TEST_F(CipherLab, OpenFailures) {
    struct Case {
        int port, baud, type, code;
    };
    const Case cases[] = {
        {4, 1, 0, 2},   // no such port
        {3, 0, 0, 21},  // baud-rate code out of 1..5
        {3, 6, 0, 21},
        {3, 1, 2, 21},  // port type out of 0..1
        {0, 1, 0, 21},
    };
    Start(BaseState());
    tolvane::test::WriteFile(prefix.Path() + "/dosdevices/com4", "not a terminal");
    for (const auto& c : cases) {
        EXPECT_EQ(Api().OpenComm(c.port, c.baud, c.type), 0) << c.port << " " << c.baud << " " << c.type;
        std::string text;
        EXPECT_EQ(LastError(&text), c.code) << text;
        EXPECT_FALSE(text.empty());
        EXPECT_EQ(Api().CheckComm(), 0);
    }
}

TEST_F(CipherLab, DocumentWithEmptyAndFullLengthFields) {
    const std::string latin(255, 'x');
    std::string cyrillic;
    for (int i = 0; i < 255; ++i) cyrillic += "Я";  // 255 characters, 510 bytes of UTF-8
    json state = BaseState();
    state["documents"]["7"] = json::array({json::array({"a", "", "c", "", "", "", "", "h"}),
                                            json::array({latin, cyrillic, "", "", "", "", "", latin}),
                                            json::array({"4600000000028"})});
    Start(state);
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    EXPECT_EQ(Api().GetDataCount(7), 3);
    std::vector<Fields> got;
    EXPECT_EQ(ReadAll(true, 7, got), 0);
    ASSERT_EQ(got.size(), 3u);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], ToFields(state["documents"]["7"][i])) << i;
    EXPECT_EQ(got[1][1], std::string(255, '\xDF'));
    // After the end the iteration starts over.
    Buffers b;
    EXPECT_EQ(Read(true, 7, b), 1);
    EXPECT_EQ(b.Get(), ToFields(state["documents"]["7"][0]));
}

TEST_F(CipherLab, ClearingADocumentIsWrittenBack) {
    json state = BaseState();
    state["documents"]["2"] = GoodsJson(3);
    state["documents"]["3"] = GoodsJson(2);
    Start(state);
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    EXPECT_EQ(Api().ClearDoc(2), 1);
    EXPECT_EQ(Api().GetDataCount(2), 0);
    EXPECT_EQ(Api().GetDataCount(3), 2);
    Api().CloseComm();
    json saved = SavedState();
    EXPECT_TRUE(saved["documents"]["2"].empty());
    ASSERT_EQ(saved["documents"]["3"].size(), 2u);
    for (size_t i = 0; i < 2; ++i) EXPECT_EQ(ToFields(saved["documents"]["3"][i]), ToFields(state["documents"]["3"][i]));
}

TEST_F(CipherLab, WritingDatabasesOneToThree) {
    json state = BaseState();
    state["databases"]["2"] = GoodsJson(7);  // replaced by the upload
    Start(state);
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    std::map<int, json> sent;
    for (int db = 1; db <= 3; ++db) {
        sent[db] = GoodsJson(50 * db, 10 * db);
        for (const auto& r : sent[db]) ASSERT_EQ(Put(db, ToFields(r)), 1) << LastError();
        EXPECT_EQ(Api().Finish(), 1);
        EXPECT_EQ(Api().GetRecordsCount(db), int(sent[db].size()));
    }
    std::vector<Fields> got;
    EXPECT_EQ(ReadAll(false, 2, got), 0);
    ASSERT_EQ(got.size(), sent[2].size());
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], ToFields(sent[2][i]));
    // A field longer than 255 characters is taken to its first 255.
    Fields longField(8);
    longField[0] = std::string(300, 'z');
    EXPECT_EQ(Put(1, longField), 1);
    EXPECT_EQ(Api().Finish(), 1);
    Api().CloseComm();
    json saved = SavedState();
    for (int db = 2; db <= 3; ++db) {
        ASSERT_EQ(saved["databases"][std::to_string(db)].size(), sent[db].size());
        for (size_t i = 0; i < sent[db].size(); ++i)
            EXPECT_EQ(ToFields(saved["databases"][std::to_string(db)][i]), ToFields(sent[db][i]));
    }
    EXPECT_EQ(saved["databases"]["1"], json::array({json::array({std::string(255, 'z')})}));
}

TEST_F(CipherLab, RangeErrors) {
    Start(BaseState());
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    Buffers b;
    Fields f(8);
    struct Case {
        const char* call;
        std::function<int()> run;
        int result, code;
    };
    const Case cases[] = {
        {"GetDataCount(10)", [] { return Api().GetDataCount(10); }, 0, 23},
        {"GetDataCount(-1)", [] { return Api().GetDataCount(-1); }, 0, 23},
        {"ClearDoc(10)", [] { return Api().ClearDoc(10); }, 0, 23},
        {"ReadData(10)", [&] { return Read(true, 10, b); }, -23, 23},
        {"GetRecordsCount(0)", [] { return Api().GetRecordsCount(0); }, 0, 22},
        {"GetRecordsCount(4)", [] { return Api().GetRecordsCount(4); }, 0, 22},
        {"ReadRecord(4)", [&] { return Read(false, 4, b); }, -22, 22},
        {"PutRecord(0)", [&] { return Put(0, f); }, 0, 22},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.run(), c.result) << c.call;
        EXPECT_EQ(LastError(), c.code) << c.call;
    }
    EXPECT_EQ(b.Get(), Buffers().Get());  // failed reads leave the buffers alone
    EXPECT_EQ(Api().Ping(), 1);
    EXPECT_EQ(LastError(), 0);  // a good call clears the last error
}

TEST_F(CipherLab, SilentTerminalTimesOut) {
    json state = BaseState();
    state["documents"]["0"] = GoodsJson(2);
    Start(state, {"--fault", "silent"});
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);  // a plain port opens without the terminal
    EXPECT_EQ(Api().Ping(), 0);
    std::string text;
    EXPECT_EQ(LastError(&text), 8);
    EXPECT_NE(text.find("time-out"), std::string::npos) << text;
    Buffers b;
    EXPECT_EQ(Read(true, 0, b), -8);
    EXPECT_EQ(Api().GetCurrentState(), 0);
    EXPECT_EQ(LastError(), 8);
}

TEST_F(CipherLab, TerminalOutsideItsMainMenu) {
    json state = BaseState();
    state["documents"]["0"] = GoodsJson(2);
    Start(state, {"--fault", "not-in-menu"});
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    EXPECT_EQ(Api().Ping(), 1);
    EXPECT_EQ(Api().GetCurrentState(), 0);
    EXPECT_EQ(LastError(), 0);
    Buffers b;
    EXPECT_EQ(Read(true, 0, b), -18);
    EXPECT_EQ(Put(1, Fields(8, "x")), 0);
    EXPECT_EQ(LastError(), 18);
}

TEST_F(CipherLab, NoisyLineDeliversExactRecordsOrFails) {
    json state = BaseState();
    state["documents"]["5"] = GoodsJson(300, 8);
    Start(state, {"--fault", "noise=0.002", "--seed", "7"});
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    std::vector<Fields> got;
    int r = ReadAll(true, 5, got);
    ASSERT_LE(got.size(), 300u);
    for (size_t i = 0; i < got.size(); ++i) ASSERT_EQ(got[i], ToFields(state["documents"]["5"][i])) << i;
    // The property above is the point; and this much noise the retries absorb.
    EXPECT_EQ(r, 0);
    EXPECT_EQ(got.size(), 300u);
    const json goods = GoodsJson(300, 8);
    bool sent = true;
    for (const auto& g : goods) sent = sent && Put(3, ToFields(g)) == 1;
    sent = Api().Finish() == 1 && sent;
    Api().CloseComm();
    json saved = SavedState()["databases"]["3"];
    ASSERT_LE(saved.size(), goods.size());
    for (size_t i = 0; i < saved.size(); ++i) ASSERT_EQ(ToFields(saved[i]), ToFields(goods[i])) << i;
    EXPECT_TRUE(sent);
    EXPECT_EQ(saved.size(), goods.size());
}

TEST_F(CipherLab, PulledCableEndsTheTransferWithAnError) {
    json state = BaseState();
    state["documents"]["1"] = GoodsJson(20);
    Start(state, {"--fault", "cut-after=5"});
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    std::vector<Fields> got;
    int r = ReadAll(true, 1, got);
    EXPECT_EQ(r, -9);
    ASSERT_EQ(got.size(), 5u);
    for (size_t i = 0; i < got.size(); ++i) EXPECT_EQ(got[i], ToFields(state["documents"]["1"][i]));

    const json goods = GoodsJson(20);
    int failedAt = -1;
    for (size_t i = 0; i < goods.size() && failedAt < 0; ++i)
        if (Put(2, ToFields(goods[i])) != 1) failedAt = int(i);
    int finished = Api().Finish();
    EXPECT_TRUE(failedAt >= 0 || finished == 0) << "the pulled cable went unnoticed";
    int code = LastError();
    EXPECT_TRUE(code == 8 || code == 9) << code;
    Api().CloseComm();
    json saved = SavedState()["databases"]["2"];
    ASSERT_EQ(saved.size(), 5u);
    for (size_t i = 0; i < saved.size(); ++i) EXPECT_EQ(ToFields(saved[i]), ToFields(goods[i]));
    EXPECT_NE(sim->Log().find("cable pulled"), std::string::npos);
}

TEST_F(CipherLab, MemoryFullRefusesTheRecordThatDoesNotFit) {
    Start(BaseState(), {"--fault", "memory-full-after=3"});
    ASSERT_EQ(Api().OpenComm(3, 1, 0), 1);
    const json goods = GoodsJson(5);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(Put(1, ToFields(goods[i])), 1);
    EXPECT_EQ(Put(1, ToFields(goods[3])), 0);
    EXPECT_EQ(LastError(), 19);
    EXPECT_EQ(Api().Finish(), 1);
    EXPECT_EQ(Api().GetRecordsCount(1), 3);
}

TEST(PdtSim, RefusesWhatItCannotServe) {
    TempPrefix prefix;
    const std::string sim = tolvane::test::BinaryDir() + "/pdt-sim --prefix " + prefix.Path() + " --port 3 ";
    tolvane::test::WriteFile(prefix.Path() + "/bad.json", R"({"documents": {"10": []}})");
    struct Case {
        std::string args, says;
    };
    const Case cases[] = {
        {"--state " + prefix.Path() + "/s.json --firmware sankyo", "sankyo"},
        {"--state " + prefix.Path() + "/s.json --fault noise=2", "bad fault"},
        {"--state " + prefix.Path() + "/s.json --fault unplugged", "unknown fault"},
        {"--state " + prefix.Path() + "/bad.json", "no number 10"},
    };
    for (const auto& c : cases) {
        auto result = tolvane::test::RunCommand(sim + c.args);
        EXPECT_NE(result.status, 0) << c.args;
        EXPECT_NE(result.err.find(c.says), std::string::npos) << c.args << ": " << result.err;
    }
}

}  // namespace
