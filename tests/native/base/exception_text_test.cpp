#include "base/exception_text.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "base/errors.h"

namespace tovasen {
namespace {

TEST(ExceptionText, OursKeepTheirMessageAndOthersAreDecodedAsUtf8) {
    EXPECT_EQ(L"저장 실패", ExceptionText(std::make_exception_ptr(Exception(L"저장 실패"))));
    EXPECT_EQ(L"경로 없음", ExceptionText(std::make_exception_ptr(std::runtime_error("\xEA\xB2\xBD\xEB\xA1\x9C \xEC\x97\x86\xEC\x9D\x8C"))));
    EXPECT_EQ(L"Unknown error", ExceptionText(std::make_exception_ptr(42)));
}

TEST(Guarded, ReportsAndReturnsTheFallbackInsteadOfThrowing) {
    std::wstring reported;
    SetExceptionReporter([&](const std::wstring& message) { reported = message; });
    EXPECT_EQ(7, Guarded(7, []() -> int { throw std::runtime_error("boom"); }));
    EXPECT_EQ(L"boom", reported);
    EXPECT_EQ(3, Guarded(7, [] { return 3; }));
    // A reporter that throws itself must not let the exception out either.
    SetExceptionReporter([](const std::wstring&) { throw 1; });
    Guarded([] { throw Exception(L"again"); });
    SetExceptionReporter(nullptr);
}

}  // namespace
}  // namespace tovasen
