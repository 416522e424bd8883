#include "output/upload_request.h"

#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <utility>
#include <vector>

namespace tovasen {
namespace {

std::string AsText(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(UploadRequest, BoundaryIsSevenHyphensANameAndTwoReducedNumbers) {
    EXPECT_EQ("-------TovasenBoundary0000000000000001", UploadBoundary(0, 1));
    // 2147483647 and above wrap into 0 ... 2147483646, as the service's generator would give.
    EXPECT_EQ("-------TovasenBoundary7FFFFFFE00000000", UploadBoundary(0x7FFFFFFE, 0x7FFFFFFF));
    EXPECT_EQ("-------TovasenBoundary0000000100000001", UploadBoundary(0xFFFFFFFF, 0x80000000));
    EXPECT_TRUE(std::regex_match(UploadBoundary(0xDEADBEEF, 12345), std::regex("-{7}TovasenBoundary[0-9A-F]{16}")));
}

TEST(UploadRequest, BodyAndHeadersAreExactlyTheMultipartForm) {
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 0, '\r', '\n', 0xFF};
    const std::string boundary = "-------B";
    const std::string expected = std::string("---------B\r\n") +
                                 "Content-Disposition: form-data; name=\"file\"; filename=\"tovasen.png\"\r\n" +
                                 "Content-Type: image/png\r\n" + "\r\n" + AsText(png) + "\r\n" +
                                 "---------B--\r\n";
    EXPECT_EQ(expected, AsText(BuildUploadBody(png, boundary)));
    EXPECT_EQ(L"Host: img.example.com:80\r\nContent-Type: multipart/form-data; boundary=-------B\r\n",
              UploadHeaders(L"img.example.com", 80, boundary));
}

TEST(UploadRequest, ProgressIsReportedBeforeEachKilobyteAndAtTheEnd) {
    const std::pair<std::size_t, std::vector<std::uint32_t>> cases[] = {
        {2500, {0, 1024, 2048, 2500}},
        {2048, {0, 1024, 2048}},
        {1, {0, 1}},
        {0, {0}},
    };
    for (const auto& c : cases) {
        const std::size_t size = c.first;
        const std::vector<std::uint32_t>& expected = c.second;
        const std::vector<std::uint8_t> body(size, 7);
        std::vector<std::uint32_t> reports;
        std::vector<std::uint8_t> written;
        const bool sent = SendInChunks(
            body,
            [&](std::uint32_t position, std::uint32_t total) {
                EXPECT_EQ(size, total);
                reports.push_back(position);
            },
            [&](const std::uint8_t* data, std::size_t n) {
                EXPECT_LE(n, kUploadChunkSize);
                written.insert(written.end(), data, data + n);
                return n;
            });
        EXPECT_TRUE(sent) << "size " << size;
        EXPECT_EQ(expected, reports) << "size " << size;
        EXPECT_EQ(body, written) << "size " << size;
    }
}

TEST(UploadRequest, AShortOrFailedWriteStopsTheSending) {
    const std::vector<std::uint8_t> body(5000, 1);
    for (std::size_t answer : {std::size_t{0}, std::size_t{1023}}) {
        int writes = 0;
        EXPECT_FALSE(SendInChunks(body, nullptr, [&](const std::uint8_t*, std::size_t n) {
            return ++writes == 2 ? answer : n;
        })) << "answer " << answer;
        EXPECT_EQ(2, writes) << "answer " << answer;
    }
}

struct ReplyCase {
    unsigned long status;
    const wchar_t* reply;
    const wchar_t* address;
};

TEST(UploadReply, OnlyASuccessWithAGoodUrlGivesAnAddress) {
    const ReplyCase cases[] = {
        {200, LR"({"status":"success","url":"http:\/\/i.example.com\/a.png"})", L"http://i.example.com/a.png"},
        {200, LR"({"url":"https://i.example.com/b.png","status":"success"})", L"https://i.example.com/b.png"},
        {500, LR"({"status":"success","url":"http://i.example.com/a.png"})", L""},
        {201, LR"({"status":"success","url":"http://i.example.com/a.png"})", L""},
        {200, LR"({"url":"http://i.example.com/a.png"})", L""},
        {200, LR"({"status": "success","url":"http://i.example.com/a.png"})", L""},
        {200, LR"({"status":"Success","url":"http://i.example.com/a.png"})", L""},
        {200, LR"({"status":"success"})", L""},
        {200, LR"({"status":"success","URL":"http://i.example.com/C.png"})", L"http://i.example.com/C.png"},
        {200, LR"({"status":"success","thumb_url":"http://evil/t.png","url":"http://i.example.com/a.png"})",
         L"http://i.example.com/a.png"},
        {200, LR"({"status":"success","thumb_url":"http://i.example.com/t.png"})", L""},
        {200, LR"({"status":"success","url":"http://i.example.com/a\\"})", L""},
        {200, LR"({"status":"success","url":"http://i.example.com/a\"b"})", L""},
        {200, LR"({"status":"success","url":"http://i.example.com/\u0000"})", L""},
        {200, LR"({"status":"success","url":"http://i.example.com/\u00zz"})", L""},
        {200, LR"({"status":"success","url":"http://i.example.com/\u0041"})", L"http://i.example.com/A"},
        {200, LR"({"status":"success","url":"http://i.example.com/a)", L""},
        {200, L"", L""},
        {200, L"not json at all \"status\":\"success\"", L""},
    };
    for (const ReplyCase& c : cases) {
        EXPECT_EQ(c.address, UploadAddressFromReply(c.status, c.reply))
            << c.status << " " << testing::PrintToString(std::wstring(c.reply));
    }
}

TEST(UploadReply, HostileAddressesAreNeverReturned) {
    const wchar_t* hostile[] = {
        LR"(file:\/\/\/C:\/Windows\/System32\/calc.exe)",
        LR"(\\\\attacker\\share\\x.exe)",
        LR"(ms-msdt:\/id PCWDiagnostic)",
        LR"(javascript:alert(1))",
        LR"(http:\/\/host\/\r\nSet-Cookie: x)",
        LR"(http:\/\/host\/\"--x)",
        LR"(calc)",
        LR"(http:\/\/)",
        LR"(search-ms:query=x)",
        LR"(shell:startup)",
        LR"(\u0066ile:\/\/\/c:\/x)",
        LR"(http:\/\/host\/a b)",
        LR"(http:\/\/host\/<x>)",
        LR"(http:\/\/host\/\u0009)",
        LR"(http:\/\/host\/\u00e9)",
        LR"(https:\/\/host\/{x})",
        LR"(https:\/\/host\/a|b)",
        LR"(https:\/\/host\/a^b)",
        LR"(https:\/\/host\/a`b)",
        LR"(C:\\Windows\\notepad.exe)",
        LR"(mailto:a@b.c)",
        LR"(%COMSPEC%)",
    };
    for (const wchar_t* url : hostile) {
        const std::wstring reply = std::wstring(LR"({"status":"success","url":")") + url + L"\"}";
        EXPECT_EQ(L"", UploadAddressFromReply(200, reply)) << testing::PrintToString(reply);
    }
}

TEST(ProgressStrip, SitsAboveABottomTaskbarOnly) {
    const StripRect bottom{0, 1040, 1920, 1080};
    EXPECT_EQ(1010, ProgressStripTop(1920, 1080, &bottom));  // rows 1010 to 1039
    const StripRect top{0, 0, 1920, 40};
    EXPECT_EQ(1050, ProgressStripTop(1920, 1080, &top));
    const StripRect left{0, 0, 60, 1080};
    EXPECT_EQ(1050, ProgressStripTop(1920, 1080, &left));
    const StripRect right{1860, 0, 1920, 1080};
    EXPECT_EQ(1050, ProgressStripTop(1920, 1080, &right)) << "its top is not below the middle";
    const StripRect shortBottom{0, 1040, 1000, 1080};
    EXPECT_EQ(1050, ProgressStripTop(1920, 1080, &shortBottom)) << "it does not reach the right edge";
    const StripRect middle{0, 540, 1920, 580};
    EXPECT_EQ(1050, ProgressStripTop(1920, 1080, &middle)) << "540 is not below the middle of 1080";
    EXPECT_EQ(1050, ProgressStripTop(1920, 1080, nullptr));
}

}  // namespace
}  // namespace tovasen
