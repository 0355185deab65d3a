#include "ui/batch/BatchUserInterface.h"

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/Process.h"
#include "rtl/Encoding.h"
#include "rtl/Strings.h"
#include "ui/text/SettingsControls.h"
#include "ui/text/TextLoadView.h"

namespace tolvane::ui {

namespace {

void WriteErr(const std::string& cp1251) {
    std::string line = Cp1251ToUtf8(cp1251) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fflush(stderr);
}

bool PolicyAnswer() {
    const char* policy = std::getenv("TOLVANE_CONFIRM");
    return policy && (AnsiSameText(policy, "yes") || AnsiSameText(policy, "y") || AnsiSameText(policy, "1"));
}

class BatchLoadView : public TextLoadView {
public:
    explicit BatchLoadView(std::vector<TextLoadView*>& open) : TextLoadView(WriteErr), open_(open) {}

    ModalResult ShowModal() override {
        open_.push_back(this);
        struct Pop {
            std::vector<TextLoadView*>& open;
            ~Pop() { open.pop_back(); }
        } pop{open_};
        events_->FormShow();
        while (!closed_) {
            if (TimerEnabled()) {
                uint64_t now = platform::GetTickCount64();
                if (now < TimerDueAt()) platform::Sleep(uint32_t(TimerDueAt() - now));
                RunTimerIfDue(platform::GetTickCount64());
                FlushMemo();
                continue;
            }
            PressTheOnlySensibleButton();
        }
        return result_;
    }

private:
    // OK when offered, so nothing received is thrown away; else Cancel. A
    // refused Cancel (records would be lost) falls back to OK.
    void PressTheOnlySensibleButton() {
        if (ButtonEnabled(LoadButton::Ok)) {
            WriteErr("[OK]");
            Click(LoadButton::Ok);
        } else if (ButtonEnabled(LoadButton::Cancel)) {
            WriteErr("[" + cancelCaption_ + "]");
            Click(LoadButton::Cancel);
        }
        if (!closed_ && !ButtonEnabled(LoadButton::Ok)) RequestCloseUnconditionally();
    }

    void RequestCloseUnconditionally() {
        result_ = ModalResult::Cancel;
        closed_ = true;
    }

    std::vector<TextLoadView*>& open_;
};

// Without an operator the dialog is closed with Cancel: nothing is written.
class BatchSettingsView : public SettingsControls {
public:
    ModalResult ShowModal() override {
        WriteErr("Параметры ТСД Cipher: без оператора окно закрыто кнопкой \"Отмена\", настройки не изменены");
        return ModalResult::Cancel;
    }
};

class BatchUserInterface : public IUserInterface {
public:
    const char* Name() const override { return "batch"; }

    void ShowException(const std::string& message) override { WriteErr("Ошибка: " + message); }

    void ShowMessage(const std::string& text, const std::string& caption) override {
        WriteErr(caption + ": " + text);
    }

    bool ConfirmOkCancel(const std::string& text, const std::string& caption, bool) override {
        bool answer = PolicyAnswer();
        WriteErr(caption + ": " + text);
        WriteErr(answer ? "-> OK (TOLVANE_CONFIRM)" : "-> Отмена (TOLVANE_CONFIRM)");
        return answer;
    }

    void ProcessMessages() override {
        for (TextLoadView* view : open_) view->FlushMemo();
    }

    std::unique_ptr<ILoadView> CreateLoadView() override { return std::make_unique<BatchLoadView>(open_); }
    std::unique_ptr<ISettingsView> CreateSettingsView() override { return std::make_unique<BatchSettingsView>(); }
    void ShowWarning(const std::string& text, const std::string& caption) override { ShowMessage(text, caption); }
    void ShowInformation(const std::string& text, const std::string& caption) override { ShowMessage(text, caption); }

private:
    std::vector<TextLoadView*> open_;
};

}  // namespace

std::unique_ptr<IUserInterface> CreateBatchUserInterface() { return std::make_unique<BatchUserInterface>(); }

}  // namespace tolvane::ui
