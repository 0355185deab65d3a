// The Qt load window on the offscreen platform: its widgets by their
// names, and the operator's clicks and keys going through the real logic.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <deque>
#include <functional>

#include "FakeDriver.h"
#include "QtOperator.h"
#include "TestSupport.h"
#include "exchange/Exchange.h"
#include "exchange/LoadDataUnit.h"
#include "rtl/Variants.h"
#include "ui/qt/QtSupport.h"
#include "ui/qt/QtUserInterface.h"

using namespace tolvane;
using test::Child;
using test::TopLevel;

namespace {

class QtLoadView : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::UseOffscreenPlatform());
        test::terminal = &fake;
        InitializeLoadDataFrmUnit();
        ui::Install(ui::CreateQtUserInterface());
        ui::qt::EnsureApplication();  // the operator's timer needs the event loop's thread set up
        settings.ComPort = 1;
        settings.ClearDocument = false;
    }
    void TearDown() override {
        ui::Install(nullptr);
        FinalizeLoadDataFrmUnit();
        test::terminal = nullptr;
    }

    static bool OkEnabled() {
        auto* ok = Child<QPushButton>("LoadDataForm", "btnOk");
        return ok && ok->isEnabled();
    }

    test::TempPrefix prefix;
    test::FakeTerminal fake;
    TDriverSettings settings;
    test::Operator op;
};

TEST_F(QtLoadView, LoadShowsMessagesAndOkHandsTheRecordsOver) {
    fake.document = {"A=1", "B=2"};
    op.When(OkEnabled, [] {
        QWidget* form = TopLevel("LoadDataForm");
        EXPECT_EQ(form->windowTitle(), QString::fromUtf8("Загрузка данных из ТСД Cipher"));
        for (const char* name : {"Memo1", "Panel1", "Label1", "pbCurrentStatus", "btnOk", "btnCancel"})
            EXPECT_NE(form->findChild<QWidget*>(name), nullptr) << name;
        QString memo = form->findChild<QPlainTextEdit*>("Memo1")->toPlainText();
        EXPECT_TRUE(memo.startsWith("fake terminal connected\n")) << memo.toStdString();
        EXPECT_TRUE(memo.contains(QString::fromUtf8("Загрузка завершена. Получено 2 записей")));
        auto* bar = form->findChild<QProgressBar*>("pbCurrentStatus");
        EXPECT_EQ(bar->maximum(), 2);
        EXPECT_EQ(bar->value(), 2);
        EXPECT_TRUE(form->findChild<QPushButton*>("btnCancel")->isEnabled());
        EXPECT_EQ(QApplication::focusWidget(), form->findChild<QPushButton*>("btnOk"));
        QTest::mouseClick(form->findChild<QPushButton*>("btnOk"), Qt::LeftButton);
    });
    op.Start();
    OleVariant result;
    LoadDocuments(result.Get(), settings, test::FakeClass);
    EXPECT_TRUE(op.Done());
    ASSERT_EQ(result.Get().vt, VT_ARRAY | VT_VARIANT);
    int32_t upper = -1;
    SafeArrayGetUBound(result.Get().parray, 1, &upper);
    EXPECT_EQ(upper, 1);
}

TEST_F(QtLoadView, EscWithRecordsAsksAndCancelKeepsTheWindow) {
    fake.document = {"A=1"};
    auto question = [] { return dynamic_cast<QMessageBox*>(QApplication::activeModalWidget()); };
    auto isQuestion = [question] { return question() && question()->objectName() == "QuestionBox"; };
    op.When(OkEnabled, [] { QTest::keyClick(TopLevel("LoadDataForm"), Qt::Key_Escape); });
    op.When(isQuestion, [question] {
        EXPECT_EQ(question()->windowTitle(), QString::fromUtf8("Подтверждение"));
        EXPECT_TRUE(question()->text().startsWith(QString::fromUtf8("Данные, загруженные из ТСД, не обработаны.")));
        EXPECT_EQ(question()->defaultButton(), question()->button(QMessageBox::Cancel));
        question()->button(QMessageBox::Cancel)->click();
    });
    op.When([isQuestion] { return !isQuestion() && OkEnabled(); }, [] {
        // Still open with its records: Enter in the memo accepts them.
        QTest::keyClick(Child<QPlainTextEdit>("LoadDataForm", "Memo1"), Qt::Key_Return);
    });
    op.Start();
    OleVariant result;
    LoadDocuments(result.Get(), settings, test::FakeClass);
    EXPECT_TRUE(op.Done());
    EXPECT_EQ(result.Get().vt, VT_ARRAY | VT_VARIANT);
}

TEST_F(QtLoadView, GoodsModeEndsWithCloseAndEscClosesWithoutAQuestion) {
    op.When([] {
        auto* cancel = Child<QPushButton>("LoadDataForm", "btnCancel");
        return cancel && cancel->isEnabled();
    }, [] {
        auto* cancel = Child<QPushButton>("LoadDataForm", "btnCancel");
        EXPECT_EQ(cancel->text(), QString::fromUtf8("Закрыть"));
        EXPECT_FALSE(OkEnabled());
        QTest::keyClick(TopLevel("LoadDataForm"), Qt::Key_Escape);
    });
    op.Start();
    UploadGoods("C:\\TORV\\TEMP\\missing.txt", settings, test::FakeClass);
    EXPECT_TRUE(op.Done());
    EXPECT_EQ(TopLevel("LoadDataForm"), nullptr);
}

}  // namespace
