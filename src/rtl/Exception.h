// The exception classes of the system, all rooted at tolvane::Exception.
#pragma once

#include <tolvane/exception.h>

#pragma GCC visibility push(default)

namespace tolvane {

// Declares a class derived from Base that keeps its own class name and clones
// to its own type, so "a new exception of the same class" works through a
// base reference.
#define TOLVANE_DECLARE_EXCEPTION(Name, Base)                                         \
    class Name : public Base {                                                        \
    public:                                                                           \
        using Base::Base;                                                             \
        ~Name() override;                                                             \
        const char* ClassName() const noexcept override;                              \
        std::unique_ptr<Exception> CloneWithMessage(std::string message) const override; \
        [[noreturn]] void Raise() const override;                                     \
    }

#define TOLVANE_DEFINE_EXCEPTION(Name)                                                \
    Name::~Name() = default;                                                          \
    const char* Name::ClassName() const noexcept { return #Name; }                   \
    std::unique_ptr<Exception> Name::CloneWithMessage(std::string message) const {    \
        auto copy = std::make_unique<Name>(*this);                                    \
        copy->SetMessage(std::move(message));                                         \
        return copy;                                                                  \
    }                                                                                 \
    void Name::Raise() const { throw *this; }

TOLVANE_DECLARE_EXCEPTION(EConvertError, Exception);
TOLVANE_DECLARE_EXCEPTION(EOSError, Exception);
TOLVANE_DECLARE_EXCEPTION(EOleError, Exception);
TOLVANE_DECLARE_EXCEPTION(EAssertionFailed, Exception);
TOLVANE_DECLARE_EXCEPTION(EInOutError, Exception);
TOLVANE_DECLARE_EXCEPTION(EFOpenError, Exception);
TOLVANE_DECLARE_EXCEPTION(EFCreateError, Exception);
TOLVANE_DECLARE_EXCEPTION(EListError, Exception);
TOLVANE_DECLARE_EXCEPTION(EVariantError, Exception);
TOLVANE_DECLARE_EXCEPTION(ENotBuilt, Exception);

// Raises EAssertionFailed with the text, file and line, as the platform's
// Assert does: "text (file, line N)".
[[noreturn]] void AssertFailed(const std::string& text, const char* file, int line);

#define TOLVANE_ASSERT(cond, text) \
    ((cond) ? (void)0 : ::tolvane::AssertFailed((text), __FILE__, __LINE__))

}  // namespace tolvane

#pragma GCC visibility pop
