#include "TerminalLink.h"

namespace scansity {

namespace {

// Until the terminal line of the SCANSITY firmware exists, every exchange
// stops at opening the port and says why.
class NotBuiltLink : public TerminalLink {
public:
    LinkResult Open(int32_t, int32_t, bool) override { return NotBuilt(); }
    void Close() override {}
    LinkResult Identify(std::string&) override { return NotBuilt(); }
    LinkResult SerialNumber(std::string&) override { return NotBuilt(); }
    LinkResult FreeMemoryKb(int32_t&) override { return NotBuilt(); }
    LinkResult Count(int32_t, uint32_t&) override { return NotBuilt(); }
    LinkResult ReadNext(int32_t, Fields&, bool&) override { return NotBuilt(); }
    LinkResult Put(int32_t, const Fields&) override { return NotBuilt(); }
    LinkResult Finish(int32_t) override { return NotBuilt(); }
    LinkResult Clear(int32_t) override { return NotBuilt(); }

private:
    static LinkResult NotBuilt() {
        return {state::PortError, "Связь с ТСД с прошивкой SCANSITY ещё не реализована в этой сборке сервера"};
    }
};

}  // namespace

std::unique_ptr<TerminalLink> MakeSerialLink() { return std::make_unique<NotBuiltLink>(); }

}  // namespace scansity
