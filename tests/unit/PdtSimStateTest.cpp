// The simulator's state file: defaults, refusals, and a lossless round trip
// between UTF-8 JSON and the terminal's Windows-1251 records.
#include <gtest/gtest.h>

#include "TerminalState.h"

using namespace tolvane::pdtsim;

namespace {

TEST(PdtSimState, MissingKeysTakeDefaults) {
    TerminalState state = StateFromJson(R"({"documents": {"3": [["a"]]}})");
    EXPECT_EQ(state.firmware, "scancode");
    EXPECT_EQ(state.serial, "U8000241");
    EXPECT_FALSE(state.clock);
    EXPECT_TRUE(state.mainMenu);
    EXPECT_EQ(state.freeMemoryBytes, 1500u * 1024);
    ASSERT_EQ(state.documents[3].size(), 1u);
    EXPECT_EQ(state.documents[3][0][0], "a");
    EXPECT_EQ(state.documents[3][0][7], "");
    EXPECT_TRUE(state.databases[0].empty());
}

TEST(PdtSimState, RefusesWhatATerminalCannotHold) {
    struct Case {
        const char* json;
        const char* says;
    };
    const Case cases[] = {
        {R"({"documents": {"0": [["1","2","3","4","5","6","7","8","9"]]}})", "more than 8 fields"},
        {R"({"databases": {"0": []}})", "no number 0"},
        {R"({"databases": {"4": []}})", "no number 4"},
        {R"({"documents": {"x": []}})", "no number x"},
        {R"({"documents": {"1": [[12]]}})", "field 1 is not a text"},
        {R"({"documents": {"1": ["flat"]}})", "list of field texts"},
        {R"({"main_menu": "yes"})", "wrong type"},
        {R"({"free_memory_kb": -1})", "free_memory_kb"},
        {R"([1, 2])", "JSON object"},
        {R"({"documents": )", "not valid JSON"},
    };
    for (const auto& c : cases) {
        try {
            StateFromJson(c.json);
            ADD_FAILURE() << "accepted " << c.json;
        } catch (const std::runtime_error& e) {
            EXPECT_NE(std::string(e.what()).find(c.says), std::string::npos) << c.json << ": " << e.what();
        }
    }
    std::string tooLong = R"({"documents": {"1": [[")" + std::string(256, 'x') + R"("]]}})";
    EXPECT_THROW(StateFromJson(tooLong), std::runtime_error);
    std::string cyrillic255;
    for (int i = 0; i < 255; ++i) cyrillic255 += "Я";  // 510 bytes of UTF-8, 255 in the terminal
    EXPECT_NO_THROW(StateFromJson(R"({"documents": {"1": [[")" + cyrillic255 + R"("]]}})"));
}

TEST(PdtSimState, RoundTripKeepsEveryByte) {
    TerminalState state;
    state.clock = "20100311142530";
    state.mainMenu = false;
    state.freeMemoryBytes = 777 * 1024;
    state.documents[9] = {Record{"4600000000011 2", "", "c", "", "", "", "", "\xD5\xEB\xE5\xE1"}, Record{}};
    state.databases[2] = {Record{std::string(255, '\xDF'), "\"quoted\" \\ back", "tab\there"}};
    TerminalState back = StateFromJson(StateToJson(state));
    EXPECT_EQ(back.clock, state.clock);
    EXPECT_EQ(back.mainMenu, false);
    EXPECT_EQ(back.freeMemoryBytes, state.freeMemoryBytes);
    EXPECT_EQ(back.documents, state.documents);
    EXPECT_EQ(back.databases, state.databases);
    EXPECT_NE(StateToJson(state).find("Хлеб"), std::string::npos);  // UTF-8 in the file
}

TEST(PdtSimState, FaultOptions) {
    Faults faults;
    for (const char* option : {"silent", "not-in-menu", "noise=0.25", "cut-after=5", "memory-full-after=0"})
        ParseFault(option, faults);
    EXPECT_TRUE(faults.silent);
    EXPECT_TRUE(faults.notInMenu);
    EXPECT_DOUBLE_EQ(faults.noise, 0.25);
    EXPECT_EQ(faults.cutAfter, 5u);
    EXPECT_EQ(faults.memoryFullAfter, 0u);
    for (const char* bad : {"noise=1.5", "noise=x", "cut-after=-1", "cut-after=", "silent=1", "loud"})
        EXPECT_THROW(ParseFault(bad, faults), std::invalid_argument) << bad;
}

}  // namespace
