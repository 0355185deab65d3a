#include "ui/qt/QtUserInterface.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>

#include "ui/qt/QtLoadView.h"
#include "ui/qt/QtSettingsView.h"
#include "ui/qt/QtSupport.h"

namespace tolvane::ui {

namespace {

class QtUserInterface : public IUserInterface {
public:
    const char* Name() const override { return "qt"; }

    void ShowException(const std::string& message) override {
        qt::EnsureApplication();
        QMessageBox box(QMessageBox::Critical, kApplicationName, qt::FromCp1251(message), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName("ErrorBox");
        box.exec();
    }

    void ShowMessage(const std::string& text, const std::string& caption) override {
        Box(QMessageBox::NoIcon, text, caption);
    }
    void ShowWarning(const std::string& text, const std::string& caption) override {
        Box(QMessageBox::Warning, text, caption);
    }
    void ShowInformation(const std::string& text, const std::string& caption) override {
        Box(QMessageBox::Information, text, caption);
    }

    bool ConfirmOkCancel(const std::string& text, const std::string& caption, bool defaultOk) override {
        qt::EnsureApplication();
        QMessageBox box(QMessageBox::Question, qt::FromCp1251(caption), qt::FromCp1251(text),
                        QMessageBox::Ok | QMessageBox::Cancel, QApplication::activeWindow());
        box.setObjectName("QuestionBox");
        box.button(QMessageBox::Cancel)->setText(QString::fromUtf8("Отмена"));
        box.setDefaultButton(defaultOk ? QMessageBox::Ok : QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok;
    }

    void ProcessMessages() override {
        for (qt::QtLoadView* view : open_) view->SyncMemo();
        QCoreApplication::processEvents();
    }

    std::unique_ptr<ILoadView> CreateLoadView() override {
        qt::EnsureApplication();
        return std::make_unique<qt::QtLoadView>(open_);
    }

    std::unique_ptr<ISettingsView> CreateSettingsView() override {
        qt::EnsureApplication();
        return std::make_unique<qt::QtSettingsView>();
    }

private:
    static void Box(QMessageBox::Icon icon, const std::string& text, const std::string& caption) {
        qt::EnsureApplication();
        QMessageBox box(icon, qt::FromCp1251(caption), qt::FromCp1251(text), QMessageBox::Ok,
                        QApplication::activeWindow());
        box.setObjectName("MessageBox");
        box.exec();
    }

    std::vector<qt::QtLoadView*> open_;
};

}  // namespace

std::unique_ptr<IUserInterface> CreateQtUserInterface() { return std::make_unique<QtUserInterface>(); }

}  // namespace tolvane::ui
