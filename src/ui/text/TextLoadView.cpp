#include "ui/text/TextLoadView.h"

#include "platform/Process.h"
#include "rtl/StringList.h"

namespace tolvane::ui {

void TextLoadView::Bind(ILoadViewEvents& events, const TStringList& memoLines) {
    events_ = &events;
    memo_ = &memoLines;
    written_ = 0;
}

void TextLoadView::SetTimerEnabled(bool enabled, int intervalMs) {
    timerEnabled_ = enabled;
    timerInterval_ = intervalMs;
    if (enabled) timerDueAt_ = platform::GetTickCount64() + uint64_t(intervalMs);
}

bool TextLoadView::RunTimerIfDue(uint64_t nowMs) {
    if (!timerEnabled_ || nowMs < timerDueAt_) return false;
    timerDueAt_ = nowMs + uint64_t(timerInterval_);
    events_->Timer1Timer();
    return true;
}

void TextLoadView::SetProgress(int max, int position) {
    progressMax_ = max;
    progressPosition_ = position;
}

void TextLoadView::SetButtonEnabled(LoadButton button, bool enabled) {
    (button == LoadButton::Ok ? okEnabled_ : cancelEnabled_) = enabled;
}

bool TextLoadView::ButtonEnabled(LoadButton button) const {
    return button == LoadButton::Ok ? okEnabled_ : cancelEnabled_;
}

void TextLoadView::FocusButton(LoadButton) {}

void TextLoadView::SetCancelCaption(const std::string& caption) { cancelCaption_ = caption; }

void TextLoadView::Click(LoadButton button) {
    if (!ButtonEnabled(button)) return;
    RequestClose(button == LoadButton::Ok ? ModalResult::Ok : ModalResult::Cancel);
}

void TextLoadView::RequestClose(ModalResult result) {
    if (events_ && !events_->FormCloseQuery(result)) return;
    result_ = result;
    closed_ = true;
}

void TextLoadView::FlushMemo() {
    if (!memo_) return;
    if (memo_->Count() < written_) written_ = 0;
    for (; written_ < memo_->Count(); ++written_) writeLine_((*memo_)[written_]);
}

}  // namespace tolvane::ui
