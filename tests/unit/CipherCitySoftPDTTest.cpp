// The SCANSITY driver against an in-process automation object that plays
// the terminal: link preparation, registration of the server, state checks,
// the document load with its temporary file and merge, the database upload,
// the deletion and the destructor.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <deque>
#include <filesystem>

#include "FakeDispatch.h"
#include "ScriptedUi.h"
#include "TestSupport.h"
#include "exchange/CipherCitySoftPDT.h"
#include "platform/Files.h"
#include "platform/Paths.h"
#include "rtl/Exception.h"

using namespace tolvane;
using test::FakeDispatch;

namespace {

const char* const kTemp = "C:\\TORV\\TEMP\\Temp_CipherLab.txt";

// The object's behaviour is plain data the tests change before they act.
struct FakeCitySoft : FakeDispatch {
    int32_t state = 0;
    std::string stateMessage;
    int32_t linkTest = 0;
    std::string model = "CPT-711";
    int32_t enabled = 1;
    int32_t recordCount = 3;
    std::deque<int32_t> readAnswers = {0};   // Read's answer, then each State read while polling
    std::string readFile = "101,2\r\n";      // what Read writes into the temporary file; nullopt-like: skip
    bool readWrites = true;
    std::deque<int32_t> writeAnswers = {0};
    int32_t deleteResult = 0;
    int32_t transferred = 0;
    bool closeFails = false;

    std::deque<int32_t>* polling = nullptr;  // the running operation's State answers

    FakeCitySoft() {
        for (const char* name : {"Port", "BaudRate", "ConnectionType", "LookupDelimiter", "InitComm"})
            Answer(name, OleVariant());
        On("State", [this](auto&, uint16_t) {
            if (polling && !polling->empty()) {
                int32_t s = polling->front();
                polling->pop_front();
                transferred += 10;
                return OleVariant::FromInt(s);
            }
            return OleVariant::FromInt(state);
        });
        On("StateMessage", [this](auto&, uint16_t) { return OleVariant::FromText(stateMessage); });
        On("LinkTest", [this](std::vector<VARIANT*>& args, uint16_t) {
            SysFreeString(*args.at(0)->pbstrVal);
            *args[0]->pbstrVal = TextToBstr(linkTest == 0 ? model : "");
            return OleVariant::FromInt(linkTest);
        });
        Answer("SerialNumber", OleVariant::FromText("SN-0042"));
        Answer("FreeMemory", OleVariant::FromInt(512));
        On("Enabled", [this](auto&, uint16_t) { return OleVariant::FromInt(enabled); });
        On("CloseComm", [this](auto&, uint16_t) -> OleVariant {
            if (closeFails) throw Exception("порт уже закрыт");
            enabled = 0;
            return OleVariant();
        });
        On("RecordCount", [this](auto&, uint16_t) { return OleVariant::FromInt(recordCount); });
        On("RecordsTransferred", [this](auto&, uint16_t) { return OleVariant::FromInt(transferred); });
        On("Read", [this](std::vector<VARIANT*>& args, uint16_t) {
            if (readWrites) test::WriteFile(platform::NativePath(VarToText(*args.at(0))), readFile);
            polling = &readAnswers;
            int32_t first = readAnswers.front();
            readAnswers.pop_front();
            return OleVariant::FromInt(first);
        });
        On("Write", [this](auto&, uint16_t) {
            polling = &writeAnswers;
            int32_t first = writeAnswers.front();
            writeAnswers.pop_front();
            return OleVariant::FromInt(first);
        });
        On("DeleteData", [this](auto&, uint16_t) { return OleVariant::FromInt(deleteResult); });
    }
};

class CitySoftDriver : public ::testing::Test {
protected:
    void SetUp() override {
        services.CreateOleObject = [this](const std::string& progId) {
            EXPECT_EQ(progId, "CitySoftWarehouseDOS.Cpt");
            ++creations;
            if (!createFailure.empty() && !(registeredAfterTool && platform::FileExists("C:\\registered.txt")))
                throw EOleError(createFailure);
            fake.AddRef();
            return platform::OleObject(&fake);
        };
        services.Sleep = [this](uint32_t ms) {
            EXPECT_EQ(ms, 50u);
            ++sleeps;
        };
    }
    void TearDown() override {
        services = {};
        EXPECT_EQ(fake.references, 1) << "the driver released the object";
    }

