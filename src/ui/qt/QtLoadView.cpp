#include "ui/qt/QtLoadView.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>

#include "rtl/StringList.h"
#include "ui/qt/QtSupport.h"
#include "ui_LoadDataForm.h"

namespace tolvane::ui::qt {

QtLoadView::QtLoadView(std::vector<QtLoadView*>& open) : form_(std::make_unique<Ui::LoadDataForm>()), open_(open) {
    form_->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
    SetPixelFont(this, 11);
    SetPixelFont(form_->Memo1, 13);
    SetPixelFont(form_->Label1, 11, true);
    SetPixelFont(form_->btnOk, 19, true);
    SetPixelFont(form_->btnCancel, 16);
    form_->Memo1->clear();  // FormCreate clears the design-time text
    form_->Memo1->installEventFilter(this);
    timer_.setSingleShot(false);
    connect(&timer_, &QTimer::timeout, this, [this] { RunTimer(); });
    connect(form_->btnOk, &QPushButton::clicked, this, [this] { Click(LoadButton::Ok); });
    connect(form_->btnCancel, &QPushButton::clicked, this, [this] { Click(LoadButton::Cancel); });
    if (QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    RestorePlacement(this);
}

QtLoadView::~QtLoadView() = default;

void QtLoadView::Bind(ILoadViewEvents& events, const TStringList& memoLines) {
    events_ = &events;
    memo_ = &memoLines;
    shownLines_ = 0;
}

ModalResult QtLoadView::ShowModal() {
    open_.push_back(this);
    int code = exec();
    open_.erase(std::find(open_.begin(), open_.end(), this));
    SavePlacement(this);
    return code == QDialog::Accepted ? ModalResult::Ok : ModalResult::Cancel;
}

void QtLoadView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (shownOnce_) return;
    shownOnce_ = true;
    events_->FormShow();
}

void QtLoadView::SetTimerEnabled(bool enabled, int intervalMs) {
    if (enabled) timer_.start(intervalMs);
    else timer_.stop();
}

void QtLoadView::RunTimer() {
    inTimer_ = true;
    events_->Timer1Timer();
    inTimer_ = false;
    SyncMemo();
    // A close asked for during the exchange takes effect once it is over.
    if (closePending_) {
        closePending_ = false;
        RequestClose(ModalResult::Cancel);
    }
}

void QtLoadView::SetProgress(int max, int position) {
    form_->pbCurrentStatus->setMaximum(max);
    form_->pbCurrentStatus->setValue(position);
}

void QtLoadView::SetButtonEnabled(LoadButton button, bool enabled) {
    (button == LoadButton::Ok ? form_->btnOk : form_->btnCancel)->setEnabled(enabled);
}

bool QtLoadView::ButtonEnabled(LoadButton button) const {
    return (button == LoadButton::Ok ? form_->btnOk : form_->btnCancel)->isEnabled();
}

void QtLoadView::FocusButton(LoadButton button) {
    (button == LoadButton::Ok ? form_->btnOk : form_->btnCancel)->setFocus();
}

void QtLoadView::SetCancelCaption(const std::string& caption) { form_->btnCancel->setText(FromCp1251(caption)); }

void QtLoadView::Click(LoadButton button) {
    if (!ButtonEnabled(button)) return;
    RequestClose(button == LoadButton::Ok ? ModalResult::Ok : ModalResult::Cancel);
}

void QtLoadView::RequestClose(ModalResult result) {
    if (!events_->FormCloseQuery(result)) return;
    done(result == ModalResult::Ok ? QDialog::Accepted : QDialog::Rejected);
}

void QtLoadView::closeEvent(QCloseEvent* event) {
    event->ignore();  // the close button counts as Cancel, subject to the close query
    if (inTimer_) closePending_ = true;
    else RequestClose(ModalResult::Cancel);
}

void QtLoadView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (!inTimer_) events_->Action1Execute();
        return;
    }
    QDialog::keyPressEvent(event);
}

bool QtLoadView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == form_->Memo1 && event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && !inTimer_) {
            events_->Memo1KeyDown(kKeyEnter);
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void QtLoadView::SyncMemo() {
    if (!memo_) return;
    if (memo_->Count() < shownLines_) {
        form_->Memo1->clear();
        shownLines_ = 0;
    }
    for (; shownLines_ < memo_->Count(); ++shownLines_) form_->Memo1->appendPlainText(FromCp1251((*memo_)[shownLines_]));
}

}  // namespace tolvane::ui::qt
