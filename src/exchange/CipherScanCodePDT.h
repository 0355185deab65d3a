// The terminal driver for the SCANCODE firmware: one TCipherIO link for the
// life of the exchange.
#pragma once

#include <memory>

#include "exchange/BaseTolvane.h"
#include "link/CipherIO.h"

namespace tolvane {

class TCipherScanCodePDT : public TBaseTolvane {
public:
    // Opens the port and checks that the terminal answers; raises on each
    // failure, closing what it opened. `link` replaces the link over the
    // real library (tests).
    TCipherScanCodePDT(int32_t comPort, int32_t baudRate, bool useCradle, TStringList& messageLines,
                       const std::string& delimiterText, std::unique_ptr<TCipherIO> link = nullptr);
    // Closes the port; never raises (a failure is shown in a message box).
    ~TCipherScanCodePDT() override;

    static std::unique_ptr<TBaseTolvane> Create(int32_t comPort, int32_t baudRate, bool useCradle,
                                                TStringList& messageLines, const std::string& delimiterText);

    TCipherIO& CipherIO() { return *cipherIO_; }

protected:
    void DoDeleteDocument(int32_t docNumber, std::string& errorText) override;
    int32_t DoReadDocument(int32_t docNumber, TStringList& records) override;
    void DoWriteDatabase(int32_t dbaseNum, const std::string& fileName, int32_t recordCount,
                         std::string& errorText) override;

private:
    void Connect(int32_t comPort, int32_t baudRate, bool useCradle, const std::string& delimiterText);
    void CloseLink() noexcept;
    void CipherIOProgress(TCipherIO& sender, int32_t stage, int32_t min, int32_t max, int32_t position);

    std::unique_ptr<TCipherIO> cipherIO_;
};

extern const char* const NoAnswerText;

}  // namespace tolvane
