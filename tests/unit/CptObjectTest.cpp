// The automation server's object against an in-memory terminal link: the
// member contract through IDispatch, Read and Write running in their own
// thread while State answers 81 / 80, and the document file it writes.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

#include "CptObject.h"
#include "TestSupport.h"
#include "platform/Automation.h"
#include "platform/Files.h"
#include "rtl/Exception.h"
#include "platform/Paths.h"
#include "rtl/Encoding.h"

using namespace scansity;
using tolvane::OleVariant;
using tolvane::platform::OleArg;
using tolvane::platform::OleObject;

namespace {

// A terminal in memory. Transfers can be held at a record until the test
// lets them go on, so the running states are seen without any timing.
struct MemoryLink : TerminalLink {
    std::vector<Fields> document = {{"4600011", "2"}, {"4600028", ""}, {"abc"}};
    std::vector<Fields> stored;
    bool silent = false;
    int failReadAt = -1;
    bool gated = false;

    std::mutex m;
    std::condition_variable cv;
    int allowed = 0;  // records a gated transfer may move
    int reached = 0;  // records the transfer asked for so far

    void Allow(int records) {
        std::lock_guard lock(m);
        allowed = records;
        cv.notify_all();
    }
    void AwaitReached(int records) {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return reached >= records; });
    }
    void Step() {
        std::unique_lock lock(m);
        ++reached;
        cv.notify_all();
        if (gated) cv.wait(lock, [&] { return reached <= allowed; });
    }

    size_t next = 0;
    LinkResult Open(int32_t, int32_t, bool) override { return {}; }
    void Close() override {}
    LinkResult Identify(std::string& model) override {
        if (silent) return {state::NoAnswer, "Терминал не отвечает"};
        model = "CPT-711";
        return {};
    }
    LinkResult SerialNumber(std::string& serial) override {
        serial = "\xD1\xCD-1";  // "СН-1" in Windows-1251
        return {};
    }
    LinkResult FreeMemoryKb(int32_t& kb) override {
        kb = 1400;
        return {};
    }
    LinkResult Count(int32_t, uint32_t& records) override {
        records = uint32_t(document.size());
        return {};
    }
    LinkResult ReadNext(int32_t, Fields& record, bool& end) override {
        Step();
        if (int(next) == failReadAt) return {state::TransferError, "Обрыв связи"};
        end = next == document.size();
        if (end) next = 0;
        else record = document[next++];
        return {};
    }
    LinkResult Put(int32_t, const Fields& record) override {
        Step();
        stored.push_back(record);
        return {};
    }
    LinkResult Finish(int32_t) override { return {}; }
    LinkResult Clear(int32_t document) override {
        if (document != 0) return {state::NoSuchData, "Нет документа"};
        this->document.clear();
        return {};
    }
};

class CptObjectTest : public ::testing::Test {
protected:
    CptObjectTest() {
        auto owned = std::make_unique<MemoryLink>();
        link = owned.get();
        cpt = new CptObject(std::move(owned));
        object = OleObject(cpt);
    }
    ~CptObjectTest() override { link->Allow(1000); }

    int32_t Int(const std::string& member) { return tolvane::VarToInt(object.Get(member).Get()); }
    std::string Message() {
        OleVariant m = object.Get("StateMessage");
        return tolvane::Utf16ToUtf8(std::u16string_view(m.Get().bstrVal, SysStringLen(m.Get().bstrVal)));
    }
    void Open() {
        int32_t port = 2;
        object.Set("Port", OleArg::ByRef(port));
        object.Set("ConnectionType", 1);
        object.Call("InitComm");
        ASSERT_EQ(Int("State"), 0) << Message();
    }

    tolvane::test::TempPrefix prefix;
    MemoryLink* link;
    CptObject* cpt;
    OleObject object;
    const std::string temp = "C:\\TORV\\TEMP\\Temp_CipherLab.txt";
};

TEST_F(CptObjectTest, ReadRunsInItsOwnThreadAndWritesCodeQuantityLines) {
    Open();
    ASSERT_TRUE(tolvane::platform::ForceDirectories("C:\\TORV\\TEMP"));
    tolvane::test::WriteFile(tolvane::platform::NativePath(temp), "stale,9\r\nold,1\r\n");
    link->gated = true;
    EXPECT_EQ(tolvane::VarToInt(object.Call("RecordCount", {0, 1}).Get()), 3);
    EXPECT_EQ(tolvane::VarToInt(object.Call("Read", {temp, 0, 0, 1, 1}).Get()), 81);
    link->Allow(1);
    link->AwaitReached(2);  // the first record is written, the second asked for
    EXPECT_EQ(Int("State"), 81);
    EXPECT_EQ(Int("RecordsTransferred"), 1);
    EXPECT_EQ(tolvane::VarToInt(object.Call("DeleteData", {0, 1}).Get()), -1) << "busy while reading";
    EXPECT_EQ(Int("State"), 10);
    link->Allow(1000);
    cpt->AwaitTransfer();
    EXPECT_EQ(Int("RecordsTransferred"), 3);
    EXPECT_EQ(Int("State"), 0) << Message();
    EXPECT_EQ(tolvane::test::ReadFile(tolvane::platform::NativePath(temp)), "4600011,2\r\n4600028,\r\nabc,\r\n");
}

