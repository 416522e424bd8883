// The upload target through the main window in this process: strip, responsiveness, the busy
// state and the messages, against a local server.
#include <winsock2.h>
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "output/fake_http_server.h"
#include "output/progress_form.h"
#include "support/message_boxes.h"
#include "support/process.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::FakeHttpServer;

class UploadController : public ::testing::Test {
protected:
    void SetUp() override {
        HMODULE exe = LoadLibraryExW(test::TovasenExe().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        TranslationTable = LoadTranslationTable(exe);
        FreeLibrary(exe);
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen");
        TConfig config;
        config.WriteString(L"language", L"ko");
        config.WriteInteger(L"sound", 1);
        config.WriteInteger(L"area", 0);
        config.WriteInteger(L"saveto", 8);
        config.WriteBoolean(L"autocopy", false);
    }
    void TearDown() override {
        form = nullptr;
        app.reset();
        TranslationTable.clear();
    }
    void Create(unsigned short port) {
        app = std::make_unique<TApplication>();
        app->Initialize();
        form = new TFrmTovasen(app.get(), L"");
        app->SetMainForm(form);
        form->FormCreate();
        form->UploadService = {L"127.0.0.1", port, 5000};
        form->OnOpenAddress = [this](const std::wstring& address) { opened.push_back(address); };
    }

    std::unique_ptr<TApplication> app;
    TFrmTovasen* form = nullptr;
    std::vector<std::wstring> opened;
};

// What the strip looks like while the server holds its answer, and how the window answers then.
struct Watch {
    std::atomic<bool> stripSeen{false};
    std::atomic<bool> stripTranslucent{false};
    std::atomic<long long> slowestMs{0};
    std::atomic<int> unanswered{0};
    std::atomic<LRESULT> secondRequest{-1};
};

TEST_F(UploadController, UploadsWhileTheWindowAnswersAndOpensTheAddress) {
    Watch watch;
    HWND mainWindow = nullptr;
    FakeHttpServer server([&](SOCKET client, FakeHttpServer& s) {
        s.ReadRequest(client);
        // While the upload waits: the strip is up, the window answers, a second request is dropped.
        HWND strip = FindWindowW(TProgressForm::kClassName, nullptr);
        watch.stripSeen = strip && IsWindowVisible(strip);
        BYTE alpha = 0;
        watch.stripTranslucent = strip && GetLayeredWindowAttributes(strip, nullptr, &alpha, nullptr) && alpha == 140;
        for (int i = 0; i < 20; ++i) {
            const auto start = GetTickCount64();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(mainWindow, WM_NULL, 0, 0, SMTO_BLOCK, 1000, &result)) ++watch.unanswered;
            watch.slowestMs = std::max<long long>(watch.slowestMs, static_cast<long long>(GetTickCount64() - start));
            Sleep(20);
        }
        const wchar_t command[] = L"{\"command\":\"capture\"}";
        COPYDATASTRUCT data{1, sizeof command, const_cast<wchar_t*>(command)};
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(mainWindow, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_BLOCK, 5000, &answer);
        watch.secondRequest = static_cast<LRESULT>(answer);
        FakeHttpServer::SendAll(client, FakeHttpServer::Reply(200, R"({"status":"success","url":"http:\/\/127.0.0.1\/i\/abc.png"})"));
    });
    Create(server.Port());
    mainWindow = form->Handle();
    test::MessageBoxAnswerer answerer;
    form->Start();
    ASSERT_TRUE(test::WaitUntil([&] { return form->Controller->State() == TControllerState::Idle; }, 30000));

    EXPECT_EQ(std::vector<std::wstring>{L"http://127.0.0.1/i/abc.png"}, opened);
    EXPECT_TRUE(watch.stripSeen);
    EXPECT_TRUE(watch.stripTranslucent);
    EXPECT_EQ(0, watch.unanswered.load());
    std::printf("slowest WM_NULL answer during the upload: %lld ms\n", watch.slowestMs.load());
    EXPECT_EQ(1, watch.secondRequest.load()) << "the command itself is taken";
    test::PumpMessages();
    Sleep(200);
    EXPECT_EQ(1u, server.Requests().size()) << "the request during the upload reached the server";
    EXPECT_EQ(nullptr, FindWindowW(TProgressForm::kClassName, nullptr)) << "the strip stayed";
    EXPECT_TRUE(answerer.Texts().empty());
    const auto& request = server.Requests().front();
    EXPECT_NE(std::string::npos, request.find("\x89PNG\r\n")) << "no PNG in the body";
}

TEST_F(UploadController, AFailedOrHostileUploadShowsTheFailureAndOpensNothing) {
    const std::string replies[] = {
        "HTTP/1.0 500 X\r\nContent-Length: 60\r\n\r\n{\"status\":\"success\",\"url\":\"http:\\/\\/127.0.0.1\\/i\\/a.png\"}",
        FakeHttpServer::Reply(200, R"({"status":"success","url":"file:\/\/\/C:\/windows\/system32\/calc.exe"})"),
        FakeHttpServer::Reply(200, R"({"status":"success","url":"ms-msdt:\/id PCWDiagnostic"})"),
        "",  // the connection closes without a reply
    };
    std::size_t next = 0;
    FakeHttpServer server([&](SOCKET client, FakeHttpServer& s) {
        s.ReadRequest(client);
        FakeHttpServer::SendAll(client, replies[next]);
    });
    Create(server.Port());
    for (next = 0; next < std::size(replies); ++next) {
        test::MessageBoxAnswerer answerer;
        form->Start();
        ASSERT_TRUE(test::WaitUntil([&] { return form->Controller->State() == TControllerState::Idle; }, 30000));
        const auto texts = answerer.Texts();
        ASSERT_EQ(1u, texts.size()) << "reply " << next;
        EXPECT_EQ(L"이미지 업로드를 실패하였습니다.", texts[0]) << "reply " << next;
        EXPECT_EQ(nullptr, FindWindowW(TProgressForm::kClassName, nullptr)) << "reply " << next;
    }
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(std::size(replies), server.Requests().size());
}

}  // namespace
}  // namespace tovasen
