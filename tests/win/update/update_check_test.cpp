// The update check against a local HTTPS server (see run_with_https_server.sh): WinHTTP, the
// certificate checks, the identifier, the retries and the hand-over to the user-interface thread.
#include <windows.h>

#include <wincrypt.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <thread>

#include "base/registry.h"
#include "support/files.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "ui/application.h"
#include "update/update_check.h"
#include "update/update_reply.h"
#include "update_server.h"

namespace tovasen {
namespace {

using test::UpdateServer;

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(server.Ready()) << "run through run_with_https_server.sh"; }
    UpdateServer server;
};

TEST_F(UpdateCheck, SendsItsHeadersInOrderOverTrustedHttpsOnly) {
    const std::wstring headers = UpdateCheckHeaders(L"1.2.3.4", L"ko", L"0123ABCD261209BEEF2359590000FFFF");
    const std::optional<std::string> body = HttpsGet(server.Url("/r/" + UpdateServer::Encode("{\"x\":1}")), headers, 5000, kMaxUpdateReply);
    ASSERT_TRUE(body.has_value());
    EXPECT_EQ("{\"x\":1}", *body);
    const auto log = server.Log();
    ASSERT_EQ(1u, log.size());
    EXPECT_EQ(0u, log[0].path.find("/r/"));
    EXPECT_NE(std::string::npos, log[0].path.find("/api.init.php"));
    std::vector<std::string> ours;
    for (const auto& [name, value] : log[0].headers) {
        if (name.rfind("User-", 0) == 0 && name != "User-Agent") ours.push_back(name + ": " + value);
    }
    EXPECT_EQ((std::vector<std::string>{"User-Version: 1.2.3.4", "User-Language: ko", "User-Debug: false",
                                        "User-Union: 0123ABCD261209BEEF2359590000FFFF"}),
              ours);

    EXPECT_FALSE(HttpsGet(server.Url("/r/e30", server.UntrustedPort()), headers, 5000, kMaxUpdateReply))
        << "a certificate from an unknown CA";
    EXPECT_FALSE(HttpsGet(server.Url("/redirect"), headers, 5000, kMaxUpdateReply)) << "a redirect to http";
    EXPECT_FALSE(HttpsGet(server.Url("/big"), headers, 5000, kMaxUpdateReply)) << "a reply over the cap";
    for (const auto& request : server.Log()) EXPECT_NE(0u, request.path.find("/r/e30")) << "the redirect was followed";
    const std::size_t before = server.Log().size();
    const std::wstring plain = L"http://localhost:" + std::to_wstring(server.HttpPort()) + L"/r/e30/api.init.php";
    EXPECT_FALSE(HttpsGet(plain, headers, 5000, kMaxUpdateReply));
    EXPECT_EQ(before, server.Log().size()) << "a plain-http address was asked";
}

TEST_F(UpdateCheck, AReplyThatTricklesEndsAtTheDeadlineAndAnErrorStatusIsNoReply) {
    // On a thread of its own, so a request the deadline does not end fails the test instead of
    // hanging it.
    struct Outcome {
        std::atomic<bool> done{false};
        std::atomic<bool> body{false};
        std::atomic<ULONGLONG> took{0};
    };
    auto outcome = std::make_shared<Outcome>();
    std::thread([outcome, url = server.Url("/trickle")] {
        const ULONGLONG started = GetTickCount64();
        outcome->body = HttpsGet(url, L"", 5000, kMaxUpdateReply, 2000).has_value();
        outcome->took = GetTickCount64() - started;
        outcome->done = true;
    }).detach();
    ASSERT_TRUE(test::WaitUntil([&] { return outcome->done.load(); }, 15000)) << "the deadline did not end the request";
    std::printf("a reply trickled a byte every 200 ms: the request gave up after %llu ms\n", outcome->took.load());
    EXPECT_FALSE(outcome->body);
    EXPECT_GE(outcome->took, 2000u) << "ended before its deadline: something else stopped it";
    ASSERT_EQ(1u, server.Log().size());

    for (const int code : {404, 500, 503}) {
        unsigned long status = 0;
        EXPECT_FALSE(HttpsGet(server.Url("/status/" + std::to_string(code) + "/" + UpdateServer::Encode("{\"update\":\"x\"}")),
                              L"", 5000, kMaxUpdateReply, kUpdateDeadlineMs, &status))
            << "the body of a " << code << " was taken as the answer";
        EXPECT_EQ(static_cast<unsigned long>(code), status);
    }
}