TEST_F(CptObjectTest, BrokenReadLeavesNoFileAndReportsTheLinkState) {
    Open();
    ASSERT_TRUE(tolvane::platform::ForceDirectories("C:\\TORV\\TEMP"));
    link->failReadAt = 2;
    object.Call("Read", {temp, 0, 0, 1, 1});
    cpt->AwaitTransfer();
    EXPECT_EQ(Int("State"), 5);
    EXPECT_EQ(Message(), "Обрыв связи");
    EXPECT_FALSE(tolvane::platform::FileExists(temp));
}

TEST_F(CptObjectTest, WriteSplitsTheGoodsFileAtTheDelimiterWhileStateIs80) {
    Open();
    object.Set("LookupDelimiter", 59);
    const std::string goods = "C:\\goods.txt";
    tolvane::test::WriteFile(tolvane::platform::NativePath(goods), "1;\xF5\xEB\xE5\xE1;35.50\r\n\r\n2;milk\r\n");
    link->gated = true;
    OleVariant path = OleVariant::FromText(goods);
    int32_t database = 2;
    EXPECT_EQ(tolvane::VarToInt(object.Call("Write", {OleArg::ByRef(path), 0, OleArg::ByRef(database)}).Get()), 80);
    link->Allow(1);
    link->AwaitReached(2);
    EXPECT_EQ(Int("State"), 80);
    EXPECT_EQ(Int("RecordsTransferred"), 1);
    link->Allow(1000);
    cpt->AwaitTransfer();
    EXPECT_EQ(Int("State"), 0) << Message();
    EXPECT_EQ(link->stored, (std::vector<Fields>{{"1", "\xF5\xEB\xE5\xE1", "35.50"}, {"2", "milk"}}));

    tolvane::test::WriteFile(tolvane::platform::NativePath(goods), "1;2;3;4;5;6;7;8;9\r\n");
    Open();
    EXPECT_EQ(tolvane::VarToInt(object.Call("Write", {OleArg::ByRef(path), 0, OleArg::ByRef(database)}).Get()), 8);
    EXPECT_EQ(Int("State"), 8);
    EXPECT_NE(Message().find("в строке 1 больше 8 полей"), std::string::npos) << Message();
}

TEST_F(CptObjectTest, LinkTestReportsTheModelOrTheNoAnswerState) {
    EXPECT_EQ(Int("Enabled"), 0);
    OleVariant model = OleVariant::FromText("");
    EXPECT_NE(tolvane::VarToInt(object.Call("LinkTest", {OleArg::ByRef(model)}).Get()), 0) << "port not open";
    EXPECT_EQ(Int("State"), 2);
    Open();
    EXPECT_EQ(Int("Enabled"), 1);
    EXPECT_EQ(tolvane::VarToInt(object.Call("LinkTest", {OleArg::ByRef(model)}).Get()), 0);
    EXPECT_EQ(tolvane::VarToText(model.Get()), "CPT-711");
    EXPECT_EQ(tolvane::VarToText(object.Get("SerialNumber").Get()), "\xD1\xCD-1");
    EXPECT_EQ(Int("FreeMemory"), 1400);

    link->silent = true;
    EXPECT_EQ(tolvane::VarToInt(object.Call("LinkTest", {OleArg::ByRef(model)}).Get()), 3);
    EXPECT_EQ(Int("State"), 3);
    EXPECT_EQ(Message(), "Терминал не отвечает");
    object.Call("CloseComm");
    EXPECT_EQ(Int("Enabled"), 0);
}

TEST_F(CptObjectTest, BadCallsAreRefusedThroughTheDispatchContract) {
    EXPECT_THROW(object.Call("Read", {temp}), tolvane::EOleError) << "wrong argument count";
    EXPECT_THROW(object.Set("State", 1), tolvane::EOleError) << "State is no property to write";
    EXPECT_THROW(object.Call("RecordCount", {"x", 1}), tolvane::EOleError) << "type mismatch";
    EXPECT_THROW(object.Get("Nonexistent"), tolvane::EOleError);
    object.Set("BaudRate", 9);
    object.Call("InitComm");
    EXPECT_EQ(Int("State"), 9);
    EXPECT_EQ(Int("BaudRate"), 9);
}

}  // namespace
