#include "link/CipherIO.h"

#include <cstring>

#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"

namespace tolvane {

const char* const ErrorTexts[MaxLibraryErrorCode + 1] = {
    "Операция была завершена успешно!",
    "COM порт не инициализирован!",
    "Невозможно открыть COM порт!",
    "Невозможно настроить COM порт!",
    "Невозможно настроить IR адаптер!",
    "Ошибка СОМ порта!",  // "СОМ" in Cyrillic letters, as the terminal's maker wrote it
    "Слишком короткие данные для передачи!",
    "Слишком длинные данные для передачи!",
    "Тайм - аут! Данные не переданы!",
    "Ошибка передачи данных! Данные не переданы!",
    "Формат Базы Данных не определен!",
    "Ответ терминала ACK не соответствует ожидаемому!",
    "Ответ терминала NAK не соответствует ожидаемому!",
    "Ответ терминала OVER не соответствует ожидаемому!",
    "Ответ терминала OK не соответствует ожидаемому!",
    "Ответ терминала ERR не соответствует ожидаемому!",
    "Неизвестный ответ терминала!",
    "Слишком длинные данные для приема!",
    "Невозможно прервести терминал в режим загрузки!",
    "Переполнение памяти!Завершено!",
    "Нет данных для передачи!",
    "Неверные настройки порта!",
    "Неверный диапазон базы (1..3)!",
    "Неверный диапазон документа (0..9)!",
};

namespace {

const char* const LinkAnswers[2] = {"None", "Ok"};
const char* const ReadinessAnswers[2] = {"не готов", "готов"};

using TextBuffer = std::array<char, CipherBufferSize>;

// A piece of the clock text by 1-based position and length; empty beyond
// the end of the text.
std::string ClockPiece(const std::string& text, size_t position, size_t length) {
    if (position > text.size()) return {};
    return text.substr(position - 1, length);
}

}  // namespace

TDateTime ParseClockText(const std::string& text) {
    static constexpr size_t Pieces[6][2] = {{1, 4}, {5, 2}, {7, 2}, {9, 2}, {11, 2}, {13, 2}};
    uint16_t value[6] = {};
    for (int k = 0; k < 6; ++k) {
        std::optional<int32_t> number = TryStrToInt(ClockPiece(text, Pieces[k][0], Pieces[k][1]));
        if (!number) throw Exception(Format("Неверный формат даты %s", {text}));
        value[k] = static_cast<uint16_t>(*number);
    }
    return EncodeDate(value[0], value[1], value[2]) + EncodeTime(value[3], value[4], value[5], 0);
}

TCipherIO::TCipherIO() {
    for (auto& buffer : fieldBuffers_) buffer = std::make_unique<char[]>(CipherBufferSize);
}

TCipherIO::TCipherIO(const TCipherLibrary& library) : TCipherIO() { library_ = &library; }

TCipherIO::~TCipherIO() {
    // A component that never reached the library cannot have opened the port.
    if (!library_) return;
    try {
        if (Active()) SetActive(false);
    } catch (...) {
        // Destruction goes on; a caller that must see the failure closes the
        // port itself before freeing the component.
    }
}

const TCipherLibrary& TCipherIO::Lib() {
    if (!library_) library_ = &LoadedCipherLibrary();
    return *library_;
}

bool TCipherIO::CheckComm() { return CipherBool(Lib().CheckComm()); }

bool TCipherIO::Active() { return CheckComm(); }

void TCipherIO::SetActive(bool value) {
    if (value == Active()) return;
    if (value) {
        if (!CipherBool(Lib().OpenComm(portNumber_, baudRate_, portType_))) RaiseLibraryError();
        if (!CheckComm()) return;
        Lib().delimiter(static_cast<uint8_t>(UploadDelimiter), static_cast<uint8_t>(DownloadDelimiter));
    } else {
        Lib().CloseComm();
    }
    if (OnActiveChange) OnActiveChange(*this);
}

void TCipherIO::CheckPropertyChange(const char* message) {
    if (Active()) throw Exception(message);
}

void TCipherIO::SetPortNumber(int32_t value) {
    CheckPropertyChange("Невозможно сменить номер порта. Деактивируйте порт.");
    portNumber_ = value;
}

void TCipherIO::SetBaudRate(int32_t value) {
    CheckPropertyChange("Невозможно сменить скорость порта. Деактивируйте порт.");
    baudRate_ = value;
}

void TCipherIO::SetPortType(uint8_t value) {
    CheckPropertyChange("Невозможно сменить тип порта. Деактивируйте порт.");
    portType_ = value;
}

TLibraryError TCipherIO::GetLibraryError() {
    TextBuffer buffer{};
    TLibraryError error;
    error.Code = Lib().GetError(buffer.data());
    error.Text = CipherBufferText(buffer.data());
    return error;
}

void TCipherIO::RaiseLibraryError() {
    TLibraryError error = GetLibraryError();
    if (error.Code == 0) return;
    if (error.Code >= 1 && error.Code <= MaxLibraryErrorCode) throw Exception(ErrorTexts[error.Code]);
    throw Exception(Format("Код ошибки %d не в диапазхоне 1..%d. Вот описание ошибки из библиотеки:\r\n%s",
                           {error.Code, MaxLibraryErrorCode, error.Text}));
}

bool TCipherIO::TestLink() { return CipherBool(Lib().Ping()); }

bool TCipherIO::IsReadyForExchange() { return CipherBool(Lib().GetCurrentState()); }

std::string TCipherIO::ReadSerialNumber() {
    TextBuffer buffer{};
    Lib().GetSerialNumber(buffer.data());
    return CipherBufferText(buffer.data());
}

std::string TCipherIO::ReadClockText() {
    TextBuffer buffer{};
    if (!CipherBool(Lib().GetTime(buffer.data()))) return {};
    return CipherBufferText(buffer.data());
}

TDateTime TCipherIO::ReadClock() { return ParseClockText(ReadClockText()); }

int32_t TCipherIO::DocumentRecordCount(int32_t document) { return Lib().GetDataCount(document); }

int32_t TCipherIO::BaseRecordCount(int32_t database) { return Lib().GetRecordsCount(database); }

int32_t TCipherIO::ClearTerminalDocument(int32_t document) { return Lib().ClearDoc(document); }

void TCipherIO::CheckReady() {
    if (!Active()) throw Exception("Com порт не активен.");
    if (!CheckComm()) throw Exception("Терминал не готов");
    if (!IsReadyForExchange()) throw Exception("Терминал не находится в основном меню.");
}

std::string TCipherIO::TerminalInfo() {
    std::string info;
    auto line = [&info](const std::string& text) { info += text + "\r\n"; };

    const bool answers = TestLink();
    line(Format("Ping:%s", {LinkAnswers[answers]}));
    if (!answers) return info;
    const bool ready = IsReadyForExchange();
    line(Format("ТСД к обмену %s", {ReadinessAnswers[ready]}));
    if (!ready) return info;

    line("Серийный номер:" + ReadSerialNumber());
    // A clock the terminal lost (battery change, reset) must not stop the
    // exchange: the report shows the text as the terminal gave it.
    const std::string clockText = ReadClockText();
    std::string clock;
    try {
        clock = DateTimeToStr(ParseClockText(clockText));
    } catch (const Exception&) {
        clock = Format("неверное значение \"%s\"", {clockText});
    }
    line("Дата  и время в ТСД:" + clock);
    line("");
    for (int32_t database = 1; database <= 3; ++database)
        line(Format("База %d содержит %d записей", {database, BaseRecordCount(database)}));
    line("");
    for (int32_t document = 0; document <= 9; ++document)
        line(Format("Документ %d содержит %d записей", {document, DocumentRecordCount(document)}));
    line("");
    line("All done!");
    return info;
}

}  // namespace tolvane
