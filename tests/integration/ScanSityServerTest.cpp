// The real server file in a prefix prepared by `tolvane init`: registration
// with REGSVR32.EXE, creation by ProgID through its class factory, the
// SCANSITY driver registering it on first use, and whole exchanges with
// pdt-sim in its SCANSITY firmware over a pseudo-terminal.
#include <gtest/gtest.h>

#include "PdtSimProcess.h"
#include "ScriptedUi.h"
#include "TestSupport.h"
#include "exchange/CipherCitySoftPDT.h"
#include "platform/Automation.h"
#include "platform/Files.h"
#include "platform/Process.h"
#include "rtl/Encoding.h"
#include "rtl/Exception.h"

using namespace tolvane;
using namespace tolvane::platform;

namespace {

const char* const kProgId = "CitySoftWarehouseDOS.Cpt";
const char* const kRegister = "REGSVR32.EXE /s \"C:\\TORV\\CitySoftWarehouseDos_OLE.dll\"";

class ScanSityServer : public ::testing::Test {
protected:
    void SetUp() override {
        auto init = test::RunCommand(test::BinaryDir() + "/tolvane --prefix '" + prefix.Path() + "' init");
        ASSERT_EQ(init.status, 0) << init.err;
    }
    test::TempPrefix prefix;
};

TEST_F(ScanSityServer, Regsvr32RegistersAndUnregistersTheServerFile) {
    EXPECT_FALSE(FindServerClass(kProgId)) << "init registers nothing";
    EXPECT_THROW(CreateOleObject(kProgId), EOleError);

    EXPECT_EQ(RunAndWait(kRegister), 0u);
    auto entry = FindServerClass(kProgId);
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->ServerFile, prefix.DriveC("TORV/CitySoftWarehouseDos_OLE.dll"));

    OleObject object = CreateOleObject(kProgId);
    EXPECT_EQ(VarToInt(object.Get("Enabled").Get()), 0);
    EXPECT_EQ(VarToInt(object.Get("State").Get()), 2) << "no port open yet";
    int32_t port = 7;
    object.Set("Port", OleArg::ByRef(port));
    EXPECT_EQ(VarToInt(object.Get("port").Get()), 7) << "names are resolved ignoring case";
    object.Clear();

    EXPECT_EQ(RunAndWait("regsvr32.exe /u /s C:\\TORV\\CitySoftWarehouseDos_OLE.dll"), 0u);
    EXPECT_FALSE(FindServerClass(kProgId));
    EXPECT_EQ(RunAndWait("REGSVR32.EXE /s C:\\TORV\\Missing.dll"), 3u);
    EXPECT_EQ(RunAndWait("REGSVR32.EXE /s \"" + test::BinaryDir() + "/libTolvaneRtl.so\""), 4u);
}

// A terminal with one document of five records (goods code, quantity).
const char* const kTerminal = R"({
  "firmware": "scansity", "model": "CPT-711", "serial": "S0001", "free_memory_kb": 1500,
  "documents": {"0": [["4600011", "2"], ["4600011", "3"], ["4600028", ""], ["ab12", "1"], ["AB12", "4"]]}
})";

class ScanSityExchange : public ScanSityServer {
protected:
    void SetUp() override {
        ScanSityServer::SetUp();
        setenv("TOLVANE_CIPHERLAB_TURNAROUND_MS", "60", 1);
    }
    void TearDown() override { unsetenv("TOLVANE_CIPHERLAB_TURNAROUND_MS"); }
    test::ScriptedUi& ui = test::ScriptedUi::Install();
    TStringList memo;
};

TEST_F(ScanSityExchange, LoadDeleteAndUploadAgainstTheSimulator) {
    test::PdtSimProcess sim(prefix.Path(), 3, kTerminal);
    const std::string goods = "C:\\TORV\\goods.txt";
    test::WriteFile(prefix.DriveC("TORV/goods.txt"), "4600011\tХлеб\t35.50\r\n4600028\tМолоко\t60\r\n\r\n");
    {
        auto driver = DriverClassFor(1)(3, 1, false, memo, "09");
        EXPECT_GE(memo.IndexOf("Регистрация прошла успешно!\r\n"), 0) << "registered on first use";
        EXPECT_GE(memo.IndexOf("Открытие СОМ-порта №3 выполнено"), 0);
        EXPECT_GE(memo.IndexOf("Модель ТСД: CPT-711. Серийный номер: S0001. Свободно памяти: 1500Кб"), 0);
        std::vector<std::pair<int32_t, int32_t>> progress;
        driver->OnProgress = [&](TBaseTolvane&, int32_t, int32_t max, int32_t position) {
            progress.emplace_back(max, position);
        };

        TStringList records;
        EXPECT_EQ(driver->LoadDocument(0, records), 3);
        EXPECT_EQ(records.Lines(), (std::vector<std::string>{"4600011=5", "4600028=1", "ab12=5"}));
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back().first, 0) << "the progress is reset at the end";
        EXPECT_FALSE(FileExists("C:\\TORV\\TEMP\\Temp_CipherLab.txt"));

        std::string error = "left over";
        driver->DeleteDocument(0, error);
        EXPECT_EQ(error, "");
        driver->UploadDatabase(2, goods, error);
        EXPECT_EQ(error, "");
        EXPECT_GE(memo.IndexOf("Загрузка базы данных в ТСД завершена"), 0);
        EXPECT_EQ(driver->LoadDocument(0, records), 0);
        EXPECT_GE(memo.IndexOf("Данные в ТСД отсутствуют"), 0);
    }
    ASSERT_EQ(sim.Stop(), 0);
    const std::string saved = test::ReadFile(sim.StatePath());
    EXPECT_EQ(saved.find("4600011\", \"2\""), std::string::npos) << "the document was cleared: " << saved;
    // The state file is UTF-8.
    EXPECT_NE(saved.find(Cp1251ToUtf8("\"4600011\", \"Хлеб\", \"35.50\"")), std::string::npos) << saved;
    EXPECT_NE(saved.find(Cp1251ToUtf8("\"4600028\", \"Молоко\", \"60\"")), std::string::npos) << saved;
}

TEST_F(ScanSityExchange, SilentTerminalStopsThePreparation) {
    test::PdtSimProcess sim(prefix.Path(), 3, kTerminal, {"--fault", "silent"});
    try {
        DriverClassFor(1)(3, 1, false, memo, "09");
        FAIL() << "a silent terminal was taken for an answering one";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().rfind("ОШИБКА Cipher: Терминал не отвечает", 0), 0u) << e.Message();
    }
    EXPECT_EQ(memo[memo.Count() - 2].rfind("Нет ответа от терминала. Возможные причины:", 0), 0u);
    EXPECT_TRUE(ui.messages.empty()) << "the port closed without a complaint";
}

TEST_F(ScanSityExchange, TheStandInHostLoadsADocument) {
    test::PdtSimProcess sim(prefix.Path(), 3, kTerminal);
    const std::string tolvane = test::BinaryDir() + "/tolvane --prefix '" + prefix.Path() + "' ";
    ASSERT_EQ(test::RunCommand(tolvane + "config set ComPort 3").status, 0);
    ASSERT_EQ(test::RunCommand(tolvane + "config set ProgramType 1").status, 0);
    auto load = test::RunCommand("TOLVANE_UI=batch " + tolvane + "load");
    EXPECT_EQ(load.status, 0) << load.err;
    EXPECT_EQ(load.out, "4600011\t5\n4600028\t1\nab12\t5\n") << load.err;
}

}  // namespace
