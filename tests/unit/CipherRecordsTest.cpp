// The record side of TCipherIO over the in-process terminal library:
// field functions, record buffers, download and upload.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "FakeCipherLibrary.h"
#include "TestSupport.h"
#include "link/CipherIO.h"
#include "rtl/Exception.h"
#include "support/ProgressViewer.h"

namespace tolvane {
namespace {

using test::FakeCipherLibrary;
using test::FakeRead;
using test::FakeRecord;
using Log = std::vector<std::string>;

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

FakeRead Record(std::initializer_list<std::string> fields) {
    FakeRead read{1, {}};
    int k = 0;
    for (const std::string& f : fields) read.Fields[k++] = f;
    return read;
}

FakeRecord Fields(std::initializer_list<std::string> fields) { return Record(fields).Fields; }

TEST(FieldFunctions, RunsOfNonDelimitersAreTheFields) {
    struct Case {
        std::string text, delimiters;
        int count;
        std::vector<int> starts;
        std::vector<std::string> fields;
    } cases[] = {
        {"", "\t", 0, {}, {}},
        {"\t\t", "\t", 0, {}, {}},
        {"abc", "\t", 1, {1}, {"abc"}},
        {"\ta\t\tbc\t", "\t", 2, {2, 5}, {"a", "bc"}},
        {"x;y, z", ";,", 3, {1, 3, 5}, {"x", "y", " z"}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CountFields(c.text, c.delimiters), c.count) << c.text;
        for (int n = 1; n <= c.count; ++n) {
            EXPECT_EQ(FieldStart(n, c.text, c.delimiters), c.starts[n - 1]) << c.text << " " << n;
            EXPECT_EQ(ExtractField(n, c.text, c.delimiters), c.fields[n - 1]) << c.text << " " << n;
        }
        EXPECT_EQ(FieldStart(c.count + 1, c.text, c.delimiters), 0);
        EXPECT_EQ(ExtractField(c.count + 1, c.text, c.delimiters), "");
        EXPECT_EQ(FieldStart(0, c.text, c.delimiters), 0);
    }
}

TEST(JoinAndSplit, JoinKeepsEmptyFieldsInPlace) {
    EXPECT_EQ(TCipherIO::JoinFields('`', {"4601", "2", "", "", "", "", "", ""}), "4601`2``````");
    EXPECT_EQ(TCipherIO::JoinFields('`', {"only"}), "only");
}

TEST(JoinAndSplit, SplitMergesDelimiterRunsTrimsFieldsAndEmptiesTheRestOfTheSlots) {
    SlotArray slots(8);
    TCipherIO::SplitLine("1\t2\t3\t4\t5\t6\t7\t8", "\t", slots);
    EXPECT_EQ(slots, (SlotArray{"1", "2", "3", "4", "5", "6", "7", "8"}));
    TCipherIO::SplitLine("\ta\t\tb\t", "\t", slots);
    EXPECT_EQ(slots, (SlotArray{"a", "b", "", "", "", "", "", ""}));
    TCipherIO::SplitLine(" name \x01;  12,5 ", ";", slots);
    EXPECT_EQ(slots, (SlotArray{"name", "12,5", "", "", "", "", "", ""}));
}

TEST(JoinAndSplit, SplitRefusesMoreFieldsThanTheRecordOrTheSlotsHold) {
    SlotArray slots(8);
    const std::string nine = "1\t2\t3\t4\t5\t6\t7\t8\t9";
    EXPECT_EQ(MessageOf([&] { TCipherIO::SplitLine(nine, "\t", slots); }),
              "Количество полей превышает допустимое\r\n" + nine);
    SlotArray three(3);
    EXPECT_EQ(MessageOf([&] { TCipherIO::SplitLine("a b c d", " ", three); }),
              "Количество полей превышает допустимое\r\na b c d");
    SlotArray one(1);
    TCipherIO::SplitLine("solo", "\t", one);
    EXPECT_EQ(one, SlotArray{"solo"});
}

TEST(JoinAndSplit, SlotArraysOutsideOneToEightFailTheAssertions) {
    SlotArray nine(9), none;
    EXPECT_THROW(TCipherIO::SplitLine("a", "\t", nine), EAssertionFailed);
    EXPECT_THROW(TCipherIO::JoinFields('`', none), EAssertionFailed);
    FakeCipherLibrary fake;
    TCipherIO io(fake.Table());
    EXPECT_NE(MessageOf([&] { io.ReadDocumentRecord(0, nine); }).find("Слишком большое количество полей"),
              std::string::npos);
    EXPECT_NE(MessageOf([&] { io.WriteBaseRecord(1, none); }).find("Ноль - слишком малое количество полей"),
              std::string::npos);
    EXPECT_EQ(fake.Calls("ReadData") + fake.Calls("PutRecord"), 0);
}

class CipherRecordsTest : public ::testing::Test {
protected:
    FakeCipherLibrary fake;
    TCipherIO io{fake.Table()};
    std::vector<std::string> events;

