#include "update/update_check.h"

#include <windows.h>

#include <bcrypt.h>
#include <winhttp.h>

#include <algorithm>

#include "base/handles.h"
#include "base/log_event.h"
#include "base/registry.h"
#include "base/utf_convert.h"
#include "ui/application.h"
#include "update/update_reply.h"

namespace tovasen {
namespace {

inline void CloseHttp(HINTERNET h) noexcept { WinHttpCloseHandle(h); }
using UniqueHttp = UniqueHandle<NullTraits<HINTERNET, CloseHttp>>;

std::uint32_t RandomNumber() {
    std::uint32_t value = 0;
    BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    return value;
}

}  // namespace

std::optional<std::string> HttpsGet(const std::wstring& url, const std::wstring& headers, unsigned long timeoutMs,
                                    std::size_t maxBytes, unsigned long deadlineMs, unsigned long* status,
                                    const std::stop_token& stop) {
    if (status) *status = 0;
    if (!IsHttpsAddress(url)) return std::nullopt;
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = parts.dwUrlPathLength = parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (!WinHttpCrackUrl(url.c_str(), 0, 0, &parts) || parts.nScheme != INTERNET_SCHEME_HTTPS) return std::nullopt;
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);

    // Every wait is cut to what is left of the deadline, which is looked at between reads too;
    // a stop leaves nothing.
    const ULONGLONG deadline = GetTickCount64() + deadlineMs;
    const auto left = [&]() -> DWORD {
        if (stop.stop_requested()) return 0;
        const ULONGLONG now = GetTickCount64();
        return now >= deadline ? 0 : static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, timeoutMs));
    };
    UniqueHttp session(WinHttpOpen(L"Tovasen", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                   WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return std::nullopt;
    const int t = static_cast<int>(left());
    WinHttpSetTimeouts(session.Get(), t, t, t, t);
    UniqueHttp connection(WinHttpConnect(session.Get(), host.c_str(), parts.nPort, 0));
    if (!connection) return std::nullopt;
    UniqueHttp request(WinHttpOpenRequest(connection.Get(), L"GET", path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                          WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE));
    if (!request) return std::nullopt;
    const auto cutWaits = [&](DWORD option) {
        DWORD ms = left();
        if (ms > 0) WinHttpSetOption(request.Get(), option, &ms, sizeof ms);
        return ms > 0;
    };
    // The defaults, stated: redirects never leave https, and no certificate error is ignored
    // (no security flags are ever set).
    DWORD policy = WINHTTP_OPTION_REDIRECT_POLICY_DISALLOW_HTTPS_TO_HTTP;
    WinHttpSetOption(request.Get(), WINHTTP_OPTION_REDIRECT_POLICY, &policy, sizeof policy);
    if (!cutWaits(WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT) ||
        !WinHttpSendRequest(request.Get(), headers.c_str(), static_cast<DWORD>(headers.size()), WINHTTP_NO_REQUEST_DATA,
                            0, 0, 0) ||
        !WinHttpReceiveResponse(request.Get(), nullptr)) {
        return std::nullopt;
    }
    DWORD code = 0;
    DWORD size = sizeof code;
    if (!WinHttpQueryHeaders(request.Get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &code, &size, WINHTTP_NO_HEADER_INDEX)) {
        return std::nullopt;
    }
    // An error page is no answer, however it is worded.
    if (code != HTTP_STATUS_OK) {
        if (status) *status = code;
        return std::nullopt;
    }
    std::string body;
    char buffer[8192];
    for (;;) {
        // Only what has come is read: a read for more waits until it has all come.
        DWORD available = 0;
        DWORD read = 0;
        if (!cutWaits(WINHTTP_OPTION_RECEIVE_TIMEOUT) || !WinHttpQueryDataAvailable(request.Get(), &available)) {
            return std::nullopt;
        }
        if (available == 0) return body;
        if (!WinHttpReadData(request.Get(), buffer, std::min<DWORD>(available, sizeof buffer), &read)) return std::nullopt;
        if (read == 0) return body;
        if (body.size() + read > maxBytes) return std::nullopt;
        body.append(buffer, read);
    }
}

std::wstring ReadOrMakeKuid() {
    try {
        TRegistryKey key = TRegistryKey::Open(HKEY_CURRENT_USER, L"Software\\Dravomix", true);
        if (const std::optional<std::wstring> stored = key.ReadString(L"KUID")) {
            return IsValidKuid(*stored) ? *stored : std::wstring();
        }
        if (key.ValueExists(L"KUID")) return {};  // there, but not as text: leave it
        SYSTEMTIME now{};
        GetLocalTime(&now);
        const std::wstring kuid = MakeKuid(RandomNumber(), RandomNumber(), RandomNumber(),
                                           {now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute, now.wSecond});
        key.WriteString(L"KUID", kuid);
        return kuid;
    } catch (const std::exception&) {
        LogCaught(L"update-check", std::current_exception());
        return {};
    }
}

// Shared by the object and its thread. The thread reads only what is constant, the stop event
// and the poster, which it was handed on the user-interface thread: once the application has
// gone the poster refuses, so the thread never needs the application itself.
struct TUpdateCheck::State {
    UpdateService service;
    std::wstring version;
    std::wstring language;
    TPoster post;
    UniqueKernelHandle stop{CreateEventW(nullptr, TRUE, FALSE, nullptr)};
    // Used on the user-interface thread only; empty once the object has gone.
    std::function<void(const std::wstring&)> onReply;
};

namespace {

void HandOver(const std::shared_ptr<TUpdateCheck::State>& state, std::wstring text) {
    state->post([state, text = std::move(text)] {
        // The main window may have gone between the hand-over and now.
        std::function<void(const std::wstring&)> onReply = state->onReply;
        if (onReply) onReply(text);
    });
}

// The reply, empty when every attempt failed; nothing when the check was stopped.
std::optional<std::wstring> RunCheck(const std::shared_ptr<TUpdateCheck::State>& state, const std::stop_token& stop) {
    const std::wstring headers = UpdateCheckHeaders(state->version, state->language, ReadOrMakeKuid());
    std::string reply;
    for (int attempt = 0; attempt < state->service.attempts; ++attempt) {
        unsigned long status = 0;
        if (std::optional<std::string> got = HttpsGet(state->service.url, headers, state->service.timeoutMs,
                                                      kMaxUpdateReply, state->service.deadlineMs, &status, stop)) {
            reply = std::move(*got);
            break;
        }
        // The service is there but answered with an error: asking again now would only add load.
        if (status != 0) {
            LogEvent(L"update-check", L"The service answered with status " + std::to_wstring(status) + L".");
            break;
        }
        // The wait follows every failure, the last one too; a stop ends the check at once.
        if (WaitForSingleObject(state->stop.Get(), state->service.retryDelayMs) != WAIT_TIMEOUT) return std::nullopt;
    }
    return Utf8ToWide(reply);
}

}  // namespace

TUpdateCheck::TUpdateCheck(UpdateService service, std::wstring version, std::wstring language,
                           std::function<void(const std::wstring& reply)> onReply)
    : FState(std::make_shared<State>()) {
    FState->service = std::move(service);
    FState->version = std::move(version);
    FState->language = std::move(language);
    FState->post = ApplicationPoster();
    FState->onReply = std::move(onReply);
    FWorker.Start([state = FState](const std::stop_token& stop) {
        std::optional<std::wstring> reply;
        try {
            reply = RunCheck(state, stop);
        } catch (...) {
            // An optional comfort: a failed check is as good as no update, and still ends.
            LogCaught(L"update-check", std::current_exception());
            reply = std::wstring();
        }
        if (!reply) return;
        try {
            HandOver(state, std::move(*reply));
        } catch (...) {
            LogCaught(L"update-check", std::current_exception());
        }
    });
}

TUpdateCheck::~TUpdateCheck() {
    FState->onReply = nullptr;
    SetEvent(FState->stop.Get());
    FWorker.StopAll();
}

void SendHoldRequest(const std::wstring& url, const std::wstring& version, unsigned long timeoutMs) {
    ProgramWorker().Start([url, headers = UpdateHoldHeaders(version), timeoutMs](const std::stop_token& stop) {
        try {
            HttpsGet(url, headers, timeoutMs, kMaxUpdateReply, kUpdateDeadlineMs, nullptr, stop);
        } catch (...) {
            LogCaught(L"update-hold", std::current_exception());
        }
    });
}

}  // namespace tovasen
