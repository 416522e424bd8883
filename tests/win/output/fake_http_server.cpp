#include "fake_http_server.h"

#include <wincrypt.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <stdexcept>

#include "support/files.h"

namespace tovasen::test {
namespace {

struct WinsockUser {
    WinsockUser() {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WinsockUser() { WSACleanup(); }
};

SOCKET ListenOnLoopback(unsigned short& port) {
    static WinsockUser winsock;
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) throw std::runtime_error("socket failed");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    // A fixed port (the TLS front's backend) is taken again by the next test's server while the
    // last one's connections linger.
    const BOOL reuse = port != 0;
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&reuse), sizeof reuse);
    if (bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) throw std::runtime_error("bind failed");
    int length = sizeof address;
    getsockname(s, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return s;
}

std::size_t ContentLength(const std::string& head) {
    std::string lower = head;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    const std::size_t at = lower.find("\r\ncontent-length:");
    if (at == std::string::npos) return 0;
    return static_cast<std::size_t>(std::strtoull(head.c_str() + at + 17, nullptr, 10));
}

}  // namespace

FakeHttpServer::FakeHttpServer(Handler handler, unsigned short port)
    : handler_(std::move(handler)), port_(port), stop_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    listener_ = ListenOnLoopback(port_);
    listen(listener_, 8);
    thread_ = std::thread([this] { Run(); });
}

FakeHttpServer::~FakeHttpServer() {
    SetEvent(stop_);
    closesocket(listener_);  // ends the accept
    thread_.join();
    CloseHandle(stop_);
}

void FakeHttpServer::Run() {
    for (;;) {
        SOCKET client = accept(listener_, nullptr, nullptr);
        if (client == INVALID_SOCKET) return;
        // A send to a reader that has gone fails in time, and the server ends: closing the
        // socket from the destructor does not end a blocked send under Wine.
        const DWORD timeout = 10000;
        setsockopt(client, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        handler_(client, *this);
        closesocket(client);
        if (WaitForSingleObject(stop_, 0) == WAIT_OBJECT_0) return;
    }
}

std::vector<std::string> FakeHttpServer::Requests() {
    std::lock_guard<std::mutex> hold(lock_);
    return requests_;
}

std::string FakeHttpServer::ReadRequest(SOCKET client) {
    DWORD timeout = 10000;
    setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
    std::string request;
    std::size_t headEnd = std::string::npos;
    std::size_t wanted = 0;
    char buffer[65536];
    for (;;) {
        if (headEnd != std::string::npos && request.size() >= wanted) break;
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got <= 0) break;
        request.append(buffer, static_cast<std::size_t>(got));
        if (headEnd == std::string::npos) {
            headEnd = request.find("\r\n\r\n");
            if (headEnd != std::string::npos) wanted = headEnd + 4 + ContentLength(request.substr(0, headEnd + 2));
        }
    }
    std::lock_guard<std::mutex> hold(lock_);
    requests_.push_back(request);
    return request;
}

void FakeHttpServer::SendAll(SOCKET client, const std::string& data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const int n = send(client, data.data() + sent, static_cast<int>(std::min<std::size_t>(data.size() - sent, 1 << 20)), 0);
        if (n <= 0) return;
        sent += static_cast<std::size_t>(n);
    }
}

std::string FakeHttpServer::Reply(int status, const std::string& body) {
    return "HTTP/1.0 " + std::to_string(status) + " X\r\nContent-Type: application/json\r\nContent-Length: " +
           std::to_string(body.size()) + "\r\n\r\n" + body;
}

unsigned short ClosedPort() {
    unsigned short port = 0;
    SOCKET s = ListenOnLoopback(port);
    closesocket(s);
    return port;
}

namespace {

unsigned short EnvPort(const wchar_t* name) {
    wchar_t value[16] = {};
    const DWORD n = GetEnvironmentVariableW(name, value, 16);
    return n && n < 16 ? static_cast<unsigned short>(std::wcstoul(value, nullptr, 10)) : 0;
}

}  // namespace

TlsFront::TlsFront()
    : port_(EnvPort(L"TOVASEN_TEST_TLS_PORT")), untrusted_(EnvPort(L"TOVASEN_TEST_UNTRUSTED_TLS_PORT")),
      backend_(EnvPort(L"TOVASEN_TEST_TLS_BACKEND_PORT")) {
    wchar_t ca[1024] = {};
    const DWORD n = GetEnvironmentVariableW(L"TOVASEN_TEST_TLS_CA", ca, 1024);
    if (!n || n >= 1024) return;
    // The test CA joins this user's root store, as an installed company CA would.
    const std::vector<std::uint8_t> der = ReadFileBytes(ca);
    CertAddEncodedCertificateToSystemStoreW(L"Root", der.data(), static_cast<DWORD>(der.size()));
}

const TlsFront& TlsFront::Get() {
    static const TlsFront front;
    return front;
}

}  // namespace tovasen::test
