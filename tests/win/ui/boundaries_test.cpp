// Exceptions at system callbacks, the queue after the loop, deferred frees and change events:
// the places where the component layer meets user32.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <memory>
#include <thread>

#include "base/errors.h"
#include "support/message_sequence.h"
#include "support/wait.h"
#include "ui/application.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/std_controls.h"
#include "ui/timer.h"

namespace tovasen {
namespace {

constexpr UINT WM_TEST_THROW = WM_APP + 0x321;

class ThrowingForm : public TForm {
public:
    explicit ThrowingForm(TComponent* owner) : TForm(owner, L"ThrowingForm") {
        TCreateParams params;
        params.ClassName = L"TovasenThrowingForm";
        params.Style = WS_OVERLAPPED | WS_CAPTION;
        CreateHandle(params);
    }
    int handled = 0;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_TEST_THROW) throw Exception(L"window procedure");
        if (msg == WM_NULL) ++handled;
        return TForm::WndProc(msg, wParam, lParam);
    }
};

class ThrowingLabel : public TLabel {
public:
    ThrowingLabel(TForm* parent) : TLabel(parent, L"LblThrow", L"x") {}

protected:
    LRESULT ControlProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_TEST_THROW) throw Exception(L"subclass procedure");
        return TLabel::ControlProc(msg, wParam, lParam);
    }
};

class Boundaries : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<TApplication>();
        app->Initialize();
        app->OnException = [this](const std::wstring& message) { reported.push_back(message); };
    }
    std::unique_ptr<TApplication> app;
    std::vector<std::wstring> reported;
};

TEST_F(Boundaries, AnExceptionAtAnyCallbackIsReportedAndTheProgramGoesOn) {
    auto* form = new ThrowingForm(app.get());
    auto* label = new ThrowingLabel(form);
    SendMessageW(form->Handle(), WM_TEST_THROW, 0, 0);
    SendMessageW(label->Handle(), WM_TEST_THROW, 0, 0);

    auto* timer = new TTimer(form, L"TmrThrow", 10);
    timer->OnTimer = [timer] {
        timer->SetEnabled(false);
        throw Exception(L"timer");
    };
    timer->SetEnabled(true);
    app->Queue([] { throw Exception(L"queued call"); });
    EXPECT_TRUE(test::WaitUntil([&] { return reported.size() >= 4; }, 5000));

    std::vector<std::wstring> sorted = reported;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ((std::vector<std::wstring>{L"queued call", L"subclass procedure", L"timer", L"window procedure"}), sorted);
    // Still alive: the window answers, the control paints, the queue runs.
    SendMessageW(form->Handle(), WM_NULL, 0, 0);
    EXPECT_EQ(1, form->handled);
    bool ran = false;
    app->Queue([&] { ran = true; });
    EXPECT_TRUE(test::WaitUntil([&] { return ran; }, 5000));
}

TEST_F(Boundaries, TimersOfAWindowArriveThroughItsOwnProcedure) {
    auto* form = new ThrowingForm(app.get());
    int ticks = 0;
    auto* timer = new TTimer(form, L"TmrWindow", 10);
    timer->OnTimer = [&] { ++ticks; };
    timer->SetEnabled(true);
    EXPECT_TRUE(test::WaitUntil([&] { return ticks >= 2; }, 5000));
    // A WM_TIMER with an id that is not one of the form's timers is not taken for one.
    SendMessageW(form->Handle(), WM_TIMER, 12345, 0);
    EXPECT_TRUE(reported.empty());
    delete form;  // the timer goes with its window
    const int seen = ticks;
    Sleep(60);  // six periods: a timer left behind would have ticked
    test::PumpMessages();
    EXPECT_EQ(seen, ticks);
}

TEST_F(Boundaries, AfterTheLoopEndsQueueDropsAndSynchronizeFailsFast) {
    app->Terminate();
    app->Run();
    EXPECT_TRUE(app->Terminated());
    bool ran = false;
    EXPECT_FALSE(app->Queue([&] { ran = true; }));

    std::wstring error;
    const auto started = std::chrono::steady_clock::now();
    std::thread worker([&] {
        try {
            app->Synchronize([&] { ran = true; });
        } catch (const Exception& e) {
            error = e.Message();
        }
    });
    worker.join();
    const auto waited = std::chrono::steady_clock::now() - started;
    EXPECT_LT(waited, std::chrono::seconds(1));
    EXPECT_FALSE(error.empty());
    test::PumpMessages();
    EXPECT_FALSE(ran);
}

