// The reply through the main window in this process: the update dialog (driven from a second
// thread as a user would click it), the hold request, the link, the update strip, the tray tip.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "support/main_form.h"
#include "support/process.h"
#include "support/wait.h"
#include "update/update_ui.h"
#include "update_server.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::UpdateServer;

// Waits for the update dialog on its own thread, notes its title and its controls' texts, then
// clicks the controls whose texts are given, in order.
class DialogClicker {
public:
    explicit DialogClicker(std::vector<std::wstring> clicks) : clicks_(std::move(clicks)), thread_([this] { Run(); }) {}
    ~DialogClicker() {
        stop_ = true;
        thread_.join();
    }
    bool Seen() const { return seen_; }
    std::wstring Title() {
        std::lock_guard<std::mutex> hold(lock_);
        return title_;
    }
    std::vector<std::wstring> Texts() {
        std::lock_guard<std::mutex> hold(lock_);
        return texts_;
    }

private:
    void Run() {
        HWND dialog = nullptr;
        test::WaitUntil([&] {
            HWND found = FindWindowW(kUpdateDialogClass, nullptr);
            if (found && IsWindowVisible(found)) dialog = found;
            return dialog || stop_;
        });
        if (!dialog) return;
        // Once it answers, the dialog is in its loop: what is clicked now is handled as a user's click.
        DWORD_PTR ignored = 0;
        if (!SendMessageTimeoutW(dialog, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored)) return;
        std::vector<HWND> children;
        EnumChildWindows(dialog, [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        }, reinterpret_cast<LPARAM>(&children));
        {
            std::lock_guard<std::mutex> hold(lock_);
            wchar_t text[512] = {};
            GetWindowTextW(dialog, text, 512);
            title_ = text;
            for (HWND child : children) {
                GetWindowTextW(child, text, 512);
                texts_.push_back(text);
            }
        }
        seen_ = true;
        for (const std::wstring& click : clicks_) {
            for (HWND child : children) {
                wchar_t text[512] = {}, cls[64] = {};
                GetWindowTextW(child, text, 512);
                GetClassNameW(child, cls, 64);
                if (click != text) continue;
                if (lstrcmpiW(cls, L"Button") == 0) PostMessageW(child, BM_CLICK, 0, 0);
                else PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(child), STN_CLICKED), reinterpret_cast<LPARAM>(child));
            }
        }
    }

    std::vector<std::wstring> clicks_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::mutex lock_;
    std::wstring title_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

class UpdateReplyTest : public test::MainFormTest {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.Ready()) << "run through run_with_https_server.sh";
        MainFormTest::SetUp();
    }
    void Create(const std::string& reply, const wchar_t* language = L"ko") {
        TConfig().WriteString(L"language", language);
        CreateForm([&](TFrmTovasen& created) {
            created.UpdateCheckService = {server.Url("/r/" + UpdateServer::Encode(reply)), 6, 10, 5000};
            created.Services().OnOpenAddress = [this](const std::wstring& address) { opened.push_back(address); };
        });
    }
    // Handles messages until the check has ended (the tray tip is set); notes a quit request,
    // which WaitUntil's pump would take without a trace.
    bool WaitForTheCheck() {
        const auto deadline = GetTickCount64() + 20000;
        while (GetTickCount64() < deadline) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) quit = true;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (form->TrayIcon->Hint() != L"Tovasen") return true;
            Sleep(10);  // the poll's interval
        }
        return false;
    }
    std::size_t HoldRequests() {
        std::size_t holds = 0;
        for (const auto& request : server.Log()) {
            for (const auto& [name, value] : request.headers) holds += name == "User-Command" && value == "hold";
        }
        return holds;
    }

    UpdateServer server;
    std::vector<std::wstring> opened;
    bool quit = false;
};

TEST_F(UpdateReplyTest, YesOpensTheUpdateAndEndsTheProgram) {
    Create(R"({"update":"https:\/\/localhost\/new.exe","notify":""})");
    DialogClicker clicker({L"예"});
    ASSERT_TRUE(WaitForTheCheck());
    EXPECT_TRUE(clicker.Seen());
    EXPECT_EQ(Translate(L"Tovasen"), clicker.Title());
    EXPECT_EQ(std::vector<std::wstring>{L"https://localhost/new.exe"}, opened);
    EXPECT_TRUE(quit) << "an accepted update ends the program";
    // The test program has no version resource: its version reads 0.0.0.0 in any format.
    EXPECT_EQ(form->Caption() + L" 0.0.0.0", form->TrayIcon->Hint());
}

