#include "output/upload.h"

#include <windows.h>

#include <bcrypt.h>
#include <wininet.h>

#include <limits>

#include "base/errors.h"
#include "base/handles.h"
#include "base/utf_convert.h"
#include "output/bitmap_pixels.h"
#include "output/encode_error.h"
#include "output/png_encoder.h"
#include "output/upload_request.h"

namespace tovasen {
namespace {

inline void CloseInternet(HINTERNET h) noexcept { InternetCloseHandle(h); }
using UniqueInternet = UniqueHandle<NullTraits<HINTERNET, CloseInternet>>;

constexpr wchar_t kUserAgent[] = L"Tovasen Uploader";

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

// The reply body, or nothing when it cannot be read whole or is longer than any real answer.
bool ReadReply(HINTERNET request, std::string& reply) {
    char buffer[4096];
    for (;;) {
        DWORD read = 0;
        if (!InternetReadFile(request, buffer, sizeof buffer, &read)) return false;
        if (read == 0) return true;
        if (reply.size() + read > kMaxUploadReply) return false;
        reply.append(buffer, read);
    }
}

std::wstring AnsiToWide(const std::string& text) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// Closing a request whose reply was not read to its end makes WinInet (Wine's at least) read
// the rest first, without a time-out while data keeps coming: a server streaming an endless
// reply would hold the upload there for good. Such handles are closed on a pool thread, in the
// usual order, while the upload reports its failure at once.
struct OpenHandles {
    UniqueInternet root, connection, request;  // freed last to first
};

void CALLBACK CloseHandles(PTP_CALLBACK_INSTANCE, void* context) { delete static_cast<OpenHandles*>(context); }

void CloseInBackground(UniqueInternet root, UniqueInternet connection, UniqueInternet request) {
    auto* handles = new OpenHandles{std::move(root), std::move(connection), std::move(request)};
    if (!TrySubmitThreadpoolCallback(CloseHandles, handles, nullptr)) delete handles;
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
    const std::string boundary = UploadBoundary(RandomNumber(), RandomNumber());
    std::vector<std::uint8_t> body = BuildUploadBody(png, boundary);
    std::vector<std::uint8_t>().swap(png);  // only the body is kept while sending
    if (body.size() > std::numeric_limits<DWORD>::max()) throw Exception(L"The picture is too large to upload.");
    std::wstring headers = UploadHeaders(endpoint.host, endpoint.port, boundary);

    UniqueInternet root(InternetOpenW(kUserAgent, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!root) return {};
    UniqueInternet connection(InternetConnectW(root.Get(), endpoint.host.c_str(), endpoint.port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 1));
    if (!connection) return {};
    // Never a dialog from a pool thread, and no cookie store for an anonymous upload.
    constexpr DWORD kFlags = INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES |
                             INTERNET_FLAG_NO_CACHE_WRITE;
    UniqueInternet request(
        HttpOpenRequestW(connection.Get(), L"POST", L"/image", L"HTTP/1.0", nullptr, nullptr, kFlags, 1));
    if (!request) return {};
    SetTimeouts(request.Get(), endpoint.timeoutMs);

    INTERNET_BUFFERSW buffers{};
    buffers.dwStructSize = sizeof buffers;
    buffers.lpcszHeader = headers.c_str();
    buffers.dwHeadersLength = static_cast<DWORD>(headers.size());
    buffers.dwBufferTotal = static_cast<DWORD>(body.size());
    if (!HttpSendRequestExW(request.Get(), &buffers, nullptr, 0, 0)) return {};

    const bool sent = SendInChunks(body, progress, [&](const std::uint8_t* data, std::size_t size) -> std::size_t {
        DWORD written = 0;
        if (!InternetWriteFile(request.Get(), data, static_cast<DWORD>(size), &written)) return 0;
        return written;
    });
    std::vector<std::uint8_t>().swap(body);
    if (!sent) return {};
    if (!HttpEndRequestW(request.Get(), nullptr, 0, 0)) return {};

    DWORD status = 0;
    DWORD length = sizeof status;
    if (!HttpQueryInfoW(request.Get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &length, nullptr)) {
        return {};
    }
    if (status != HTTP_STATUS_OK) return {};
    std::string reply;
    if (!ReadReply(request.Get(), reply)) {
        CloseInBackground(std::move(root), std::move(connection), std::move(request));
        return {};
    }
    return UploadAddressFromReply(status, AnsiToWide(reply));
}

}  // namespace tovasen
