#include "rtl/Exception.h"

#include "rtl/Format.h"

namespace tolvane {

Exception::Exception(std::string message) : message_(std::move(message)) {}
Exception::~Exception() = default;

const char* Exception::ClassName() const noexcept { return "Exception"; }

std::unique_ptr<Exception> Exception::CloneWithMessage(std::string message) const {
    auto copy = std::make_unique<Exception>(*this);
    copy->SetMessage(std::move(message));
    return copy;
}

void Exception::Raise() const { throw *this; }

TOLVANE_DEFINE_EXCEPTION(EConvertError)
TOLVANE_DEFINE_EXCEPTION(EOSError)
TOLVANE_DEFINE_EXCEPTION(EOleError)
TOLVANE_DEFINE_EXCEPTION(EAssertionFailed)
TOLVANE_DEFINE_EXCEPTION(EInOutError)
TOLVANE_DEFINE_EXCEPTION(EFOpenError)
TOLVANE_DEFINE_EXCEPTION(EFCreateError)
TOLVANE_DEFINE_EXCEPTION(EListError)
TOLVANE_DEFINE_EXCEPTION(EVariantError)
TOLVANE_DEFINE_EXCEPTION(ENotBuilt)

void AssertFailed(const std::string& text, const char* file, int line) {
    throw EAssertionFailed(Format("%s (%s, line %d)", {text, file, line}));
}

}  // namespace tolvane
