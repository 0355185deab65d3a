// What the system asks of a user interface. The window logic (exchange/,
// driver/) talks only to these interfaces; a backend (qt, console, batch)
// is installed once at start-up. Texts are Windows-1251.
#pragma once

#include <memory>
#include <string>
#include <vector>

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

// Events of the settings dialog, handled by its logic. A handler that
// raises has its message shown in the standard error box by the logic;
// the dialog stays open.
class ISettingsViewEvents {
public:
    virtual void BitBtn1Click() = 0;  // OK
    virtual void cbClearDocumentClick() = 0;
    virtual void cbFieldCountSelect() = 0;
    virtual void cbField1Select() = 0;  // any row's field list
    virtual void edDBDelimiterChange() = 0;
    virtual void Label11Click() = 0;

protected:
    ~ISettingsViewEvents() = default;
};

// The settings dialog. The logic reaches its controls by their names
// ("seComPort", "cbBaud", "seLen3", ...), as the form's code does.
class ISettingsView {
public:
    virtual ~ISettingsView() = default;
    virtual void Bind(ISettingsViewEvents& events) = 0;
    // Shows the dialog modally; OK closes it only through SetModalResult.
    virtual ModalResult ShowModal() = 0;
    virtual void SetModalResult(ModalResult result) = 0;
    virtual void SetActivePage(int index) = 0;

    virtual void SetItems(const std::string& control, const std::vector<std::string>& items) = 0;
    virtual int ItemIndex(const std::string& control) const = 0;  // -1: none selected
    virtual void SetItemIndex(const std::string& control, int index) = 0;
    virtual int Value(const std::string& spinEdit) const = 0;
    virtual void SetValue(const std::string& spinEdit, int value) = 0;
    virtual bool Checked(const std::string& checkBox) const = 0;
    virtual void SetChecked(const std::string& checkBox, bool checked) = 0;
    virtual std::string Text(const std::string& edit) const = 0;
    virtual void SetText(const std::string& edit, const std::string& text) = 0;
    virtual bool Enabled(const std::string& control) const = 0;
    virtual void SetEnabled(const std::string& control, bool enabled) = 0;
    virtual void SetHint(const std::string& control, const std::string& hint) = 0;
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
    virtual std::unique_ptr<ISettingsView> CreateSettingsView() = 0;
    // A message box with the warning icon (the exclamation mark).
    virtual void ShowWarning(const std::string& text, const std::string& caption) = 0;
    // A message box with the information icon.
    virtual void ShowInformation(const std::string& text, const std::string& caption) = 0;
};

// The installed backend; raises when none is installed.
IUserInterface& Current();
void Install(std::unique_ptr<IUserInterface> ui);
bool Installed();

// The caption of the standard error box and of plain message boxes.
extern const char* const kApplicationName;

}  // namespace tolvane::ui
