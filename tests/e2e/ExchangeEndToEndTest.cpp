// The host's view, end to end: `tolvane load` and `tolvane send-goods` with
// the batch user interface against pdt-sim on a pseudo-terminal, through
// the real driver library, terminal library and settings file.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>

#include "PdtSimProcess.h"
#include "TestSupport.h"

using nlohmann::json;
using namespace tolvane::test;

namespace {

json ReadState(const std::string& path) {
    std::ifstream in(path);
    return json::parse(in);
}

json Record(const std::string& first) { return json::array({first, "", "", "", "", "", "", ""}); }

class EndToEnd : public ::testing::Test {
protected:
    void SetUp() override {
        Tolvane("config set ComPort 1");
        Tolvane("config set BaudRate 1");
    }

    // Runs the host on the prefix; the answers to questions follow `confirm`.
    CommandResult Tolvane(const std::string& args, const std::string& confirm = "no") {
        return RunCommand("TOLVANE_UI=batch TOLVANE_CONFIRM=" + confirm + " TOLVANE_CIPHERLAB_TURNAROUND_MS=300 " +
                          BinaryDir() + "/tolvane --prefix " + prefix.Path() + " " + args + " </dev/null");
    }

    json Terminal(const json& documents, const json& databases = json::object()) {
        json state = {{"firmware", "scancode"}, {"serial", "U8000241"}, {"clock", "20101209140307"},
                      {"documents", documents}, {"databases", databases}};
        return state;
    }

    std::string Log() const { return ReadFile(prefix.DriveC("TORV/LogFiles/PDT.log")); }

    TempPrefix prefix;
};

TEST_F(EndToEnd, LoadSumsDuplicatesHandsThemOverAndClearsAfterConfirmation) {
    Tolvane("config set MustConfirmBeforeClear 1");
    json doc = json::array({Record("4600000000011 2"), Record("4600000000028"), Record("4600000000011 3")});
    PdtSimProcess sim(prefix.Path(), 1, Terminal({{"0", doc}}).dump());

    CommandResult kept = Tolvane("load", "no");
    EXPECT_EQ(kept.status, 0) << kept.err;
    EXPECT_EQ(kept.out, "4600000000011\t5\n4600000000028\t1\n");
    EXPECT_NE(kept.err.find("УДАЛЕНИЕ ДАННЫХ ИЗ ТСД"), std::string::npos) << kept.err;

    CommandResult cleared = Tolvane("load --json", "yes");
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    json pairs = json::parse(cleared.out);
    ASSERT_EQ(pairs.size(), 2u);
    EXPECT_EQ(pairs[0]["code"], "4600000000011");
    EXPECT_EQ(pairs[0]["quantity"], 5);
    EXPECT_NE(cleared.err.find("Документ №1 успешно удален"), std::string::npos) << cleared.err;
    sim.Stop();
    EXPECT_TRUE(ReadState(sim.StatePath())["documents"]["0"].empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(prefix.DriveC("TORV/Archive")),
                            std::filesystem::directory_iterator()),
              2);
    // Every step is in the shared log, in Windows-1251.
    EXPECT_NE(Log().find("[Cipher] \xC4\xEE\xEA\xF3\xEC\xE5\xED\xF2 \xB9" "1"), std::string::npos);
}

TEST_F(EndToEnd, SendGoodsWritesTheLookupDatabase) {
    Tolvane("config set db_cbDBaseNum 2");
    PdtSimProcess sim(prefix.Path(), 1, Terminal(json::object()).dump());
    std::string goods = prefix.DriveC("TORV/TEMP/TempPDTBase.txt");
    WriteFile(goods, "4600000000011\t\xD5\xEB\xE5\xE1\t35.50\t12\r\n\r\n4600000000028\t\xCC\xEE\xEB\xEE\xEA\xEE\r\n");
    CommandResult r = Tolvane("send-goods 'C:\\TORV\\TEMP\\TempPDTBase.txt'");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("Количество записей в базе данных: 3"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("Загрузка базы данных в ТСД завершена"), std::string::npos) << r.err;
    sim.Stop();
    json db = ReadState(sim.StatePath())["databases"]["2"];
    ASSERT_EQ(db.size(), 2u);
    EXPECT_EQ(db[0][1], "Хлеб");
    EXPECT_EQ(db[1][1], "Молоко");
}

// A SCANSITY terminal: the driver registers the automation server that
// `tolvane init` installed, which reads field 1 as the code and field 2 as
// the quantity.
TEST_F(EndToEnd, ScanSityTerminalThroughTheAutomationServer) {
    ASSERT_EQ(Tolvane("init").status, 0);
    Tolvane("config set ProgramType 1");
    Tolvane("config set ClearDocument 1");
    json doc = json::array({json::array({"4600000000011", "2"}), json::array({"4600000000028", ""}),
                            json::array({"4600000000011", "3"})});
    json state = Terminal({{"0", doc}});
    state["firmware"] = "scansity";
    PdtSimProcess sim(prefix.Path(), 1, state.dump());

    CommandResult loaded = Tolvane("load", "yes");
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(loaded.out, "4600000000011\t5\n4600000000028\t1\n");
    EXPECT_NE(loaded.err.find("Регистрация прошла успешно!"), std::string::npos) << loaded.err;
    EXPECT_NE(loaded.err.find("Документ №1 успешно удален"), std::string::npos) << loaded.err;

    WriteFile(prefix.DriveC("TORV/goods.txt"), "4600000000011\t\xD5\xEB\xE5\xE1\t35.50\r\n");
    CommandResult sent = Tolvane("send-goods 'C:\\TORV\\goods.txt'");
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_NE(sent.err.find("В ТСД после записи базы данных осталось памяти: "), std::string::npos) << sent.err;
    EXPECT_EQ(sent.err.find("Регистрация прошла успешно!"), std::string::npos) << "registered once";
    sim.Stop();
    json saved = ReadState(sim.StatePath());
    EXPECT_TRUE(saved["documents"]["0"].empty());
    ASSERT_EQ(saved["databases"]["1"].size(), 1u);
    EXPECT_EQ(saved["databases"]["1"][0][1], "Хлеб");
}

TEST_F(EndToEnd, BrokenLinesGiveAClearMessageNullAndClearNothing) {
    struct Case {
        std::vector<std::string> faults;
        std::string message;
    };
    const Case cases[] = {
        {{"--fault", "silent"}, "Нет ответа от терминала"},
        {{"--fault", "cut-after=2"}, "Загрузка завершена (записи не были загружены)"},
        {{"--fault", "not-in-menu"}, "основном меню"},
    };
    json doc = json::array({Record("A 1"), Record("B 2"), Record("C 3"), Record("D 4")});
    for (const auto& c : cases) {
        PdtSimProcess sim(prefix.Path(), 1, Terminal({{"0", doc}}).dump(), c.faults);
        CommandResult r = Tolvane("load", "yes");
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.out, "") << c.faults[1];  // Null: nothing handed to the host
        EXPECT_NE(r.err.find(c.message), std::string::npos) << c.faults[1] << "\n" << r.err;
        sim.Stop();
        EXPECT_EQ(ReadState(sim.StatePath())["documents"]["0"].size(), 4u) << c.faults[1];
    }
}

}  // namespace
