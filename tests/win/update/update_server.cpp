#include "update_server.h"

#include <wincrypt.h>

#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

#include "base/utf_convert.h"
#include "support/files.h"

namespace tovasen::test {
namespace {

std::wstring Env(const wchar_t* name) {
    wchar_t value[1024] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 1024);
    return n && n < 1024 ? value : L"";
}

unsigned short Port(const wchar_t* name) {
    const std::wstring text = Env(name);
    return text.empty() ? 0 : static_cast<unsigned short>(std::stoi(text));
}

}  // namespace

UpdateServer::UpdateServer() {
    port_ = Port(L"TOVASEN_TEST_HTTPS_PORT");
    untrusted_ = Port(L"TOVASEN_TEST_UNTRUSTED_PORT");
    http_ = Port(L"TOVASEN_TEST_HTTP_PORT");
    log_ = Env(L"TOVASEN_TEST_LOG");
    if (!port_) return;
    // The test CA joins this user's root store, as an installed company CA would.
    const std::vector<std::uint8_t> ca = ReadFileBytes(Env(L"TOVASEN_TEST_CA"));
    CertAddEncodedCertificateToSystemStoreW(L"Root", ca.data(), static_cast<DWORD>(ca.size()));
    ClearLog();
}

std::wstring UpdateServer::Url(const std::string& path, unsigned short port) const {
    return L"https://localhost:" + std::to_wstring(port ? port : port_) + Utf8ToWide(path) + L"/api.init.php";
}

std::vector<UpdateServer::Request> UpdateServer::Log() const {
    std::vector<Request> requests;
    std::ifstream in(std::string(log_.begin(), log_.end()));
    std::string line;
    while (std::getline(in, line)) {
        const auto json = nlohmann::json::parse(line, nullptr, false);
        if (json.is_discarded()) continue;
        Request r;
        r.path = json["path"].get<std::string>();
        for (const auto& h : json["headers"]) r.headers.emplace_back(h[0].get<std::string>(), h[1].get<std::string>());
        requests.push_back(std::move(r));
    }
    return requests;
}

void UpdateServer::ClearLog() const {
    if (!log_.empty()) DeleteFileW(log_.c_str());
}

std::string UpdateServer::Encode(const std::string& body) {
    static const char* digits = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    std::size_t i = 0;
    for (; i + 2 < body.size(); i += 3) {
        const unsigned v = (static_cast<unsigned char>(body[i]) << 16) | (static_cast<unsigned char>(body[i + 1]) << 8) |
                           static_cast<unsigned char>(body[i + 2]);
        out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63], digits[v & 63]};
    }
    if (i + 1 == body.size()) {
        const unsigned v = static_cast<unsigned char>(body[i]) << 16;
        out += {digits[v >> 18], digits[(v >> 12) & 63]};
    } else if (i + 2 == body.size()) {
        const unsigned v = (static_cast<unsigned char>(body[i]) << 16) | (static_cast<unsigned char>(body[i + 1]) << 8);
        out += {digits[v >> 18], digits[(v >> 12) & 63], digits[(v >> 6) & 63]};
    }
    return out;
}

}  // namespace tovasen::test
