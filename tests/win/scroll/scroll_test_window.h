#pragma once
// A scrollable test window whose every row is known: a header that shows the scroll position
// (so it changes while scrolling), a document whose rows all differ, and a footer. The wheel
// moves it by uneven steps. Shared by the scrolling capture's tests and its benchmark.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "base/handles.h"

namespace tovasen::test {

class ScrollTestWindow {
public:
    struct Options {
        int x = 120;
        int y = 60;
        int width = 360;
        int header = 40;
        int band = 300;
        int footer = 30;
        int docHeight = 3000;
        std::vector<int> wheelSteps = {37, 53, 41, 61, 29};  // pixels per notch, in turn
        bool scrollBar = true;   // without one it still scrolls on the wheel
        bool wheel = true;       // false: only the scroll bar's lines and pages move it
        bool scrolls = true;     // false: a window that cannot scroll at all
        bool endless = false;    // content is appended on every scroll
        bool growsAtTop = false; // reaching the top loads older rows above, as a chat's history
        bool animated = false;   // a spinner in the document and a clock in the header
        int period = 0;          // the document repeats every so many rows (0: never)
    };

    // Where the animations are: the spinner in document rows, the clock in header rows.
    static constexpr RECT kSpinner{40, 500, 56, 516};
    static constexpr RECT kClock{300, 12, 340, 28};

    explicit ScrollTestWindow(const Options& options) : o_(options) {
        static const wchar_t* kClass = L"TovasenScrollTestWindow";
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        RegisterClassW(&wc);
        const DWORD style = WS_POPUP | WS_BORDER | (o_.scrollBar && o_.scrolls ? WS_VSCROLL : 0);
        RECT frame{0, 0, o_.width, ViewHeight()};
        AdjustWindowRectEx(&frame, style, FALSE, WS_EX_TOPMOST);
        if (o_.scrollBar && o_.scrolls) frame.right += GetSystemMetrics(SM_CXVSCROLL);
        hwnd_.Reset(CreateWindowExW(WS_EX_TOPMOST, kClass, L"Scroll test", style, o_.x, o_.y, frame.right - frame.left,
                                    frame.bottom - frame.top, nullptr, nullptr, wc.hInstance, this));
        UpdateBar();
        ShowWindow(hwnd_.Get(), SW_SHOWNOACTIVATE);
        UpdateWindow(hwnd_.Get());
        if (o_.animated) SetTimer(hwnd_.Get(), 1, 40, nullptr);
    }
    ScrollTestWindow(const ScrollTestWindow&) = delete;
    ScrollTestWindow& operator=(const ScrollTestWindow&) = delete;

    HWND Handle() const { return hwnd_.Get(); }
    int ViewHeight() const { return o_.header + o_.band + o_.footer; }
    int Position() const { return position_; }
    int DocHeight() const { return docHeight_; }
    int MaxPosition() const { return std::max(0, docHeight_ - o_.band); }
    int WheelMessages() const { return wheelMessages_; }
    // Rows loaded above the first document row so far, and the row at the top of the band.
    int Prepended() const { return prepended_; }
    int TopRow() const { return position_ - prepended_; }
    void SetPosition(int position) {
        position_ = std::clamp(position, 0, MaxPosition());
        UpdateBar();
        InvalidateRect(hwnd_.Get(), nullptr, FALSE);
        UpdateWindow(hwnd_.Get());
    }
    // A point in the middle of the client area, on the screen.
    POINT Centre() const {
        POINT p{o_.width / 2, ViewHeight() / 2};
        ClientToScreen(hwnd_.Get(), &p);
        return p;
    }

    static std::uint32_t DocPixel(int x, int y) {
        // Every row differs from every other (red and green count the row), and from its
        // neighbours in every column.
        return (static_cast<std::uint32_t>(y % 251) << 16) | (static_cast<std::uint32_t>((y / 251) * 19 % 256) << 8) |
               static_cast<std::uint32_t>((x * 5 + y * 3) % 256);
    }
    std::uint32_t HeaderPixel(int x, int y, int position) const {
        if (o_.animated && x >= kClock.left && x < kClock.right && y >= kClock.top && y < kClock.bottom) {
            return (ticks_ / 25) % 2 ? 0x00A000 : 0xA00000;  // about once a second
        }
        if (y >= 12 && y < 28 && x < 8 + position % (o_.width - 16)) return 0x2050D0;  // grows as it scrolls
        return y == o_.header - 1 ? 0x606060 : 0xE0E0E0;
    }
    static std::uint32_t FooterPixel(int x, int y) {
        return y == 0 ? 0x404040 : 0xC8C8C8 + static_cast<std::uint32_t>(((x / 10 + y / 5) % 2) * 0x101010);
    }
    std::uint32_t ViewPixel(int x, int y, int position) const {
        if (y < o_.header) return HeaderPixel(x, y, position);
        if (y >= o_.header + o_.band) return FooterPixel(x, y - o_.header - o_.band);
        const int row = position + y - o_.header - prepended_;
        if (o_.animated && x >= kSpinner.left && x < kSpinner.right && row >= kSpinner.top && row < kSpinner.bottom) {
            return 0x101010u * static_cast<std::uint32_t>((ticks_ + x + row) % 16);
        }
        if (row < 0) return DocPixel(x, row + 1000000);  // older rows: like no others on screen
        return DocPixel(x, o_.period > 0 ? row % o_.period : row);
    }