    void SetUp() override {
        io.OnProgress = [this](TCipherIO&, int32_t stage, int32_t min, int32_t max, int32_t position) {
            events.push_back(std::to_string(stage) + ":" + std::to_string(min) + ":" + std::to_string(max) + ":" +
                             std::to_string(position));
        };
        io.SetActive(true);
        fake.Log.clear();
    }
};

TEST_F(CipherRecordsTest, ReadCallCopiesOnlyADeliveredRecordAndNeverReadsPastABuffer) {
    SlotArray slots{"old1", "old2"};
    fake.Reads = {FakeRead{0, {}}, FakeRead{-4, {}}, Record({"a", "b", "c"})};
    EXPECT_EQ(io.ReadDocumentRecord(5, slots), 0);
    EXPECT_EQ(io.ReadBaseRecord(2, slots), -4);
    EXPECT_EQ(slots, (SlotArray{"old1", "old2"}));
    EXPECT_EQ(io.ReadDocumentRecord(5, slots), 1);
    EXPECT_EQ(slots, (SlotArray{"a", "b"}));
    EXPECT_EQ(fake.Log, (Log{"ReadData(5)", "ReadRecord(2)", "ReadData(5)"}));

    FakeRead full = Record({});
    full.Unterminated = true;  // 256 bytes and no zero in every buffer
    fake.Reads = {full};
    SlotArray eight(8);
    EXPECT_EQ(io.ReadDocumentRecord(0, eight), 1);
    for (const std::string& slot : eight) EXPECT_EQ(slot, std::string(255, 'x'));
}

TEST_F(CipherRecordsTest, WriteSendsAtMost255CharactersAndEmptiesBuffersBeyondTheSlots) {
    const std::string long300 = std::string(255, 'a') + std::string(45, 'b');
    EXPECT_TRUE(io.WriteBaseRecord(2, {long300, "2", "3", "4", "5", "6", "7", "8"}));
    fake.PutAnswers = {0x100};
    EXPECT_FALSE(io.WriteBaseRecord(3, {"x", "y"}));
    ASSERT_EQ(fake.PutRecords.size(), 2u);
    EXPECT_EQ(fake.PutRecords[0][0], std::string(255, 'a'));
    EXPECT_EQ(fake.PutRecords[0][7], "8");
    EXPECT_EQ(fake.PutRecords[1], Fields({"x", "y"}));
    EXPECT_EQ(fake.PutNumbers, (std::vector<int32_t>{2, 3}));
}

TEST_F(CipherRecordsTest, DocumentDownloadReadsUntilTheLibraryEndsAndCopiesTheLines) {
    fake.DataCounts[4] = 3;
    fake.Reads = {Record({"4601", "2"}), Record({"4602", "", "x", "", "", "", "", "z"}), Record({"4601"}),
                  FakeRead{0, {}}};
    io.DownloadDelimiter = '`';
    TStringList list{"stale"};
    EXPECT_TRUE(io.DownloadDocument(4, list));
    const TStringList expected{"4601`2``````", "4602``x`````z", "4601```````"};
    EXPECT_EQ(io.Records().Lines(), expected.Lines());
    EXPECT_EQ(list.Lines(), expected.Lines());
    EXPECT_EQ(events, (Log{"0:0:3:0", "1:0:3:1", "1:0:3:2", "1:0:3:3", "1:0:3:4", "2:0:3:3"}));
    EXPECT_EQ(fake.ReadNumbers, (std::vector<int32_t>{4, 4, 4, 4}));
}

TEST_F(CipherRecordsTest, DownloadThatBreaksOffOrEndsInAnErrorLeavesTheCallersListAlone) {
    struct Case {
        const char* name;
        std::deque<FakeRead> reads;
        std::vector<std::string> records;
    } cases[] = {
        {"error before the count", {Record({"a"}), FakeRead{-5, {}}}, {"a```````", "Ошибка - -5"}},
        {"early end", {Record({"a"}), FakeRead{0, {}}}, {"a```````"}},
        {"error after the count",
         {Record({"a"}), Record({"b"}), Record({"c"}), FakeRead{-9, {}}},
         {"a```````", "b```````", "c```````", "Ошибка - -9"}},
        {"library failure", {Record({"a"}), FakeRead{1, {}, false, true}}, {"a```````"}},
    };
    io.DownloadDelimiter = '`';
    for (Case& c : cases) {
        fake.DataCounts[0] = 3;
        fake.Reads = c.reads;
        events.clear();
        TStringList list{"kept"};
        EXPECT_FALSE(io.DownloadDocument(0, list)) << c.name;
        EXPECT_EQ(list.Lines(), TStringList{"kept"}.Lines()) << c.name;
        EXPECT_EQ(io.Records().Lines(), c.records) << c.name;
        EXPECT_EQ(events.back(), "2:0:3:3") << c.name;
    }
}

TEST_F(CipherRecordsTest, DatabaseDownloadUsesTheDatabaseCallsAndSurvivesAFailingHandler) {
    fake.RecordCounts[2] = 1;
    fake.Reads = {Record({"code", "name", "9,99"}), FakeRead{0, {}}};
    io.OnProgress = [](TCipherIO&, int32_t, int32_t, int32_t, int32_t) { throw Exception("repaint failed"); };
    EXPECT_TRUE(io.Download(TDownloadMode::Database, 2));
    EXPECT_EQ(io.Records().Lines(), (std::vector<std::string>{"code\tname\t9,99\t\t\t\t\t"}));
    EXPECT_EQ(fake.Log, (Log{"CheckComm", "CheckComm", "GetCurrentState", "GetRecordsCount(2)", "ReadRecord(2)",
                             "ReadRecord(2)"}));
}

TEST_F(CipherRecordsTest, NothingIsReadFromAnEmptyDocumentOrAnUnreadyTerminal) {
    io.Records().Add("earlier");
    EXPECT_EQ(MessageOf([&] { io.Download(TDownloadMode::Document, 1); }), "Данных для скачивания нет");
    fake.StateAnswer = 0;
    fake.DataCounts[1] = 5;
    EXPECT_EQ(MessageOf([&] { io.Download(TDownloadMode::Document, 1); }), "Терминал не находится в основном меню.");
    EXPECT_EQ(io.Records().Lines(), (std::vector<std::string>{"earlier"}));
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(fake.Calls("ReadData"), 0);
}

// The progress window as UploadFile uses it, recorded.
struct ProgressRecord {
    std::vector<std::string> created;
    std::vector<double> percents;
    std::vector<std::string> lines;
    int checks = 0;
    int cancelAtCheck = 0;  // the operator cancels before this check (0: never)
    int terminated = 0;
};

class RecordedProgress : public IUploadProgress {
public:
    explicit RecordedProgress(ProgressRecord& record) : r_(record) {}
    void CheckCancel() override {
        if (++r_.checks == r_.cancelAtCheck) throw EProgressCancelByUser("Прервано пользователем!");
    }
    void SetPercent(double percent) override { r_.percents.push_back(percent); }
    void SetLine(int32_t number, const std::string& text, uint8_t alignment, bool wordWrap, uint32_t color,
                 uint8_t fontStyle, int32_t fontSize, const std::string& fontName) override {
        r_.lines.push_back(std::to_string(number) + "|" + text + "|" + std::to_string(alignment) + "|" +
                           std::to_string(wordWrap) + "|" + std::to_string(color) + "|" +
                           std::to_string(fontStyle) + "|" + std::to_string(fontSize) + "|" + fontName);
    }
    void Terminate() override { ++r_.terminated; }

private:
    ProgressRecord& r_;
};

class UploadTest : public CipherRecordsTest {
protected:
    test::TempPrefix prefix;
    ProgressRecord progress;

