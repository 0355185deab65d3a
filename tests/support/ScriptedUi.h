// A user interface driven by a script, for tests of window logic: the
// operator's actions and answers are queued up front, and everything the
// logic shows is recorded.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "rtl/StringList.h"
#include "ui/UserInterface.h"

namespace tolvane::test {

enum class Action { PressOk, PressCancel, PressEnterInMemo, PressEsc, CloseWindow };

struct Question {
    std::string text, caption;
    bool defaultOk;
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
};

}  // namespace tolvane::test
