#include "ui/qt/QtSupport.h"

#include <QApplication>
#include <QScreen>
#include <QSettings>

#include "platform/Paths.h"
#include "rtl/Encoding.h"

namespace tolvane::ui::qt {

void EnsureApplication() {
    if (QCoreApplication::instance()) return;
    static int argc = 1;
    static char name[] = "tolvane";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);  // lives as long as the process
    // The forms are laid out for Tahoma; where it is missing, Liberation
    // Sans has close enough widths (DejaVu Sans, the usual fallback, is
    // wider and overflows the fixed layouts).
    QFont::insertSubstitutions("Tahoma", {"Liberation Sans", "Arial", "DejaVu Sans"});
}

QString FromCp1251(const std::string& text) { return QString::fromStdU16String(Cp1251ToUtf16(text)); }

std::string ToCp1251(const QString& text) { return Utf16ToCp1251(text.toStdU16String()); }

void SetPixelFont(QWidget* widget, int pixels, bool bold) {
    QFont font = widget->font();
    font.setPixelSize(pixels);
    font.setBold(bold);
    widget->setFont(font);
}

namespace {

QSettings PlacementStore() {
    return QSettings(QString::fromStdString(platform::PrefixDirectory() + "/placement.ini"), QSettings::IniFormat);
}

}  // namespace

void RestorePlacement(QWidget* window) {
    QSettings store = PlacementStore();
    QRect rect = store.value(window->objectName() + "/geometry").toRect();
    if (!rect.isValid()) return;
    // Only a place that is still on a screen is taken over.
    for (QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().intersects(rect)) {
            window->setGeometry(rect);
            return;
        }
    }
}

void SavePlacement(const QWidget* window) {
    QSettings store = PlacementStore();
    store.setValue(window->objectName() + "/geometry", window->geometry());
}

}  // namespace tolvane::ui::qt
