#include "driver/CipherMainForm.h"

#include "driver/DriverSettings.h"
#include "rtl/Exception.h"
#include "rtl/Strings.h"
#include "support/SafeIniFile.h"

namespace tolvane {

namespace {

constexpr char kSection[] = "Tolvane";
constexpr int kBaudCodes[] = {1, 2, 3, 4, 5};
const char* const kStoredFieldNames[] = {"Kod",  "Name",   "Name2",  "Category", "Unit",    "Country",
                                         "ZPrice", "RPrice", "Ostatok", "Supplier", "ID_Goods"};
constexpr int kDefaultLengths[TCipherMainForm::kFieldRows] = {13, 50, 14, 10, 0, 0, 0, 0};
constexpr int kDefaultFields[TCipherMainForm::kFieldRows] = {1, 2, 7, 9, 0, 0, 0, 0};

std::string Row(const char* name, int n) { return name + std::to_string(n); }

// "$" + text read as a hexadecimal integer, as the dialog's checks do.
std::optional<int32_t> HexValue(const std::string& text) { return TryStrToInt("$" + text); }

// Runs an event handler the way the form's message loop does: a raised
// message goes to the standard error box and the dialog stays open.
template <typename Handler>
void Guarded(Handler handler) {
    try {
        handler();
    } catch (const Exception& e) {
        ui::Current().ShowException(e.Message());
    }
}

}  // namespace

const std::vector<std::string>& GoodsFieldItems() {
    static const std::vector<std::string> items = {
        "<Отсутствует>", "Штрих-код", "Наимен.",   "Наимен. 2", "Категория", "Ед. изм.", "Страна",
        "Зак. цена",     "Розн. цена", "Кол-во (остаток)", "Поставщик", "ID записи", ""};
    return items;
}

std::string FieldNameOf(int index) {
    if (index >= 1 && index <= int(std::size(kStoredFieldNames))) return kStoredFieldNames[index - 1];
    return "None";
}

int FieldIndexOf(const std::string& name) {
    for (size_t i = 0; i < std::size(kStoredFieldNames); ++i)
        if (AnsiSameText(name, kStoredFieldNames[i])) return int(i) + 1;
    return 0;
}

std::string LayoutHelpText() {
    return "При сканировании штрих-кода терминал сбора данных может\r\n"
           "показывать наименование, цену и остаток товара. Для этого\r\n"
           "в ТСД следует записать номенклатуру товара. В зависимости\r\n"
           "от того, какая задача (т.е. интерфейс пользователя) записана\r\n"
           "в ТСД в данный момент, следует правильно указать номер\r\n"
           "базы данных, число полей в базе данных, а также указать\r\n"
           "из каких полей состоит база данных (указать имя поля и длину).\r\n"
           "ЕСЛИ в ТСД база данных НЕ НАСТРОЕНА, то запишите в ТСД\r\n"
           "задачу, в которой предусмотрена работа с базой данных.\r\n"
           "\r\n"
           "Для того, чтобы записать номенклатуру товара в ТСД, следует\r\n"
           "открыть справочник товара и нажать кнопку \"Записать в ТСД...\".\r\n"
           "При этом будет создан текстовый файл:\r\n"
           "C:\\TORV\\TEMP\\TempPDTBase.txt\r\n"
           "Этот файл при необходимости вы можете использовать для\r\n"
           "других целей, не имеющих отношения к ТСД. Поля в этом файле\r\n"
           "отделяются друг от друга символом, указанным в поле:\r\n"
           "\"Разделитель полей НЕХ код\" (09 - это символ табуляции)";
}

TCipherMainForm::TCipherMainForm(TDriverSettings& settings)
    : settings_(settings), view_(ui::Current().CreateSettingsView()) {
    view_->Bind(*this);
    FormCreate();
}

void TCipherMainForm::FormCreate() {
    ui::ISettingsView& v = *view_;
    v.SetActivePage(0);
    v.SetItems("cbPDTProgramType", {"SCANCODE", "SCANSITY"});
    v.SetItems("cbBaud", {"115200", "56700", "38400", "19200", "9600"});
    std::vector<std::string> documents;
    for (int n = 1; n <= 10; ++n) documents.push_back("Документ #" + std::to_string(n));
    v.SetItems("cbDocNumber", documents);
    v.SetItems("cbDBaseNum", {"1", "2", "3"});
    v.SetItems("cbFieldCount", {"1", "2", "3", "4", "5", "6", "7", "8"});
    v.SetItemIndex("cbFieldCount", 3);
    v.SetText("edDBDelimiter", "09");
    for (int n = 1; n <= kFieldRows; ++n) {
        v.SetItems(Row("cbField", n), GoodsFieldItems());
        v.SetItemIndex(Row("cbField", n), kDefaultFields[n - 1]);
        v.SetValue(Row("seLen", n), kDefaultLengths[n - 1]);
        v.SetText(Row("edText", n), "");
    }

    v.SetValue("seComPort", settings_.ComPort);
    int baud = -1;
    for (int i = 0; i < int(std::size(kBaudCodes)); ++i)
        if (kBaudCodes[i] == settings_.BaudRate) baud = i;
    v.SetItemIndex("cbBaud", baud);
    v.SetItemIndex("cbDocNumber", settings_.LoadDocNumber);
    v.SetChecked("cbClearDocument", settings_.ClearDocument);
    v.SetChecked("cbMustConfirm", settings_.MustConfirmBeforeClear);
    v.SetEnabled("cbMustConfirm", settings_.ClearDocument);
    v.SetChecked("cbUseCradle", settings_.UseCradle);
    v.SetItemIndex("cbPDTProgramType", settings_.ProgramType);
}

void TCipherMainForm::LoadLayout() {
    {
        TSafeIniFile ini(SettingsFilePath());
        ui::ISettingsView& v = *view_;
        for (int n = 1; n <= kFieldRows; ++n) {
            v.SetValue(Row("seLen", n), ini.ReadInteger(kSection, Row("db_seLen", n), v.Value(Row("seLen", n))));
            std::string field =
                ini.ReadString(kSection, Row("db_cbField", n), FieldNameOf(v.ItemIndex(Row("cbField", n))));
            v.SetItemIndex(Row("cbField", n), FieldIndexOf(field));
            v.SetText(Row("edText", n), ini.ReadString(kSection, Row("db_edText", n), ""));
        }
        settings_.DBaseNum = ini.ReadInteger(kSection, "db_cbDBaseNum", 1);
        v.SetItemIndex("cbDBaseNum", settings_.DBaseNum - 1);
        v.SetItemIndex("cbFieldCount", ini.ReadInteger(kSection, "db_cbFieldCount", 4) - 1);
        settings_.DBDelimiter = ini.ReadString(kSection, "db_edDBDelimiter", "09");
        v.SetText("edDBDelimiter", settings_.DBDelimiter);
    }
    UpdateFieldRows();
}

void TCipherMainForm::SaveLayout() {
    TSafeIniFile ini(SettingsFilePath());
    ui::ISettingsView& v = *view_;
    for (int n = 1; n <= kFieldRows; ++n) {
        ini.WriteInteger(kSection, Row("db_seLen", n), v.Value(Row("seLen", n)));
        ini.WriteString(kSection, Row("db_cbField", n), FieldNameOf(v.ItemIndex(Row("cbField", n))));
        ini.WriteString(kSection, Row("db_edText", n), v.Text(Row("edText", n)));
    }
    settings_.DBaseNum = v.ItemIndex("cbDBaseNum") + 1;
    ini.WriteInteger(kSection, "db_cbDBaseNum", settings_.DBaseNum);
    ini.WriteInteger(kSection, "db_cbFieldCount", v.ItemIndex("cbFieldCount") + 1);
    settings_.DBDelimiter = v.Text("edDBDelimiter");
    ini.WriteString(kSection, "db_edDBDelimiter", settings_.DBDelimiter);
}

void TCipherMainForm::BitBtn1Click() {
    Guarded([this] {
        view_->SetModalResult(ui::ModalResult::None);
        CheckEntries();
        CopyEntries();
        view_->SetModalResult(ui::ModalResult::Ok);
    });
}

// Every entry is checked before anything is copied, so a refused OK leaves
// the settings as they were.
void TCipherMainForm::CheckEntries() const {
    int port = view_->Value("seComPort");
    if (port < 0 || port > 255) throw Exception("Задан недопустимый СОМ-порт!");
    auto delimiter = HexValue(view_->Text("edDBDelimiter"));
    if (!delimiter || *delimiter < 1) throw Exception("Задан недопустимый разделитель полей базы данных!");
    int baud = view_->ItemIndex("cbBaud");
    if (baud < 0 || baud >= int(std::size(kBaudCodes))) throw Exception("Не выбрана скорость обмена!");
}

void TCipherMainForm::CopyEntries() {
    ui::ISettingsView& v = *view_;
    settings_.ComPort = v.Value("seComPort");
    settings_.BaudRate = kBaudCodes[v.ItemIndex("cbBaud")];
    settings_.LoadDocNumber = v.ItemIndex("cbDocNumber");
    settings_.ClearDocument = v.Checked("cbClearDocument");
    settings_.MustConfirmBeforeClear = v.Checked("cbMustConfirm");
    settings_.UseCradle = v.Checked("cbUseCradle");
    settings_.ProgramType = v.ItemIndex("cbPDTProgramType");
}

void TCipherMainForm::cbClearDocumentClick() {
    view_->SetEnabled("cbMustConfirm", view_->Checked("cbClearDocument"));
}

void TCipherMainForm::cbFieldCountSelect() {
    if (view_->ItemIndex("cbFieldCount") == 0) {
        ui::Current().ShowWarning("База данных размером в 1 поле использоваться не может!", "Внимание!");
        view_->SetItemIndex("cbFieldCount", 3);
    }
    UpdateFieldRows();
}

void TCipherMainForm::cbField1Select() { UpdateFieldRows(); }

void TCipherMainForm::UpdateFieldRows() {
    int count = view_->ItemIndex("cbFieldCount") + 1;
    for (int n = 1; n <= kFieldRows; ++n) {
        bool used = n <= count;
        for (const char* name : {"labNum", "labLen", "seLen", "labField", "cbField"}) view_->SetEnabled(Row(name, n), used);
        bool fixedText = used && view_->ItemIndex(Row("cbField", n)) <= 0;
        view_->SetEnabled(Row("labText", n), fixedText);
        view_->SetEnabled(Row("edText", n), fixedText);
    }
}

void TCipherMainForm::edDBDelimiterChange() {
    int32_t code = HexValue(view_->Text("edDBDelimiter")).value_or(9);
    view_->SetHint("edDBDelimiter", std::string(1, char(code)));
}

void TCipherMainForm::Label11Click() { ui::Current().ShowInformation(LayoutHelpText(), "Справка"); }

void ShowSettingsDialog(TDriverSettings& settings) {
    TCipherMainForm form(settings);
    form.LoadLayout();
    if (form.ShowModal() != ui::ModalResult::Ok) return;
    SaveDriverSettings();
    form.SaveLayout();
}

}  // namespace tolvane