    std::unique_ptr<TBaseTolvane> Make(bool cradle = false, const std::string& delimiter = "09") {
        auto driver = TCipherCitySoftPDT::Create(3, 4, cradle, memo, delimiter);
        driver->OnProgress = [this](TBaseTolvane&, int32_t min, int32_t max, int32_t position) {
            EXPECT_EQ(min, 1);
            progress.emplace_back(max, position);
        };
        return driver;
    }

    // The message a failed creation raised, after checking it was also shown.
    std::string CreateError(bool cradle = false) {
        try {
            Make(cradle);
        } catch (const Exception& e) {
            EXPECT_EQ(std::string(e.ClassName()), "Exception");
            return e.Message();
        }
        ADD_FAILURE() << "the driver was created";
        return {};
    }

    bool MemoHas(const std::string& line) const { return memo.IndexOf(line) >= 0; }

    void InstallRegsvr32(const std::string& body) {
        std::string path = prefix.DriveC("windows/system32/regsvr32.exe");
        test::WriteFile(path, "#!/bin/sh\n" + body + "\n");
        chmod(path.c_str(), 0755);
    }

    test::TempPrefix prefix;
    test::ScriptedUi& ui = test::ScriptedUi::Install();
    TCitySoftServices& services = CitySoftServices();
    FakeCitySoft fake;
    TStringList memo;
    std::string createFailure;
    bool registeredAfterTool = false;
    int creations = 0;
    int sleeps = 0;
    std::vector<std::pair<int32_t, int32_t>> progress;  // (Max, Position)
};

TEST_F(CitySoftDriver, PreparesTheLinkAndReportsTheTerminal) {
    struct Case {
        bool cradle;
        std::string delimiter;
        int32_t connectionType, lookupDelimiter;
    };
    const Case cases[] = {{true, "09", 0, 9}, {false, "3B", 1, 59}, {false, "", 1, 9}, {true, "zz", 0, 9}};
    for (const auto& c : cases) {
        fake.calls.clear();
        memo.Clear();
        auto driver = Make(c.cradle, c.delimiter);
        EXPECT_EQ(fake.Names(), (std::vector<std::string>{"Port", "BaudRate", "ConnectionType", "InitComm", "State",
                                                          "LinkTest", "SerialNumber", "FreeMemory", "LookupDelimiter"}));
        EXPECT_EQ(fake.Last("Port")->types[0], VT_BYREF | VT_I4);
        EXPECT_EQ(VarToInt(fake.Last("Port")->args[0].Get()), 3);
        EXPECT_EQ(fake.Last("BaudRate")->types[0], VT_BYREF | VT_I4);
        EXPECT_EQ(VarToInt(fake.Last("BaudRate")->args[0].Get()), 4);
        EXPECT_EQ(VarToInt(fake.Last("ConnectionType")->args[0].Get()), c.connectionType) << c.cradle;
        EXPECT_EQ(VarToInt(fake.Last("LookupDelimiter")->args[0].Get()), c.lookupDelimiter) << c.delimiter;
        EXPECT_EQ(fake.Last("LookupDelimiter")->flags, DISPATCH_PROPERTYPUT);
        EXPECT_EQ(memo.Lines(), (std::vector<std::string>{
                                    "ПОДГОТОВКА К ОБМЕНУ ДАННЫМИ С ТСД CipherLab С ПРОШИВКОЙ SCANSITY\r\n",
                                    "Открытие СОМ-порта №3 выполнено",
                                    "Модель ТСД: CPT-711. Серийный номер: SN-0042. Свободно памяти: 512Кб"}));
    }
}

TEST_F(CitySoftDriver, RegistersTheServerWhenTheObjectIsMissingAndTheFileExists) {
    test::WriteFile(prefix.DriveC("TORV/CitySoftWarehouseDos_OLE.dll"), "server");
    InstallRegsvr32("printf '%s|' \"$@\" > \"$TOLVANE_PREFIX/drive_c/registered.txt\"");
    createFailure = "Недопустимая строка с указанием класса";
    registeredAfterTool = true;
    auto driver = Make();
    EXPECT_EQ(creations, 2);
    EXPECT_EQ(test::ReadFile(prefix.DriveC("registered.txt")), "/s|C:\\TORV\\CitySoftWarehouseDos_OLE.dll|");
    EXPECT_TRUE(MemoHas("Ошибка создания OLE-объекта \"CitySoftWarehouseDOS.Cpt\". Будет выполнена попытка "
                        "регистрации с помощью REGSVR32.EXE\r\n"));
    EXPECT_TRUE(MemoHas("Регистрация прошла успешно!\r\n"));
    EXPECT_TRUE(MemoHas("Открытие СОМ-порта №3 выполнено"));
}

TEST_F(CitySoftDriver, FailedRegistrationRaisesTheSecondFailure) {
    test::WriteFile(prefix.DriveC("TORV/CitySoftWarehouseDos_OLE.dll"), "server");
    InstallRegsvr32("exit 3");
    createFailure = "Класс не зарегистрирован";
    const std::string expected =
        "Ошибка загрузки драйвера для работы с ТСД CipherLab (SCANSITY). Не удалось установить драйвер на данном "
        "компьютере.\r\n\r\nТекст ошибки: \r\nКласс не зарегистрирован";
    EXPECT_EQ(CreateError(), expected);
    EXPECT_EQ(creations, 2);
    EXPECT_EQ(memo.Lines().back(), expected);
    EXPECT_FALSE(MemoHas("Регистрация прошла успешно!\r\n"));
}

TEST_F(CitySoftDriver, MissingServerFileMeansTheDriverIsNotInstalled) {
    InstallRegsvr32("touch \"$TOLVANE_PREFIX/drive_c/registered.txt\"");
    createFailure = "Недопустимая строка с указанием класса";
    const std::string expected =
        "Ошибка загрузки драйвера для работы с ТСД CipherLab (SCANSITY). Вероятно драйвер не установлен на данном "
        "компьютере.\r\n\r\nТекст ошибки: \r\nНедопустимая строка с указанием класса";
    EXPECT_EQ(CreateError(), expected);
    EXPECT_EQ(memo.Lines().back(), expected);
    EXPECT_EQ(creations, 1);
    EXPECT_FALSE(platform::FileExists("C:\\registered.txt")) << "no registration without the server file";
}

TEST_F(CitySoftDriver, ErrorStateAfterInitCommRaisesAndSkipsTheLinkTest) {
    fake.state = 7;
    fake.stateMessage = "Не удалось открыть порт COM3";
    fake.enabled = 0;
    EXPECT_EQ(CreateError(), "ОШИБКА Cipher: Не удалось открыть порт COM3");
    EXPECT_EQ(memo.Lines().back(), "ОШИБКА Cipher: Не удалось открыть порт COM3");
    EXPECT_FALSE(fake.Last("LinkTest"));
    EXPECT_FALSE(fake.Last("CloseComm")) << "a port that did not open is not closed";
}

TEST_F(CitySoftDriver, SilentTerminalWithStateZeroGoesOnAndWithAnErrorStateClosesThePort) {
    fake.linkTest = -1;
    auto driver = Make();
    EXPECT_EQ(memo[2].rfind("Нет ответа от терминала. Возможные причины:\r\n- терминал выключен", 0), 0u);
    EXPECT_TRUE(MemoHas("Модель ТСД: . Серийный номер: SN-0042. Свободно памяти: 512Кб"));
    EXPECT_TRUE(fake.Last("LookupDelimiter"));
    driver.reset();
    EXPECT_TRUE(fake.Last("CloseComm"));

    fake.calls.clear();
    memo.Clear();
    fake.enabled = 1;
    fake.state = 3;
    fake.stateMessage = "Нет связи с терминалом";
    EXPECT_EQ(CreateError(), "ОШИБКА Cipher: Нет связи с терминалом");
    EXPECT_FALSE(fake.Last("SerialNumber"));
    EXPECT_TRUE(fake.Last("CloseComm")) << "the half-built driver closes its port";
}

TEST_F(CitySoftDriver, EmptyDocumentIsNotReadAndAFailedCountIsNoEmptyDocument) {
    auto driver = Make();
    fake.recordCount = 0;
    TStringList records;
    records.Add("old");
    EXPECT_EQ(driver->LoadDocument(4, records), 0);
    EXPECT_EQ(records.Count(), 0);
    EXPECT_FALSE(fake.Last("Read"));
    EXPECT_EQ(VarToInt(fake.Last("RecordCount")->args[1].Get()), 5);
    EXPECT_TRUE(MemoHas("Данные в ТСД отсутствуют"));
    EXPECT_TRUE(MemoHas("Загрузка завершена (записи не были загружены)"));

    // A count the object could not make is an error, not an empty document.
    memo.Clear();
    fake.recordCount = -1;
    fake.state = 3;
    fake.stateMessage = "Терминал не отвечает";
    EXPECT_THROW(driver->LoadDocument(4, records), Exception);
    EXPECT_EQ(memo.Lines().back(), "ОШИБКА Cipher: Терминал не отвечает");
    EXPECT_FALSE(MemoHas("Данные в ТСД отсутствуют"));
}

TEST_F(CitySoftDriver, LoadPollsReportsProgressAndMergesEqualCodes) {
    auto driver = Make();
    fake.recordCount = 11;
    fake.readAnswers = {81, 81, 81, 0};
    fake.readFile =
        "101,2\r\n101,3\r\n102,\r\nno comma\r\n,5\r\n \t,5\r\n\r\n   \r\n123,abc\r\nab12,1\r\nAB12,1\r\n"
        " 77 , 4 \r\n88,$10\r\n89,-3\r\n";
    TStringList records;
    EXPECT_EQ(driver->LoadDocument(0, records), 7);
    EXPECT_EQ(records.Lines(),
              (std::vector<std::string>{"101=5", "102=1", "123=0", "ab12=2", "77=4", "88=0", "89=-3"}));
    EXPECT_TRUE(MemoHas("Загружены следующие данные:\r\n101=5\r\n102=1\r\n123=0\r\nab12=2\r\n77=4\r\n88=0\r\n89=-3\r\n"));

    const auto* read = fake.Last("Read");
    ASSERT_EQ(read->args.size(), 5u);
    EXPECT_EQ(VarToText(read->args[0].Get()), kTemp);
    EXPECT_EQ(VarToInt(read->args[3].Get()), 1);
    EXPECT_EQ(VarToInt(read->args[4].Get()), 1);
    // One report before each of the three waits, then the reset to 0.
    EXPECT_EQ(sleeps, 3);
    EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{11, 0}, {11, 10}, {11, 20}, {0, 30}}));
    EXPECT_FALSE(platform::FileExists(kTemp)) << "the temporary file is deleted after reading";
}

