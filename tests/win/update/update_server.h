#pragma once
// The test side of run_with_https_server.sh: its ports, its CA (trusted for this user) and its
// request log.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace tovasen::test {

class UpdateServer {
public:
    UpdateServer();
    bool Ready() const { return port_ != 0; }
    unsigned short UntrustedPort() const { return untrusted_; }
    unsigned short HttpPort() const { return http_; }
    // https://localhost:port<path>/api.init.php
    std::wstring Url(const std::string& path, unsigned short port = 0) const;

    struct Request {
        std::string path;
        std::vector<std::pair<std::string, std::string>> headers;
    };
    std::vector<Request> Log() const;
    void ClearLog() const;

    static std::string Encode(const std::string& body);  // base64url without padding

private:
    unsigned short port_ = 0, untrusted_ = 0, http_ = 0;
    std::wstring log_;
};

}  // namespace tovasen::test
