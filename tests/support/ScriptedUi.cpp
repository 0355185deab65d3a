#include "ScriptedUi.h"

#include <stdexcept>

namespace tolvane::test {

namespace {

class ScriptedLoadView : public ui::ILoadView {
public:
    explicit ScriptedLoadView(ScriptedUi& ui) : ui_(ui) {}

    void Bind(ui::ILoadViewEvents& events, const TStringList& memo) override {
        events_ = &events;
        memo_ = &memo;
    }

    ui::ModalResult ShowModal() override {
        state().shown = true;
        events_->FormShow();
        // The timer fires until the logic disables it; a window never runs
        // a second exchange, which the tick count shows.
        while (timerEnabled_ && state().timerTicks < 5) {
            ++state().timerTicks;
            events_->Timer1Timer();
        }
        while (!closed_) {
            if (ui_.actions.empty()) throw std::logic_error("the script ran out of actions with the window open");
            Perform(ui_.actions.front());
            ui_.actions.pop_front();
        }
        state().memo = memo_->Lines();
        state().result = result_;
        return result_;
    }

    void SetTimerEnabled(bool enabled, int) override { timerEnabled_ = enabled; }
    void SetProgress(int max, int position) override {
        state().progressMax = max;
        state().progressPosition = position;
    }
    void SetButtonEnabled(ui::LoadButton b, bool enabled) override {
        (b == ui::LoadButton::Ok ? state().okEnabled : state().cancelEnabled) = enabled;
    }
    bool ButtonEnabled(ui::LoadButton b) const override {
        return b == ui::LoadButton::Ok ? ui_.window.okEnabled : ui_.window.cancelEnabled;
    }
    void FocusButton(ui::LoadButton b) override {
        state().okFocused = b == ui::LoadButton::Ok;
        state().cancelFocused = b == ui::LoadButton::Cancel;
    }
    void SetCancelCaption(const std::string& caption) override { state().cancelCaption = caption; }
    void Click(ui::LoadButton b) override {
        if (ButtonEnabled(b)) Close(b == ui::LoadButton::Ok ? ui::ModalResult::Ok : ui::ModalResult::Cancel);
    }

private:
    ScriptedUi::WindowState& state() { return ui_.window; }

    void Perform(Action action) {
        switch (action) {
            case Action::PressOk: Click(ui::LoadButton::Ok); break;
            case Action::PressCancel: Click(ui::LoadButton::Cancel); break;
            case Action::PressEnterInMemo: events_->Memo1KeyDown(ui::kKeyEnter); break;
            case Action::PressEsc: events_->Action1Execute(); break;
            case Action::CloseWindow: Close(ui::ModalResult::Cancel); break;
        }
    }

    void Close(ui::ModalResult result) {
        if (!events_->FormCloseQuery(result)) return;
        result_ = result;
        closed_ = true;
    }

    ScriptedUi& ui_;
    ui::ILoadViewEvents* events_ = nullptr;
    const TStringList* memo_ = nullptr;
    bool timerEnabled_ = false;
    bool closed_ = false;
    ui::ModalResult result_ = ui::ModalResult::None;
};

}  // namespace

ScriptedUi& ScriptedUi::Install() {
    auto ui = std::make_unique<ScriptedUi>();
    ScriptedUi& ref = *ui;
    ui::Install(std::move(ui));
    return ref;
}

ScriptedUi::~ScriptedUi() = default;

bool ScriptedUi::ConfirmOkCancel(const std::string& text, const std::string& caption, bool defaultOk) {
    questions.push_back({text, caption, defaultOk});
    if (answers.empty()) return false;
    bool answer = answers.front();
    answers.pop_front();
    return answer;
}

std::unique_ptr<ui::ILoadView> ScriptedUi::CreateLoadView() { return std::make_unique<ScriptedLoadView>(*this); }

std::unique_ptr<ui::ISettingsView> ScriptedUi::CreateSettingsView() {
    auto view = std::make_unique<ScriptedSettingsView>(settingsSteps);
    settingsView = view.get();
    return view;
}

ui::ModalResult ScriptedSettingsView::ShowModal() {
    while (!cancelled_ && PendingResult() != ui::ModalResult::Ok) {
        if (steps_.empty()) throw std::logic_error("the script ran out of steps with the dialog open");
        Step step = steps_.front();
        steps_.pop_front();
        step(*this);
    }
    return cancelled_ ? ui::ModalResult::Cancel : ui::ModalResult::Ok;
}

void ScriptedSettingsView::PressOk() { events_->BitBtn1Click(); }

}  // namespace tolvane::test