TEST_F(CitySoftDriver, AnErrorStateAfterReadRaises) {
    auto driver = Make();
    fake.readAnswers = {81, 12};
    fake.state = 12;
    fake.stateMessage = "Обрыв связи";
    TStringList records;
    EXPECT_THROW(driver->LoadDocument(0, records), Exception);
    EXPECT_EQ(memo.Lines().back(), "ОШИБКА Cipher: Обрыв связи");
}

TEST_F(CitySoftDriver, StaleTemporaryFileIsNeverReadAsThisLoad) {
    auto driver = Make();
    TStringList records;
    // Deletable: removed first, so an object that writes nothing is noticed.
    test::WriteFile(platform::NativePath(kTemp), "999,1\r\n");
    fake.readWrites = false;
    EXPECT_THROW(driver->LoadDocument(0, records), EFOpenError);
    EXPECT_EQ(records.Count(), 0);

    // Not deletable (held open elsewhere): the load stops before the terminal is asked.
    fake.calls.clear();
    fake.readWrites = true;
    test::WriteFile(platform::NativePath(kTemp), "999,1\r\n");
    auto held = platform::File::Open(kTemp, platform::AccessRead, platform::ShareReadWrite,
                                     platform::Disposition::OpenExisting);
    ASSERT_TRUE(held);
    try {
        driver->LoadDocument(0, records);
        FAIL() << "a stale file that cannot be deleted was ignored";
    } catch (const EOSError& e) {
        EXPECT_EQ(e.Message().rfind("Системная ошибка. Код: 32.", 0), 0u) << e.Message();
    }
    EXPECT_FALSE(fake.Last("RecordCount"));
}

