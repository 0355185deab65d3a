// The load window as a Qt dialog.
#pragma once

#include <QDialog>
#include <QTimer>
#include <memory>
#include <vector>

#include "ui/UserInterface.h"

namespace Ui {
class LoadDataForm;
}

namespace tolvane::ui::qt {

class QtLoadView : public QDialog, public ILoadView {
public:
    explicit QtLoadView(std::vector<QtLoadView*>& open);
    ~QtLoadView() override;

    void Bind(ILoadViewEvents& events, const TStringList& memoLines) override;
    ModalResult ShowModal() override;
    void SetTimerEnabled(bool enabled, int intervalMs) override;
    void SetProgress(int max, int position) override;
    void SetButtonEnabled(LoadButton button, bool enabled) override;
    bool ButtonEnabled(LoadButton button) const override;
    void FocusButton(LoadButton button) override;
    void SetCancelCaption(const std::string& caption) override;
    void Click(LoadButton button) override;

    // Shows memo lines added since the last call.
    void SyncMemo();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void RequestClose(ModalResult result);
    void RunTimer();

    std::unique_ptr<Ui::LoadDataForm> form_;
    std::vector<QtLoadView*>& open_;
    ILoadViewEvents* events_ = nullptr;
    const TStringList* memo_ = nullptr;
    int shownLines_ = 0;
    QTimer timer_;
    bool shownOnce_ = false;
    bool inTimer_ = false;
    bool closePending_ = false;
};

}  // namespace tolvane::ui::qt
