// The load window's logic and the two exchange workflows, against a
// scripted view and a fake terminal driver.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "ScriptedUi.h"
#include "TestSupport.h"
#include "exchange/Exchange.h"
#include "exchange/LoadDataForm.h"
#include "exchange/LoadDataUnit.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "rtl/Exception.h"
#include "rtl/Variants.h"

using namespace tolvane;
using test::Action;

namespace {

// What the fake terminal holds and how it behaves; one per test.
struct FakeTerminal {
    std::vector<std::string> document;  // key=quantity lines the driver delivers
    bool failCreate = false;
    std::string deleteError;
    std::string writeError;
    int deletes = 0, reads = 0, writes = 0, destroyed = 0;
    int writtenRecordCount = -1;
};
FakeTerminal* terminal = nullptr;

class FakeDriver : public TBaseTolvane {
public:
    FakeDriver(int32_t port, int32_t baud, bool cradle, TStringList& lines, const std::string& delimiter)
        : TBaseTolvane(port, baud, cradle, lines, delimiter) {
        AddMessage("fake terminal connected");
        if (terminal->failCreate) throw Exception("Нет ответа от терминала");
    }
    ~FakeDriver() override { ++terminal->destroyed; }

protected:
    int32_t DoReadDocument(int32_t, TStringList& records) override {
        ++terminal->reads;
        records.Clear();
        for (const auto& line : terminal->document) records.Add(line);
        FireProgress(0, int32_t(terminal->document.size()), int32_t(terminal->document.size()));
        return records.Count();
    }
    void DoDeleteDocument(int32_t, std::string& errorText) override {
        ++terminal->deletes;
        errorText = terminal->deleteError;
    }
    void DoWriteDatabase(int32_t, const std::string&, int32_t count, std::string& errorText) override {
        ++terminal->writes;
        terminal->writtenRecordCount = count;
        errorText = terminal->writeError;
    }
};

std::unique_ptr<TBaseTolvane> CreateFake(int32_t port, int32_t baud, bool cradle, TStringList& lines,
                                         const std::string& delimiter) {
    return std::make_unique<FakeDriver>(port, baud, cradle, lines, delimiter);
}
TBaseTolvaneClass FakeClass(int32_t) { return CreateFake; }

class Exchange : public ::testing::Test {
protected:
    void SetUp() override {
        terminal = &fake;
        InitializeLoadDataFrmUnit();
        settings.ComPort = 1;
    }
    void TearDown() override {
        FinalizeLoadDataFrmUnit();
        terminal = nullptr;
    }

    OleVariant Load() {
        OleVariant result = OleVariant::FromInt(5);  // LoadDocuments must replace whatever is there
        LoadDocuments(result.Get(), settings, FakeClass);
        return result;
    }

    // [[code, quantity], ...] read back through the OLE functions.
    static std::vector<std::pair<std::string, int32_t>> Pairs(const OleVariant& v) {
        std::vector<std::pair<std::string, int32_t>> out;
        int32_t upper = -1;
        OleCheck(SafeArrayGetUBound(v.Get().parray, 1, &upper));
        for (int32_t i = 0; i <= upper; ++i) {
            OleVariant pair, code, quantity;
            int32_t zero = 0, one = 1;
            OleCheck(SafeArrayGetElement(v.Get().parray, &i, pair.Ptr()));
            OleCheck(SafeArrayGetElement(pair.Get().parray, &zero, code.Ptr()));
            OleCheck(SafeArrayGetElement(pair.Get().parray, &one, quantity.Ptr()));
            EXPECT_EQ(code.Get().vt, VT_BSTR);
            EXPECT_EQ(quantity.Get().vt, VT_I4);
            out.emplace_back(VarToText(code.Get()), quantity.Get().lVal);
        }
        return out;
    }

    bool MemoHas(const std::string& line) const {
        const auto& memo = ui.window.memo;
        return std::find(memo.begin(), memo.end(), line) != memo.end();
    }

