// The SCANSITY terminal on COM n through the terminal line protocol of
// outside/cipherlab: the same commands and transfers as SCANCODE, plus the
// model name and the free memory.
#include "TerminalLink.h"

#include "HostLink.h"
#include "SerialLine.h"
#include "platform/Paths.h"
#include "platform/SystemError.h"

namespace scansity {

namespace {

using namespace tolvane::cipherlab;
using tolvane::platform::SerialPort;

class SerialLink final : public TerminalLink {
public:
    ~SerialLink() override { Close(); }

    LinkResult Open(int32_t port, int32_t baudCode, bool cradle) override {
        Close();
        const uint32_t baud = BaudOfCode(baudCode);
        const std::string device = tolvane::platform::SerialPortDevice(port);
        auto serial = SerialPort::Open(device);
        if (!serial || !serial->Configure(baud))
            return {state::PortError, "Не удалось открыть порт COM" + std::to_string(port) + " (" + device + "): " +
                                          tolvane::platform::SysErrorMessage(tolvane::platform::GetLastError())};
        serial->FlushInput();
        port_ = std::move(serial);
        line_ = std::make_unique<SerialLine>(*port_);
        link_ = std::make_unique<HostLink>(*line_, LinkParams{baud, cradle, TurnaroundFromEnvironment()});
        if (cradle && !link_->Wake()) {
            LinkResult failed = Failure();
            Close();
            return failed;
        }
        return {};
    }

    void Close() override {
        if (link_) link_->Close();
        link_.reset();
        line_.reset();
        port_.reset();
        putAny_ = false;
    }

    LinkResult Identify(std::string& model) override {
        auto name = link_->ModelName();
        if (!name) return Failure();
        model = *name;
        return {};
    }

    LinkResult SerialNumber(std::string& serial) override {
        auto text = link_->SerialNumber();
        if (!text) return Failure();
        serial = *text;
        return {};
    }

    LinkResult FreeMemoryKb(int32_t& kb) override {
        auto value = link_->FreeMemoryKb();
        if (!value) return Failure();
        kb = int32_t(std::min<uint32_t>(*value, INT32_MAX));
        return {};
    }

    LinkResult Count(int32_t document, uint32_t& records) override {
        auto count = link_->Count(AreaDocument, document);
        if (!count) return Failure();
        records = *count;
        return {};
    }

    LinkResult ReadNext(int32_t document, Fields& record, bool& end) override {
        Record fields;
        int result = link_->ReadNext(AreaDocument, document, fields);
        if (result < 0) return Failure();
        end = result == 0;
        if (!end) record.assign(fields.begin(), fields.end());
        return {};
    }

    LinkResult Put(int32_t database, const Fields& record) override {
        Record fields;
        for (size_t i = 0; i < record.size() && i < fields.size(); ++i) fields[i] = record[i];
        putAny_ = true;
        return link_->Put(database, fields) ? LinkResult{} : Failure();
    }

    LinkResult Finish(int32_t database) override {
        bool started = putAny_ || link_->BeginUpload(database);
        putAny_ = false;
        if (!started) return Failure();
        return link_->Finish() ? LinkResult{} : Failure();
    }

    LinkResult Clear(int32_t document) override {
        return link_->Clear(document) ? LinkResult{} : Failure();
    }

private:
    // The link's error as the object's state, in the operator's words with
    // the line's own account after them.
    LinkResult Failure() const {
        const std::string detail = " (" + link_->ErrorText() + ")";
        switch (link_->ErrorCode()) {
            case code::TimeOut: return {state::NoAnswer, "Терминал не отвечает" + detail};
            case code::IrAdapter: return {state::NoAnswer, "Инфракрасный кредл не отвечает" + detail};
            case code::NotInMenu: return {state::NotInMenu, "Терминал не находится в основном меню" + detail};
            case code::MemoryFull: return {state::MemoryFull, "Память терминала заполнена" + detail};
            case code::BadDocument:
            case code::BadDatabase: return {state::NoSuchData, "В терминале нет такого документа или базы" + detail};
            case code::PortError: return {state::PortError, "Ошибка порта" + detail};
            default: return {state::TransferError, "Ошибка обмена с терминалом" + detail};
        }
    }

    std::unique_ptr<SerialPort> port_;
    std::unique_ptr<SerialLine> line_;
    std::unique_ptr<HostLink> link_;
    bool putAny_ = false;
};

}  // namespace

std::unique_ptr<TerminalLink> MakeSerialLink() { return std::make_unique<SerialLink>(); }

}  // namespace scansity
