// The settings dialog's logic against a scripted view and a real Trade.ini
// in a private prefix.
#include <gtest/gtest.h>

#include "ScriptedUi.h"
#include "TestSupport.h"
#include "driver/CipherMainForm.h"
#include "driver/DriverSettings.h"

using namespace tolvane;
using test::ScriptedSettingsView;

namespace {

class SettingsDialog : public ::testing::Test {
protected:
    void SetUp() override { saved = DriverSettings; }
    void TearDown() override { DriverSettings = saved; }

    std::string TradeIni() const { return test::ReadFile(prefix.DriveC("windows/Trade.ini")); }
    void WriteTradeIni(const std::string& text) const { test::WriteFile(prefix.DriveC("windows/Trade.ini"), text); }

    // Runs the dialog with the steps; true when it closed with OK.
    void Run(std::initializer_list<ScriptedSettingsView::Step> steps) {
        ui.settingsSteps.assign(steps.begin(), steps.end());
        ShowSettingsDialog(DriverSettings);
    }

    test::TempPrefix prefix;
    test::ScriptedUi& ui = test::ScriptedUi::Install();
    TDriverSettings saved;
};

auto Set(const char* control, int value) {
    return [=](ScriptedSettingsView& v) { v.SetValue(control, value); };
}
auto Type(const char* control, std::string text) {
    return [=](ScriptedSettingsView& v) {
        v.SetText(control, text);
        v.Events().edDBDelimiterChange();
    };
}
void Ok(ScriptedSettingsView& v) { v.PressOk(); }
void Cancel(ScriptedSettingsView& v) { v.PressCancel(); }

TEST_F(SettingsDialog, OkChecksPortAndDelimiterBeforeCopyingAnything) {
    struct Case {
        int port;
        std::string delimiter;
        const char* error;  // nullptr: accepted
    };
    const Case cases[] = {
        {0, "09", nullptr},
        {255, "1F", nullptr},
        {256, "09", "Задан недопустимый СОМ-порт!"},
        {-1, "09", "Задан недопустимый СОМ-порт!"},
        {3, "0", "Задан недопустимый разделитель полей базы данных!"},
        {3, "00", "Задан недопустимый разделитель полей базы данных!"},
        {3, "zz", "Задан недопустимый разделитель полей базы данных!"},
        {3, "", "Задан недопустимый разделитель полей базы данных!"},
    };
    for (const auto& c : cases) {
        DriverSettings = TDriverSettings{};
        DriverSettings.ComPort = 7;
        ui.errors.clear();
        if (c.error) {
            Run({Set("seComPort", c.port), Type("edDBDelimiter", c.delimiter), Ok, Cancel});
            EXPECT_EQ(ui.errors, std::vector<std::string>{c.error}) << c.port << " " << c.delimiter;
            EXPECT_EQ(DriverSettings.ComPort, 7);
        } else {
            Run({Set("seComPort", c.port), Type("edDBDelimiter", c.delimiter), Ok});
            EXPECT_TRUE(ui.errors.empty()) << ui.errors.front();
            EXPECT_EQ(DriverSettings.ComPort, c.port);
            EXPECT_EQ(DriverSettings.DBDelimiter, c.delimiter);  // saved as typed
        }
    }
}

TEST_F(SettingsDialog, OkWithoutASpeedIsRefusedAndChangesNothing) {
    DriverSettings.BaudRate = 7;  // none of the list's codes
    DriverSettings.ComPort = 2;
    Run({[](ScriptedSettingsView& v) { EXPECT_EQ(v.ItemIndex("cbBaud"), -1); }, Set("seComPort", 5), Ok, Cancel});
    EXPECT_EQ(ui.errors, std::vector<std::string>{"Не выбрана скорость обмена!"});
    EXPECT_EQ(DriverSettings.ComPort, 2);
    EXPECT_EQ(TradeIni(), "");
}

TEST_F(SettingsDialog, OkWritesBasicKeysThenTheLayoutInOrder) {
    WriteTradeIni("[Host]\r\nKeep=1\r\n");
    Run({Set("seComPort", 3),
         [](ScriptedSettingsView& v) {
             v.SetItemIndex("cbBaud", 0);
             v.SetItemIndex("cbPDTProgramType", 1);
             v.SetChecked("cbUseCradle", true);
         },
         Ok});
    EXPECT_EQ(DriverSettings.BaudRate, 1);
    EXPECT_EQ(DriverSettings.ProgramType, 1);
    std::string expected =
        "[Host]\r\nKeep=1\r\n[Tolvane]\r\nComPort=3\r\nBaudRate=1\r\nLoadDocNumber=0\r\nUseCradle=1\r\n"
        "ClearDocument=1\r\nMustConfirmBeforeClear=1\r\nProgramType=1\r\n";
    const int lengths[] = {13, 50, 14, 10, 0, 0, 0, 0};
    const char* fields[] = {"Kod", "Name", "ZPrice", "Ostatok", "None", "None", "None", "None"};
    for (int n = 1; n <= 8; ++n)
        expected += "db_seLen" + std::to_string(n) + "=" + std::to_string(lengths[n - 1]) + "\r\ndb_cbField" +
                    std::to_string(n) + "=" + fields[n - 1] + "\r\ndb_edText" + std::to_string(n) + "=\r\n";
    expected += "db_cbDBaseNum=1\r\ndb_cbFieldCount=4\r\ndb_edDBDelimiter=09\r\n";
    EXPECT_EQ(TradeIni(), expected);
}

TEST_F(SettingsDialog, CancelWritesNothingButTheLayoutLoadStillUpdatesMemory) {
    const std::string ini = "[Tolvane]\r\ndb_cbDBaseNum=3\r\ndb_edDBDelimiter=3B\r\n";
    WriteTradeIni(ini);
    Run({Set("seComPort", 9), Cancel});
    EXPECT_EQ(TradeIni(), ini);
    EXPECT_NE(DriverSettings.ComPort, 9);
    EXPECT_EQ(DriverSettings.DBaseNum, 3);
    EXPECT_EQ(DriverSettings.DBDelimiter, "3B");
}

TEST_F(SettingsDialog, LayoutRowsFollowCountAndFieldChoice) {
    WriteTradeIni(
        "[Tolvane]\r\ndb_cbFieldCount=1\r\ndb_cbField1=kOD\r\ndb_cbField2=Price\r\ndb_seLen7=42\r\n"
        "db_edText7=fixed\r\n");
    Run({[](ScriptedSettingsView& v) {
             EXPECT_EQ(v.ItemIndex("cbFieldCount"), 0);  // a stored 1 is shown without the warning
             EXPECT_EQ(v.ItemIndex("cbField1"), 1);      // letter case ignored
             EXPECT_EQ(v.ItemIndex("cbField2"), 0);      // unknown name: none
             EXPECT_TRUE(v.Enabled("cbField1"));
             EXPECT_FALSE(v.Enabled("edText1"));         // a goods field is chosen
             for (const char* name : {"labNum2", "seLen2", "cbField2", "edText2", "edText8"})
                 EXPECT_FALSE(v.Enabled(name)) << name;
             // The operator chooses 3 fields, then the empty last item in row 2.
             v.SetItemIndex("cbFieldCount", 2);
             v.Events().cbFieldCountSelect();
             EXPECT_TRUE(v.Enabled("edText2"));
             v.SetItemIndex("cbField2", 12);
             v.Events().cbField1Select();
             EXPECT_FALSE(v.Enabled("edText2"));
             EXPECT_TRUE(v.Enabled("cbField3"));
             EXPECT_FALSE(v.Enabled("edText3"));  // row 3 keeps its default goods field
         },
         Ok});
    EXPECT_TRUE(ui.warnings.empty());
    std::string ini = TradeIni();
    EXPECT_NE(ini.find("db_cbField2=None\r\n"), std::string::npos);
    EXPECT_NE(ini.find("db_cbFieldCount=3\r\n"), std::string::npos);
    EXPECT_NE(ini.find("db_seLen7=42\r\n"), std::string::npos);  // disabled rows keep their values
    EXPECT_NE(ini.find("db_edText7=fixed\r\n"), std::string::npos);

    Run({[](ScriptedSettingsView& v) {
             EXPECT_EQ(v.ItemIndex("cbField2"), 0);
             EXPECT_TRUE(v.Enabled("edText2"));
         },
         Cancel});
}

TEST_F(SettingsDialog, ChoosingOneFieldWarnsAndFallsBackToFour) {
    Run({[](ScriptedSettingsView& v) {
             v.SetItemIndex("cbFieldCount", 0);
             v.Events().cbFieldCountSelect();
             EXPECT_EQ(v.ItemIndex("cbFieldCount"), 3);
             EXPECT_TRUE(v.Enabled("cbField4"));
             EXPECT_FALSE(v.Enabled("cbField5"));
         },
         Cancel});
    EXPECT_EQ(ui.warnings, std::vector<std::string>{"База данных размером в 1 поле использоваться не может!"});
}

TEST_F(SettingsDialog, FormCreateFillsTheFirstTabAndHelpers) {
    DriverSettings = TDriverSettings{};
    DriverSettings.ClearDocument = false;
    DriverSettings.LoadDocNumber = 9;
    Run({[](ScriptedSettingsView& v) {
             EXPECT_EQ(v.ActivePage(), 0);
             EXPECT_EQ(v.Get("cbDocNumber").items.back(), "Документ #10");
             EXPECT_EQ(v.ItemIndex("cbDocNumber"), 9);
             EXPECT_EQ(v.ItemIndex("cbBaud"), 3);  // code 4 is "19200"
             EXPECT_FALSE(v.Enabled("cbMustConfirm"));
             v.SetChecked("cbClearDocument", true);
             v.Events().cbClearDocumentClick();
             EXPECT_TRUE(v.Enabled("cbMustConfirm"));
             v.SetText("edDBDelimiter", "41");
             v.Events().edDBDelimiterChange();
             EXPECT_EQ(v.Get("edDBDelimiter").hint, "A");
             v.SetText("edDBDelimiter", "zz");
             v.Events().edDBDelimiterChange();
             EXPECT_EQ(v.Get("edDBDelimiter").hint, "\t");
             v.Events().Label11Click();
         },
         Cancel});
    ASSERT_EQ(ui.informations.size(), 1u);
    TStringList help;
    help.SetText(ui.informations[0]);
    ASSERT_EQ(help.Count(), 18);
    EXPECT_EQ(help[9], "");
    EXPECT_EQ(help[13], "C:\\TORV\\TEMP\\TempPDTBase.txt");
    EXPECT_EQ(help[17], "\"Разделитель полей НЕХ код\" (09 - это символ табуляции)");
    EXPECT_EQ(FieldNameOf(12), "None");
    EXPECT_EQ(FieldNameOf(-1), "None");
    EXPECT_EQ(FieldIndexOf("id_goods"), 11);
    EXPECT_EQ(FieldIndexOf("None"), 0);
}

}  // namespace
