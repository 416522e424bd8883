#include "ui/component.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tovasen {
namespace {

// Records the order in which components are freed. Like a window, it frees what it owns before
// it goes itself.
struct Tracked : TComponent {
    Tracked(TComponent* owner, std::wstring name, std::vector<std::wstring>& log)
        : TComponent(owner, std::move(name)), log_(log) {}
    ~Tracked() override {
        DestroyComponents();
        log_.push_back(Name());
    }
    std::vector<std::wstring>& log_;
};

TEST(Component, OwnerFreesItsComponentsLastCreatedFirst) {
    std::vector<std::wstring> freed;
    {
        Tracked root(nullptr, L"Root", freed);
        auto* menu = new Tracked(&root, L"Menu", freed);
        new Tracked(menu, L"ChkMouse", freed);
        new Tracked(&root, L"TmrColor", freed);
    }
    const std::vector<std::wstring> expected{L"TmrColor", L"ChkMouse", L"Menu", L"Root"};
    EXPECT_EQ(expected, freed);
}

TEST(Component, FreeingOneEarlyTakesItOutOfItsOwner) {
    std::vector<std::wstring> freed;
    Tracked root(nullptr, L"Root", freed);
    auto* a = new Tracked(&root, L"A", freed);
    new Tracked(&root, L"B", freed);
    delete a;
    ASSERT_EQ(1u, root.Components().size());
    EXPECT_EQ(L"B", root.Components()[0]->Name());
    root.DestroyComponents();
    EXPECT_TRUE(root.Components().empty());
    EXPECT_EQ((std::vector<std::wstring>{L"A", L"B"}), freed);
}

TEST(Component, FindComponentSearchesTheWholeTree) {
    TComponent root(nullptr, L"Root");
    auto* menu = new TComponent(&root, L"Menu");
    auto* deep = new TComponent(new TComponent(menu, L"N14"), L"ChkRecLimit240");
    EXPECT_EQ(menu, root.FindComponent(L"Menu"));
    EXPECT_EQ(deep, root.FindComponent(L"ChkRecLimit240"));
    EXPECT_EQ(nullptr, root.FindComponent(L"chkreclimit240")) << "names are case-sensitive";
    EXPECT_EQ(nullptr, root.FindComponent(L""));
}

}  // namespace
}  // namespace tovasen
