#include "ui/console/ConsoleSettingsView.h"

#include <iostream>

#include "platform/Console.h"
#include "rtl/Encoding.h"
#include "rtl/Strings.h"
#include "ui/text/SettingsControls.h"

namespace tolvane::ui {

namespace {

enum class Kind { List, Spin, Check, Edit };

struct Field {
    std::string label;
    std::string control;
    Kind kind;
    void (ISettingsViewEvents::*changed)() = nullptr;
};

void Say(const std::string& cp1251) { platform::WriteConsole(Cp1251ToUtf8(cp1251) + "\n"); }

// One line of input in Windows-1251; nullopt at the end of input.
std::optional<std::string> Ask(const std::string& prompt) {
    platform::WriteConsole(Cp1251ToUtf8(prompt));
    std::string line;
    if (!std::getline(std::cin, line)) return std::nullopt;
    return Trim(Utf8ToCp1251(line));
}

std::vector<Field> Fields() {
    std::vector<Field> fields = {
        {"Тип прошивки", "cbPDTProgramType", Kind::List},
        {"COM-порт (0..255)", "seComPort", Kind::Spin},
        {"Скорость обмена", "cbBaud", Kind::List},
        {"Номер документа", "cbDocNumber", Kind::List},
        {"Номер базы данных", "cbDBaseNum", Kind::List},
        {"Использовать кредл (ИК-подставку)", "cbUseCradle", Kind::Check},
        {"Очистка документа после сохранения", "cbClearDocument", Kind::Check,
         &ISettingsViewEvents::cbClearDocumentClick},
        {"Требовать подтверждение оператора", "cbMustConfirm", Kind::Check},
        {"Кол-во полей в базе данных", "cbFieldCount", Kind::List, &ISettingsViewEvents::cbFieldCountSelect},
        {"Разделитель полей, HEX код", "edDBDelimiter", Kind::Edit, &ISettingsViewEvents::edDBDelimiterChange},
    };
    for (int n = 1; n <= 8; ++n) {
        std::string row = std::to_string(n);
        fields.push_back({"№" + row + " Поле", "cbField" + row, Kind::List, &ISettingsViewEvents::cbField1Select});
        fields.push_back({"№" + row + " Длина (0..100)", "seLen" + row, Kind::Spin});
        fields.push_back({"№" + row + " Текст", "edText" + row, Kind::Edit});
    }
    return fields;
}

class ConsoleSettingsView : public SettingsControls {
public:
    ModalResult ShowModal() override {
        const std::vector<Field> fields = Fields();
        modalResult_ = ModalResult::None;
        for (;;) {
            Show(fields);
            auto answer = Ask("Номер поля, ok, cancel или help: ");
            if (!answer || AnsiSameText(*answer, "cancel") || AnsiSameText(*answer, "отмена")) return ModalResult::Cancel;
            if (AnsiSameText(*answer, "ok")) {
                events_->BitBtn1Click();
                if (modalResult_ == ModalResult::Ok) return ModalResult::Ok;
                continue;
            }
            if (AnsiSameText(*answer, "help")) {
                events_->Label11Click();
                continue;
            }
            auto number = TryStrToInt(*answer);
            if (!number || *number < 1 || *number > int(fields.size())) {
                Say("Нет поля с таким номером");
                continue;
            }
            Edit(fields[size_t(*number - 1)]);
        }
    }

private:
    std::string Shown(const Field& f) const {
        const ControlState& c = Get(f.control);
        switch (f.kind) {
            case Kind::List:
                return c.itemIndex >= 0 && c.itemIndex < int(c.items.size()) ? c.items[size_t(c.itemIndex)] : "(не выбрано)";
            case Kind::Spin: return std::to_string(c.value);
            case Kind::Check: return c.checked ? "да" : "нет";
            case Kind::Edit: return "\"" + c.text + "\"";
        }
        return {};
    }

    void Show(const std::vector<Field>& fields) const {
        Say("== Параметры ТСД Cipher ==");
        for (size_t i = 0; i < fields.size(); ++i) {
            const Field& f = fields[i];
            std::string line = (i < 9 ? " " : "") + std::to_string(i + 1) + ". " + f.label + ": " + Shown(f);
            if (!Get(f.control).enabled) line += "  (недоступно)";
            Say(line);
        }
    }

    void Edit(const Field& f) {
        ControlState& c = controls_[f.control];
        if (!c.enabled) {
            Say("Поле сейчас недоступно");
            return;
        }
        if (f.kind == Kind::List) {
            for (size_t i = 0; i < c.items.size(); ++i) Say("   " + std::to_string(i + 1) + ") " + c.items[i]);
        }
        auto value = Ask(f.kind == Kind::Check ? f.label + " (да/нет): " : f.label + ": ");
        if (!value) return;
        if (!Apply(f, c, *value)) {
            Say("Недопустимое значение");
            return;
        }
        if (f.changed) (events_->*f.changed)();
    }

    static bool Apply(const Field& f, ControlState& c, const std::string& value) {
        switch (f.kind) {
            case Kind::List: {
                auto n = TryStrToInt(value);
                if (!n || *n < 1 || *n > int(c.items.size())) return false;
                c.itemIndex = *n - 1;
                return true;
            }
            case Kind::Spin: {
                auto n = TryStrToInt(value);
                if (!n) return false;
                c.value = *n;
                return true;
            }
            case Kind::Check:
                if (AnsiSameText(value, "да") || AnsiSameText(value, "y") || value == "1") c.checked = true;
                else if (AnsiSameText(value, "нет") || AnsiSameText(value, "n") || value == "0") c.checked = false;
                else return false;
                return true;
            case Kind::Edit:
                c.text = value;
                return true;
        }
        return false;
    }
};

}  // namespace

std::unique_ptr<ISettingsView> CreateConsoleSettingsView() { return std::make_unique<ConsoleSettingsView>(); }

}  // namespace tolvane::ui
