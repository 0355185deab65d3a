#include "exchange/CipherScanCodePDT.h"

#include "exchange/AggregateRecords.h"
#include "rtl/Exception.h"
#include "rtl/Format.h"
#include "rtl/Strings.h"
#include "ui/UserInterface.h"

namespace tolvane {

const char* const NoAnswerText =
    "Нет ответа от терминала. Возможные причины:\r\n"
    "- терминал выключен\r\n"
    "- неправильно заданы параметры подключения (порт, скорость, кредл и т.д.)\r\n"
    "- терминал не находится в основном меню\r\n"
    "- в терминале установлена прошивка не от SCANCODE";

namespace {

constexpr char kDownloadDelimiter = '`';

}  // namespace

TCipherScanCodePDT::TCipherScanCodePDT(int32_t comPort, int32_t baudRate, bool useCradle, TStringList& messageLines,
                                       const std::string& delimiterText, std::unique_ptr<TCipherIO> link)
    : TBaseTolvane(comPort, baudRate, useCradle, messageLines, delimiterText), cipherIO_(std::move(link)) {
    try {
        Connect(comPort, baudRate, useCradle, delimiterText);
    } catch (...) {
        CloseLink();  // the half-built driver goes at once, port closed
        throw;
    }
}

std::unique_ptr<TBaseTolvane> TCipherScanCodePDT::Create(int32_t comPort, int32_t baudRate, bool useCradle,
                                                         TStringList& messageLines, const std::string& delimiterText) {
    return std::make_unique<TCipherScanCodePDT>(comPort, baudRate, useCradle, messageLines, delimiterText);
}

void TCipherScanCodePDT::Connect(int32_t comPort, int32_t baudRate, bool useCradle, const std::string& delimiterText) {
    AddMessage("ПОДГОТОВКА К ОБМЕНУ ДАННЫМИ С ТСД CipherLab С ПРОШИВКОЙ SCANCODE\r\n");
    if (!cipherIO_) cipherIO_ = std::make_unique<TCipherIO>();
    cipherIO_->SetBaudRate(baudRate);
    cipherIO_->SetPortNumber(comPort);
    cipherIO_->SetPortType(useCradle ? 1 : 0);
    cipherIO_->DownloadDelimiter = kDownloadDelimiter;
    cipherIO_->OnProgress = [this](TCipherIO& sender, int32_t stage, int32_t min, int32_t max, int32_t position) {
        CipherIOProgress(sender, stage, min, max, position);
    };
    cipherIO_->UploadDelimiter = DelimiterFromText(delimiterText);

    try {
        cipherIO_->SetActive(true);
    } catch (const Exception& e) {
        throw Exception(Format("Ошибка при открытии СОМ-порта №%d: %s", {comPort, e.Message()}));
    } catch (const std::exception& e) {
        throw Exception(Format("Ошибка при открытии СОМ-порта №%d: %s", {comPort, e.what()}));
    }
    AddMessage(Format("Открытие СОМ-порта №%d выполнено", {comPort}));

    std::string info = cipherIO_->TerminalInfo();
    if (AnsiLowerCase(Trim(info)) == "ping:none") {
        AddMessage(NoAnswerText);
        throw Exception(NoAnswerText);
    }
    AddMessage("Информация о CipherLab: \r\n" + info + "\r\n");
}

TCipherScanCodePDT::~TCipherScanCodePDT() { CloseLink(); }

void TCipherScanCodePDT::CloseLink() noexcept {
    try {
        if (cipherIO_ && cipherIO_->Active()) cipherIO_->SetActive(false);
        cipherIO_.reset();
    } catch (const Exception& e) {
        cipherIO_.reset();
        try {
            ui::Current().ShowMessage("Ошибка деструктора TCipherScanCodePDT" + e.Message(), ui::kApplicationName);
        } catch (...) {
        }
    } catch (...) {
        cipherIO_.reset();
    }
}

// Our terminal library answers ClearDoc with 1 when the document was
// emptied; any other answer is a failed deletion, reported with the
// library's own error text, so a document still on the terminal is never
// announced as deleted.
void TCipherScanCodePDT::DoDeleteDocument(int32_t docNumber, std::string& errorText) {
    errorText.clear();
    try {
        if ((cipherIO_->ClearTerminalDocument(docNumber) & 0xFF) != 0) return;
        TLibraryError error = cipherIO_->GetLibraryError();
        if (error.Code >= 1 && error.Code <= MaxLibraryErrorCode) errorText = ErrorTexts[error.Code];
        else errorText = "терминал не подтвердил удаление документа";
    } catch (const Exception& e) {
        errorText = e.Message();
    }
}

int32_t TCipherScanCodePDT::DoReadDocument(int32_t docNumber, TStringList& records) {
    records.Clear();
    TStringList lines;
    cipherIO_->DownloadDocument(docNumber, lines);
    AggregateRecords(lines);
    records.Assign(lines);
    return lines.Count();
}

void TCipherScanCodePDT::DoWriteDatabase(int32_t dbaseNum, const std::string& fileName, int32_t,
                                         std::string& errorText) {
    errorText.clear();
    struct Finish {
        TCipherIO& io;
        ~Finish() {
            try {
                io.FinishExchange();
            } catch (...) {
                // The terminal is told the exchange is over; its failure to
                // listen changes nothing about the upload's own outcome.
            }
        }
    } finish{*cipherIO_};
    cipherIO_->UploadFile(dbaseNum, fileName);
}

void TCipherScanCodePDT::CipherIOProgress(TCipherIO&, int32_t, int32_t min, int32_t max, int32_t position) {
    FireProgress(min, max, position);
}

}  // namespace tolvane
