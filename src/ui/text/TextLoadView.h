// The load window on a text stream: the state every text backend shares
// (buttons, timer, progress, the memo lines already written out) and the
// close rules. Backends supply the modal loop and where text goes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ui/UserInterface.h"

namespace tolvane::ui {

class TextLoadView : public ILoadView {
public:
    using Writer = std::function<void(const std::string& cp1251Line)>;
    explicit TextLoadView(Writer writeLine) : writeLine_(std::move(writeLine)) {}

    void Bind(ILoadViewEvents& events, const TStringList& memoLines) override;
    void SetTimerEnabled(bool enabled, int intervalMs) override;
    void SetProgress(int max, int position) override;
    void SetButtonEnabled(LoadButton button, bool enabled) override;
    bool ButtonEnabled(LoadButton button) const override;
    void FocusButton(LoadButton button) override;
    void SetCancelCaption(const std::string& caption) override;
    void Click(LoadButton button) override;

    // Writes the memo lines added since the last call (all of them again
    // after the memo was cleared).
    void FlushMemo();

protected:
    // Fires Timer1Timer when the timer is due; true when it fired.
    bool RunTimerIfDue(uint64_t nowMs);
    uint64_t TimerDueAt() const { return timerDueAt_; }
    bool TimerEnabled() const { return timerEnabled_; }
    // Asks FormCloseQuery; closes when it agrees.
    void RequestClose(ModalResult result);

    ILoadViewEvents* events_ = nullptr;
    ModalResult result_ = ModalResult::None;
    bool closed_ = false;
    int progressMax_ = 100;
    int progressPosition_ = 0;
    std::string cancelCaption_ = "Отмена";
    Writer writeLine_;

private:
    const TStringList* memo_ = nullptr;
    int written_ = 0;
    bool okEnabled_ = false;
    bool cancelEnabled_ = false;
    bool timerEnabled_ = false;
    int timerInterval_ = 0;
    uint64_t timerDueAt_ = 0;
};

}  // namespace tolvane::ui
