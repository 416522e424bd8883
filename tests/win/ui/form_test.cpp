#include "ui/form.h"

#include <gtest/gtest.h>

#include "support/wait.h"
#include "ui/menu.h"

namespace tovasen {
namespace {

class TestForm : public TForm {
public:
    TestForm() : TForm(nullptr, L"TestForm") {
        TCreateParams params;
        params.ClassName = L"TTestForm";
        params.Caption = L"Test";
        params.Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
        CreateHandle(params);
    }
};

TEST(Form, ClientSizeIsGivenAt96Dpi) {
    TestForm form;
    form.SetClientSize96(162, 191);
    RECT client{};
    GetClientRect(form.Handle(), &client);
    EXPECT_EQ(form.ScaleValue(162), client.right);
    EXPECT_EQ(form.ScaleValue(191), client.bottom);
}

TEST(Form, CloseAsksFirstAndHides) {
    TestForm form;
    form.Show();
    bool allow = false;
    int asked = 0;
    form.OnCloseQuery = [&](bool& canClose) {
        ++asked;
        canClose = allow;
    };
    form.Close();
    EXPECT_EQ(1, asked);
    EXPECT_TRUE(form.Visible()) << "a refused close must keep the form";
    allow = true;
    PostMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(test::WaitUntil([&] { return !form.Visible(); }));
    EXPECT_TRUE(IsWindow(form.Handle())) << "closing hides, it does not destroy";
}

TEST(Form, ShowModalReturnsTheModalResult) {
    TestForm form;
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(mrCancel, form.ShowModal());
    EXPECT_FALSE(form.Visible());
}

TEST(Form, OwnedComponentsGoBeforeTheWindow) {
    auto* form = new TestForm;
    HWND seenAlive = nullptr;
    struct Probe : TComponent {
        Probe(TComponent* owner, HWND window, HWND& seen) : TComponent(owner), window_(window), seen_(seen) {}
        ~Probe() override { seen_ = IsWindow(window_) ? window_ : nullptr; }
        HWND window_;
        HWND& seen_;
    };
    HWND window = form->Handle();
    new Probe(form, window, seenAlive);
    delete form;
    EXPECT_EQ(window, seenAlive);
    EXPECT_FALSE(IsWindow(window));
}

TEST(PopupMenu, BuildsItsItemTreeAsTheSystemMenu) {
    TPopupMenu menu(nullptr, L"Menu");
    auto* settings = new TMenuItem(&menu.Items(), L"N14", L"Settings");
    auto* mouse = new TMenuItem(settings, L"ChkMouse", L"Mouse");
    mouse->Checked = true;
    new TMenuItem(&menu.Items(), L"N8", L"-");
    int clicks = 0;
    auto* exitItem = new TMenuItem(&menu.Items(), L"N10", L"Exit", [&](TMenuItem& sender) {
        EXPECT_EQ(L"N10", sender.Name());
        ++clicks;
    });

    std::vector<TMenuItem*> commands;
    UniqueMenu built = menu.Build(commands);
    ASSERT_EQ(3, GetMenuItemCount(built.Get()));
    HMENU sub = GetSubMenu(built.Get(), 0);
    ASSERT_NE(nullptr, sub);
    EXPECT_EQ(static_cast<UINT>(MF_CHECKED), GetMenuState(sub, 0, MF_BYPOSITION) & MF_CHECKED);
    EXPECT_NE(0u, GetMenuState(built.Get(), 1, MF_BYPOSITION) & MF_SEPARATOR);
    const UINT exitId = GetMenuItemID(built.Get(), 2);
    ASSERT_LT(exitId, commands.size());
    EXPECT_EQ(exitItem, commands[exitId]);
    commands[exitId]->Click();
    EXPECT_EQ(1, clicks);
    EXPECT_EQ(mouse, menu.FindComponent(L"ChkMouse"));
}

}  // namespace
}  // namespace tovasen