    // The whole document as the capture must give it: the header as it shows at the top, every
    // row of the document once, the footer. Pixels as 0x00RRGGBB.
    std::vector<std::uint32_t> Reference() const {
        const int height = o_.header + docHeight_ + o_.footer;
        std::vector<std::uint32_t> picture(static_cast<std::size_t>(o_.width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < o_.width; ++x) {
                std::uint32_t c;
                if (y < o_.header) c = HeaderPixel(x, y, 0);
                else if (y >= o_.header + docHeight_) c = FooterPixel(x, y - o_.header - docHeight_);
                else c = DocPixel(x, y - o_.header);
                picture[static_cast<std::size_t>(y) * o_.width + x] = c;
            }
        }
        return picture;
    }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_NCCREATE) {
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams));
        }
        auto* self = reinterpret_cast<ScrollTestWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self) return DefWindowProcW(hwnd, msg, wp, lp);
        switch (msg) {
        case WM_PAINT:
            self->Paint();
            return 0;
        case WM_ERASEBKGND:
            return 1;
        case WM_TIMER:
            ++self->ticks_;
            InvalidateRect(hwnd, nullptr, FALSE);
            return 0;
        case WM_MOUSEWHEEL:
            if (!self->o_.scrolls || !self->o_.wheel) break;
            ++self->wheelMessages_;
            self->Move(self->o_.wheelSteps[self->nextStep_++ % self->o_.wheelSteps.size()] *
                       -static_cast<short>(HIWORD(wp)) / WHEEL_DELTA);
            return 0;
        case WM_VSCROLL:
            if (!self->o_.scrolls || !self->o_.scrollBar) break;
            switch (LOWORD(wp)) {
            case SB_TOP: self->Move(-self->position_); break;
            case SB_BOTTOM: self->SetPosition(self->MaxPosition()); break;
            case SB_LINEDOWN: self->Move(16); break;
            case SB_LINEUP: self->Move(-16); break;
            case SB_PAGEDOWN: self->Move(self->o_.band); break;
            case SB_PAGEUP: self->Move(-self->o_.band); break;
            case SB_THUMBTRACK:
            case SB_THUMBPOSITION: self->SetPosition(HIWORD(wp)); break;
            default: break;
            }
            return 0;
        default:
            break;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }

    void Move(int pixels) {
        // An endless feed: coming near the end loads more.
        if (o_.endless && pixels > 0 && position_ + pixels >= MaxPosition()) docHeight_ += 2 * o_.band;
        // Older rows come in above, and the view stays on what it showed.
        if (o_.growsAtTop && pixels < 0 && position_ + pixels <= 0) {
            const int older = 2 * o_.band;
            docHeight_ += older;
            prepended_ += older;
            position_ += older;
        }
        SetPosition(position_ + pixels);
    }

    void UpdateBar() {
        if (!o_.scrollBar || !o_.scrolls) return;
        SCROLLINFO info{};
        info.cbSize = sizeof(info);
        info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
        info.nMin = 0;
        info.nMax = docHeight_ - 1;
        info.nPage = static_cast<UINT>(o_.band);
        info.nPos = position_;
        SetScrollInfo(hwnd_.Get(), SB_VERT, &info, TRUE);
    }

    void Paint() {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_.Get(), &ps);
        const int height = ViewHeight();
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = o_.width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        std::vector<std::uint32_t> pixels(static_cast<std::size_t>(o_.width) * static_cast<std::size_t>(height));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < o_.width; ++x) pixels[static_cast<std::size_t>(y) * o_.width + x] = ViewPixel(x, y, position_);
        }
        SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(o_.width), static_cast<DWORD>(height), 0, 0, 0,
                          static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
        EndPaint(hwnd_.Get(), &ps);
    }

    Options o_;
    int docHeight_ = o_.docHeight;
    UniqueWindow hwnd_;
    int position_ = 0;
    std::size_t nextStep_ = 0;
    int wheelMessages_ = 0;
    int ticks_ = 0;
    int prepended_ = 0;
};

}  // namespace tovasen::test
