// What the system asks of a user interface. The window logic (exchange/,
// driver/) talks only to these interfaces; a backend (qt, console, batch)
// is installed once at start-up. Texts are Windows-1251.
#pragma once

#include <memory>
#include <string>

namespace tolvane {
class TStringList;
}

namespace tolvane::ui {

enum class ModalResult { None = 0, Ok = 1, Cancel = 2 };
enum class LoadButton { Ok, Cancel };

constexpr int kKeyEnter = 13;
constexpr int kKeyEscape = 27;

// Events of the load window, handled by its logic.
class ILoadViewEvents {
public:
    virtual void FormShow() = 0;
    virtual void Timer1Timer() = 0;
    // Asked before the window closes with the result; false keeps it open.
    virtual bool FormCloseQuery(ModalResult result) = 0;
    virtual void Action1Execute() = 0;  // Esc
    virtual void Memo1KeyDown(int key) = 0;

protected:
    ~ILoadViewEvents() = default;
};

// The load window: a message memo, a status bar, OK and Cancel.
class ILoadView {
public:
    virtual ~ILoadView() = default;
    // The memo shows memoLines; the view repaints them whenever pending
    // events are processed.
    virtual void Bind(ILoadViewEvents& events, const TStringList& memoLines) = 0;
    // Shows the window modally (FormShow first) until it closes.
    virtual ModalResult ShowModal() = 0;
    // While enabled, Timer1Timer fires every intervalMs.
    virtual void SetTimerEnabled(bool enabled, int intervalMs) = 0;
    virtual void SetProgress(int max, int position) = 0;
    virtual void SetButtonEnabled(LoadButton button, bool enabled) = 0;
    virtual bool ButtonEnabled(LoadButton button) const = 0;
    virtual void FocusButton(LoadButton button) = 0;
    virtual void SetCancelCaption(const std::string& caption) = 0;
    // As the operator's click: closes with the button's result, subject to
    // FormCloseQuery. Does nothing while the button is disabled.
    virtual void Click(LoadButton button) = 0;
};

class IUserInterface {
public:
    virtual ~IUserInterface() = default;
    virtual const char* Name() const = 0;
    // The platform's standard error box.
    virtual void ShowException(const std::string& message) = 0;
    // A plain message box with an OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption) = 0;
    // A question with OK and Cancel; true when answered OK.
    virtual bool ConfirmOkCancel(const std::string& text, const std::string& caption, bool defaultOk) = 0;
    // Lets open windows repaint and take input while the caller works.
    virtual void ProcessMessages() = 0;
    virtual std::unique_ptr<ILoadView> CreateLoadView() = 0;
};

// The installed backend; raises when none is installed.
IUserInterface& Current();
void Install(std::unique_ptr<IUserInterface> ui);
bool Installed();

// The caption of the standard error box and of plain message boxes.
extern const char* const kApplicationName;

}  // namespace tolvane::ui
