#pragma once
#include <functional>
#include <string>

#include "base/handles.h"
#include "base/settings_schema.h"
#include "i18n/translate_component.h"
#include "select/area_geometry.h"
#include "ui/form.h"
#include "ui/menu.h"
#include "ui/timer.h"

namespace tovasen {

class TFrmSize;

// The region frame: a borderless, always-on-top window whose inside is cut out of its window
// region, so what lies in the hole is seen, clicked and captured as it is. A dark head strip on
// top shows the size, the recording time and a close button; a pulsing red band of six pixels
// runs around the hole. The head moves the frame, the bands resize it, the keyboard does both.
class TFrmArea : public TForm {
public:
    static constexpr wchar_t kClassName[] = L"TFrmArea";
    static constexpr wchar_t kRecIdle[] = L"[REC] 00:00:00";

    // sizeDialog holds the presets the size menu applies and shows the current size; it must
    // outlive the frame. Without one, the presets come from the settings. The frame starts
    // from the stored geometry in settings and stores its geometry through writer.
    TFrmArea(TComponent* owner, TFrmSize* sizeDialog, const TSettings& settings, TSettingsWriter writer);
    // The same with the settings as the registry holds them, written back there.
    TFrmArea(TComponent* owner, TFrmSize* sizeDialog);
    ~TFrmArea() override;

    // The capture rectangle in screen pixels: exactly the hole.
    RECT GetRect() const;
    // A capture area of width x height; sizeNo 1..3 also renames that preset's menu item.
    void SetSize(int width, int height, int sizeNo);
    void SetMove(int left, int top);
    int HeadHeight() const { return Scale(kHead96); }
    // The DPI the frame is laid out for: its window's at creation, then each WM_DPICHANGED's.
    int LayoutDpi() const noexcept { return FLayoutDpi; }

    // --- Recording state, driven by the recording control ---
    // On: the time label turns bold yellow and the bands stop resizing (the head still moves
    // the frame, the keyboard still moves and resizes it). Off: back to kRecIdle, regular maroon.
    void SetRecording(bool recording);
    bool Recording() const noexcept { return FRecording; }
    // Shows "[REC] " (or "[PAUSED] ") followed by the elapsed time.
    void SetRecTime(const std::wstring& elapsed);
    void SetPaused(bool paused);
    const std::wstring& RecTimeText() const noexcept { return FRecText; }
    // Runs when the frame closes during a recording, before anything else: stop it there.
    std::function<void()> OnStopRecording;
    // The close button: runs before the frame closes (the owner leaves region mode).
    std::function<void()> OnCloseButton;

    // --- Components ---
    TPopupMenu* PopSize = nullptr;
    TMenuItem *PopSize_1 = nullptr, *PopSize_2 = nullptr, *PopSize_3 = nullptr;
    TMenuItem *PopConfig = nullptr, *PopClose = nullptr;
    TTimer* TmrColor = nullptr;

    // What the head shows, for the recording control and for tests.
    const std::wstring& SizeText() const noexcept { return FSizeText; }
    bool RecLabelVisible() const;
    bool CloseButtonVisible() const;
    bool SizeLabelVisible() const;
    // The band colour the pulse painted last (0x00BBGGRR).
    COLORREF BandColor() const noexcept { return FBandColor; }

    void BtnCloseClick();
    void TmrColorTimer();
    void PopSizeClick(int sizeNo);

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void DpiChanged(int dpi, const RECT& suggested) override;

private:
    static constexpr int kHead96 = 25;
    static constexpr int kPanel96 = 80;

    void LoadConfig(const TSettings& settings);
    void SaveConfig();
    void FormResize();
    void EndSizeMove();
    int Scale(int pixels96) const;
    void FormClose();
    void RebuildRegion(int width, int height);
    void ShowSizeMenu(int x, int y);
    bool KeyDown(WPARAM key);
    LRESULT HitTest(LPARAM lParam);
    void Paint(HDC dc);
    void PaintBands(HDC dc);
    RECT CloseButtonRect() const;
    RECT RecLabelRect() const;
    void ShowRecLabel();
    SIZE ClientSize() const;
    TRectI WindowRectI() const;
    HFONT BoldFont();

    TFrmSize* FSize;
    TSettingsWriter FWriter;
    SIZE FPresets[3]{};         // the size menu's sizes when there is no dialog to hold them
    int FLayoutDpi = 96;
    bool FLoaded = false;       // geometry restored: from then on every change is saved
    bool FRecording = false;
    bool FPaused = false;
    std::wstring FElapsed = L"00:00:00";
    bool FAdjustingDpi = false;
    bool FInSizeMove = false;   // the system's move or size loop runs: store at its end
    SIZE FRegionSize{};         // the window size and head the region was built for
    int FRegionHead = 0;
    std::wstring FSizeText = L"1024x768";
    std::wstring FRecText = kRecIdle;
    TAreaPulse FPulse;
    COLORREF FAreaColor = RGB(255, 0, 0);
    COLORREF FBandColor = RGB(255, 0, 0);
    UniqueFont FBoldFont;
    int FBoldFontDpi = 0;
    TLanguageListener FLanguageListener{[this] { TranslateComponent(this); }};
};

}  // namespace tovasen
