// The driver's settings record and section [Tolvane] of Trade.ini.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "driver/DriverSettings.h"
#include "driver/Units.h"
#include "support/SafeIniFile.h"

using namespace tolvane;
using tolvane::test::TempPrefix;

namespace {

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = DriverSettings;
        DriverSettings = TDriverSettings{};
    }
    void TearDown() override { DriverSettings = saved_; }

    std::string Native() const { return prefix_.DriveC("windows/Trade.ini"); }
    void Put(const std::string& content) { tolvane::test::WriteFile(Native(), content); }
    std::string Content() const { return tolvane::test::ReadFile(Native()); }

    TempPrefix prefix_;
    TDriverSettings saved_;
};

void ExpectDefaults(const TDriverSettings& s, const std::string& where) {
    EXPECT_EQ(s.ComPort, 0) << where;
    EXPECT_EQ(s.BaudRate, 4) << where;
    EXPECT_EQ(s.LoadDocNumber, 0) << where;
    EXPECT_FALSE(s.UseCradle) << where;
    EXPECT_TRUE(s.ClearDocument) << where;
    EXPECT_TRUE(s.MustConfirmBeforeClear) << where;
    EXPECT_EQ(s.DBaseNum, 1) << where;
    EXPECT_EQ(s.DBDelimiter, "09") << where;
    EXPECT_EQ(s.ProgramType, 0) << where;
}

TEST_F(Settings, MissingFileSectionOrKeysGiveTheDefaults) {
    LoadDriverSettings();
    ExpectDefaults(DriverSettings, "no file");
    for (const char* content : {"[Host]\r\nComPort=5\r\n", "[Tolvane]\r\n", "not an ini file at all\0\xFF"}) {
        DriverSettings = TDriverSettings{};
        Put(content);
        LoadDriverSettings();
        ExpectDefaults(DriverSettings, content);
    }
}

TEST_F(Settings, LoadTakesWhatTheFileHoldsUnchecked) {
    Put("[tolvane]\r\ncomport=0x3\r\nBaudRate=9\r\nLoadDocNumber=12\r\nUseCradle=2\r\nClearDocument=0\r\n"
        "MustConfirmBeforeClear=word\r\ndb_cbDBaseNum=3\r\ndb_edDBDelimiter=2C\r\nProgramType=2\r\n");
    LoadDriverSettings();
    const TDriverSettings& s = DriverSettings;
    EXPECT_EQ(s.ComPort, 3);
    EXPECT_EQ(s.BaudRate, 9);
    EXPECT_EQ(s.LoadDocNumber, 12);
    EXPECT_TRUE(s.UseCradle);
    EXPECT_FALSE(s.ClearDocument);
    EXPECT_TRUE(s.MustConfirmBeforeClear) << "no number: the field's value stays";
    EXPECT_EQ(s.DBaseNum, 3);
    EXPECT_EQ(s.DBDelimiter, "2C");
    EXPECT_EQ(s.ProgramType, 2);
}

TEST_F(Settings, TheBasicFieldsDefaultToWhatTheRecordHolds) {
    struct Case {
        std::string stored;
        bool useCradle;
    };
    const Case cases[] = {{"1", true}, {"0", false}, {"2", true}, {"word", false}};
    for (const auto& c : cases) {
        Put("[Tolvane]\r\nUseCradle=" + c.stored + "\r\n");
        DriverSettings = TDriverSettings{};
        LoadDriverSettings();
        EXPECT_EQ(DriverSettings.UseCradle, c.useCradle) << c.stored;
    }
    Put("[Tolvane]\r\n");
    DriverSettings.ComPort = 5;
    DriverSettings.UseCradle = true;
    DriverSettings.DBaseNum = 3;
    LoadDriverSettings();
    EXPECT_EQ(DriverSettings.ComPort, 5);
    EXPECT_TRUE(DriverSettings.UseCradle);
    EXPECT_EQ(DriverSettings.DBaseNum, 1) << "the database number defaults to 1, not to the field";
}

TEST_F(Settings, SaveWritesTheSevenBasicKeysAndLeavesTheRestAlone) {
    const std::string head = "; shop settings\r\n[Shop]\r\nName = Магазин №1\r\n\r\n";
    const std::string tail = "[Fuel]\r\nTank1=95\r\n";
    Put(head + "[Tolvane]\r\ndb_cbDBaseNum=2\r\ndb_edDBDelimiter=3B\r\nComPort=1\r\n" + tail);
    DriverSettings.ComPort = 7;
    DriverSettings.BaudRate = 1;
    DriverSettings.LoadDocNumber = 9;
    DriverSettings.UseCradle = true;
    DriverSettings.ClearDocument = false;
    DriverSettings.MustConfirmBeforeClear = true;
    DriverSettings.DBaseNum = 3;
    DriverSettings.DBDelimiter = "2C";
    DriverSettings.ProgramType = 1;
    SaveDriverSettings();
    EXPECT_EQ(Content(), head +
                             "[Tolvane]\r\ndb_cbDBaseNum=2\r\ndb_edDBDelimiter=3B\r\nComPort=7\r\nBaudRate=1\r\n"
                             "LoadDocNumber=9\r\nUseCradle=1\r\nClearDocument=0\r\nMustConfirmBeforeClear=1\r\n"
                             "ProgramType=1\r\n" +
                             tail);
}

TEST_F(Settings, SaveCreatesTheFileInAFreshPrefixAndLoadReadsItBack) {
    DriverSettings.ComPort = 4;
    DriverSettings.LoadDocNumber = 2;
    SaveDriverSettings();
    EXPECT_EQ(Content(),
              "[Tolvane]\r\nComPort=4\r\nBaudRate=4\r\nLoadDocNumber=2\r\nUseCradle=0\r\nClearDocument=1\r\n"
              "MustConfirmBeforeClear=1\r\nProgramType=0\r\n");
    DriverSettings = TDriverSettings{};
    LoadDriverSettings();
    EXPECT_EQ(DriverSettings.ComPort, 4);
    EXPECT_EQ(DriverSettings.LoadDocNumber, 2);
}

TEST_F(Settings, StartUpLoadsTheSettingsAndShutDownReleasesThem) {
    std::filesystem::create_directories(prefix_.DriveC("windows"));
    Put("[Tolvane]\r\nComPort=6\r\ndb_edDBDelimiter=7C\r\n");
    StartUnits();
    ASSERT_EQ(StartupFailure(), nullptr);
    EXPECT_EQ(DriverSettings.ComPort, 6);
    EXPECT_EQ(DriverSettings.DBDelimiter, "7C");
    EXPECT_EQ(IniFormatSettings.DecimalSeparator, '.');
    EXPECT_EQ(IniFormatSettings.LongTimeFormat, "hh:nn:ss.zzzz");
    StopUnits();
    EXPECT_EQ(DriverSettings.DBDelimiter, "");
    EXPECT_EQ(IniFormatSettings.LongTimeFormat, TFormatSettings{}.LongTimeFormat);
}

}  // namespace