TEST_F(CitySoftDriver, UploadPollsWhileWritingAndAnImmediateAnswerStillChecksTheState) {
    auto driver = Make();
    std::string goods = "C:\\TORV\\goods.txt";
    test::WriteFile(platform::NativePath(goods), "1\t\xEC\xEE\xEB\xEE\xEA\xEE\r\n2\tb\r\n");

    fake.writeAnswers = {80, 80, 0};
    std::string error = "left over";
    driver->UploadDatabase(2, goods, error);
    EXPECT_EQ(error, "");
    const auto* write = fake.Last("Write");
    EXPECT_EQ(write->types, (std::vector<VARTYPE>{VT_BYREF | VT_BSTR, VT_I4, VT_BYREF | VT_I4}));
    EXPECT_EQ(VarToText(write->args[0].Get()), goods);
    EXPECT_EQ(VarToInt(write->args[2].Get()), 2);
    EXPECT_EQ(sleeps, 2);
    EXPECT_EQ(progress.front().first, 2) << "the line count is the progress maximum";
    EXPECT_TRUE(MemoHas("В ТСД после записи базы данных осталось памяти: 512Кб"));
    EXPECT_TRUE(MemoHas("Загрузка базы данных в ТСД завершена"));

    sleeps = 0;
    progress.clear();
    fake.calls.clear();
    fake.transferred = 0;
    fake.writeAnswers = {0};
    driver->UploadDatabase(2, goods, error);
    EXPECT_EQ(error, "");
    EXPECT_EQ(sleeps, 0);
    EXPECT_EQ(progress, (std::vector<std::pair<int32_t, int32_t>>{{0, 0}})) << "progress is still reset";
    EXPECT_EQ(fake.Names(), (std::vector<std::string>{"Write", "RecordsTransferred", "State", "FreeMemory"}));

    fake.writeAnswers = {44};
    fake.state = 44;
    fake.stateMessage = "Память ТСД заполнена";
    driver->UploadDatabase(2, goods, error);
    EXPECT_EQ(error, "ОШИБКА Cipher: Память ТСД заполнена");
    EXPECT_TRUE(MemoHas("ОШИБКА Cipher: Память ТСД заполнена"));
    EXPECT_TRUE(MemoHas("Ошибка загрузки базы данных в ТСД: ОШИБКА Cipher: Память ТСД заполнена"));
}