TEST_F(UpdateCheck, TheIdentifierIsMadeOnceAndATamperedOneIsNotSent) {
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Dravomix", L"KUID");
    const std::wstring first = ReadOrMakeKuid();
    EXPECT_TRUE(IsValidKuid(first)) << std::string(first.begin(), first.end());
    EXPECT_EQ(first, ReadOrMakeKuid());
    EXPECT_EQ(first, TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\Dravomix", false).ReadString(L"KUID").value_or(L""));

    const std::wstring tampered = L"0123ABCD261209BEEF23595900\r\nX: 1";
    TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\Dravomix", false).WriteString(L"KUID", tampered);
    EXPECT_EQ(L"", ReadOrMakeKuid());
    EXPECT_EQ(tampered, TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\Dravomix", false).ReadString(L"KUID").value_or(L""))
        << "a stored value is never rewritten";
    RegDeleteKeyValueW(HKEY_CURRENT_USER, L"Software\\Dravomix", L"KUID");
}

class UpdateCheckThread : public UpdateCheck {
protected:
    void SetUp() override {
        UpdateCheck::SetUp();
        app.Initialize();
    }
    UpdateService Service(const std::string& path, unsigned long delayMs = 10) {
        return {server.Url(path), 6, delayMs, 5000};
    }
    TApplication app;
};

TEST_F(UpdateCheckThread, RetriesAfterFailuresAndHandsTheReplyToThisThread) {
    std::optional<std::wstring> got;
    DWORD ranOn = 0;
    TUpdateCheck check(Service("/flaky/two/2/" + UpdateServer::Encode("{\"notify\":\"\"}")), L"1.0.0.0", L"en",
                       [&](const std::wstring& reply) {
                           got = reply;
                           ranOn = GetCurrentThreadId();
                       });
    ASSERT_TRUE(test::WaitUntil([&] { return got.has_value(); }, 20000));
    EXPECT_EQ(L"{\"notify\":\"\"}", *got);
    EXPECT_EQ(GetCurrentThreadId(), ranOn);
    EXPECT_EQ(3u, server.Log().size()) << "two failures, then the reply";
}

TEST_F(UpdateCheckThread, AfterSixFailuresTheCallbackGetsAnEmptyReply) {
    std::optional<std::wstring> got;
    TUpdateCheck check(Service("/fail"), L"1.0.0.0", L"en", [&](const std::wstring& reply) { got = reply; });
    ASSERT_TRUE(test::WaitUntil([&] { return got.has_value(); }, 20000));
    EXPECT_EQ(L"", *got);
    EXPECT_EQ(6u, server.Log().size());
}

TEST_F(UpdateCheckThread, AnErrorStatusEndsTheCheckWithAnEmptyReplyAndNoRetry) {
    std::optional<std::wstring> got;
    TUpdateCheck check(Service("/status/503/" + UpdateServer::Encode("{\"notify\":\"x\"}")), L"1.0.0.0", L"en",
                       [&](const std::wstring& reply) { got = reply; });
    ASSERT_TRUE(test::WaitUntil([&] { return got.has_value(); }, 20000));
    EXPECT_EQ(L"", *got);
    EXPECT_EQ(1u, server.Log().size()) << "asked again within this start";
}

TEST_F(UpdateCheckThread, FreeingTheCheckNeverWaitsAndDropsTheReply) {
    // During the wait between attempts.
    bool called = false;
    auto waiting = std::make_unique<TUpdateCheck>(Service("/fail", 10000), L"1.0.0.0", L"en",
                                                  [&](const std::wstring&) { called = true; });
    ASSERT_TRUE(test::WaitUntil([&] { return server.Log().size() == 1; }, 10000));
    auto start = std::chrono::steady_clock::now();
    waiting.reset();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("freeing the check during its wait took %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 500);

    // During the hand-over: the reply is queued but this thread has not run it yet.
    // Without handling messages, or the reply would run: wait until the worker has read it and
    // queued it here.
    test::PumpMessages();
    auto handing = std::make_unique<TUpdateCheck>(Service("/r/e30"), L"1.0.0.0", L"en",
                                                  [&](const std::wstring&) { called = true; });
    const auto deadline = GetTickCount64() + 10000;
    auto queued = [] { return (HIWORD(GetQueueStatus(QS_POSTMESSAGE)) & QS_POSTMESSAGE) != 0; };
    while (!(server.Log().size() >= 2 && queued()) && GetTickCount64() < deadline) Sleep(10);  // the poll's interval
    EXPECT_TRUE(queued()) << "the reply was not handed over";
    start = std::chrono::steady_clock::now();
    handing.reset();
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    EXPECT_LT(ms, 500);
    // A pause: a reply that wrongly reached the freed check would have run by now.
    test::WaitUntil([&] { return called; }, 300);
    EXPECT_FALSE(called) << "a reply reached a freed check";

    // During a request whose reply trickles in: given up at its next read, not at its deadline.
    const std::size_t asked = server.Log().size();
    auto reading = std::make_unique<TUpdateCheck>(Service("/trickle"), L"1.0.0.0", L"en",
                                                  [&](const std::wstring&) { called = true; });
    ASSERT_TRUE(test::WaitUntil([&] { return server.Log().size() > asked; }, 10000));
    start = std::chrono::steady_clock::now();
    reading.reset();
    ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("freeing the check during a trickling reply took %lld ms (its deadline: %lu ms)\n",
                static_cast<long long>(ms), kUpdateDeadlineMs);
    EXPECT_LT(ms, static_cast<long long>(kUpdateDeadlineMs) / 2) << "the request ran to its deadline";
    EXPECT_FALSE(called);
}

class UpdateCheckExit : public test::ProgramTest {};

TEST_F(UpdateCheckExit, TheProgramEndsAtOnceWhileItsCheckWaitsToRetry) {
    // The test build asks a closed local port: the first attempt fails at once, then the check
    // waits ten seconds before the next.
    auto program = test::StartTovasen(L"/start", false);
    HWND main = test::MainWindowOf(*program);
    ASSERT_NE(nullptr, main);
    Sleep(300);  // a pause, as nothing outside shows it: the first attempt fails and the check starts its wait
    const auto start = std::chrono::steady_clock::now();
    PostMessageW(main, WM_USER, 2, 0);
    ASSERT_TRUE(program->WaitForExit(9000)) << "the exit waited for the update check";
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("exit during the update check's wait: the process ended after %lld ms\n", static_cast<long long>(ms));
    EXPECT_LT(ms, 5000);
}

}  // namespace
}  // namespace tovasen
