#include "exchange/CipherCitySoftPDT.h"

#include <unordered_map>

#include "platform/Files.h"
#include "platform/Paths.h"
#include "platform/Process.h"
#include "platform/SystemError.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"
#include "ui/UserInterface.h"

namespace tolvane {

namespace {

constexpr const char* kProgId = "CitySoftWarehouseDOS.Cpt";
constexpr const char* kServerFile = "C:\\TORV\\CitySoftWarehouseDos_OLE.dll";
constexpr const char* kTempFolder = "C:\\TORV\\TEMP\\";
constexpr const char* kTempFile = "C:\\TORV\\TEMP\\Temp_CipherLab.txt";
constexpr int32_t kStateIdle = 0;
constexpr int32_t kStateWriting = 80;
constexpr int32_t kStateReading = 81;
constexpr uint32_t kPollIntervalMs = 50;

const char* const kNoAnswer =
    "Нет ответа от терминала. Возможные причины:\r\n- терминал выключен\r\n- неправильно заданы параметры "
    "подключения (порт, скорость, кредл и т.д.)\r\n- терминал не находится в основном меню\r\n- в терминале "
    "установлена прошивка не от SCANSITY";

int32_t ToInt(const OleVariant& v) { return VarToInt(v.Get()); }
std::string ToText(const OleVariant& v) { return VarToText(v.Get()); }

bool IsDecimal(std::string_view s) {
    size_t i = s.size() > 1 && (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size()) return false;
    for (; i < s.size(); ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

}  // namespace

TCitySoftServices& CitySoftServices() {
    static TCitySoftServices services;
    return services;
}

TCipherCitySoftPDT::TCipherCitySoftPDT(int32_t comPort, int32_t baudRate, bool useCradle,
                                       TStringList& messageLines, const std::string& delimiterText)
    : TBaseTolvane(comPort, baudRate, useCradle, messageLines, delimiterText) {
    AddMessage("ПОДГОТОВКА К ОБМЕНУ ДАННЫМИ С ТСД CipherLab С ПРОШИВКОЙ SCANSITY\r\n");
    try {
        CreateTerminalObject();
        int32_t port = comPort, baud = baudRate;
        TerminalObject.Set("Port", platform::OleArg::ByRef(port));
        TerminalObject.Set("BaudRate", platform::OleArg::ByRef(baud));
        TerminalObject.Set("ConnectionType", useCradle ? 0 : 1);
        TerminalObject.Call("InitComm");
        CheckState();
        AddMessage(Format("Открытие СОМ-порта №%d выполнено", {comPort}));

        OleVariant model = OleVariant::FromText("");
        if (ToInt(TerminalObject.Call("LinkTest", {platform::OleArg::ByRef(model)})) != 0) {
            AddMessage(kNoAnswer);
            CheckState();  // a silent terminal with state 0 is no error to the object
        }
        std::string serial = ToText(TerminalObject.Get("SerialNumber"));
        int32_t freeMemory = ToInt(TerminalObject.Get("FreeMemory"));
        AddMessage("Модель ТСД: " + ToText(model) + ". Серийный номер: " + serial + ". Свободно памяти: " +
                   IntToStr(freeMemory) + "Кб");
        TerminalObject.Set("LookupDelimiter", int32_t(static_cast<unsigned char>(DelimiterFromText(delimiterText))));
    } catch (...) {
        Close();  // a half-built driver still closes its port
        throw;
    }
}

TCipherCitySoftPDT::~TCipherCitySoftPDT() { Close(); }

std::unique_ptr<TBaseTolvane> TCipherCitySoftPDT::Create(int32_t comPort, int32_t baudRate, bool useCradle,
                                                         TStringList& messageLines,
                                                         const std::string& delimiterText) {
    return std::make_unique<TCipherCitySoftPDT>(comPort, baudRate, useCradle, messageLines, delimiterText);
}

void TCipherCitySoftPDT::CreateTerminalObject() {
    TerminalObject.Clear();
    auto& services = CitySoftServices();
    try {
        TerminalObject = services.CreateOleObject(kProgId);
        return;
    } catch (const Exception& first) {
        if (!platform::FileExists(kServerFile)) {
            std::string text =
                "Ошибка загрузки драйвера для работы с ТСД CipherLab (SCANSITY). Вероятно драйвер не установлен на "
                "данном компьютере.\r\n\r\nТекст ошибки: \r\n" +
                first.Message();
            AddMessage(text);
            throw Exception(text);
        }
    }
    AddMessage(
        "Ошибка создания OLE-объекта \"CitySoftWarehouseDOS.Cpt\". Будет выполнена попытка регистрации с помощью "
        "REGSVR32.EXE\r\n");
    // The tool's exit code tells nothing the second creation does not. A tool
    // that hangs is stopped after a while rather than blocking the operator.
    platform::RunAndWait(std::string("REGSVR32.EXE /s \"") + kServerFile + "\"", kRegistrationTimeLimitMs);
    try {
        TerminalObject = services.CreateOleObject(kProgId);
    } catch (const Exception& second) {
        std::string text =
            "Ошибка загрузки драйвера для работы с ТСД CipherLab (SCANSITY). Не удалось установить драйвер на данном "
            "компьютере.\r\n\r\nТекст ошибки: \r\n" +
            second.Message();
        AddMessage(text);
        throw Exception(text);
    }
    AddMessage("Регистрация прошла успешно!\r\n");
}

void TCipherCitySoftPDT::CheckState() {
    if (ToInt(TerminalObject.Get("State")) == kStateIdle) return;
    std::string text = "ОШИБКА Cipher: " + ToText(TerminalObject.Get("StateMessage"));
    AddMessage(text);
    throw Exception(text);
}

void TCipherCitySoftPDT::ReportProgress(int32_t total) {
    if (!OnProgress) return;
    FireProgress(1, total, ToInt(TerminalObject.Get("RecordsTransferred")));
}

void TCipherCitySoftPDT::WaitWhileRunning(int32_t answer, int32_t runningState, int32_t total) {
    auto& services = CitySoftServices();
    while (answer == runningState) {
        ReportProgress(total);
        if (services.Sleep) services.Sleep(kPollIntervalMs);
        else platform::Sleep(kPollIntervalMs);
        answer = ToInt(TerminalObject.Get("State"));
    }
    ReportProgress(0);
    CheckState();
}

int32_t TCipherCitySoftPDT::DoReadDocument(int32_t docNumber, TStringList& records) {
    records.Clear();
    // A file left by an earlier load must never be read as this one.
    if (platform::FileExists(kTempFile) && !platform::DeleteFile(kTempFile)) platform::RaiseLastOSError();
    int32_t count = ToInt(TerminalObject.Call("RecordCount", {0, docNumber + 1}));
    if (count <= 0) {
        // A count that failed is no empty document: the object's error state says so.
        CheckState();
        AddMessage("Данные в ТСД отсутствуют");
        return 0;
    }
    platform::ForceDirectories(kTempFolder);
    int32_t answer = ToInt(TerminalObject.Call("Read", {kTempFile, 0, 0, docNumber + 1, 1}));
    WaitWhileRunning(answer, kStateReading, count);

    TStringList lines;
    lines.LoadFromFile(platform::NativePath(kTempFile));
    platform::DeleteFile(kTempFile);

    // One entry per code, in order of first appearance, letter case ignored.
    // Sums are kept in 64 bits so that no quantity is lost to an overflow.
    std::vector<std::pair<std::string, int64_t>> entries;
    std::unordered_map<std::string, size_t> index;
    for (int i = 0; i < lines.Count(); ++i) {
        std::string code;
        int32_t quantity;
        if (!SplitCodeQty(lines[i], code, quantity)) continue;
        auto [it, added] = index.try_emplace(AnsiLowerCase(code), entries.size());
        if (added) entries.emplace_back(code, quantity);
        else entries[it->second].second += quantity;
    }
    TStringList merged;
    std::string report = "Загружены следующие данные:\r\n";
    for (const auto& [code, sum] : entries) {
        merged.Add(code + "=" + IntToStr(sum));
        report += code + "=" + IntToStr(sum) + "\r\n";
    }
    AddMessage(report);
    records.Assign(merged);
    return records.Count();
}

void TCipherCitySoftPDT::DoWriteDatabase(int32_t dbaseNum, const std::string& fileName, int32_t recordCount,
                                         std::string& errorText) {
    errorText.clear();
    try {
        OleVariant path = OleVariant::FromText(fileName);
        int32_t database = dbaseNum;
        int32_t answer = ToInt(TerminalObject.Call(
            "Write", {platform::OleArg::ByRef(path), 0, platform::OleArg::ByRef(database)}));
        WaitWhileRunning(answer, kStateWriting, recordCount);
        AddMessage("В ТСД после записи базы данных осталось памяти: " + IntToStr(ToInt(TerminalObject.Get("FreeMemory"))) +
                   "Кб");
    } catch (const Exception& e) {
        errorText = e.Message();  // CheckState has already shown the object's message
    }
}

void TCipherCitySoftPDT::DoDeleteDocument(int32_t docNumber, std::string& errorText) {
    errorText.clear();
    try {
        int32_t result = ToInt(TerminalObject.Call("DeleteData", {0, docNumber + 1}));
        if (result < 0) {
            errorText = ToText(TerminalObject.Get("StateMessage"));
            // A refusal without a message must still read as a failure.
            if (errorText.empty()) errorText = Format("ТСД не удалил документ (код %d)", {result});
        }
    } catch (const Exception& e) {
        errorText = e.Message();
    }
}

void TCipherCitySoftPDT::Close() noexcept {
    try {
        if (!TerminalObject.IsNull() && ToInt(TerminalObject.Get("Enabled")) == 1) TerminalObject.Call("CloseComm");
    } catch (const std::exception& e) {
        const auto* general = dynamic_cast<const Exception*>(&e);
        std::string text = "Ошибка в деструкторе TCipherCitySoftPDT: " + (general ? general->Message() : e.what());
        try {
            if (ui::Installed()) ui::Current().ShowMessage(text, ui::kApplicationName);
        } catch (...) {
        }
    }
    TerminalObject.Clear();
}

bool SplitCodeQty(const std::string& line, std::string& code, int32_t& quantity) {
    size_t comma = line.find(',');
    if (comma == std::string::npos) return false;
    code = Trim(std::string_view(line).substr(0, comma));
    if (code.empty()) return false;
    std::string rest = Trim(std::string_view(line).substr(comma + 1));
    if (rest.empty()) quantity = 1;
    else if (auto value = IsDecimal(rest) ? TryStrToInt(rest) : std::nullopt) quantity = *value;
    else quantity = 0;
    return true;
}

}  // namespace tolvane
