// TCipherIO over the in-process terminal library: port, errors, readiness,
// clock and the information report.
#include <gtest/gtest.h>

#include <functional>

#include "FakeCipherLibrary.h"
#include "link/CipherIO.h"
#include "rtl/DateTime.h"
#include "rtl/Exception.h"

namespace tolvane {
namespace {

using test::FakeCipherLibrary;
using Log = std::vector<std::string>;

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(no exception)";
}

class CipherIOTest : public ::testing::Test {
protected:
    FakeCipherLibrary fake;
    TCipherIO io{fake.Table()};
    int activeChanges = 0;

    void SetUp() override {
        io.OnActiveChange = [this](TCipherIO& sender) {
            EXPECT_EQ(&sender, &io);
            ++activeChanges;
        };
    }
};

TEST_F(CipherIOTest, FreshComponentHasDefaultsAndHasNotCalledTheLibrary) {
    EXPECT_EQ(io.PortNumber(), 2);
    EXPECT_EQ(io.BaudRate(), 1);
    EXPECT_EQ(io.PortType(), 1);
    EXPECT_EQ(io.DownloadDelimiter, '\t');
    EXPECT_EQ(io.UploadDelimiter, '\t');
    EXPECT_TRUE(io.Records().Empty());
    EXPECT_EQ(fake.TotalCalls(), 0);
}

TEST_F(CipherIOTest, OpeningHandsOverSettingsAndDelimitersOnceAndClosingFiresTheEvent) {
    io.SetPortNumber(3);
    io.SetBaudRate(4);
    io.SetPortType(0);
    io.UploadDelimiter = ';';
    io.DownloadDelimiter = '\xFF';  // widened as an unsigned character
    fake.Log.clear();
    io.SetActive(true);
    io.SetActive(true);
    EXPECT_EQ(fake.Log, (Log{"CheckComm", "OpenComm(3,4,0)", "CheckComm", "delimiter(59,255)", "CheckComm"}));
    EXPECT_EQ(activeChanges, 1);
    EXPECT_TRUE(io.Active());

    fake.Log.clear();
    io.SetActive(false);
    io.SetActive(false);
    EXPECT_EQ(fake.Log, (Log{"CheckComm", "CloseComm", "CheckComm"}));
    EXPECT_EQ(activeChanges, 2);
}

TEST_F(CipherIOTest, BooleanAnswersAreReadFromTheLowestByte) {
    fake.OpenAnswer = 0x100;  // the port opens in the library, but the answer's lowest byte says false
    fake.ErrorCode = 0;
    io.SetActive(true);
    EXPECT_EQ(fake.Calls("GetError"), 1);
    fake.PingAnswer = 0x201;
    EXPECT_TRUE(io.TestLink());
    fake.StateAnswer = 0x200;
    EXPECT_FALSE(io.IsReadyForExchange());
}

TEST_F(CipherIOTest, FailedOpenWithCodeZeroStaysClosedQuietly) {
    fake.OpenAnswer = 0;
    fake.ErrorCode = 0;
    io.SetActive(true);
    EXPECT_FALSE(io.Active());
    EXPECT_EQ(fake.Calls("delimiter"), 0);
    EXPECT_EQ(activeChanges, 0);
}

TEST_F(CipherIOTest, OpenCommAnsweringTrueForAPortThatStaysClosedSendsNoDelimiters) {
    fake.OpenLeavesClosed = true;
    io.SetActive(true);
    EXPECT_EQ(fake.Calls("OpenComm"), 1);
    EXPECT_EQ(fake.Calls("delimiter"), 0);
    EXPECT_EQ(activeChanges, 0);
}

TEST_F(CipherIOTest, FailedOpenRaisesTheLibraryError) {
    fake.OpenAnswer = 0;
    fake.ErrorCode = 2;
    fake.ErrorText = "cannot open the port";
    EXPECT_EQ(MessageOf([&] { io.SetActive(true); }), "Невозможно открыть COM порт!");
    EXPECT_EQ(fake.Calls("delimiter"), 0);
    EXPECT_EQ(activeChanges, 0);
}

TEST_F(CipherIOTest, ActiveChangeHandlerFailureReachesTheWriter) {
    io.OnActiveChange = [](TCipherIO&) { throw Exception("handler failed"); };
    EXPECT_EQ(MessageOf([&] { io.SetActive(true); }), "handler failed");
    EXPECT_TRUE(io.Active());
}

TEST_F(CipherIOTest, LibraryErrorCodesMapToTableTextsOrTheRangeMessage) {
    const std::string range = "Код ошибки %d не в диапазхоне 1..23. Вот описание ошибки из библиотеки:\r\n";
    struct Case {
        int32_t code;
        std::string expected;
    } cases[] = {
        {1, "COM порт не инициализирован!"},
        {5, "Ошибка СОМ порта!"},
        {19, "Переполнение памяти!Завершено!"},
        {23, "Неверный диапазон документа (0..9)!"},
        {24, "Код ошибки 24 не в диапазхоне 1..23. Вот описание ошибки из библиотеки:\r\nlibrary text"},
        {-1, "Код ошибки -1 не в диапазхоне 1..23. Вот описание ошибки из библиотеки:\r\nlibrary text"},
    };
    fake.ErrorText = "library text";
    for (const Case& c : cases) {
        fake.ErrorCode = c.code;
        EXPECT_EQ(MessageOf([&] { io.RaiseLibraryError(); }), c.expected) << c.code;
    }
    fake.ErrorCode = 0;
    EXPECT_NO_THROW(io.RaiseLibraryError());
    EXPECT_EQ(io.GetLibraryError().Text, "library text");
    EXPECT_STREQ(ErrorTexts[0], "Операция была завершена успешно!");
    EXPECT_STREQ(ErrorTexts[5], "Ошибка \xD1\xCE\xCC порта!");  // Cyrillic "СОМ"
    EXPECT_STREQ(ErrorTexts[1], "COM порт не инициализирован!");
}

TEST_F(CipherIOTest, PortSettingsAreRefusedWhileOpenAndAcceptedAfterClosing) {
    struct Case {
        std::function<void()> change;
        std::function<int()> read;
        std::string message;
    } cases[] = {
        {[&] { io.SetPortNumber(7); }, [&] { return io.PortNumber(); },
         "Невозможно сменить номер порта. Деактивируйте порт."},
        {[&] { io.SetBaudRate(5); }, [&] { return io.BaudRate(); },
         "Невозможно сменить скорость порта. Деактивируйте порт."},
        {[&] { io.SetPortType(0); }, [&] { return int(io.PortType()); },
         "Невозможно сменить тип порта. Деактивируйте порт."},
    };
    for (const Case& c : cases) {
        io.SetActive(true);
        const int before = c.read();
        EXPECT_EQ(MessageOf(c.change), c.message);
        EXPECT_EQ(c.read(), before);
        io.SetActive(false);
        c.change();
        EXPECT_NE(c.read(), before) << c.message;
    }
}

TEST_F(CipherIOTest, CheckReadyNamesTheFirstFailingCheck) {
    EXPECT_EQ(MessageOf([&] { io.CheckReady(); }), "Com порт не активен.");
    io.SetActive(true);
    fake.CheckCommAnswers = {1, 0};
    EXPECT_EQ(MessageOf([&] { io.CheckReady(); }), "Терминал не готов");
    fake.StateAnswer = 0;
    EXPECT_EQ(MessageOf([&] { io.CheckReady(); }), "Терминал не находится в основном меню.");
    fake.StateAnswer = 1;
    EXPECT_NO_THROW(io.CheckReady());
}

TEST_F(CipherIOTest, QueriesPassNumbersAndAnswersThrough) {
    fake.DataCounts[9] = 12;
    fake.RecordCounts[3] = 40;
    fake.ClearDocAnswer = 7;
    EXPECT_EQ(io.DocumentRecordCount(9), 12);
    EXPECT_EQ(io.BaseRecordCount(3), 40);
    EXPECT_EQ(io.ClearTerminalDocument(4), 7);
    EXPECT_EQ(fake.Log, (Log{"GetDataCount(9)", "GetRecordsCount(3)", "ClearDoc(4)"}));
}

TEST_F(CipherIOTest, TextsReadFromTheLibraryStopAtTheBufferLimit) {
    fake.SerialNumber = std::string(300, 'S');  // the library writes 255 characters and the zero
    EXPECT_EQ(io.ReadSerialNumber(), std::string(255, 'S'));
    fake.ErrorText = std::string(255, 'E');
    EXPECT_EQ(io.GetLibraryError().Text.size(), 255u);
    fake.TimeAnswer = 0;
    EXPECT_EQ(io.ReadClockText(), "");
}

TEST(ClockText, ParsesFourteenDigitsAndRefusesWhatIsNotANumber) {
    EXPECT_EQ(ParseClockText("20100311142530"), EncodeDate(2010, 3, 11) + EncodeTime(14, 25, 30, 0));
    EXPECT_EQ(ParseClockText("2010031114253"), EncodeDate(2010, 3, 11) + EncodeTime(14, 25, 3, 0));
    struct Case {
        std::string text;
    } bad[] = {{"201003111425"}, {""}, {"2010O311142530"}, {"20100311 4:2530"}};
    for (const Case& c : bad)
        EXPECT_EQ(MessageOf([&] { ParseClockText(c.text); }), "Неверный формат даты " + c.text) << c.text;
    EXPECT_THROW(ParseClockText("20101345000000"), EConvertError);
    EXPECT_THROW(ParseClockText("20100311250000"), EConvertError);
}

TEST_F(CipherIOTest, ReadClockParsesTheTerminalClockAndAFailedReadIsAFormatError) {
    EXPECT_EQ(io.ReadClock(), EncodeDate(2010, 3, 11) + EncodeTime(14, 25, 30, 0));
    fake.TimeAnswer = 0;
    EXPECT_EQ(MessageOf([&] { io.ReadClock(); }), "Неверный формат даты ");
}

TEST_F(CipherIOTest, ReportOfASilentTerminalIsOnlyThePingLine) {
    fake.PingAnswer = 0;
    EXPECT_EQ(io.TerminalInfo(), "Ping:None\r\n");
    EXPECT_EQ(fake.Log, (Log{"Ping"}));
}

TEST_F(CipherIOTest, ReportOfATerminalOutsideItsMainMenuStopsAfterReadiness) {
    fake.StateAnswer = 0;
    EXPECT_EQ(io.TerminalInfo(), "Ping:Ok\r\nТСД к обмену не готов\r\n");
    EXPECT_EQ(fake.Log, (Log{"Ping", "GetCurrentState"}));
}

TEST_F(CipherIOTest, FullReportListsClockDatabasesAndDocuments) {
    fake.SerialNumber = "8001-42";
    fake.RecordCounts = {0, 10, 0, 3};
    for (int d = 0; d < 10; ++d) fake.DataCounts[d] = d * 2;
    std::string expected =
        "Ping:Ok\r\nТСД к обмену готов\r\nСерийный номер:8001-42\r\n"
        "Дата  и время в ТСД:11.03.2010 14:25:30\r\n\r\n"
        "База 1 содержит 10 записей\r\nБаза 2 содержит 0 записей\r\nБаза 3 содержит 3 записей\r\n\r\n";
    for (int d = 0; d < 10; ++d) expected += "Документ " + std::to_string(d) + " содержит " + std::to_string(d * 2) + " записей\r\n";
    expected += "\r\nAll done!\r\n";
    EXPECT_EQ(io.TerminalInfo(), expected);
    EXPECT_EQ(fake.Calls("GetRecordsCount"), 3);
    EXPECT_EQ(fake.Calls("GetDataCount"), 10);
}

TEST_F(CipherIOTest, ReportOfATerminalWithAnImpossibleClockIsStillComplete) {
    struct Case {
        std::string clock;
        int32_t answer;
    } cases[] = {{"20101345000000", 1}, {"00000000000000", 1}, {"", 0}, {"garbage", 1}};
    for (const Case& c : cases) {
        fake.Clock = c.clock;
        fake.TimeAnswer = c.answer;
        std::string report = io.TerminalInfo();
        EXPECT_NE(report.find("Дата  и время в ТСД:неверное значение \"" + c.clock + "\"\r\n"), std::string::npos)
            << report;
        EXPECT_TRUE(report.ends_with("\r\nAll done!\r\n")) << report;
    }
}

TEST(CipherIODestruction, ClosesAnOpenPortAndNeverRaises) {
    FakeCipherLibrary fake;
    int changes = 0;
    {
        TCipherIO io(fake.Table());
        io.SetActive(true);
        io.OnActiveChange = [&](TCipherIO&) {
            ++changes;
            throw Exception("handler failed");
        };
    }
    EXPECT_EQ(fake.Calls("CloseComm"), 1);
    EXPECT_FALSE(fake.PortOpen);
    EXPECT_EQ(changes, 1);

    fake.Log.clear();
    { TCipherIO closed(fake.Table()); }
    EXPECT_EQ(fake.Log, (Log{"CheckComm"}));
}

}  // namespace
}  // namespace tolvane
