// The upload client against a local server behind a TLS front: the exact request WinInet sends,
// the progress it reports, the replies it accepts, every way the server can let it down, and
// the transports it refuses (plain HTTP, an untrusted certificate, a redirect).
#include <winsock2.h>
#include <windows.h>

#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <regex>

#include "fake_http_server.h"
#include "output/image_writers.h"
#include "output/upload.h"
#include "output/upload_request.h"
#include "support/files.h"
#include "support/wait.h"
#include "image/bitmap.h"

namespace tovasen {
namespace {

using test::FakeHttpServer;
using test::TlsFront;

const std::string kSuccess = R"({"status":"success","url":"http:\/\/127.0.0.1\/i\/a.png"})";

FakeHttpServer::Handler Answer(int status, std::string body) {
    return [status, body](SOCKET client, FakeHttpServer& s) {
        s.ReadRequest(client);
        FakeHttpServer::SendAll(client, FakeHttpServer::Reply(status, body));
    };
}

// A scripted server behind the TLS front, and the endpoint that reaches it.
FakeHttpServer Served(FakeHttpServer::Handler handler) {
    return FakeHttpServer(std::move(handler), TlsFront::Get().BackendPort());
}
UploadEndpoint Secure(unsigned long timeoutMs = 30000, unsigned long deadlineMs = 120000) {
    return {L"localhost", TlsFront::Get().Port(), timeoutMs, deadlineMs};
}

class Upload : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(TlsFront::Get().Ready()) << "run through tests/win/output/run_with_tls_front.sh";
    }
};

std::unique_ptr<TBitmap> TestBitmap(int width, int height) {
    auto bitmap = std::make_unique<TBitmap>();
    bitmap->SetSize(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) SetPixel(bitmap->Canvas().Handle(), x, y, RGB(x * 5, y * 3, (x ^ y) & 0xFF));
    }
    return bitmap;
}

std::size_t CountNoCase(const std::string& text, const std::string& what) {
    std::string lower = text;
    for (char& c : lower) c = static_cast<char>(tolower(static_cast<unsigned char>(c)));
    std::size_t count = 0;
    for (std::size_t at = lower.find(what); at != std::string::npos; at = lower.find(what, at + 1)) ++count;
    return count;
}

TEST_F(Upload, TheRequestIsTheMultipartFormWithTheWritersPng) {
    FakeHttpServer server = Served(Answer(200, kSuccess));
    auto bitmap = TestBitmap(40, 30);
    const std::vector<std::uint8_t> png = EncodeUploadPng(*bitmap);
    const std::wstring address = UploadPng(png, Secure(), nullptr);
    EXPECT_EQ(L"http://127.0.0.1/i/a.png", address);

    const auto requests = server.Requests();
    ASSERT_EQ(1u, requests.size());
    const std::string& request = requests[0];
    const std::size_t headEnd = request.find("\r\n\r\n");
    ASSERT_NE(std::string::npos, headEnd);
    const std::string head = request.substr(0, headEnd + 2);
    const std::string body = request.substr(headEnd + 4);

    EXPECT_EQ(0u, head.find("POST /image HTTP/1.0\r\n")) << head;
    EXPECT_EQ(1u, CountNoCase(head, "\r\nhost:")) << head;
    EXPECT_NE(std::string::npos, head.find("\r\nHost: localhost:" + std::to_string(TlsFront::Get().Port()) + "\r\n"))
        << head;
    EXPECT_NE(std::string::npos, head.find("\r\nUser-Agent: Tovasen Uploader\r\n")) << head;
    EXPECT_EQ(0u, CountNoCase(head, "\r\ncookie:")) << head;
    EXPECT_NE(std::string::npos, head.find("\r\nContent-Length: " + std::to_string(body.size()) + "\r\n")) << head;
    std::smatch boundary;
    const std::regex contentType("\r\nContent-Type: multipart/form-data; boundary=(-{7}TovasenBoundary[0-9A-F]{16})\r\n");
    ASSERT_TRUE(std::regex_search(head, boundary, contentType)) << head;

    const std::string b = boundary[1];
    const std::string expected = "--" + b + "\r\n" +
                                 "Content-Disposition: form-data; name=\"file\"; filename=\"tovasen.png\"\r\n" +
                                 "Content-Type: image/png\r\n\r\n" + std::string(png.begin(), png.end()) + "\r\n--" +
                                 b + "--\r\n";
    EXPECT_TRUE(expected == body) << "the body differs from the form around the PNG";

    // The PNG is the writer's own file, and an independent decoder reads it.
    test::TempFolder folder;
    SavePNG(*bitmap, folder.Path() + L"w.png");
    EXPECT_TRUE(test::ReadFileBytes(folder.Path() + L"w.png") == png);
    const test::DecodedImage decoded = test::DecodeWithGdiplus(folder.Path() + L"w.png");
    EXPECT_EQ(40, decoded.width);
    EXPECT_EQ(0xFF000000u | (5u * 7 << 16) | (3u * 2 << 8) | (7u ^ 2), decoded.pixels[2 * 40 + 7]);

    // A fresh boundary for every upload.
    UploadPng(png, Secure(), nullptr);
    ASSERT_EQ(2u, server.Requests().size());
    EXPECT_EQ(std::string::npos, server.Requests()[1].find(b));
}

