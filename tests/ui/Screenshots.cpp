// Takes pictures of the real windows for the README: the settings dialog's
// three tabs, and the load window after a document load and after a goods
// upload against the terminal on COM1 of the current prefix. Run it under a
// display (scripts/screenshots starts Xvfb and the simulator).
#include <QApplication>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <string>

#include "QtOperator.h"
#include "driver/CipherMainForm.h"
#include "driver/DriverSettings.h"
#include "driver/Units.h"
#include "exchange/Exchange.h"
#include "rtl/Variants.h"
#include "ui/qt/QtSupport.h"
#include "ui/qt/QtUserInterface.h"

using namespace tolvane;

namespace {

std::string outDir;

void Save(QWidget* window, const std::string& name) {
    QApplication::processEvents();
    std::string path = outDir + "/" + name;
    bool ok = window->grab().save(QString::fromStdString(path));
    std::fprintf(stderr, "%s %s\n", ok ? "saved" : "FAILED", path.c_str());
}

void SettingsTabs() {
    TCipherMainForm form(DriverSettings);
    form.LoadLayout();
    auto* dialog = dynamic_cast<QWidget*>(&form.View());
    dialog->show();
    auto* tabs = dialog->findChild<QTabWidget*>("PageControl1");
    const char* names[] = {"settings-1-connection.png", "settings-2-database.png", "settings-3-terminal.png"};
    for (int i = 0; i < 3; ++i) {
        tabs->setCurrentIndex(i);
        Save(dialog, names[i]);
    }
    dialog->hide();
}

// Runs one exchange and pictures the window once it has finished.
void Exchange(bool goods, const std::string& goodsFile) {
    test::Operator op;
    auto finished = [] {
        auto* cancel = test::Child<QPushButton>("LoadDataForm", "btnCancel");
        return cancel && cancel->isEnabled();
    };
    op.When(finished, [goods] {
        QWidget* form = test::TopLevel("LoadDataForm");
        Save(form, goods ? "load-window-goods-upload.png" : "load-window-document-load.png");
        auto* ok = form->findChild<QPushButton*>("btnOk");
        (ok->isEnabled() ? ok : form->findChild<QPushButton*>("btnCancel"))->click();
    });
    op.Start();
    if (goods) {
        UploadGoods(goodsFile, DriverSettings);
    } else {
        OleVariant result;
        LoadDocuments(result.Get(), DriverSettings);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tolvane-screenshots OUTDIR [GOODSFILE]\n");
        return 2;
    }
    outDir = argv[1];
    ui::Install(ui::CreateQtUserInterface());
    StartUnits();
    ui::qt::EnsureApplication();
    SettingsTabs();
    if (argc > 2 && DriverSettings.ComPort > 0) {
        Exchange(false, "");
        Exchange(true, argv[2]);
    }
    StopUnits();
    return 0;
}
