#include "editor/frm_editor.h"

#include <commdlg.h>

#include <algorithm>

#include "base/errors.h"
#include "base/exception_text.h"
#include "editor/editor_settings.h"
#include "editor/picture_bitmap.h"
#include "editor/picture_file.h"
#include "editor/secret_search.h"
#include "i18n/translation.h"
#include "output/clipboard.h"
#include "output/file_replace.h"
#include "ui/application.h"
#include "ui/menu.h"

namespace tovasen {
namespace {

constexpr UINT WM_APP_NOTICE = WM_APP + 0x320;
constexpr UINT WM_APP_PREPARE = WM_APP + 0x321;
// Small pictures still get room for the whole toolbar; larger ones at most this share of the screen.
constexpr int kMinClientHeight96 = 240;
constexpr double kScreenShare = 0.9;
constexpr wchar_t kSecretsCovered[] = L"가린 비밀 정보: %s개";
constexpr wchar_t kNoRecognition[] = L"텍스트 인식을 사용할 수 없어 비밀 정보를 찾지 못했습니다.";

std::wstring FileNameOf(const std::wstring& path) {
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

COLORREF ToColorRef(std::uint32_t rgb) { return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF); }
std::uint32_t FromColorRef(COLORREF c) {
    return (std::uint32_t{GetRValue(c)} << 16) | (std::uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

}  // namespace

TEditedPicture::TEditedPicture(TFlattened flattened) : FFlattened(std::move(flattened)) {}

TBitmap& TEditedPicture::Flat() {
    if (!FBitmap) FBitmap = BitmapOfPixels(FFlattened.Flat);
    return *FBitmap;
}

void TEditedPicture::SaveEditablePng(const std::wstring& path) const { WriteEditablePng(path, FFlattened); }

TFrmEditor::TFrmEditor(TComponent* owner, TPixelBuffer base, TDocument doc, bool withDone)
    : TForm(owner, L"FrmEditor"),
      FScene(std::move(base), std::move(doc),
             [](TPixelBuffer& picture, const TDocument& d, const TBox& clip, std::uint32_t hidden) {
                 PaintObjects(picture, d, clip, hidden);
             }),
      FWithDone(withDone) {
    for (const TToolInfo& info : EditorTools()) FStyles[static_cast<std::size_t>(info.Tool)] = LoadToolStyle(info.Tool);
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"Tovasen";
    params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_APPWINDOW;
    params.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateHandle(params);
    FToolbar = new TEditorToolbar(this, Handle(), withDone);
    FToolbar->OnCommand = [this](TToolbarCommand command, TTool tool) { ToolbarCommand(command, tool); };
    FCanvas = new TEditorCanvas(this, Handle(), FScene);
    FCanvas->OnChange = [this] { RefreshChrome(); };
    FCanvas->OnKey = [this](WPARAM key) { return HandleKey(key); };
    FCanvas->OnDoneKey = [this] { Done(); };
    FToolbar->Layout(Dpi());
    const TTool last = LoadLastTool();
    FCanvas->SetTool(last);
    FCanvas->Style = StyleOf(last);
}

TFrmEditor::~TFrmEditor() {
    FSecrets.reset();  // a search still running finds no window
    ReportOutcome();
    DestroyHandle();  // the toolbar and canvas go while the scene they show still exists
}

void TFrmEditor::ReportOutcome() noexcept {
    if (std::exchange(FReported, true)) return;
    Guarded([&] {
        if (FWithDone) {
            if (OnCancelled) OnCancelled();
        } else if (OnClosed) {
            OnClosed(FSaved);
        }
    });
}

void TFrmEditor::ShowEditor() {
    POINT cursor{};
    GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    const TBox crop = FScene.Model().Document().Crop;
    const RECT toolbarEnd = FToolbar->ButtonRect(FWithDone ? TToolbarCommand::Done : TToolbarCommand::Save);
    const int scrollBars = GetSystemMetrics(SM_CXVSCROLL);
    RECT frame{0, 0,
               std::max<LONG>(crop.Width() + scrollBars, toolbarEnd.right + ScaleValue(4)),
               std::max(crop.Height() + scrollBars, ScaleValue(kMinClientHeight96)) + FToolbar->Height()};
    AdjustWindowRectExForDpi(&frame, static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                             static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)), static_cast<UINT>(Dpi()));
    const int width = std::min<int>(frame.right - frame.left, static_cast<int>((work.right - work.left) * kScreenShare));
    const int height = std::min<int>(frame.bottom - frame.top, static_cast<int>((work.bottom - work.top) * kScreenShare));
    SetWindowPos(Handle(), nullptr, work.left + (work.right - work.left - width) / 2,
                 work.top + (work.bottom - work.top - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
    RefreshChrome();
    Show();
    SetFocus(FCanvas->Handle());
    PostMessageW(Handle(), WM_APP_PREPARE, 0, 0);
    if (!Notice.empty()) PostMessageW(Handle(), WM_APP_NOTICE, 0, 0);
}

void TFrmEditor::Layout() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int bar = FToolbar->Height();
    MoveWindow(FToolbar->Handle(), 0, 0, client.right, bar, TRUE);
    MoveWindow(FCanvas->Handle(), 0, bar, client.right, std::max<LONG>(client.bottom - bar, 0), TRUE);
}

void TFrmEditor::DpiChanged(int dpi, const RECT& suggested) {
    TForm::DpiChanged(dpi, suggested);
    FToolbar->Layout(dpi);
    Layout();
}

TToolStyle TFrmEditor::ShownStyle() const {
    const TEditorModel& model = FScene.Model();
    if (Tool() == TTool::Select && !model.Selection().empty()) {
        const TAnnotation* first = model.Document().Find(model.Selection().front());
        if (first) return TToolStyle{first->Color, first->Size};
    }
    return StyleOf(Tool());
}

TTool TFrmEditor::SizeTool() const {
    const TEditorModel& model = FScene.Model();
    if (Tool() != TTool::Select || model.Selection().empty()) return Tool();
    const TAnnotation* first = model.Document().Find(model.Selection().front());
    return first && first->Kind == TShapeKind::Text ? TTool::Text : TTool::Line;
}

void TFrmEditor::RefreshChrome() {
    const TEditorModel& model = FScene.Model();
    std::wstring caption = L"Tovasen " + Translate(L"편집기");
    if (!FWithDone) caption = FileNameOf(FilePath) + L" - " + caption;
    if (model.Modified()) caption = L"*" + caption;
    if (caption != Caption()) SetCaption(caption);
    FToolbar->SetState(Tool(), ShownStyle(), model.CanUndo(), model.CanRedo(), !model.Selection().empty());
}

void TFrmEditor::SelectTool(TTool tool) {
    FCanvas->CommitText();
    FCanvas->SetTool(tool);
    FCanvas->Style = StyleOf(tool);
    SaveLastTool(tool);
    RefreshChrome();
}

void TFrmEditor::SetStyle(const TToolStyle& style) {
    const TTool tool = Tool();
    if (tool != TTool::Select) {
        FStyles[static_cast<std::size_t>(tool)] = style;
        FCanvas->Style = style;
        SaveToolStyle(tool, style);
    }
    TEditorModel& model = FScene.Model();
    if (!model.Selection().empty()) {
        const TToolStyle shown = ShownStyle();
        FCanvas->Changed(model.Restyle(style.Color != shown.Color ? std::optional(style.Color) : std::nullopt,
                                       style.Size != shown.Size ? std::optional(style.Size) : std::nullopt));
    }
    RefreshChrome();
}

void TFrmEditor::Undo() {
    FCanvas->CommitText();
    FCanvas->Changed(FScene.Model().Undo());
    RefreshChrome();
}

void TFrmEditor::Redo() {
    FCanvas->CommitText();
    FCanvas->Changed(FScene.Model().Redo());
    RefreshChrome();
}

void TFrmEditor::FindSecrets() {
    FCanvas->CommitText();
    if (!FSecrets) FSecrets = std::make_unique<TSecretSearch>();
    if (FSecrets->Busy()) return;  // the search under way answers this press too
    const auto unavailable = [this](const std::wstring& why) { ShowNotice(Translate(kNoRecognition) + L"\r\r" + why); };
    try {
        FSecrets->Start(
            FScene.Base(), [this](std::vector<TAnnotation> blackouts) { SecretsFound(std::move(blackouts)); }, unavailable);
    } catch (...) {
        unavailable(ExceptionText(std::current_exception()));
    }
}

void TFrmEditor::SecretsFound(std::vector<TAnnotation> blackouts) {
    TEditorModel& model = FScene.Model();
    // Searching again adds nothing where a blackout lies already.
    std::erase_if(blackouts, [&](const TAnnotation& b) {
        return std::any_of(model.Document().Objects.begin(), model.Document().Objects.end(),
                           [&](const TAnnotation& o) { return o.Kind == b.Kind && o.Points == b.Points; });
    });
    const std::size_t count = blackouts.size();
    if (count > 0) {
        SelectTool(TTool::Select);  // the new marks are selected: Delete removes them
        FCanvas->Changed(model.AddAll(std::move(blackouts)));
        RefreshChrome();
    }
    std::wstring text = Translate(kSecretsCovered);
    const std::size_t at = text.find(L"%s");
    if (at != std::wstring::npos) text.replace(at, 2, std::to_wstring(count));
    ShowNotice(std::move(text));
}

void TFrmEditor::ShowNotice(std::wstring text) {
    Notice = std::move(text);
    PostMessageW(Handle(), WM_APP_NOTICE, 0, 0);
}

void TFrmEditor::CopyToClipboard() {
    FCanvas->CommitText();
    const std::unique_ptr<TBitmap> flat = BitmapOfPixels(FScene.Flatten().Flat);
    CopyBitmapToClipboard(*flat);
}

bool TFrmEditor::Save() {
    FCanvas->CommitText();
    if (FWithDone || FilePath.empty()) return false;
    try {
        WritePictureFile(FilePath, FileFormat, FScene.Flatten());
    } catch (...) {
        const std::wstring text = Translate(L"저장하지 못했습니다.") + L"\r\r" + ExceptionText(std::current_exception());
        MessageBoxW(Handle(), text.c_str(), Translate(L"Tovasen").c_str(), MB_OK | MB_ICONERROR | MB_TOPMOST | MB_SETFOREGROUND);
        return false;
    }
    FSaved = true;
    FScene.Model().MarkSaved();
    RefreshChrome();
    return true;
}

void TFrmEditor::Done() {
    FCanvas->CommitText();
    if (!FWithDone) {
        if (Save()) Close();
        return;
    }
    if (FReported) return;
    TEditedPicture picture(FScene.Flatten());
    FReported = true;
    Hide();
    // Whatever the receiver does, this window goes: its picture has been handed on.
    struct TReleaseAfter {
        TFrmEditor* Form;
        ~TReleaseAfter() { Form->Release(); }
    } release{this};
    if (OnDone) {
        const TEditorDone onDone = OnDone;
        onDone(picture);
    }
}

bool TFrmEditor::MayClose() {
    FCanvas->CommitText();
    if (!FScene.Model().Modified()) return true;
    const std::wstring title = Translate(L"Tovasen");
    if (FWithDone) {
        const std::wstring text = Translate(L"편집한 내용을 버리고 닫을까요?");
        return MessageBoxW(Handle(), text.c_str(), title.c_str(), MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND) ==
               IDYES;
    }
    const std::wstring text = Translate(L"변경 내용을 저장할까요?");
    switch (MessageBoxW(Handle(), text.c_str(), title.c_str(), MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND)) {
    case IDYES:
        return Save();
    case IDNO:
        return true;
    default:
        return false;
    }
}

void TFrmEditor::PickColor() {
    static COLORREF custom[16] = {};
    CHOOSECOLORW choose{};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = Handle();
    choose.rgbResult = ToColorRef(ShownStyle().Color);
    choose.lpCustColors = custom;
    choose.Flags = CC_RGBINIT | CC_FULLOPEN;
    if (!ChooseColorW(&choose)) return;
    TToolStyle style = ShownStyle();
    style.Color = FromColorRef(choose.rgbResult);
    SetStyle(style);
}

void TFrmEditor::PickSize() {
    TPopupMenu menu(nullptr, L"PopSize");
    const TToolStyle shown = ShownStyle();
    for (int size : ToolSizes(SizeTool())) {
        auto* item = new TMenuItem(&menu.Items(), L"PopSize" + std::to_wstring(size), std::to_wstring(size) + L" px",
                                   [this, size](TMenuItem&) {
                                       TToolStyle style = ShownStyle();
                                       style.Size = size;
                                       SetStyle(style);
                                   });
        item->Checked = size == shown.Size;
    }
    RECT button = FToolbar->ButtonRect(TToolbarCommand::Size);
    MapWindowPoints(FToolbar->Handle(), nullptr, reinterpret_cast<POINT*>(&button), 2);
    menu.Popup(button.left, button.bottom, Handle());
}

void TFrmEditor::ToolbarCommand(TToolbarCommand command, TTool tool) {
    switch (command) {
    case TToolbarCommand::Tool:
        SelectTool(tool);
        break;
    case TToolbarCommand::FindSecrets:
        FindSecrets();
        break;
    case TToolbarCommand::Color:
        PickColor();
        break;
    case TToolbarCommand::Size:
        PickSize();
        break;
    case TToolbarCommand::Undo:
        Undo();
        break;
    case TToolbarCommand::Redo:
        Redo();
        break;
    case TToolbarCommand::Copy:
        CopyToClipboard();
        break;
    case TToolbarCommand::Save:
        Save();
        break;
    case TToolbarCommand::Done:
        Done();
        break;
    }
    if (IsWindowVisible(Handle())) SetFocus(FCanvas->Handle());
}

bool TFrmEditor::HandleKey(WPARAM key) {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0, shift = GetKeyState(VK_SHIFT) < 0, alt = GetKeyState(VK_MENU) < 0;
    TEditorModel& model = FScene.Model();
    RECT client{};
    GetClientRect(FCanvas->Handle(), &client);
    const POINT middle{client.right / 2, client.bottom / 2};
    if (alt) return false;
    if (ctrl) {
        switch (key) {
        case 'Z':
            shift ? Redo() : Undo();
            return true;
        case 'Y':
            Redo();
            return true;
        case 'A':
            FCanvas->CommitText();
            FCanvas->Changed(model.SelectAll());
            RefreshChrome();
            return true;
        case 'C':
            CopyToClipboard();
            return true;
        case 'S':
            Save();
            return true;
        case VK_RETURN:
            Done();
            return true;
        case '0':
        case VK_NUMPAD0:
            FCanvas->SetZoom(1.0, middle);
            return true;
        case VK_OEM_PLUS:
        case VK_ADD:
            FCanvas->StepZoom(1, middle);
            return true;
        case VK_OEM_MINUS:
        case VK_SUBTRACT:
            FCanvas->StepZoom(-1, middle);
            return true;
        default:
            return false;
        }
    }
    switch (key) {
    case 'S':
        FindSecrets();
        return true;
    case VK_ESCAPE:
        if (!model.Dragging()) Close();
        return true;
    case VK_DELETE:
    case VK_BACK:
        FCanvas->Changed(model.DeleteSelection());
        RefreshChrome();
        return true;
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: {
        const int step = shift ? 10 : 1;
        const int dx = key == VK_LEFT ? -step : key == VK_RIGHT ? step : 0;
        const int dy = key == VK_UP ? -step : key == VK_DOWN ? step : 0;
        FCanvas->Changed(model.Nudge(dx, dy));
        RefreshChrome();
        return true;
    }
    case VK_OEM_4:  // [
    case VK_OEM_6: {
        TToolStyle style = ShownStyle();
        style.Size = key == VK_OEM_4 ? SmallerSize(SizeTool(), style.Size) : BiggerSize(SizeTool(), style.Size);
        SetStyle(style);
        return true;
    }
    default:
        break;
    }
    if (const std::optional<TTool> tool = ToolForKey(static_cast<wchar_t>(key)); tool && key >= 'A' && key <= 'Z') {
        SelectTool(*tool);
        return true;
    }
    return false;
}

LRESULT TFrmEditor::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        Layout();
        return 0;
    case WM_SETFOCUS:
        if (FCanvas) SetFocus(FCanvas->EditingText() ? FCanvas->TextEdit() : FCanvas->Handle());
        return 0;
    case WM_KEYDOWN:
        if (HandleKey(wParam)) return 0;
        return TForm::WndProc(msg, wParam, lParam);
    case WM_MOUSEWHEEL:
        return SendMessageW(FCanvas->Handle(), msg, wParam, lParam);
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize.x = ScaleValue(320);
        info->ptMinTrackSize.y = ScaleValue(200);
        return 0;
    }
    case WM_CLOSE: {
        if (!MayClose()) return 0;
        ReportOutcome();
        Hide();
        Release();
        return 0;
    }
    default:
        if (msg == WM_APP_PREPARE) {
            FScene.Prepare();
            return 0;
        }
        if (msg == WM_APP_NOTICE) {
            const std::wstring notice = std::exchange(Notice, std::wstring());
            MessageBoxW(Handle(), notice.c_str(), Translate(L"Tovasen").c_str(),
                        MB_OK | MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
            return 0;
        }
        return TForm::WndProc(msg, wParam, lParam);
    }
}

}  // namespace tovasen
