#include "ui/qt/QtSettingsView.h"

#include <QMouseEvent>

#include "rtl/Exception.h"
#include "ui/qt/QtSupport.h"
#include "ui_CipherMainForm.h"

// Resources of a static library are registered by hand.
static void InitSettingsResources() { Q_INIT_RESOURCE(SettingsDialog); }

namespace tolvane::ui::qt {

QtSettingsView::QtSettingsView() : form_(std::make_unique<Ui::CipherMainForm>()) {
    InitSettingsResources();
    form_->setupUi(this);
    setFixedSize(size());  // a dialog border: not resizable
    SetPixelFont(this, 13);
    SetPixelFont(form_->BitBtn1, 13, true);
    form_->Label11->installEventFilter(this);
    RestorePlacement(this);
}

QtSettingsView::~QtSettingsView() = default;

template <typename T>
T* QtSettingsView::Find(const std::string& name) const {
    T* widget = findChild<T*>(QString::fromStdString(name));
    if (!widget) throw EListError("Нет элемента управления " + name);
    return widget;
}

void QtSettingsView::Bind(ISettingsViewEvents& events) {
    events_ = &events;
    connect(form_->BitBtn1, &QPushButton::clicked, this, [this] {
        events_->BitBtn1Click();
        if (result_ == ModalResult::Ok) accept();
    });
    connect(form_->BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(form_->cbClearDocument, &QCheckBox::clicked, this, [this] { events_->cbClearDocumentClick(); });
    connect(form_->cbFieldCount, &QComboBox::activated, this, [this] { events_->cbFieldCountSelect(); });
    for (int n = 1; n <= 8; ++n)
        connect(Find<QComboBox>("cbField" + std::to_string(n)), &QComboBox::activated, this,
                [this] { events_->cbField1Select(); });
    connect(form_->edDBDelimiter, &QLineEdit::textChanged, this, [this] { events_->edDBDelimiterChange(); });
}

ModalResult QtSettingsView::ShowModal() {
    int code = exec();
    SavePlacement(this);
    return code == QDialog::Accepted ? ModalResult::Ok : ModalResult::Cancel;
}

void QtSettingsView::SetActivePage(int index) { form_->PageControl1->setCurrentIndex(index); }

void QtSettingsView::SetItems(const std::string& control, const std::vector<std::string>& items) {
    auto* combo = Find<QComboBox>(control);
    QSignalBlocker quiet(combo);
    combo->clear();
    for (const auto& item : items) combo->addItem(FromCp1251(item));
    combo->setCurrentIndex(-1);
}

int QtSettingsView::ItemIndex(const std::string& control) const { return Find<QComboBox>(control)->currentIndex(); }

void QtSettingsView::SetItemIndex(const std::string& control, int index) {
    auto* combo = Find<QComboBox>(control);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

int QtSettingsView::Value(const std::string& spinEdit) const { return Find<QSpinBox>(spinEdit)->value(); }

void QtSettingsView::SetValue(const std::string& spinEdit, int value) { Find<QSpinBox>(spinEdit)->setValue(value); }

bool QtSettingsView::Checked(const std::string& checkBox) const { return Find<QCheckBox>(checkBox)->isChecked(); }

void QtSettingsView::SetChecked(const std::string& checkBox, bool checked) {
    Find<QCheckBox>(checkBox)->setChecked(checked);
}

std::string QtSettingsView::Text(const std::string& edit) const { return ToCp1251(Find<QLineEdit>(edit)->text()); }

void QtSettingsView::SetText(const std::string& edit, const std::string& text) {
    Find<QLineEdit>(edit)->setText(FromCp1251(text));
}

bool QtSettingsView::Enabled(const std::string& control) const { return Find<QWidget>(control)->isEnabled(); }

void QtSettingsView::SetEnabled(const std::string& control, bool enabled) { Find<QWidget>(control)->setEnabled(enabled); }

void QtSettingsView::SetHint(const std::string& control, const std::string& hint) {
    Find<QWidget>(control)->setToolTip(FromCp1251(hint));
}

bool QtSettingsView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_->Label11 && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        events_->Label11Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace tolvane::ui::qt
