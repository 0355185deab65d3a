// TCipherIO over the real terminal library, loaded by name as the driver
// loads it, against pdt-sim on a pseudo-terminal. This file is UTF-8 (it
// builds the simulator's JSON); the link's texts are Windows-1251, so
// expected texts pass through W() first.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <nlohmann/json.hpp>

#include "PdtSimProcess.h"
#include "TestSupport.h"
#include "link/CipherIO.h"
#include "link/ViewerProgress.h"
#include "rtl/Encoding.h"
#include "rtl/Exception.h"
#include "support/ProgressViewer.h"

namespace tolvane {
namespace {

using nlohmann::json;
using test::PdtSimProcess;
using test::TempPrefix;
using Lines = std::vector<std::string>;

constexpr int Port = 3;

std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

std::string MessageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return Cp1251ToUtf8(e.Message());
    }
    return "(no exception)";
}

json State() {
    return json{{"serial", "U8000241"},
                {"clock", "20101209140307"},
                {"main_menu", true},
                {"documents", json::object()},
                {"databases", {{"1", json::array()}, {"2", json::array()}, {"3", json::array()}}}};
}

// A record as the simulator keeps it in its state file: trailing empty
// fields left out, UTF-8.
json SavedRecord(const Lines& fields) {
    json record = json::array();
    size_t used = fields.size();
    while (used > 0 && fields[used - 1].empty()) --used;
    for (size_t k = 0; k < used; ++k) record.push_back(fields[k]);
    return record;
}

class CipherIOSim : public ::testing::Test {
protected:
    // The viewers' registry stays to the process's end: a terminated viewer
    // may still be closing in its own thread.
    static void SetUpTestSuite() { InitializeProgressViewer(); }

    void SetUp() override { setenv("TOLVANE_CIPHERLAB_TURNAROUND_MS", "60", 1); }
    void TearDown() override {
        io.reset();
        unsetenv("TOLVANE_CIPHERLAB_TURNAROUND_MS");
    }

    // Starts the terminal and opens the link to it.
    void Connect(const json& state, const std::vector<std::string>& faults = {}) {
        std::vector<std::string> args;
        for (const std::string& f : faults) args.insert(args.end(), {"--fault", f});
        sim = std::make_unique<PdtSimProcess>(prefix.Path(), Port, state.dump(), args);
        io = std::make_unique<TCipherIO>();
        io->SetPortNumber(Port);
        io->SetPortType(0);
        io->DownloadDelimiter = '`';
        io->OnProgress = [this](TCipherIO&, int32_t stage, int32_t, int32_t max, int32_t position) {
            events.push_back(std::to_string(stage) + ":" + std::to_string(max) + ":" + std::to_string(position));
        };
        io->SetActive(true);
        ASSERT_TRUE(io->Active()) << sim->Log();
    }

    // The terminal's state as it wrote it back when it stopped.
    json Saved() {
        io->SetActive(false);
        sim->Stop();
        return json::parse(test::ReadFile(sim->StatePath()));
    }

    std::string GoodsFile(const std::string& utf8Lines) {
        std::string path = prefix.Path() + "/goods.txt";
        test::WriteFile(path, W(utf8Lines));
        return path;
    }

    // Uploads through the real viewer; cancelAt >= 0 cancels it, as the
    // operator's Esc does, while line cancelAt is being sent.
    std::string Upload(int32_t database, const std::string& file, int cancelAt = -1) {
        TProgressViewer* viewer = nullptr;
        io->SetProgressFactory([&](const std::string& caption, bool determinate, bool cancel) {
            auto progress = std::make_unique<TViewerUploadProgress>(caption, determinate, cancel);
            viewer = progress->Viewer();
            return progress;
        });
        auto recordEvent = io->OnProgress;
        io->OnProgress = [&](TCipherIO& sender, int32_t stage, int32_t min, int32_t max, int32_t position) {
            recordEvent(sender, stage, min, max, position);
            if (stage == psStep && position == cancelAt) viewer->Cancel();
        };
        std::string message = MessageOf([&] { EXPECT_TRUE(io->UploadFile(database, file)); });
        io->OnProgress = recordEvent;
        io->FinishExchange();
        return message;
    }

    TempPrefix prefix;
    std::unique_ptr<PdtSimProcess> sim;
    std::unique_ptr<TCipherIO> io;
    Lines events;
};

TEST_F(CipherIOSim, FullInformationReport) {
    json state = State();
    state["databases"]["1"] = json::array({json::array({"4600000000011", "Хлеб"}), json::array({"4600000000028"})});
    state["documents"]["0"] = json::array({json::array({"4600000000011 2"})});
    state["documents"]["9"] = json::array({json::array({"a"}), json::array({"b"}), json::array({"c"})});
    Connect(state);
    std::string expected =
        "Ping:Ok\r\nТСД к обмену готов\r\nСерийный номер:U8000241\r\nДата  и время в ТСД:09.12.2010 14:03:07\r\n\r\n"
        "База 1 содержит 2 записей\r\nБаза 2 содержит 0 записей\r\nБаза 3 содержит 0 записей\r\n\r\n";
    for (int d = 0; d < 10; ++d)
        expected += "Документ " + std::to_string(d) + " содержит " + std::to_string(d == 0 ? 1 : d == 9 ? 3 : 0) +
                    " записей\r\n";
    expected += "\r\nAll done!\r\n";
    EXPECT_EQ(Cp1251ToUtf8(io->TerminalInfo()), expected);
}

