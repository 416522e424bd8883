#pragma once
#include <winsock2.h>
#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovasen::test {

// A plain-HTTP server on 127.0.0.1 and a free port, on its own Winsock thread, that records
// every raw request and answers each connection with a scripted handler. The client under test
// stays the real WinInet.
class FakeHttpServer {
public:
    // Runs once per accepted connection on the server thread; it reads and answers as it likes.
    using Handler = std::function<void(SOCKET client, FakeHttpServer& server)>;

    // port 0: any free port.
    explicit FakeHttpServer(Handler handler, unsigned short port = 0);
    FakeHttpServer(const FakeHttpServer&) = delete;
    FakeHttpServer& operator=(const FakeHttpServer&) = delete;
    ~FakeHttpServer();

    unsigned short Port() const { return port_; }
    std::vector<std::string> Requests();

    // Reads one request (head, then Content-Length bytes of body) and records it; what arrived
    // before the client stopped sending when it is incomplete.
    std::string ReadRequest(SOCKET client);
    // The server is being taken down: stalling handlers wait on this.
    HANDLE StopEvent() const { return stop_; }

    static void SendAll(SOCKET client, const std::string& data);
    static std::string Reply(int status, const std::string& body);

private:
    void Run();
    Handler handler_;
    SOCKET listener_ = INVALID_SOCKET;
    unsigned short port_ = 0;
    HANDLE stop_;
    std::mutex lock_;
    std::vector<std::string> requests_;
    std::thread thread_;
};

// A port on 127.0.0.1 where nothing listens.
unsigned short ClosedPort();

// The TLS front that run_with_tls_front.sh puts before this server: https://localhost:Port()
// (a certificate from a CA this user trusts) and https://localhost:UntrustedPort() (a CA nobody
// trusts) both end in whatever FakeHttpServer listens on BackendPort(), one at a time.
class TlsFront {
public:
    // Reads the wrapper's ports and adds its CA to this user's root store, once.
    static const TlsFront& Get();
    bool Ready() const { return port_ != 0 && backend_ != 0; }
    unsigned short Port() const { return port_; }
    unsigned short UntrustedPort() const { return untrusted_; }
    unsigned short BackendPort() const { return backend_; }

private:
    TlsFront();
    unsigned short port_ = 0, untrusted_ = 0, backend_ = 0;
};

}  // namespace tovasen::test
