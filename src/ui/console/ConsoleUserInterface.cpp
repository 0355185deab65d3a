#include "ui/console/ConsoleUserInterface.h"

#include <algorithm>
#include <vector>

#include "platform/Console.h"
#include "platform/Process.h"
#include "rtl/Encoding.h"
#include "rtl/Strings.h"
#include "ui/console/ConsoleSettingsView.h"
#include "ui/text/TextLoadView.h"

namespace tolvane::ui {

namespace {

constexpr int kBarWidth = 30;

// A progress bar redrawn in place on its own line, cleared before any
// other output so messages never mix with it.
class StatusLine {
public:
    void Show(int max, int position) {
        int percent = max > 0 ? int(int64_t(std::clamp(position, 0, max)) * 100 / max) : 0;
        int filled = percent * kBarWidth / 100;
        std::string bar = "\rСтатус: [" + std::string(size_t(filled), '#') + std::string(size_t(kBarWidth - filled), '.') +
                          "] " + std::to_string(percent) + "%";
        if (bar == last_) return;
        last_ = bar;
        platform::WriteConsole(Cp1251ToUtf8(bar));
        shown_ = true;
    }
    void Clear() {
        if (!shown_) return;
        platform::WriteConsole("\r\x1b[K");
        shown_ = false;
        last_.clear();
    }

private:
    bool shown_ = false;
    std::string last_;
};

StatusLine status;

void WriteLine(const std::string& cp1251) {
    status.Clear();
    platform::WriteConsole(Cp1251ToUtf8(cp1251) + "\n");
}

class ConsoleLoadView : public TextLoadView {
public:
    explicit ConsoleLoadView(std::vector<ConsoleLoadView*>& open) : TextLoadView(WriteLine), open_(open) {}

    void SetProgress(int max, int position) override {
        TextLoadView::SetProgress(max, position);
        if (platform::StderrIsTerminal()) status.Show(max, position);
    }

    ModalResult ShowModal() override {
        open_.push_back(this);
        struct Pop {
            std::vector<ConsoleLoadView*>& open;
            ~Pop() { open.pop_back(); }
        } pop{open_};
        WriteLine("== Загрузка данных из ТСД Cipher ==");
        platform::ConsoleKeys keys;
        events_->FormShow();
        bool prompted = false;
        while (!closed_) {
            if (RunTimerIfDue(platform::GetTickCount64())) {
                FlushMemo();
                continue;
            }
            if (!TimerEnabled() && !prompted) {
                Prompt();
                prompted = true;
            }
            HandleKey(keys.ReadKey(TimerEnabled() ? 20 : 250), prompted);
        }
        status.Clear();
        return result_;
    }

    void Poll() {
        FlushMemo();
        // Keys typed during the exchange wait: the buttons are disabled then.
    }

private:
    void Prompt() {
        status.Clear();
        std::string text = ButtonEnabled(LoadButton::Ok) ? "Enter - OK, Esc - " + cancelCaption_ : "Esc - " + cancelCaption_;
        WriteLine("[" + text + "]");
    }

    void HandleKey(int key, bool& prompted) {
        if (key == kKeyEscape) events_->Action1Execute();
        else if (key == kKeyEnter) events_->Memo1KeyDown(kKeyEnter);
        else if (key == platform::kKeyEndOfInput) RequestClose(ModalResult::Cancel);  // like the close button
        else return;
        if (!closed_) prompted = false;
    }

    std::vector<ConsoleLoadView*>& open_;
};

// y answers OK, n or Esc Cancel, Enter the default; end of input Cancel.
bool AskOkCancel(bool defaultOk) {
    platform::ConsoleKeys keys;
    for (;;) {
        int key = keys.ReadKey(-1);
        if (key == 'y' || key == 'Y') return true;
        if (key == 'n' || key == 'N' || key == kKeyEscape || key == platform::kKeyEndOfInput) return false;
        if (key == kKeyEnter) return defaultOk;
    }
}

class ConsoleUserInterface : public IUserInterface {
public:
    const char* Name() const override { return "console"; }

    void ShowException(const std::string& message) override {
        WriteLine("Ошибка: " + message);
    }

    void ShowMessage(const std::string& text, const std::string& caption) override {
        WriteLine("== " + caption + " ==");
        WriteLine(text);
    }

    bool ConfirmOkCancel(const std::string& text, const std::string& caption, bool defaultOk) override {
        WriteLine("== " + caption + " ==");
        WriteLine(text);
        WriteLine(defaultOk ? "[Enter/y - OK, Esc/n - Отмена]" : "[y - OK, Enter/Esc/n - Отмена]");
        bool ok = AskOkCancel(defaultOk);
        WriteLine(ok ? "-> OK" : "-> Отмена");
        return ok;
    }

    void ProcessMessages() override {
        for (ConsoleLoadView* view : open_) view->Poll();
    }

    std::unique_ptr<ILoadView> CreateLoadView() override { return std::make_unique<ConsoleLoadView>(open_); }
    std::unique_ptr<ISettingsView> CreateSettingsView() override { return CreateConsoleSettingsView(); }
    void ShowWarning(const std::string& text, const std::string& caption) override { ShowMessage(text, caption); }
    void ShowInformation(const std::string& text, const std::string& caption) override { ShowMessage(text, caption); }

private:
    std::vector<ConsoleLoadView*> open_;
};

}  // namespace

std::unique_ptr<IUserInterface> CreateConsoleUserInterface() { return std::make_unique<ConsoleUserInterface>(); }

}  // namespace tolvane::ui