TEST_F(Upload, ProgressCountsTheBodyInKilobytes) {
    FakeHttpServer server = Served(Answer(200, kSuccess));
    // The body is the PNG plus the form around it; choose PNG sizes that make 2500 and 2048.
    const std::size_t form = BuildUploadBody({}, UploadBoundary(0, 0)).size();
    for (const auto& [bodySize, expected] :
         std::vector<std::pair<std::size_t, std::vector<std::uint32_t>>>{{2500, {0, 1024, 2048, 2500}}, {2048, {0, 1024, 2048}}}) {
        const std::vector<std::uint8_t> png(bodySize - form, 0x42);
        std::vector<std::uint32_t> positions;
        bool sizesRight = true;
        UploadPng(png, Secure(), [&](std::uint32_t position, std::uint32_t size) {
            positions.push_back(position);
            sizesRight = sizesRight && size == bodySize;
        });
        EXPECT_EQ(expected, positions) << "body " << bodySize;
        EXPECT_TRUE(sizesRight) << "body " << bodySize;
    }
}

TEST_F(Upload, AFiveMegabyteBodyArrivesWhole) {
    // This server keeps only a count and the body's start, so the memory counted below is the client's.
    std::size_t received = 0;
    std::string start4k;
    FakeHttpServer server = Served([&](SOCKET client, FakeHttpServer&) {
        std::string head;
        char buffer[65536];
        std::size_t length = 0;
        for (;;) {
            const int got = recv(client, buffer, sizeof buffer, 0);
            if (got <= 0) return;
            std::size_t at = 0;
            if (length == 0) {
                head.append(buffer, static_cast<std::size_t>(got));
                const std::size_t end = head.find("\r\n\r\n");
                if (end == std::string::npos) continue;
                const std::size_t cl = head.find("Content-Length: ");
                length = static_cast<std::size_t>(std::strtoull(head.c_str() + cl + 16, nullptr, 10));
                at = static_cast<std::size_t>(got) - (head.size() - end - 4);
            }
            const std::size_t piece = static_cast<std::size_t>(got) - at;
            if (start4k.size() < 8192) start4k.append(buffer + at, std::min<std::size_t>(piece, 8192));
            received += piece;
            if (received >= length) break;
        }
        FakeHttpServer::SendAll(client, FakeHttpServer::Reply(200, kSuccess));
    });
    std::vector<std::uint8_t> png(5 * 1024 * 1024);
    for (std::size_t i = 0; i < png.size(); ++i) png[i] = static_cast<std::uint8_t>(i * 31 + (i >> 11));
    std::uint32_t reports = 0;
    // Memory while sending, over what the caller already holds (its PNG, handed over).
    std::vector<std::uint8_t> handed = png;
    PROCESS_MEMORY_COUNTERS base{};
    GetProcessMemoryInfo(GetCurrentProcess(), &base, sizeof base);
    SIZE_T mostExtra = 0;
    const auto start = std::chrono::steady_clock::now();
    const std::wstring address = UploadPng(std::move(handed), Secure(), [&](std::uint32_t, std::uint32_t) {
        if (++reports % 256 == 0) {
            PROCESS_MEMORY_COUNTERS now{};
            GetProcessMemoryInfo(GetCurrentProcess(), &now, sizeof now);
            if (now.PagefileUsage > base.PagefileUsage) mostExtra = std::max(mostExtra, now.PagefileUsage - base.PagefileUsage);
        }
    });
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    std::printf("5 MB upload over TLS to localhost: %lld ms, %u progress reports, %.1f MB more memory while sending\n",
                static_cast<long long>(ms), reports, static_cast<double>(mostExtra) / (1 << 20));
    EXPECT_LE(mostExtra, png.size() + (1u << 20)) << "the PNG itself plus its body copy and 1 MB at most";
    EXPECT_EQ(L"http://127.0.0.1/i/a.png", address);
    EXPECT_EQ(png.size() + BuildUploadBody({}, UploadBoundary(0, 0)).size(), received);
    EXPECT_NE(std::string::npos, start4k.find(std::string(png.begin(), png.begin() + 4096)));
    EXPECT_EQ(png.size() / 1024 + 1 + 1, reports);  // one per started kilobyte, one at the end
}

