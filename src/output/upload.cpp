#include "output/upload.h"

#include <windows.h>

#include <bcrypt.h>
#include <wincrypt.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>

#include "base/code_page.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/log_event.h"
#include "base/utf_convert.h"
#include "base/worker.h"
#include "image/bitmap_pixels.h"
#include "encode/encode_error.h"
#include "encode/png_encoder.h"
#include "output/upload_request.h"

namespace tovasen {
namespace {

inline void CloseInternet(HINTERNET h) noexcept { InternetCloseHandle(h); }
using UniqueInternet = UniqueHandle<NullTraits<HINTERNET, CloseInternet>>;

constexpr wchar_t kUserAgent[] = L"Tovasen Uploader";
constexpr DWORD kClosingTimeoutMs = 500;

std::uint32_t RandomNumber() {
    std::uint32_t value = 0;
    if (BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG) != 0) {
        throw Exception(L"No random numbers for the upload boundary.");
    }
    return value;
}

void SetTimeouts(HINTERNET request, DWORD timeoutMs) {
    for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_RECEIVE_TIMEOUT,
                         INTERNET_OPTION_DATA_SEND_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT}) {
        InternetSetOptionW(request, option, &timeoutMs, sizeof timeoutMs);
    }
}

using TClock = std::chrono::steady_clock;

// What the caller and the thread that talks to the server share. The caller waits until the
// exchange has an answer or the deadline has passed; after that it is gone, and the exchange
// reports no more progress.
class TExchangeState {
public:
    TExchangeState(TClock::time_point deadline, UploadProgress progress)
        : FDeadline(deadline), FProgress(std::move(progress)) {}

    bool Expired() const noexcept { return TClock::now() >= FDeadline; }
    // What is left of the deadline, for one step of the exchange.
    DWORD RemainingMs(DWORD stepMs) const noexcept {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(FDeadline - TClock::now()).count();
        return static_cast<DWORD>(std::clamp<long long>(left, 1, stepMs));
    }

    void Report(std::uint32_t position, std::uint32_t size) {
        std::lock_guard<std::mutex> hold(FLock);
        if (!FAbandoned && FProgress) FProgress(position, size);
    }
    void Answer(std::wstring address) {
        std::lock_guard<std::mutex> hold(FLock);
        FAddress = std::move(address);
        FAnswered = true;
        FChanged.notify_all();
    }
    // The address, or empty once the deadline has passed without one.
    std::wstring Wait() {
        std::unique_lock<std::mutex> hold(FLock);
        if (!FChanged.wait_until(hold, FDeadline, [this] { return FAnswered; })) {
            FAbandoned = true;
            return {};
        }
        return FAddress;
    }

private:
    const TClock::time_point FDeadline;
    const UploadProgress FProgress;
    std::mutex FLock;
    std::condition_variable FChanged;
    bool FAnswered = false;
    bool FAbandoned = false;
    std::wstring FAddress;
};

// The handles of one exchange, freed last to first. The program's end closes them from its own
// thread, which ends a call blocked on them (WinInet documents this; Wine's lets the call run to
// its time-out); the exchange then finds them closed and fails.
class TInternetHandles {
public:
    // handle, kept in slot; null when it failed or the handles were closed meanwhile (it is
    // closed at once then).
    HINTERNET Keep(UniqueInternet& slot, HINTERNET handle) {
        UniqueInternet owned(handle);
        std::lock_guard<std::mutex> hold(FLock);
        if (FClosed) return nullptr;
        slot = std::move(owned);
        return slot.Get();
    }
    // Closing a request whose reply was not read to its end makes WinInet (Wine's at least) read
    // the rest first, for as long as the server keeps sending: a short time-out ends that.
    void LimitClosing() {
        std::lock_guard<std::mutex> hold(FLock);
        if (request) SetTimeouts(request.Get(), kClosingTimeoutMs);
    }
    void Close() {
        LimitClosing();
        std::lock_guard<std::mutex> hold(FLock);
        FClosed = true;
        request.Reset();
        connection.Reset();
        root.Reset();
    }

    UniqueInternet root, connection, request;

private:
    std::mutex FLock;
    bool FClosed = false;
};

// Whether the connection is TLS to a server whose certificate chain ends in a root this user
// trusts and names host. WinInet checks this itself on Windows; Wine's reports a certificate
// error only once the body has gone, so the picture waits for this check.
bool ServerIsTrusted(HINTERNET request, const std::wstring& host) {
    // A certificate error that was let pass shows as its "ignore" flag. (Revocation checking
    // is the system's policy, and left to it.)
    constexpr DWORD kPassedErrors = SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                                    SECURITY_FLAG_IGNORE_CERT_DATE_INVALID | SECURITY_FLAG_IGNORE_WRONG_USAGE;
    DWORD security = 0;
    DWORD length = sizeof security;
    if (!InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &length) ||
        !(security & SECURITY_FLAG_SECURE) || (security & kPassedErrors)) {
        return false;
    }
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    length = sizeof chain;
    if (!InternetQueryOptionW(request, INTERNET_OPTION_SERVER_CERT_CHAIN_CONTEXT, &chain, &length) || !chain) {
        // A WinInet without this option (before Windows 8) has checked the chain and the name
        // itself: it fails a request with a certificate error unless told to ignore it.
        return GetLastError() == ERROR_INTERNET_INVALID_OPTION;
    }
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = const_cast<wchar_t*>(host.c_str());
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    const bool trusted = CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status) &&
                         status.dwError == 0;
    CertFreeCertificateChain(chain);
    return trusted;
}

