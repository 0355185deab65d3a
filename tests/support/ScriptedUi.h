// A user interface driven by a script, for tests of window logic: the
// operator's actions and answers are queued up front, and everything the
// logic shows is recorded.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include <functional>

#include "rtl/StringList.h"
#include "ui/UserInterface.h"
#include "ui/text/SettingsControls.h"

namespace tolvane::test {

enum class Action { PressOk, PressCancel, PressEnterInMemo, PressEsc, CloseWindow };

struct Question {
    std::string text, caption;
    bool defaultOk;
};

// The settings dialog: ShowModal runs the operator's steps in order until
// one of them closes it (OK accepted, or Cancel).
class ScriptedSettingsView : public ui::SettingsControls {
public:
    using Step = std::function<void(ScriptedSettingsView&)>;
    explicit ScriptedSettingsView(std::deque<Step>& steps) : steps_(steps) {}

    ui::ModalResult ShowModal() override;
    // Operator actions a step may take.
    void PressOk();
    void PressCancel() { cancelled_ = true; }
    ui::ISettingsViewEvents& Events() { return *events_; }

private:
    std::deque<Step>& steps_;
    bool cancelled_ = false;
};

class ScriptedUi : public ui::IUserInterface {
public:
    // Installs itself as the current user interface for its lifetime.
    static ScriptedUi& Install();
    ~ScriptedUi() override;

    std::deque<Action> actions;   // performed after the exchange, in order
    std::deque<bool> answers;     // for questions; an empty queue answers Cancel
    std::vector<Question> questions;
    std::vector<std::string> errors;
    std::vector<std::string> messages;
    std::vector<std::string> warnings;
    std::vector<std::string> informations;
    std::deque<ScriptedSettingsView::Step> settingsSteps;
    ScriptedSettingsView* settingsView = nullptr;  // the last one created
    int processMessagesCalls = 0;

    // The state of the last load window when it closed.
    struct WindowState {
        bool okEnabled = false, cancelEnabled = false, okFocused = false, cancelFocused = false;
        std::string cancelCaption = "Отмена";
        int progressMax = 100, progressPosition = 0;
        std::vector<std::string> memo;
        ui::ModalResult result = ui::ModalResult::None;
        bool shown = false;
        int timerTicks = 0;
    } window;

    const char* Name() const override { return "scripted"; }
    void ShowException(const std::string& message) override { errors.push_back(message); }
    void ShowMessage(const std::string& text, const std::string&) override { messages.push_back(text); }
    bool ConfirmOkCancel(const std::string& text, const std::string& caption, bool defaultOk) override;
    void ProcessMessages() override { ++processMessagesCalls; }
    std::unique_ptr<ui::ILoadView> CreateLoadView() override;
    std::unique_ptr<ui::ISettingsView> CreateSettingsView() override;
    void ShowWarning(const std::string& text, const std::string&) override { warnings.push_back(text); }
    void ShowInformation(const std::string& text, const std::string&) override { informations.push_back(text); }
};

}  // namespace tolvane::test