TEST_F(Upload, RepliesThatAreNotASuccessGiveNoAddress) {
    const std::pair<int, std::string> replies[] = {
        {500, kSuccess},
        {404, kSuccess},
        {200, R"({"status":"failed","url":"http:\/\/127.0.0.1\/a.png"})"},
        {200, R"({"status": "success","url":"http:\/\/127.0.0.1\/a.png"})"},
        {200, R"({"status":"success","thumb_url":"http:\/\/127.0.0.1\/t.png"})"},
        {200, R"({"status":"success","url":"file:\/\/\/C:\/Windows\/system32\/calc.exe"})"},
        {200, R"({"status":"success","url":"\\\\127.0.0.1\\share\\x.exe"})"},
        {200, R"({"status":"success","url":"http:\/\/127.0.0.1\/a\r\nb"})"},
        {200, R"({"status":"success","url":"http:\/\/127.0.0.1\/a.png)"},
        {200, std::string(70000, ' ') + kSuccess},  // beyond the reply cap
    };
    for (const auto& [status, body] : replies) {
        FakeHttpServer server = Served(Answer(status, body));
        EXPECT_EQ(L"", UploadPng({1, 2, 3}, Secure(), nullptr)) << status << " " << body.substr(0, 80);
    }
    FakeHttpServer server = Served(Answer(200, R"({"status":"success","URL":"https:\/\/127.0.0.1\/\"x"})"));
    EXPECT_EQ(L"", UploadPng({1}, Secure(), nullptr)) << "a quote never reaches the shell";
}

TEST_F(Upload, ServerFailuresEndWithNoAddressAndInTime) {
    EXPECT_EQ(L"", UploadPng({1, 2, 3}, UploadEndpoint{L"localhost", test::ClosedPort()}, nullptr)) << "connection refused";

    {
        FakeHttpServer server = Served([](SOCKET, FakeHttpServer&) {});  // accepts and closes at once
        EXPECT_EQ(L"", UploadPng({1, 2, 3}, Secure(), nullptr)) << "closed before any reply";
    }
    {
        FakeHttpServer server = Served([](SOCKET client, FakeHttpServer& s) {
            s.ReadRequest(client);
            FakeHttpServer::SendAll(client, "HTTP/1.0 200 OK\r\nContent-Length: 500\r\n\r\n{\"status\":\"success\"");
        });
        EXPECT_EQ(L"", UploadPng({1, 2, 3}, Secure(), nullptr)) << "closed inside the reply";
    }
    {
        FakeHttpServer server = Served([](SOCKET client, FakeHttpServer& s) {
            s.ReadRequest(client);
            WaitForSingleObject(s.StopEvent(), 30000);  // never answers
        });
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(L"", UploadPng({1, 2, 3}, Secure(1500), nullptr)) << "stalled server";
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        std::printf("stalled server with a 1500 ms time-out: failed after %lld ms\n", static_cast<long long>(ms));
        EXPECT_LT(ms, 1500 + 5000) << "the time-out did not apply";
    }
}

