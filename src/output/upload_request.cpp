#include "output/upload_request.h"

#include <algorithm>
#include <cstdio>

#include "base/address_gate.h"
#include "base/log_event.h"
#include "base/text_helpers.h"
#include "base/utf_convert.h"

namespace tovasen {
namespace {

void Append(std::vector<std::uint8_t>& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
}

}  // namespace

std::string UploadBoundary(std::uint32_t first, std::uint32_t second) {
    char digits[17];
    std::snprintf(digits, sizeof digits, "%08X%08X", static_cast<unsigned>(first % 2147483647u),
                  static_cast<unsigned>(second % 2147483647u));
    return "-------TovasenBoundary" + std::string(digits);
}

std::vector<std::uint8_t> BuildUploadBody(const std::vector<std::uint8_t>& png, const std::string& boundary) {
    const std::string head = "--" + boundary + "\r\n" +
                             "Content-Disposition: form-data; name=\"file\"; filename=\"tovasen.png\"\r\n" +
                             "Content-Type: image/png\r\n\r\n";
    const std::string tail = "\r\n--" + boundary + "--\r\n";
    std::vector<std::uint8_t> body;
    body.reserve(head.size() + png.size() + tail.size());
    Append(body, head);
    body.insert(body.end(), png.begin(), png.end());
    Append(body, tail);
    return body;
}

std::wstring UploadHeaders(const std::wstring& host, unsigned port, const std::string& boundary) {
    return L"Host: " + host + L":" + std::to_wstring(port) + L"\r\n" +
           L"Content-Type: multipart/form-data; boundary=" + Utf8ToWide(boundary) + L"\r\n";
}

bool SendInChunks(const std::vector<std::uint8_t>& body,
                  const std::function<void(std::uint32_t, std::uint32_t)>& progress,
                  const std::function<std::size_t(const std::uint8_t*, std::size_t)>& write) {
    const auto size = static_cast<std::uint32_t>(body.size());
    std::size_t position = 0;
    for (;;) {
        if (progress) progress(static_cast<std::uint32_t>(position), size);
        const std::size_t piece = std::min(kUploadChunkSize, body.size() - position);
        if (piece == 0) return true;
        if (write(body.data() + position, piece) != piece) return false;
        position += piece;
    }
}

std::wstring UploadAddressFromReply(unsigned long status, const std::wstring& reply) {
    if (status != 200) return {};
    if (reply.find(L"\"status\":\"success\"") == std::wstring::npos) return {};
    std::wstring address;
    try {
        address = JsonUnescape(ExtractBetween(reply, L"\"url\":\"", L"\""));
    } catch (const EJsonEscape&) {
        LogCaught(L"upload", std::current_exception());
        return {};
    }
    return IsSafeWebAddress(address) ? address : std::wstring();
}

int ProgressStripTop(int screenWidth, int screenHeight, const StripRect* taskbar) {
    int top = screenHeight - kStripHeight;
    if (taskbar && taskbar->top > screenHeight / 2 && taskbar->right >= screenWidth) {
        top -= taskbar->bottom - taskbar->top;
    }
    return top;
}

}  // namespace tovasen