    test::TempPrefix prefix;
    test::ScriptedUi& ui = test::ScriptedUi::Install();
    FakeTerminal fake;
    TDriverSettings settings;
};

TEST_F(Exchange, NoRecordsOffersOnlyCancelAndReturnsNull) {
    ui.actions = {Action::PressEnterInMemo, Action::PressEsc};  // Enter does nothing; Esc cancels
    OleVariant result = Load();
    EXPECT_EQ(result.Get().vt, VT_NULL);
    EXPECT_FALSE(ui.window.okEnabled);
    EXPECT_TRUE(ui.window.cancelEnabled);
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_EQ(fake.deletes, 0);
    EXPECT_EQ(ui.window.timerTicks, 1);
    EXPECT_EQ(ui.window.memo.back(), "Загрузка завершена (записи не были загружены)");
    EXPECT_TRUE(platform::FindFiles("C:\\TORV\\Archive\\*").empty());
}

TEST_F(Exchange, AcceptedRecordsReachTheHostInOrder) {
    fake.document = {"4600000000011=3", "Хлеб=-2", "x=2147483647"};
    settings.ClearDocument = false;
    for (Action accept : {Action::PressOk, Action::PressEnterInMemo}) {
        ui.actions = {accept};
        OleVariant result = Load();
        ASSERT_EQ(result.Get().vt, VT_ARRAY | VT_VARIANT);
        EXPECT_EQ(Pairs(result), (std::vector<std::pair<std::string, int32_t>>{
                                     {"4600000000011", 3}, {"Хлеб", -2}, {"x", 2147483647}}));
        EXPECT_TRUE(ui.window.okFocused);
    }
    EXPECT_TRUE(ui.questions.empty());  // no clearing asked for, closing with OK never asks
    EXPECT_EQ(fake.deletes, 0);
}

TEST_F(Exchange, CancelWithRecordsAsksBeforeDroppingThem) {
    fake.document = {"A=1"};
    settings.ClearDocument = false;
    // First answer Cancel (stay), then Esc again and answer OK (drop).
    ui.actions = {Action::PressCancel, Action::PressEsc};
    ui.answers = {false, true};
    OleVariant result = Load();
    EXPECT_EQ(result.Get().vt, VT_NULL);
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[0].caption, "Подтверждение");
    EXPECT_FALSE(ui.questions[0].defaultOk);
    EXPECT_EQ(ui.questions[0].text,
              "Данные, загруженные из ТСД, не обработаны.\r\n"
              "Если вы закроете окно сейчас, то это может привести\r\n"
              "к потере данных и к необходимости выполнения сбора\r\n"
              "информации заново. Нажмите \"Отмена\", тогда программа\r\n"
              "сможет обработать данные. Нажатие \"ОК\" приведет\r\n"
              "к потере загруженных из ТСД данных.");

    // Refusing to drop them keeps the window, and OK still hands them over.
    ui.questions.clear();
    ui.actions = {Action::CloseWindow, Action::PressOk};
    ui.answers = {false};
    EXPECT_EQ(Pairs(Load()).size(), 1u);
    EXPECT_EQ(ui.questions.size(), 1u);
}

TEST_F(Exchange, ClearingFollowsTheSettingsAndTheOperator) {
    struct Case {
        bool clear, confirm;
        std::deque<bool> answers;
        int questions, deletes;
    };
    const Case cases[] = {
        {true, true, {true}, 1, 1},    // asked, agreed
        {true, true, {false}, 1, 0},   // asked, refused: kept, OK still offered
        {true, false, {}, 0, 1},       // cleared without asking
        {false, true, {}, 0, 0},       // never cleared
    };
    for (const auto& c : cases) {
        fake = FakeTerminal{};
        fake.document = {"A=1", "B=2"};
        settings.ClearDocument = c.clear;
        settings.MustConfirmBeforeClear = c.confirm;
        ui.questions.clear();
        ui.answers = c.answers;
        ui.actions = {Action::PressOk};
        OleVariant result = Load();
        EXPECT_EQ(int(ui.questions.size()), c.questions) << c.clear << c.confirm;
        EXPECT_EQ(fake.deletes, c.deletes) << c.clear << c.confirm;
        EXPECT_EQ(Pairs(result).size(), 2u);
        if (c.questions) {
            EXPECT_EQ(ui.questions[0].caption, "УДАЛЕНИЕ ДАННЫХ ИЗ ТСД");
            EXPECT_TRUE(ui.questions[0].defaultOk);
        }
        EXPECT_EQ(MemoHas("Документ №1 успешно удален"), c.deletes == 1);
        EXPECT_EQ(fake.destroyed, 1);
    }
}

TEST_F(Exchange, EveryLoadIsArchivedBeforeTheTerminalIsCleared) {
    fake.document = {"4600000000011=3", "Молоко=1"};
    settings.ClearDocument = true;
    settings.MustConfirmBeforeClear = false;
    settings.LoadDocNumber = 4;
    ui.actions = {Action::PressOk};
    Load();
    auto names = platform::FindFiles("C:\\TORV\\Archive\\*_SCANCODE_doc5.txt");
    ASSERT_EQ(names.size(), 1u);
    EXPECT_EQ(*platform::ReadWholeFile("C:\\TORV\\Archive\\" + names[0]), "4600000000011=3\r\nМолоко=1\r\n");
    auto archived = std::find_if(ui.window.memo.begin(), ui.window.memo.end(),
                                 [](const std::string& l) { return l.rfind("Загруженные данные сохранены в архив: ", 0) == 0; });
    auto deleted = std::find(ui.window.memo.begin(), ui.window.memo.end(), "Документ №5 успешно удален");
    EXPECT_LT(archived, deleted);

    // A second load in the same second gets a file of its own.
    ui.actions = {Action::PressOk};
    Load();
    EXPECT_EQ(platform::FindFiles("C:\\TORV\\Archive\\*_doc5*.txt").size(), 2u);
}