// The reply body, or nothing when it cannot be read whole, is longer than any real answer or
// is still coming at the deadline.
bool ReadReply(HINTERNET request, const TExchangeState& state, std::string& reply) {
    char buffer[4096];
    for (;;) {
        if (state.Expired()) return false;
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, sizeof buffer, &read)) return false;
        if (read == 0) return true;
        if (reply.size() + read > kMaxUploadReply) return false;
        reply.append(buffer, read);
    }
}

// One request to the endpoint and its reply, on the exchange's own thread. The handles stay
// open in handles for the caller to close once the answer is out.
std::wstring Exchange(TExchangeState& state, TInternetHandles& handles, const std::vector<std::uint8_t>& body,
                      const std::wstring& headers, const UploadEndpoint& endpoint) {
    const HINTERNET root =
        handles.Keep(handles.root, InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) return {};
    const HINTERNET connection = handles.Keep(handles.connection, InternetConnectW(root, endpoint.host.c_str(), endpoint.port,
                                                                                   nullptr, nullptr, INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) return {};
    // TLS with the system's certificate checks (no INTERNET_FLAG_IGNORE_CERT_*: a certificate
    // error fails the upload). No redirect is followed: a 3xx is not 200 and so a failure, and
    // the picture never goes to another host or scheme. Never a dialog from a worker thread, and
    // no cookie store for an anonymous upload.
    constexpr DWORD kFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_KEEP_CONNECTION |
                             INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_CACHE_WRITE;
    const HINTERNET request = handles.Keep(
        handles.request, HttpOpenRequestW(connection, L"POST", L"/image", L"HTTP/1.0", nullptr, nullptr, kFlags, 1));
    if (!request) return {};
    SetTimeouts(request, state.RemainingMs(endpoint.timeoutMs));

    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = headers.c_str();
    buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
    buffers.dwBufferTotal = static_cast<DWORD>(body.size());
    if (!HttpSendRequestExW(request, &buffers, nullptr, 0, 0)) return {};
    if (!ServerIsTrusted(request, endpoint.host)) return {};

    const auto report = [&state](std::uint32_t position, std::uint32_t size) { state.Report(position, size); };
    const bool sent = SendInChunks(body, report, [&](const std::uint8_t* data, std::size_t size) -> std::size_t {
        if (state.Expired()) return 0;
        DWORD written = 0;
        if (!InternetWriteFile(request, data, static_cast<DWORD>(size), &written)) return 0;
        return written;
    });
    if (!sent || state.Expired()) return {};
    SetTimeouts(request, state.RemainingMs(endpoint.timeoutMs));
    if (!HttpEndRequestW(request, nullptr, 0, 0)) return {};

    DWORD status = 0;
    DWORD length = sizeof status;
    if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) return {};
    if (status != HTTP_STATUS_OK) return {};
    std::string reply;
    if (!ReadReply(request, state, reply)) return {};
    return UploadAddressFromReply(status, CodePageToWide(reply, kAnsiCodePage));
}

}  // namespace

std::vector<std::uint8_t> EncodeUploadPng(TBitmap& bitmap) {
    const BitmapPixels pixels(bitmap);
    try {
        return EncodePng(pixels.View());
    } catch (const EncodeError& e) {
        throw Exception(Utf8ToWide(e.what()));
    }
}

std::wstring UploadPng(std::vector<std::uint8_t> png, const UploadEndpoint& endpoint, const UploadProgress& progress) {
    const auto state =
        std::make_shared<TExchangeState>(TClock::now() + std::chrono::milliseconds(endpoint.deadlineMs), progress);
    const std::string boundary = UploadBoundary(RandomNumber(), RandomNumber());
    std::vector<std::uint8_t> body = BuildUploadBody(png, boundary);
    std::vector<std::uint8_t>().swap(png);  // only the body is kept while sending
    if (body.size() > std::numeric_limits<DWORD>::max()) throw Exception(L"The picture is too large to upload.");
    std::wstring headers = UploadHeaders(endpoint.host, endpoint.port, boundary);

    // The program keeps the exchange, not this call, which has its answer by the deadline. The
    // program's end closes its handles and waits for it: at most until the call under way gives
    // up, which its time-outs (cut to the deadline) bound where closing does not end it at once.
    const auto handles = std::make_shared<TInternetHandles>();
    auto exchange = [state, handles, body = std::move(body), headers = std::move(headers),
                     endpoint](const std::stop_token&) mutable {
        std::wstring address;
        try {
            address = Exchange(*state, *handles, body, headers, endpoint);
        } catch (...) {
            LogCaught(L"upload", std::current_exception());
            address.clear();
        }
        std::vector<std::uint8_t>().swap(body);
        state->Answer(std::move(address));
        // Closed only now, with the caller answered.
        handles->LimitClosing();
    };
    ProgramWorker().Start(std::move(exchange), [handles] { handles->Close(); });
    return state->Wait();
}

}  // namespace tovasen
