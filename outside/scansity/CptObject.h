// The automation object "CitySoftWarehouseDOS.Cpt": link settings as
// properties, the terminal's operations as methods, and Read / Write that
// run in a thread of their own while State answers 81 / 80 and
// RecordsTransferred grows. Texts cross as BSTRs; paths and records are
// Windows-1251 inside.
#pragma once

#include <tolvane/oleauto.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "TerminalLink.h"

namespace scansity {

class CptObject final : public IDispatch {
public:
    // Created with one reference.
    explicit CptObject(std::unique_ptr<TerminalLink> link);

    HRESULT QueryInterface(const IID& iid, void** object) override;
    uint32_t AddRef() override;
    uint32_t Release() override;
    HRESULT GetTypeInfoCount(uint32_t* count) override;
    HRESULT GetTypeInfo(uint32_t, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(const IID& iid, OLECHAR** names, uint32_t count, LCID lcid, DISPID* ids) override;
    HRESULT Invoke(DISPID id, const IID& iid, LCID lcid, uint16_t flags, DISPPARAMS* params, VARIANT* result,
                   EXCEPINFO* excepInfo, uint32_t* argErr) override;

    static int LiveObjects();
    // Waits until a running Read or Write has ended by itself (CloseComm
    // breaks it off instead).
    void AwaitTransfer();

private:
    ~CptObject();

    HRESULT Method(DISPID id, std::vector<VARIANT*>& args, VARIANT* result);
    // The members' work; each sets the state.
    void InitComm();
    int32_t LinkTest(VARIANT* model);
    int32_t RecordCount(int32_t area, int32_t document);
    int32_t Read(const std::string& path, int32_t area, int32_t document);
    int32_t Write(const std::string& path, int32_t database);
    int32_t DeleteData(int32_t area, int32_t document);
    void CloseComm();

    // False, with the state set, while a transfer runs or the port is closed.
    bool Ready();
    void SetState(int32_t code, const std::string& message = {});
    void SetState(const LinkResult& result) { SetState(result.state, result.message); }
    void StopWorker();
    void EndTransfer(const LinkResult& outcome);

    std::atomic<uint32_t> references_{1};
    std::unique_ptr<TerminalLink> link_;
    int32_t port_ = 1, baudRate_ = 1, connectionType_ = 1, lookupDelimiter_ = 9;
    bool open_ = false;

    std::mutex mutex_;  // guards state_ and message_
    int32_t state_ = state::NotOpen;
    std::string message_ = "Порт не открыт";
    std::atomic<int32_t> transferred_{0};
    std::atomic<bool> running_{false};
    std::atomic<bool> stop_{false};
    std::thread worker_;
};

}  // namespace scansity