TEST_F(Exchange, DocumentStaysOnTheTerminalWhenItCannotBeKeptSafe) {
    settings.ClearDocument = true;
    settings.MustConfirmBeforeClear = false;

    // A quantity the host cannot take as a whole number.
    fake.document = {"A=1", "B=2,5"};
    ui.actions = {Action::PressOk};
    OleVariant result;
    EXPECT_THROW(LoadDocuments(result.Get(), settings, FakeClass), EConvertError);
    EXPECT_EQ(result.Get().vt, VT_NULL);  // nothing half filled
    EXPECT_EQ(fake.deletes, 0);
    EXPECT_TRUE(MemoHas("Количество \"2,5\" у кода \"B\" не является целым числом"));

    // An archive folder that cannot be created.
    fake = FakeTerminal{};
    fake.document = {"A=1"};
    std::filesystem::remove_all(prefix.DriveC("TORV/Archive"));
    test::WriteFile(prefix.DriveC("TORV/Archive"), "a file where the folder should be");
    ui.actions = {Action::PressOk};
    Load();
    EXPECT_EQ(fake.deletes, 0);
    EXPECT_TRUE(MemoHas("Документ в ТСД не удален: загруженные данные остаются в терминале"));
}

TEST_F(Exchange, FailedExchangeShowsTheErrorAndKeepsTheWindow) {
    fake.failCreate = true;
    ui.actions = {Action::PressCancel};
    OleVariant result = Load();
    EXPECT_EQ(result.Get().vt, VT_NULL);
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Нет ответа от терминала"});
    EXPECT_TRUE(ui.window.cancelEnabled);
    EXPECT_FALSE(ui.window.okEnabled);
    EXPECT_EQ(ui.window.memo, std::vector<std::string>{"fake terminal connected"});
}

TEST_F(Exchange, FailedDeletionIsReportedLiterallyAndOkStaysOffered) {
    fake.document = {"A=1"};
    fake.deleteError = "нет связи 100% %d";
    settings.MustConfirmBeforeClear = false;
    ui.actions = {Action::PressOk};
    EXPECT_EQ(Pairs(Load()).size(), 1u);
    EXPECT_TRUE(MemoHas("Ошибка при удалении документа №1: нет связи 100% %d"));
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(Exchange, TestFileReplacesTerminalAndWindow) {
    test::WriteFile(prefix.DriveC("TORV/PDTTest.txt"), "111=2\r\n222=5\r\n");
    OleVariant result = Load();
    EXPECT_EQ(Pairs(result), (std::vector<std::pair<std::string, int32_t>>{{"111", 2}, {"222", 5}}));
    EXPECT_FALSE(ui.window.shown);
    EXPECT_EQ(fake.reads, 0);

    test::WriteFile(prefix.DriveC("TORV/PDTTest.txt"), "");
    EXPECT_EQ(Load().Get().vt, VT_NULL);
}

TEST_F(Exchange, GoodsUploadCountsLinesAndOffersClose) {
    struct Case {
        const char* content;  // nullptr: no file
        std::string writeError;
        int writes, count;
        std::string last;
    };
    const Case cases[] = {
        {nullptr, "", 0, -1, "Ошибка! Файл не найден: C:\\TORV\\TEMP\\TempPDTBase.txt"},
        {"", "", 1, 0, "Загрузка базы данных в ТСД завершена"},
        {"a\tb\r\n\r\nc\td\r\n", "", 1, 3, "Загрузка базы данных в ТСД завершена"},
        {"a\r\n", "память переполнена", 1, 1, "Ошибка загрузки базы данных в ТСД: память переполнена"},
    };
    settings.DBaseNum = 2;
    for (const auto& c : cases) {
        fake = FakeTerminal{};
        fake.writeError = c.writeError;
        std::string path = prefix.DriveC("TORV/TEMP/TempPDTBase.txt");
        std::remove(path.c_str());
        if (c.content) test::WriteFile(path, c.content);
        ui.actions = {Action::PressEsc};
        UploadGoods("C:\\TORV\\TEMP\\TempPDTBase.txt", settings, FakeClass);
        EXPECT_EQ(fake.writes, c.writes);
        EXPECT_EQ(fake.writtenRecordCount, c.count);
        EXPECT_EQ(ui.window.memo.back(), c.last);
        EXPECT_EQ(ui.window.memo[1], "Начало загрузки в ТСД базы данных №2");
        EXPECT_EQ(ui.window.cancelCaption, "Закрыть");
        EXPECT_TRUE(ui.window.cancelFocused);
        EXPECT_FALSE(ui.window.okEnabled);
        EXPECT_TRUE(ui.questions.empty());
    }
}

}  // namespace
