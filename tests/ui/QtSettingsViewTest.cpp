// The real settings dialog on the offscreen platform: its controls by
// name, operator input, OK, and the values found in Trade.ini.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>

#include "QtOperator.h"
#include "TestSupport.h"
#include "driver/DriverSettings.h"
#include "driver/SettingsDialog.h"
#include "ui/qt/QtSupport.h"
#include "ui/qt/QtUserInterface.h"

using namespace tolvane;
using test::Child;
using test::TopLevel;

namespace {

class QtSettingsView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOffscreenPlatform());
        saved = DriverSettings;
        ui::Install(ui::CreateQtUserInterface());
        ui::qt::EnsureApplication();
    }
    void TearDown() override {
        ui::Install(nullptr);
        DriverSettings = saved;
    }
    static bool DialogOpen() { return TopLevel("CipherMainForm") != nullptr; }
    template <typename T>
    static T* Control(const char* name) {
        return Child<T>("CipherMainForm", name);
    }

    test::TempPrefix prefix;
    TDriverSettings saved;
    test::Operator op;
};

TEST_F(QtSettingsView, EditsControlsAndOkWritesTradeIni) {
    op.When(DialogOpen, [] {
        QWidget* dialog = TopLevel("CipherMainForm");
        EXPECT_EQ(dialog->windowTitle(), QString::fromUtf8("Параметры ТСД Cipher"));
        auto* tabs = Control<QTabWidget>("PageControl1");
        ASSERT_EQ(tabs->count(), 3);
        EXPECT_EQ(tabs->tabText(2), QString::fromUtf8("О терминале"));
        EXPECT_EQ(tabs->currentIndex(), 0);
        EXPECT_EQ(Control<QComboBox>("cbBaud")->currentText(), "19200");
        EXPECT_FALSE(Control<QLabel>("Image1")->pixmap().isNull());
        EXPECT_FALSE(Control<QLineEdit>("edText1")->isEnabled());
        EXPECT_FALSE(Control<QLineEdit>("edText4")->isEnabled());

        Control<QSpinBox>("seComPort")->setValue(4);
        Control<QComboBox>("cbBaud")->setCurrentIndex(4);
        QTest::mouseClick(Control<QCheckBox>("cbUseCradle"), Qt::LeftButton, {}, QPoint(8, 10));
        QTest::mouseClick(Control<QCheckBox>("cbClearDocument"), Qt::LeftButton, {}, QPoint(8, 10));
        EXPECT_FALSE(Control<QCheckBox>("cbMustConfirm")->isEnabled());
        auto* delimiter = Control<QLineEdit>("edDBDelimiter");
        delimiter->selectAll();
        QTest::keyClicks(delimiter, "3B");
        EXPECT_EQ(delimiter->toolTip(), ";");
        auto* field2 = Control<QComboBox>("cbField2");
        field2->setCurrentIndex(0);
        emit field2->activated(0);  // as the operator's choice
        EXPECT_TRUE(Control<QLineEdit>("edText2")->isEnabled());
        QTest::mouseClick(Control<QPushButton>("BitBtn1"), Qt::LeftButton);
    });
    op.Start();
    ShowSettings();
    EXPECT_TRUE(op.Done());
    EXPECT_EQ(DriverSettings.ComPort, 4);
    EXPECT_EQ(DriverSettings.BaudRate, 5);
    std::string ini = test::ReadFile(prefix.DriveC("windows/Trade.ini"));
    for (const char* line : {"ComPort=4\r\n", "BaudRate=5\r\n", "UseCradle=1\r\n", "ClearDocument=0\r\n",
                             "db_cbField2=None\r\n", "db_edDBDelimiter=3B\r\n"})
        EXPECT_NE(ini.find(line), std::string::npos) << line << ini;
}

TEST_F(QtSettingsView, RefusedOkShowsTheErrorBoxAndKeepsTheDialog) {
    auto errorBox = [] {
        auto* box = dynamic_cast<QMessageBox*>(QApplication::activeModalWidget());
        return box && box->objectName() == "ErrorBox" ? box : nullptr;
    };
    op.When(DialogOpen, [] {
        Control<QLineEdit>("edDBDelimiter")->setText("00");
        QTest::mouseClick(Control<QPushButton>("BitBtn1"), Qt::LeftButton);
    });
    op.When([errorBox] { return errorBox() != nullptr; }, [errorBox] {
        EXPECT_EQ(errorBox()->text(), QString::fromUtf8("Задан недопустимый разделитель полей базы данных!"));
        errorBox()->accept();
    });
    op.When([errorBox] { return !errorBox() && DialogOpen(); },
            [] { QTest::mouseClick(Control<QPushButton>("BitBtn2"), Qt::LeftButton); });
    op.Start();
    ShowSettings();
    EXPECT_TRUE(op.Done());
    EXPECT_EQ(test::ReadFile(prefix.DriveC("windows/Trade.ini")), "");
}

}  // namespace