TEST_F(Boundaries, AWaiterIsReleasedWhenTheApplicationGoesWithItsCallStillQueued) {
    std::promise<std::wstring> outcome;
    std::thread worker([&] {
        try {
            app->Synchronize([] {});
            outcome.set_value(L"ran");
        } catch (const Exception& e) {
            outcome.set_value(e.Message());
        }
    });
    Sleep(100);  // the worker is waiting now; nothing here pumps messages
    app.reset();
    auto result = outcome.get_future();
    ASSERT_EQ(std::future_status::ready, result.wait_for(std::chrono::seconds(1)));
    EXPECT_NE(L"ran", result.get());
    worker.join();
}

TEST_F(Boundaries, AFormReleasedFromItsOwnMenuCommandGoesAfterTheHandler) {
    auto* form = new ThrowingForm(app.get());
    auto* menu = new TPopupMenu(form, L"Pop");
    bool aliveInHandler = false;
    new TMenuItem(&menu->Items(), L"PopDelete", L"Delete", [&](TMenuItem&) {
        form->Release();
        aliveInHandler = form->HandleAllocated() && !IsWindowVisible(form->Handle());
    });
    form->Show();
    // Choose the only item as soon as the menu is up.
    std::thread chooser([] {
        test::WaitUntil([] { return FindWindowW(L"#32768", nullptr) != nullptr; }, 2000);
        HWND popup = FindWindowW(L"#32768", nullptr);
        PostMessageW(popup, WM_KEYDOWN, VK_DOWN, 0);
        PostMessageW(popup, WM_KEYDOWN, VK_RETURN, 0);
    });
    const HWND handle = form->Handle();
    EXPECT_TRUE(menu->Popup(10, 10, handle));
    chooser.join();
    EXPECT_TRUE(aliveInHandler) << "the form was freed on its own stack, or not hidden at once";
    EXPECT_EQ(nullptr, app->FindComponent(L"ThrowingForm")) << "a released form leaves its owner at once";
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindow(handle); }, 5000));
    EXPECT_TRUE(reported.empty());
}

TEST_F(Boundaries, ItemIndexFromCodeRaisesNoChangeButTheUsersChoiceDoes) {
    auto* form = new ThrowingForm(app.get());
    auto* box = new TComboBox(form, L"ChkTest");
    box->SetBounds96(8, 8, 100, 200);
    box->SetItems({L"one", L"two", L"three"});
    int changes = 0;
    box->OnChange = [&] { ++changes; };
    // The parent's notifications; the list also tells of focus and of its drop-down, which
    // the sequence allows.
    test::MessageRecorder notifications({form->Handle()}, [](UINT msg) { return msg == WM_COMMAND; });

    box->SetItemIndex(1);
    box->SetItemIndex(2);
    EXPECT_EQ(0, changes);
    EXPECT_EQ(0u, notifications.Count(WM_COMMAND));

    // The user's way: a key in the focused list.
    SendMessageW(box->Handle(), WM_KEYDOWN, VK_UP, 0);
    EXPECT_EQ(1, box->ItemIndex());
    EXPECT_EQ(1, changes);
    const WPARAM id = static_cast<WPARAM>(GetDlgCtrlID(box->Handle()));
    EXPECT_TRUE(test::MatchesSequence(notifications.Messages(),
                                      {{WM_COMMAND, test::kWParam | test::kOptional, MAKEWPARAM(id, CBN_SELENDOK)},
                                       {WM_COMMAND, test::kWParam, MAKEWPARAM(id, CBN_SELCHANGE)},
                                       {WM_COMMAND, test::kWParam | test::kOptional, MAKEWPARAM(id, CBN_SELENDOK)}}));
}

TEST_F(Boundaries, AnEditRaisesChangeForTypingOnlyAndCanSwallowAKey) {
    auto* form = new ThrowingForm(app.get());
    auto* edit = new TEdit(form, L"Edit1");
    int changes = 0;
    edit->OnChange = [&] { ++changes; };
    edit->SetText(L"from code");
    EXPECT_EQ(0, changes);
    EXPECT_EQ(L"from code", edit->Text());
    SendMessageW(edit->Handle(), WM_CHAR, L'x', 0);
    EXPECT_EQ(1, changes);
    WORD pressed = 0;
    edit->OnKeyDown = [&](WORD key) {
        pressed = key;
        return key == VK_RETURN;
    };
    const std::wstring before = edit->Text();
    SendMessageW(edit->Handle(), WM_KEYDOWN, VK_RETURN, 0);
    SendMessageW(edit->Handle(), WM_CHAR, L'\r', 0);
    EXPECT_EQ(VK_RETURN, pressed);
    EXPECT_EQ(before, edit->Text());
}

}  // namespace
}  // namespace tovasen
