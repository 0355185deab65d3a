// The settings dialog as a Qt dialog; the logic reaches its widgets by
// their object names.
#pragma once

#include <QDialog>
#include <memory>

#include "ui/UserInterface.h"

namespace Ui {
class CipherMainForm;
}

namespace tolvane::ui::qt {

class QtSettingsView : public QDialog, public ISettingsView {
public:
    QtSettingsView();
    ~QtSettingsView() override;

    void Bind(ISettingsViewEvents& events) override;
    ModalResult ShowModal() override;
    void SetModalResult(ModalResult result) override { result_ = result; }
    void SetActivePage(int index) override;

    void SetItems(const std::string& control, const std::vector<std::string>& items) override;
    int ItemIndex(const std::string& control) const override;
    void SetItemIndex(const std::string& control, int index) override;
    int Value(const std::string& spinEdit) const override;
    void SetValue(const std::string& spinEdit, int value) override;
    bool Checked(const std::string& checkBox) const override;
    void SetChecked(const std::string& checkBox, bool checked) override;
    std::string Text(const std::string& edit) const override;
    void SetText(const std::string& edit, const std::string& text) override;
    bool Enabled(const std::string& control) const override;
    void SetEnabled(const std::string& control, bool enabled) override;
    void SetHint(const std::string& control, const std::string& hint) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    template <typename T>
    T* Find(const std::string& name) const;

    std::unique_ptr<Ui::CipherMainForm> form_;
    ISettingsViewEvents* events_ = nullptr;
    ModalResult result_ = ModalResult::None;
};

}  // namespace tolvane::ui::qt