    void SetUp() override {
        CipherRecordsTest::SetUp();
        io.SetProgressFactory([this](const std::string& caption, bool determinate, bool cancel) {
            progress.created.push_back(caption + "|" + std::to_string(determinate) + "|" + std::to_string(cancel));
            return std::make_unique<RecordedProgress>(progress);
        });
    }
    std::string File(const std::string& content) {
        std::string path = prefix.Path() + "/goods.txt";
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Counter(int sent, int count) {
        return "10|Передано записей: " + std::to_string(sent) + " из " + std::to_string(count) + "|1|0|32768|1|14|";
    }
};

TEST_F(UploadTest, SendsEveryNonEmptyLineAsARecordWithProgress) {
    const std::string file = File("1\t2\t3\t4\t5\t6\t7\t8\r\n\r\n   \r\n a \t\t b \r\n" + std::string(300, 'n') + "\r\n");
    EXPECT_TRUE(io.UploadFile(3, file));

    ASSERT_EQ(fake.PutRecords.size(), 3u);
    EXPECT_EQ(fake.PutRecords[0], Fields({"1", "2", "3", "4", "5", "6", "7", "8"}));
    EXPECT_EQ(fake.PutRecords[1], Fields({"a", "b"}));  // nothing left of the 8-field line
    EXPECT_EQ(fake.PutRecords[2], Fields({std::string(255, 'n')}));
    EXPECT_EQ(fake.PutNumbers, (std::vector<int32_t>{3, 3, 3}));
    EXPECT_EQ(io.Records().Count(), 5);

    EXPECT_EQ(events, (Log{"0:0:5:0", "1:0:5:0", "1:0:5:1", "1:0:5:2", "1:0:5:3", "1:0:5:4", "2:0:5:5"}));
    EXPECT_EQ(progress.created, (Log{"Выполняется передача в ТСД...|1|1"}));
    EXPECT_EQ(progress.percents, (std::vector<double>{0, 20, 40, 60, 80}));
    EXPECT_EQ(progress.lines, (Log{Counter(1, 5), Counter(4, 5), Counter(5, 5)}));
    EXPECT_EQ(progress.checks, 5);
    EXPECT_EQ(progress.terminated, 1);
    // The upload ends only when the library confirmed every record.
    EXPECT_EQ(fake.Log.back(), "Finish");
}

TEST_F(UploadTest, AnEmptyFileShowsAndClosesTheWindowAndSucceeds) {
    io.UploadDelimiter = ';';
    EXPECT_TRUE(io.UploadFile(1, File("")));
    EXPECT_EQ(events, (Log{"0:0:0:0", "2:0:0:0"}));
    EXPECT_EQ(progress.created.size(), 1u);
    EXPECT_EQ(progress.terminated, 1);
    EXPECT_EQ(fake.Calls("PutRecord"), 0);
}

TEST_F(UploadTest, ALineOfNineFieldsStopsTheUploadAfterTheRecordsBeforeIt) {
    const std::string nine = "1;2;3;4;5;6;7;8;9";
    io.UploadDelimiter = ';';
    EXPECT_EQ(MessageOf([&] { io.UploadFile(1, File("a;b\n" + nine + "  \nc\n")); }),
              "Количество полей превышает допустимое\r\n" + nine);
    EXPECT_EQ(fake.PutRecords, (std::vector<FakeRecord>{Fields({"a", "b"})}));
    EXPECT_EQ(events, (Log{"0:0:3:0", "1:0:3:0", "1:0:3:1"}));
    EXPECT_EQ(progress.terminated, 1);
    EXPECT_EQ(fake.Calls("Finish"), 0);
}

TEST_F(UploadTest, ARefusedRecordEndsTheProgressAndRaisesTheLibraryError) {
    struct Case {
        int32_t code;
        std::string message;
    } cases[] = {
        {19, "Переполнение памяти!Завершено!"},
        {40, "Код ошибки 40 не в диапазхоне 1..23. Вот описание ошибки из библиотеки:\r\nfull"},
        // A refusal without a reason still loses the record.
        {0, "ТСД не принял запись из строки 2 файла"},
    };
    fake.ErrorText = "full";
    for (const Case& c : cases) {
        fake.PutRecords.clear();
        fake.PutAnswers = {1, 0};
        fake.ErrorCode = c.code;
        events.clear();
        progress = {};
        EXPECT_EQ(MessageOf([&] { io.UploadFile(2, File("a\nb\nc\n")); }), c.message);
        EXPECT_EQ(fake.PutRecords.size(), 2u) << c.code;
        EXPECT_EQ(events, (Log{"0:0:3:0", "1:0:3:0", "1:0:3:1", "2:0:3:3"})) << c.code;
        EXPECT_EQ(progress.terminated, 1) << c.code;
    }
}

TEST_F(UploadTest, RecordsTheLibraryLosesAfterAcceptingThemFailTheUpload) {
    fake.FinishAnswer = 0;
    fake.ErrorCode = 9;
    EXPECT_EQ(MessageOf([&] { io.UploadFile(2, File("a\nb\n")); }), "Ошибка передачи данных! Данные не переданы!");
    EXPECT_EQ(events.back(), "2:0:2:2");
    EXPECT_EQ(progress.terminated, 1);
}

TEST_F(UploadTest, CancellingStopsBeforeTheNextRecord) {
    progress.cancelAtCheck = 3;
    EXPECT_THROW(io.UploadFile(1, File("a\nb\nc\nd\n")), EProgressCancelByUser);
    EXPECT_EQ(fake.PutRecords, (std::vector<FakeRecord>{Fields({"a"}), Fields({"b"})}));
    EXPECT_EQ(events, (Log{"0:0:4:0", "1:0:4:0", "1:0:4:1"}));
    EXPECT_EQ(progress.terminated, 1);
}

TEST_F(UploadTest, AFileThatCannotBeReadAsTextFailsBeforeAnythingIsSent) {
    std::filesystem::create_directory(prefix.Path() + "/folder");
    struct Case {
        std::string path;
        std::string messageStart;
    } cases[] = {
        {prefix.Path() + "/missing.txt", "Cannot open file"},
        {prefix.Path() + "/folder", "Cannot open file"},
        {File(std::string("code\tname\r\nbin\0ary\r\n", 20)), "Файл "},
    };
    for (const Case& c : cases) {
        std::string message = MessageOf([&] { io.UploadFile(1, c.path); });
        EXPECT_TRUE(message.starts_with(c.messageStart)) << message;
        EXPECT_NE(message.find(c.path), std::string::npos) << message;
    }
    EXPECT_TRUE(events.empty());
    EXPECT_TRUE(progress.created.empty());
    EXPECT_EQ(fake.Calls("PutRecord"), 0);
}

TEST_F(UploadTest, AnUnreadyTerminalGetsNothing) {
    io.SetActive(false);
    EXPECT_EQ(MessageOf([&] { io.UploadFile(1, File("a\n")); }), "Com порт не активен.");
    EXPECT_TRUE(progress.created.empty());
    EXPECT_EQ(fake.Calls("PutRecord"), 0);
}

TEST_F(CipherRecordsTest, FinishExchangeEndsTheUploadWhateverTheAnswer) {
    fake.FinishAnswer = 0;
    EXPECT_NO_THROW(io.FinishExchange());
    EXPECT_EQ(fake.Log, (Log{"Finish"}));
}

}  // namespace
}  // namespace tolvane
