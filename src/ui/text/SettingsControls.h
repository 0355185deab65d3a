// The settings dialog's controls as plain values, for backends without a
// toolkit: each control is found by its name and holds its items, choice,
// value, tick, text, enabling and hint.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "ui/UserInterface.h"

namespace tolvane::ui {

struct ControlState {
    std::vector<std::string> items;
    int itemIndex = -1;
    int value = 0;
    bool checked = false;
    std::string text;
    bool enabled = true;
    std::string hint;
};

class SettingsControls : public ISettingsView {
public:
    void Bind(ISettingsViewEvents& events) override { events_ = &events; }
    void SetModalResult(ModalResult result) override { modalResult_ = result; }
    void SetActivePage(int index) override { page_ = index; }

    void SetItems(const std::string& control, const std::vector<std::string>& items) override;
    int ItemIndex(const std::string& control) const override { return Get(control).itemIndex; }
    void SetItemIndex(const std::string& control, int index) override;
    int Value(const std::string& spinEdit) const override { return Get(spinEdit).value; }
    void SetValue(const std::string& spinEdit, int value) override { controls_[spinEdit].value = value; }
    bool Checked(const std::string& checkBox) const override { return Get(checkBox).checked; }
    void SetChecked(const std::string& checkBox, bool checked) override { controls_[checkBox].checked = checked; }
    std::string Text(const std::string& edit) const override { return Get(edit).text; }
    void SetText(const std::string& edit, const std::string& text) override { controls_[edit].text = text; }
    bool Enabled(const std::string& control) const override { return Get(control).enabled; }
    void SetEnabled(const std::string& control, bool enabled) override { controls_[control].enabled = enabled; }
    void SetHint(const std::string& control, const std::string& hint) override { controls_[control].hint = hint; }

    const ControlState& Get(const std::string& control) const;
    int ActivePage() const { return page_; }
    ModalResult PendingResult() const { return modalResult_; }

protected:
    ISettingsViewEvents* events_ = nullptr;
    ModalResult modalResult_ = ModalResult::None;
    std::map<std::string, ControlState> controls_;
    int page_ = 0;
};

}  // namespace tolvane::ui
