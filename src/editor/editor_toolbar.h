#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "base/handles.h"
#include "editor/editor_tools.h"
#include "ui/window.h"

namespace tovasen {

enum class TToolbarCommand { Tool, FindSecrets, Color, Size, Undo, Redo, Copy, Save, Done };

// The editor's row of buttons: the tools, Find Secrets, colour and size, undo and redo, copy, and Save or
// Done. Icons are drawn as shapes at the window's DPI, so they are sharp at any scale; the
// buttons never move or change with the tool chosen. Tooltips name each button and its key.
class TEditorToolbar : public TWindow {
public:
    static constexpr wchar_t kClassName[] = L"TEditorToolbar";

    // withDone: the editor hands its picture on (Done); otherwise it saves to its file.
    TEditorToolbar(TComponent* owner, HWND parent, bool withDone);
    ~TEditorToolbar() override;

    // Lays the buttons out for a DPI; returns the toolbar's height there.
    int Layout(int dpi);
    int Height() const noexcept { return FHeight; }
    // The tool chosen and the style shown; colour and size also apply to a selection.
    void SetState(TTool tool, const TToolStyle& style, bool canUndo, bool canRedo, bool selection);

    // Where a button is (client coordinates) and what its tooltip says; for the window and tests.
    RECT ButtonRect(TToolbarCommand command, TTool tool = TTool::Select) const;
    std::wstring ButtonTip(TToolbarCommand command, TTool tool = TTool::Select) const;
    HWND Tooltips() const noexcept { return FTips.Get(); }

    std::function<void(TToolbarCommand command, TTool tool)> OnCommand;

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    struct TButton {
        TToolbarCommand Command;
        TTool Tool;
        std::wstring Tip;
        std::wstring Label;  // text buttons only
        RECT Bounds{};
        bool Gap = false;  // a little space before it
    };
    const TButton* Find(TToolbarCommand command, TTool tool) const;
    int ButtonAt(POINT p) const;
    bool Enabled(const TButton& b) const;
    void Paint();
    void SetHot(int index);

    std::vector<TButton> FButtons;
    UniqueWindow FTips;
    UniqueFont FFont;
    int FDpi = 96;
    int FHeight = 0;
    int FHot = -1;
    TTool FTool = TTool::Rectangle;
    TToolStyle FStyle;
    bool FCanUndo = false, FCanRedo = false, FSelection = false;
};

}  // namespace tovasen
