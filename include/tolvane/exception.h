// Root of the exception hierarchy shared by the driver library and its host.
//
// Host and library share one runtime (libTolvaneRtl.so): every failure that
// crosses the host boundary is a C++ exception derived from tolvane::Exception,
// so a host catches it by type. Messages are Windows-1251 text.
#pragma once

#include <exception>
#include <memory>
#include <string>

#pragma GCC visibility push(default)

namespace tolvane {

class Exception : public std::exception {
public:
    explicit Exception(std::string message);
    ~Exception() override;

    const std::string& Message() const noexcept { return message_; }
    void SetMessage(std::string message) { message_ = std::move(message); }
    const char* what() const noexcept override { return message_.c_str(); }

    // The class name as the system reports it ("Exception", "EConvertError", ...).
    virtual const char* ClassName() const noexcept;
    // A new exception of the same class carrying another message.
    virtual std::unique_ptr<Exception> CloneWithMessage(std::string message) const;
    // Throws *this with its dynamic type.
    [[noreturn]] virtual void Raise() const;

private:
    std::string message_;
};

}  // namespace tolvane

#pragma GCC visibility pop