TEST_F(CipherIOSim, ReportsOfSilentBusyAndClockLessTerminals) {
    struct Case {
        std::vector<std::string> faults;
        std::string clock;
        std::function<void(const std::string&)> check;
    } cases[] = {
        {{"silent"}, "20101209140307", [](const std::string& r) { EXPECT_EQ(r, "Ping:None\r\n"); }},
        {{"not-in-menu"}, "20101209140307",
         [](const std::string& r) { EXPECT_EQ(r, "Ping:Ok\r\nТСД к обмену не готов\r\n"); }},
        // A terminal whose clock was reset still gets its report, and so its exchange.
        {{}, "00000000000000", [](const std::string& r) {
             EXPECT_NE(r.find("Дата  и время в ТСД:неверное значение \"00000000000000\"\r\n"), std::string::npos) << r;
             EXPECT_TRUE(r.ends_with("All done!\r\n")) << r;
         }},
    };
    for (const Case& c : cases) {
        json state = State();
        state["clock"] = c.clock;
        Connect(state, c.faults);
        c.check(Cp1251ToUtf8(io->TerminalInfo()));
        io.reset();
        sim->Stop();
    }
}

TEST_F(CipherIOSim, DocumentDownload) {
    const std::string longField(255, 'x');
    json state = State();
    state["documents"]["4"] = json::array({json::array({"4600000000011 2"}),
                                           json::array({"4600000000028", "Молоко", "", "", "", "", "", "z"}),
                                           json::array({longField, "", "", "", "", "", "", longField})});
    Connect(state);
    TStringList list{"stale"};
    EXPECT_TRUE(io->DownloadDocument(4, list));
    EXPECT_EQ(list.Lines(), (Lines{"4600000000011 2```````", W("4600000000028`Молоко``````z"),
                                   longField + "```````" + longField}));
    EXPECT_EQ(events, (Lines{"0:3:0", "1:3:1", "1:3:2", "1:3:3", "1:3:4", "2:3:3"}));
    EXPECT_EQ(MessageOf([&] { io->DownloadDocument(5, list); }), "Данных для скачивания нет");
}

TEST_F(CipherIOSim, DownloadCutOffLeavesTheListAlone) {
    json state = State();
    state["documents"]["0"] = json::array({json::array({"a"}), json::array({"b"}), json::array({"c"})});
    Connect(state, {"cut-after=1"});
    TStringList list{"kept"};
    EXPECT_FALSE(io->DownloadDocument(0, list));
    EXPECT_EQ(list.Lines(), Lines{"kept"});
    ASSERT_FALSE(io->Records().Empty());
    EXPECT_TRUE(io->Records()[io->Records().Count() - 1].starts_with(W("Ошибка - -"))) << io->Records().Text();
}

TEST_F(CipherIOSim, UploadWithTheProgressViewer) {
    Connect(State());
    const std::string file = GoodsFile("4600000000011\tХлеб\t35,50\t12\r\n\r\n4600000000028\t\tМолоко\r\n   \r\n" +
                                       std::string(300, 'n') + "\r\n");
    EXPECT_EQ(Upload(2, file), "(no exception)");
    EXPECT_EQ(events, (Lines{"0:5:0", "1:5:0", "1:5:1", "1:5:2", "1:5:3", "1:5:4", "2:5:5"}));
    EXPECT_EQ(Saved()["databases"]["2"],
              json::array({SavedRecord({"4600000000011", "Хлеб", "35,50", "12"}),
                           SavedRecord({"4600000000028", "Молоко"}), SavedRecord({std::string(255, 'n')})}));
}

TEST_F(CipherIOSim, CancelledUploadKeepsTheRecordsSentBeforeIt) {
    Connect(State());
    const std::string file = GoodsFile("1\ta\r\n2\tb\r\n3\tc\r\n4\td\r\n5\te\r\n");
    EXPECT_EQ(Upload(1, file, 2), "Прервано пользователем!");
    EXPECT_EQ(events.back(), "1:5:2");
    EXPECT_EQ(Saved()["databases"]["1"],
              json::array({SavedRecord({"1", "a"}), SavedRecord({"2", "b"}), SavedRecord({"3", "c"})}));
}

TEST_F(CipherIOSim, LineWithNineFieldsStopsTheUpload) {
    Connect(State());
    const std::string nine = "1\t2\t3\t4\t5\t6\t7\t8\t9";
    const std::string file = GoodsFile("a\tb\r\n" + nine + "\r\nc\r\n");
    EXPECT_EQ(Upload(3, file), "Количество полей превышает допустимое\r\n" + nine);
    EXPECT_EQ(Saved()["databases"]["3"], json::array({SavedRecord({"a", "b"})}));
}

TEST_F(CipherIOSim, FullTerminalMemoryFailsTheUpload) {
    Connect(State(), {"memory-full-after=2"});
    const std::string file = GoodsFile("1\r\n2\r\n3\r\n4\r\n");
    EXPECT_EQ(Upload(1, file), "Переполнение памяти!Завершено!");
    EXPECT_EQ(events.back(), "2:4:4");
    EXPECT_EQ(Saved()["databases"]["1"], json::array({SavedRecord({"1"}), SavedRecord({"2"})}));
}

// Records travel ahead of their confirmation: a cable pulled mid-upload
// shows only when the upload ends, and must not pass for success.
TEST_F(CipherIOSim, UploadCutOffIsAFailure) {
    Connect(State(), {"cut-after=2"});
    const std::string file = GoodsFile("1\r\n2\r\n3\r\n4\r\n");
    const std::string message = Upload(1, file);
    EXPECT_TRUE(message == "Тайм - аут! Данные не переданы!" || message == "Ошибка передачи данных! Данные не переданы!")
        << message;
    EXPECT_EQ(events.back(), "2:4:4");
    EXPECT_EQ(Saved()["databases"]["1"], json::array({SavedRecord({"1"}), SavedRecord({"2"})}));
}

}  // namespace
}  // namespace tolvane