TEST_F(UpdateReplyTest, HoldAndNoSendOneHoldRequestAndKeepTheProgram) {
    Create(R"({"update":"https:\/\/localhost\/new.exe","info":{"style":"hold","text":"Not &now\u0007","flag":""}})");
    DialogClicker clicker({L"Not &&now", L"아니오"});
    ASSERT_TRUE(WaitForTheCheck());
    ASSERT_TRUE(clicker.Seen());
    EXPECT_TRUE(opened.empty());
    EXPECT_FALSE(quit);
    EXPECT_TRUE(test::WaitUntil([&] { return HoldRequests() > 0; })) << "no hold request";
    // A pause: a second hold request would have come by now.
    test::WaitUntil([&] { return HoldRequests() > 1; }, 300);
    EXPECT_EQ(1u, HoldRequests());
    const auto log = server.Log();
    ASSERT_FALSE(log.empty());
    std::vector<std::string> names;
    for (const auto& [name, value] : log.back().headers) {
        if (name.rfind("User-", 0) == 0 && name != "User-Agent") names.push_back(name);
    }
    EXPECT_EQ((std::vector<std::string>{"User-Version", "User-Command"}), names);
}

TEST_F(UpdateReplyTest, ANoteIsALinkOnlyForAWebAddress) {
    Create(R"({"update":"https:\/\/localhost\/new.exe","info":{"style":"note","text":"Release notes","url":"https:\/\/localhost\/notes"}})", L"ja");
    DialogClicker clicker({L"Release notes", L"いいえ"});
    ASSERT_TRUE(WaitForTheCheck());
    ASSERT_TRUE(clicker.Seen());
    const auto texts = clicker.Texts();
    EXPECT_NE(texts.end(), std::find(texts.begin(), texts.end(), L"はい"));
    EXPECT_EQ(std::vector<std::wstring>{L"https://localhost/notes"}, opened);
    EXPECT_FALSE(quit);
}

TEST_F(UpdateReplyTest, AHostileUpdateShowsNoDialogAndOpensNothing) {
    Create(R"({"update":"file:\/\/\/C:\/windows\/system32\/calc.exe","notify":"ms-msdt:\/id x"})", L"en");
    DialogClicker clicker({});
    ASSERT_TRUE(WaitForTheCheck());
    // A pause, not pumping: a wrongly shown dialog would wait here for clicks that never come.
    Sleep(300);
    EXPECT_FALSE(clicker.Seen());
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(nullptr, form->FindComponent(L"StatusBar"));
    EXPECT_FALSE(quit);
}

TEST_F(UpdateReplyTest, ANoticeAddsTheStripOnceAndItsClickOpensTheAddress) {
    Create(R"({"update":"","notify":"https:\/\/localhost\/notice"})", L"en");
    RECT before{};
    GetWindowRect(form->Handle(), &before);
    ASSERT_TRUE(WaitForTheCheck());
    auto* strip = dynamic_cast<TControl*>(form->FindComponent(L"StatusBar"));
    ASSERT_NE(nullptr, strip);
    RECT after{};
    GetWindowRect(form->Handle(), &after);
    EXPECT_EQ(form->ScaleValue(28), (after.bottom - after.top) - (before.bottom - before.top));
    SendMessageW(form->Handle(), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(strip->Handle()), STN_CLICKED),
                 reinterpret_cast<LPARAM>(strip->Handle()));
    EXPECT_EQ(std::vector<std::wstring>{L"https://localhost/notice"}, opened);
    EXPECT_FALSE(quit);

    // A move to a monitor of another DPI (Wine never sends it: as the system does): the window
    // takes its design size at the new scale, and the strip stays along its bottom.
    for (const int dpi : {144, 96, 120}) {
        SCOPED_TRACE(dpi);
        RECT suggested{};
        GetWindowRect(form->Handle(), &suggested);
        SendMessageW(form->Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        RECT client{};
        GetClientRect(form->Handle(), &client);
        const RECT bar = strip->BoundsInParent();
        // A pixel either way from rounding the two heights apart.
        EXPECT_NEAR(client.bottom, bar.bottom, 1) << "the strip is cut off or leaves a gap below it";
        EXPECT_EQ(form->ScaleValue(28), bar.bottom - bar.top);
        EXPECT_NEAR(client.right, bar.right, 1);
        EXPECT_TRUE(GetWindowLongPtrW(strip->Handle(), GWL_STYLE) & WS_VISIBLE);
    }
}

}  // namespace
}  // namespace tovasen
