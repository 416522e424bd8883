#pragma once
#include <exception>
#include <string>

namespace tovasen {

// The program's exception: carries the wide message shown to the user.
class Exception : public std::exception {
public:
    explicit Exception(std::wstring message) : message_(std::move(message)) {}
    const std::wstring& Message() const noexcept { return message_; }
    const char* what() const noexcept override { return "tovasen::Exception (see Message())"; }

private:
    std::wstring message_;
};

// A failed Win32 call: the message names the call and carries the system's own text.
class EOSError : public Exception {
public:
    EOSError(const std::wstring& call, unsigned long code);
    unsigned long Code() const noexcept { return code_; }

private:
    unsigned long code_;
};

// The system's own text for an error code, without the trailing line break.
std::wstring SystemErrorText(unsigned long code);

// Raises EOSError for the calling thread's last error.
[[noreturn]] void RaiseLastOSError(const std::wstring& call);

}  // namespace tovasen
