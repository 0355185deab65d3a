// The SCANCODE driver over an in-process terminal library.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeCipherLibrary.h"
#include "ScriptedUi.h"
#include "exchange/CipherScanCodePDT.h"
#include "rtl/Exception.h"

using namespace tolvane;

namespace {

class ScanCode : public ::testing::Test {
protected:
    std::unique_ptr<TCipherScanCodePDT> Create(const std::string& delimiter = "09", bool cradle = false) {
        return std::make_unique<TCipherScanCodePDT>(3, 2, cradle, memo, delimiter,
                                                    std::make_unique<TCipherIO>(fake.Table()));
    }
    std::string CreateFails(const std::string& delimiter = "09") {
        try {
            Create(delimiter);
        } catch (const Exception& e) {
            return e.Message();
        }
        ADD_FAILURE() << "construction succeeded";
        return {};
    }

    test::ScriptedUi& ui = test::ScriptedUi::Install();
    test::FakeCipherLibrary fake;
    TStringList memo;
};

TEST_F(ScanCode, ConstructionOpensThePortAndReportsTheTerminal) {
    auto driver = Create("3B", true);
    EXPECT_TRUE(fake.PortOpen);
    EXPECT_NE(std::find(fake.Log.begin(), fake.Log.end(), "OpenComm(3,2,1)"), fake.Log.end());
    ASSERT_GE(memo.Count(), 3);
    EXPECT_EQ(memo[0], "ПОДГОТОВКА К ОБМЕНУ ДАННЫМИ С ТСД CipherLab С ПРОШИВКОЙ SCANCODE\r\n");
    EXPECT_EQ(memo[1], "Открытие СОМ-порта №3 выполнено");
    EXPECT_EQ(memo[2].rfind("Информация о CipherLab: \r\nPing:Ok\r\n", 0), 0u) << memo[2];
    driver.reset();
    EXPECT_FALSE(fake.PortOpen);  // closed by the destructor
}

TEST_F(ScanCode, UploadDelimiterComesFromTheHexText) {
    struct Case {
        std::string text;
        int code;
    };
    const Case cases[] = {{"09", 9}, {"3B", 59}, {"3b", 59}, {"1FF", 255}, {"", 9}, {"3G", 9},
                          {" 3B", 9}, {"-3", 9}, {"$3B", 9}, {"100000000", 9}, {"000000041", 65}};
    for (const auto& c : cases) {
        fake.Log.clear();
        Create(c.text);
        std::string expected = "delimiter(" + std::to_string(c.code) + ",96)";
        EXPECT_NE(std::find(fake.Log.begin(), fake.Log.end(), expected), fake.Log.end()) << "'" << c.text << "'";
    }
}

TEST_F(ScanCode, FailedConstructionClosesThePortAndSaysWhy) {
    fake.OpenAnswer = 0;
    fake.OpenLeavesClosed = true;
    fake.ErrorCode = 2;
    EXPECT_EQ(CreateFails(), "Ошибка при открытии СОМ-порта №3: Невозможно открыть COM порт!");
    EXPECT_EQ(memo.Count(), 1);  // only the banner: the port error is not a message

    memo.Clear();
    fake.OpenAnswer = 1;
    fake.OpenLeavesClosed = false;
    fake.PingAnswer = 0;
    std::string noAnswer = CreateFails();
    EXPECT_EQ(noAnswer, NoAnswerText);
    EXPECT_EQ(memo[memo.Count() - 1], NoAnswerText);
    EXPECT_FALSE(fake.PortOpen);  // opened, then closed again
}

TEST_F(ScanCode, NotReadyTerminalStillConstructs) {
    fake.StateAnswer = 0;
    auto driver = Create();
    EXPECT_NE(memo[2].find("Ping:Ok"), std::string::npos);
}

TEST_F(ScanCode, DeletionReportsWhatTheTerminalAnswered) {
    auto driver = Create();
    std::string error = "stale";
    driver->DeleteDocument(4, error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(memo[memo.Count() - 1], "Документ №5 успешно удален");
    EXPECT_EQ(fake.Log.back(), "ClearDoc(4)");

    // A clearing the terminal did not confirm is a failure, never a success.
    fake.ClearDocAnswer = 0;
    fake.ErrorCode = 8;
    driver->DeleteDocument(4, error);
    EXPECT_EQ(error, "Тайм - аут! Данные не переданы!");
    EXPECT_EQ(memo[memo.Count() - 1], "Ошибка при удалении документа №5: Тайм - аут! Данные не переданы!");

    fake.ErrorCode = 0;
    driver->DeleteDocument(0, error);
    EXPECT_EQ(error, "терминал не подтвердил удаление документа");
}

TEST_F(ScanCode, ReadingSumsDuplicateKeys) {
    auto driver = Create();
    fake.DataCounts[0] = 3;
    for (const char* first : {"A 1", "B 2", "A 3"}) {
        test::FakeRead read;
        read.Result = 1;
        read.Fields[0] = first;
        fake.Reads.push_back(read);
    }
    TStringList records;
    EXPECT_EQ(driver->LoadDocument(0, records), 2);
    EXPECT_EQ(records.Lines(), (std::vector<std::string>{"A=4", "B=2"}));
    EXPECT_EQ(memo[memo.Count() - 1], "Загрузка завершена. Получено 2 записей");
}

}  // namespace