TEST_F(CitySoftDriver, DeletionReportsFailuresAsText) {
    auto driver = Make();
    struct Case {
        int32_t result;
        std::string stateMessage;
        bool raises;
        std::string error;
    };
    const Case cases[] = {
        {0, "", false, ""},
        {5, "ignored", false, ""},
        {-1, "Документ занят", false, "Документ занят"},
        {-2, "", false, "ТСД не удалил документ (код -2)"},  // a refusal never reads as success
        {0, "", true, "связь потеряна"},
    };
    for (const auto& c : cases) {
        fake.deleteResult = c.result;
        fake.stateMessage = c.stateMessage;
        if (c.raises)
            fake.On("DeleteData", [](auto&, uint16_t) -> OleVariant { throw Exception("связь потеряна"); });
        std::string error = "left over";
        driver->DeleteDocument(1, error);
        EXPECT_EQ(error, c.error) << c.result;
        if (!c.raises) {
            EXPECT_EQ(VarToInt(fake.Last("DeleteData")->args[1].Get()), 2);
        }
    }
    EXPECT_TRUE(MemoHas("Документ №2 успешно удален"));
    EXPECT_TRUE(MemoHas("Ошибка при удалении документа №2: Документ занят"));
}

TEST_F(CitySoftDriver, DestructorShowsItsFailureInsteadOfRaising) {
    auto driver = Make();
    fake.closeFails = true;
    EXPECT_NO_THROW(driver.reset());
    EXPECT_EQ(ui.messages, (std::vector<std::string>{"Ошибка в деструкторе TCipherCitySoftPDT: порт уже закрыт"}));

    fake.closeFails = false;
    driver = Make();
    fake.enabled = 0;
    fake.calls.clear();
    driver.reset();
    EXPECT_EQ(fake.Names(), (std::vector<std::string>{"Enabled"})) << "a closed port is not closed again";
}

}  // namespace
