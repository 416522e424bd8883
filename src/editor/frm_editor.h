#pragma once
#include <windows.h>

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "editor/editor_canvas.h"
#include "editor/editor_scene.h"
#include "editor/editor_toolbar.h"
#include "editor/gdiplus_painter.h"
#include "image/bitmap.h"
#include "image/picture_format.h"
#include "ui/form.h"

namespace tovasen {

class TSecretSearch;

// What Done hands on: the picture as the user sees it, cropped and with every object painted.
class TEditedPicture {
public:
    explicit TEditedPicture(TFlattened flattened);
    TBitmap& Flat();
    // The same picture as a PNG that opens again in the editor with its objects.
    void SaveEditablePng(const std::wstring& path) const;

private:
    TFlattened FFlattened;
    std::unique_ptr<TBitmap> FBitmap;
};

using TEditorDone = std::function<void(TEditedPicture& picture)>;

// The annotation editor: a toolbar over the picture. It either hands its picture on (Done,
// Ctrl+Enter) or saves it to its file (Ctrl+S). It frees itself once closed; whoever opened it
// hears exactly once how it ended: OnDone or OnCancelled, or OnClosed for a file.
class TFrmEditor : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmEditor";

    // Creates the window hidden. withDone: the picture is handed on; otherwise saved to a file.
    TFrmEditor(TComponent* owner, TPixelBuffer base, TDocument doc, bool withDone);
    ~TFrmEditor() override;

    // Sizes the window to the picture (within the screen under the mouse) and shows it.
    void ShowEditor();

    TEditorDone OnDone;
    std::function<void()> OnCancelled;
    // The file Ctrl+S writes, and the report once the window has closed (true: saved at least once).
    std::wstring FilePath;
    TPictureFormat FileFormat = TPictureFormat::Png;
    std::function<void(bool saved)> OnClosed;
    // Shown once the window is up (a file whose objects could not be read).
    std::wstring Notice;

    // What the keys and buttons do.
    void Done();
    bool Save();
    void CopyToClipboard();
    void SelectTool(TTool tool);
    void SetStyle(const TToolStyle& style);
    void Undo();
    void Redo();
    // Reads the picture's text and covers every secret in it with a blackout, selected, so any
    // can be removed again; says how many, or why it could not.
    void FindSecrets();
    bool HandleKey(WPARAM key);

    TEditorScene& Scene() noexcept { return FScene; }
    TEditorCanvas& Canvas() noexcept { return *FCanvas; }
    TEditorToolbar& Toolbar() noexcept { return *FToolbar; }
    TTool Tool() const noexcept { return FCanvas->Tool(); }
    const TToolStyle& StyleOf(TTool tool) const noexcept { return FStyles[static_cast<std::size_t>(tool)]; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void DpiChanged(int dpi, const RECT& suggested) override;

private:
    void Layout();
    void RefreshChrome();
    void ToolbarCommand(TToolbarCommand command, TTool tool);
    void PickColor();
    void PickSize();
    bool MayClose();
    void ReportOutcome() noexcept;
    void SecretsFound(std::vector<TAnnotation> blackouts);
    // Shown in a box once the current message is handled.
    void ShowNotice(std::wstring text);
    // The style the colour and size buttons show: the tool's, or with the select tool that of
    // the first selected object.
    TToolStyle ShownStyle() const;
    // Whose list of sizes applies: font sizes for text, stroke widths for the rest.
    TTool SizeTool() const;

    TGdiplusSession FGdiplus;  // first: the scene paints as it is made
    TEditorScene FScene;
    TEditorToolbar* FToolbar = nullptr;
    TEditorCanvas* FCanvas = nullptr;
    std::array<TToolStyle, 12> FStyles;
    bool FWithDone;
    bool FReported = false;
    bool FSaved = false;
    std::unique_ptr<TSecretSearch> FSecrets;
};

}  // namespace tovasen