// The picture goes over TLS to a host whose certificate this user trusts, or nowhere: not in
// clear text to a plain server, not past a certificate from an unknown CA, not after a redirect.
TEST_F(Upload, OnlyATrustedTlsServerGetsThePicture) {
    // A plain server keeps the first bytes it is sent and answers as the service would.
    std::string plainBytes;
    int plainConnections = 0;
    FakeHttpServer plain([&](SOCKET client, FakeHttpServer&) {
        ++plainConnections;
        DWORD timeout = 5000;
        setsockopt(client, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
        char buffer[4096];
        const int got = recv(client, buffer, sizeof buffer, 0);
        if (got > 0) plainBytes.append(buffer, static_cast<std::size_t>(got));
        FakeHttpServer::SendAll(client, FakeHttpServer::Reply(200, kSuccess));
    });
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    EXPECT_EQ(L"", UploadPng(png, {L"localhost", plain.Port()}, nullptr)) << "a plain-HTTP server";
    const int plainTried = plainConnections;  // WinInet may try the handshake more than once
    EXPECT_LE(1, plainTried);
    ASSERT_FALSE(plainBytes.empty());
    EXPECT_EQ(0x16, static_cast<unsigned char>(plainBytes[0])) << "what arrived is not a TLS handshake";
    EXPECT_EQ(std::string::npos, plainBytes.find("POST")) << "the request went out in clear text";

    {
        FakeHttpServer server = Served(Answer(200, kSuccess));
        EXPECT_EQ(L"", UploadPng(png, {L"localhost", TlsFront::Get().UntrustedPort()}, nullptr)) << "an unknown CA";
        for (const std::string& request : server.Requests()) {
            EXPECT_EQ(std::string::npos, request.find("\x89PNG")) << "the picture went past a certificate nobody trusts";
        }
    }
    const std::string redirects[] = {
        "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(plain.Port()) + "/image\r\n",
        "HTTP/1.0 307 Temporary Redirect\r\nLocation: http://localhost:" + std::to_string(plain.Port()) + "/image\r\n",
        "HTTP/1.0 301 Moved\r\nLocation: https://localhost:" + std::to_string(TlsFront::Get().Port()) + "/other\r\n",
    };
    for (const std::string& redirect : redirects) {
        FakeHttpServer server = Served([&](SOCKET client, FakeHttpServer& s) {
            s.ReadRequest(client);
            FakeHttpServer::SendAll(client, redirect + "Content-Length: 0\r\n\r\n");
        });
        EXPECT_EQ(L"", UploadPng(png, Secure(), nullptr)) << redirect;
        EXPECT_EQ(1u, server.Requests().size()) << "the redirect was followed: " << redirect;
    }
    EXPECT_EQ(plainTried, plainConnections) << "a redirect reached the plain server";
}

// Servers that keep every step of the exchange alive and so never trip a step's time-out; each
// handler ends when its server is taken down.
void Drip(SOCKET client, FakeHttpServer& s, const std::string& start) {
    for (std::size_t i = 0; WaitForSingleObject(s.StopEvent(), 1000) == WAIT_TIMEOUT; ++i) {
        const char c = i < start.size() ? start[i] : 'x';
        if (send(client, &c, 1, 0) != 1) return;
    }
}

TEST_F(Upload, AServerThatKeepsItAliveStillEndsItByTheDeadline) {
    const std::string endless = "HTTP/1.0 500 X\r\nContent-Length: 1000000000\r\n\r\n";
    struct Case {
        const char* what;
        FakeHttpServer::Handler handler;
        std::size_t pngSize;
    } cases[] = {
        {"the status line, a byte a second",
         [](SOCKET client, FakeHttpServer& s) {
             s.ReadRequest(client);
             Drip(client, s, "");
         },
         100},
        {"the reply body, a byte a second",
         [](SOCKET client, FakeHttpServer& s) {
             s.ReadRequest(client);
             Drip(client, s, "HTTP/1.0 200 OK\r\nContent-Length: 100000\r\n\r\n{\"status\":\"success\",");
         },
         100},
        {"an endless error body",
         [endless](SOCKET client, FakeHttpServer& s) {
             s.ReadRequest(client);
             FakeHttpServer::SendAll(client, endless);
             const std::string chunk(64 * 1024, 'e');
             while (WaitForSingleObject(s.StopEvent(), 0) == WAIT_TIMEOUT) {
                 if (send(client, chunk.data(), static_cast<int>(chunk.size()), 0) <= 0) return;
             }
         },
         100},
        {"a request body nobody reads",
         [](SOCKET, FakeHttpServer& s) { WaitForSingleObject(s.StopEvent(), 60000); }, 16 << 20},
    };
    constexpr unsigned long kDeadlineMs = 3000;
    for (const Case& c : cases) {
        FakeHttpServer server = Served(c.handler);
        std::atomic<int> reports{0};
        const auto start = std::chrono::steady_clock::now();
        const std::wstring address = UploadPng(std::vector<std::uint8_t>(c.pngSize, 0x42),
                                               Secure(30000, kDeadlineMs),
                                               [&](std::uint32_t, std::uint32_t) { ++reports; });
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        std::printf("%s, with a %lu ms deadline: failed after %lld ms\n", c.what, kDeadlineMs, static_cast<long long>(ms));
        EXPECT_EQ(L"", address) << c.what;
        EXPECT_LT(ms, kDeadlineMs + 5000) << c.what << ": the deadline did not hold";
        const int seen = reports;
        // A pause: a report from the upload that has returned would have come by now.
        test::WaitUntil([&] { return reports != seen; }, 300);
        EXPECT_EQ(seen, reports.load()) << c.what << ": progress was reported after the upload had returned";
    }
}

TEST_F(Upload, AHugeReplyIsNotKeptInMemory) {
    FakeHttpServer server = Served([](SOCKET client, FakeHttpServer& s) {
        s.ReadRequest(client);
        const std::string chunk(1 << 20, 'x');
        FakeHttpServer::SendAll(client, "HTTP/1.0 200 OK\r\nContent-Length: 104857600\r\n\r\n{\"status\":\"success\",\"url\":\"http://127.0.0.1/");
        for (int i = 0; i < 100 && WaitForSingleObject(s.StopEvent(), 0) == WAIT_TIMEOUT; ++i) {
            if (send(client, chunk.data(), static_cast<int>(chunk.size()), 0) <= 0) break;
        }
    });
    PROCESS_MEMORY_COUNTERS before{};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof before);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(L"", UploadPng({1, 2, 3}, Secure(), nullptr));
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
    PROCESS_MEMORY_COUNTERS after{};
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof after);
    const double grownMb = (static_cast<double>(after.PeakPagefileUsage) - static_cast<double>(before.PeakPagefileUsage)) / (1 << 20);
    std::printf("100 MB reply: refused after %lld ms, peak private memory grew by %.1f MB\n", static_cast<long long>(ms), grownMb);
    EXPECT_LT(grownMb, 16.0);
    EXPECT_LT(ms, 10000) << "the rest of the reply held the upload";
}

}  // namespace
}  // namespace tovasen
