#include "scroll/scroll_capture.h"

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "base/log_event.h"
#include "i18n/translation.h"
#include "scroll/scroll_steps.h"
#include "scroll/scroll_stitcher.h"
#include "scroll/scroll_strip.h"
#include "scroll/scroll_target.h"
#include "scroll/scroll_texts.h"
#include "scroll/view_grabber.h"
#include "scroll/view_match.h"
#include "ui/application.h"

namespace tovasen {
namespace {

// A still view is looked at once more after this long, in case the window had not painted.
constexpr DWORD kStillConfirmMs = 150;
// Bounds on the walks to the top and back, against a window that scrolls forever.
constexpr int kMaxNotchesToTop = 20000;
constexpr int kMaxRestoreSteps = 100000;
// Esc and the program's exit are looked at at least this often while the capture waits.
constexpr DWORD kStopPollMs = 50;
// What the way back may still take once the program is ending.
constexpr DWORD kRestoreWhileExitingMs = 800;

// Rows that are the same in both views (of one size).
int RowsInCommon(const ViewPixels& a, const ViewPixels& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return 0;
    int same = 0;
    for (int y = 0; y < a.Height(); ++y) same += std::equal(a.Row(y), a.Row(y) + a.Width(), b.Row(y)) ? 1 : 0;
    return same;
}

// Raised by the waits once Esc or the program's exit asks the capture to stop; caught by the
// session, never seen outside it.
struct TStopRequest {};

class TScrollSession {
public:
    TScrollSession(POINT pointer, const ScrollCaptureOptions& options)
        : FOptions(options), FTarget(pointer), FView(FTarget.ViewRect()) {
        FView.right = std::min<LONG>(FView.right, FView.left + FOptions.limits.maxWidth);
        if (IsRectEmpty(&FView)) throw EScrollCaptureError(Translate(kScrollNoWindowText));
        FSavedPos = FTarget.Position();
        FSavedBar = FTarget.ScrollBar();
        FGrabber.emplace(FView, [this](DWORD ms) { Wait(ms); });
        FSavedView = FGrabber->Grab();
        FStrip = std::make_unique<TScrollStrip>(FView);
        FStrip->SetText(ScrollProgressMessage(FGrabber->Height()));
    }

    ~TScrollSession() {
        if (FQuit) PostQuitMessage(FExitCode);
    }
    TScrollSession(const TScrollSession&) = delete;
    TScrollSession& operator=(const TScrollSession&) = delete;

    ScrollCaptureResult Run() {
        ScrollCaptureResult result;
        result.Rect = FView;
        try {
            Capture(result);
        } catch (...) {
            RestoreQuietly();
            throw;
        }
        RestoreQuietly();
        return result;
    }

private:
    enum class Outcome { kMoved, kStill };

    void Capture(ScrollCaptureResult& result) {
        std::optional<ScrollStitcher> stitcher;
        try {
            if (!ToTop()) result.Notice = Translate(kScrollTopTooLongText);
            stitcher.emplace(Settle(), MaxPictureHeight(FGrabber->Width(), FOptions.limits));
            FLastPos = Position();
            StepToTheEnd(*stitcher, result);
        } catch (const TStopRequest&) {
            result.Cancelled = true;
        }
        result.Progress = FProgress;
        // Esc keeps what was taken; an exit, or an Esc before the first view, leaves nothing.
        if (!stitcher || FQuit) return;
        result.Progress.height = stitcher->PictureHeight();
        result.Bitmap = std::make_unique<TBitmap>();
        result.Bitmap->SetPixelFormat(TPixelFormat::pf32bit);
        result.Bitmap->SetSize(stitcher->Width(), stitcher->PictureHeight());
        GdiFlush();
        stitcher->WritePicture(result.Bitmap->ScanLine(0), result.Bitmap->Stride());
    }

    void StepToTheEnd(ScrollStitcher& stitcher, ScrollCaptureResult& result) {
        ScrollMethod method = ScrollMethod::kWheel;
        bool methodWorks = false;
        for (;;) {
            CheckStop();
            if (stitcher.AtLimit()) {
                const std::wstring limit = ScrollLimitMessage(FGrabber->Width(), stitcher.MaxHeight());
                result.Notice = result.Notice.empty() ? limit : result.Notice + L"\n" + limit;
                break;
            }
            if (methodWorks && FTarget.AtEnd()) break;
            if (Step(stitcher, method) == Outcome::kMoved) {
                methodWorks = true;
                continue;
            }
            // The wheel did nothing: a window may still move by its scroll bar's lines or pages.
            if (methodWorks || !FSavedPos || method == ScrollMethod::kPages) break;
            method = method == ScrollMethod::kWheel ? ScrollMethod::kLines : ScrollMethod::kPages;
        }
    }

    // One step down; raises when the view after it cannot be joined.
    Outcome Step(ScrollStitcher& stitcher, ScrollMethod method) {
        const int units = FPlanner.Units();
        FTarget.Scroll(method, units);
        ViewPixels view = Settle();
        ViewMatch match = stitcher.Add(view, Expected());
        if (match.kind == MatchKind::kStill) {
            Wait(kStillConfirmMs);
            view = Settle();
            match = stitcher.Add(view, Expected());
            if (match.kind == MatchKind::kStill) return Outcome::kStill;
        }
        if (match.kind != MatchKind::kMoved) {
            ++FProgress.retries;
            match = WatchAndRetry(stitcher, view);
        }
        if (match.kind == MatchKind::kStill) return Outcome::kStill;
        if (match.kind != MatchKind::kMoved) {
            // Perhaps the step went too far: back half of it, and join that view instead. Back
            // where the last view was is no way forward either.
            const MatchKind why = match.kind;
            if (!StepBack(method, units)) Fail(why, stitcher);
            FPlanner.Overshot();
            view = Settle();
            match = stitcher.Add(view, Expected());
            if (match.kind != MatchKind::kMoved && match.kind != MatchKind::kStill) match = WatchAndRetry(stitcher, view);
            if (match.kind != MatchKind::kMoved) Fail(why, stitcher);
        }
        Took(stitcher, units, match);
        return Outcome::kMoved;
    }

    ViewMatch WatchAndRetry(ScrollStitcher& stitcher, ViewPixels& view) {
        FStrip->Conceal();
        FGrabber->Watch(view, FOptions.watchMs);
        FStrip->Reveal();
        return stitcher.Add(view, Expected());
    }

    [[noreturn]] void Fail(MatchKind why, const ScrollStitcher& stitcher) {
        throw EScrollCaptureError(ScrollJoinFailedMessage(why, stitcher.Height()));
    }

    bool StepBack(ScrollMethod method, int units) {
        if (units >= 2) FTarget.Scroll(method, -(units / 2));
        if (units % 2 == 0) return true;
        // Half of an odd count of notches ends on a half notch; a line or a page has no half.
        if (method != ScrollMethod::kWheel) return units >= 2;
        FTarget.HalfNotchUp();
        return true;
    }

    void Took(const ScrollStitcher& stitcher, int units, const ViewMatch& match) {
        const std::optional<int> pos = Position();
        if (pos && FLastPos) FScale.Observe(*pos - *FLastPos, match.offset);
        FLastPos = pos;
        const ScrollBand band = stitcher.Band();
        FPlanner.Moved(units, match.offset, band.bottom - band.top);
        ++FProgress.steps;
        FProgress.height = stitcher.Height();
        FStrip->SetText(ScrollProgressMessage(stitcher.Height()));
        if (FOptions.onStep) FOptions.onStep(FProgress);
    }

    // The offset the scroll bar predicts for the view now, against the last view taken.
    std::optional<int> Expected() const {
        const std::optional<int> pos = Position();
        if (!pos || !FLastPos || *pos < *FLastPos) return std::nullopt;
        return FScale.Predict(*pos - *FLastPos);
    }

    std::optional<int> Position() const { return FTarget.Position(); }

    ViewPixels Settle() {
        CheckView();
        FStrip->Conceal();
        ViewPixels view = FGrabber->Settle(FOptions.settleMs);
        FStrip->Reveal();
        return view;
    }

    void CheckView() const {
        RECT now = IsWindow(FTarget.Handle()) ? FTarget.ViewRect() : RECT{};
        now.right = std::min<LONG>(now.right, now.left + FOptions.limits.maxWidth);
        if (!EqualRect(&now, &FView)) throw EScrollCaptureError(Translate(kScrollWindowChangedText));
    }

    // Goes to the top of the content; false when that took longer than the options allow (a
    // window that loads ever older content at its top), and the capture starts where it stopped.
    bool ToTop() {
        const ULONGLONG deadline = GetTickCount64() + FOptions.toTopMs;
        const auto inTime = [deadline] { return GetTickCount64() < deadline; };
        if (FSavedPos) {
            if (FTarget.AtTop()) return true;
            const ViewPixels before = Settle();
            FTarget.Top();
            const ViewPixels after = Settle();
            if (FTarget.AtTop()) return true;
            if (EqualWhereSteady(before, after)) {
                // The window ignores its scroll bar's messages: try the key, then the wheel.
                FTarget.HomeKey();
                Settle();
            }
            for (int i = 0; i < kMaxNotchesToTop && !FTarget.AtTop(); ++i) {
                if (!inTime()) return false;
                const std::optional<int> pos = Position();
                FTarget.Scroll(ScrollMethod::kWheel, -1);
                Wait(0);
                if (Position() == pos) break;
            }
            return true;
        }
        // Without a scroll bar the way back is counted in notches: the same count down from
        // the top puts the window back where the user left it.
        ViewPixels previous = Settle();
        for (int i = 0; i < kMaxNotchesToTop; ++i) {
            if (!inTime()) return false;
            FTarget.Scroll(ScrollMethod::kWheel, -1);
            ViewPixels now = Settle();
            if (EqualWhereSteady(previous, now)) return true;
            // What one whole notch moves, for the part of one the way back may need.
            if (FNotchPixels == 0) {
                const ViewMatch notch = MatchViews(now, previous);
                if (notch.kind == MatchKind::kMoved) FNotchPixels = notch.offset;
            }
            ++FNotchesUp;
            previous = std::move(now);
        }
        return true;
    }

    // Puts the window back where the user left it; a window that went away or stopped answering
    // meanwhile must not hide the capture's own outcome.
    void RestoreQuietly() noexcept {
        try {
            Restore();
        } catch (...) {
            LogCaught(L"scroll-capture", std::current_exception());
        }
    }

    void Restore() {
        if (!IsWindow(FTarget.Handle())) return;
        // Esc stopped the capture; only a new one stops the way back, or its time running out.
        FStrip->ForgetEsc();
        const ULONGLONG deadline = GetTickCount64() + (FQuit ? kRestoreWhileExitingMs : FOptions.restoreMs);
        FRestoreBy = deadline;
        if (FSavedPos) {
            const int wanted = *FSavedPos;
            WalkTo(wanted, deadline);
            // Content loaded above meanwhile (a chat's older messages) moved what the user saw
            // down by as much as the range grew; the view tells which of the two places it is.
            const std::optional<ScrollBarState> bar = FTarget.ScrollBar();
            const int grown = bar && FSavedBar ? (bar->max - bar->min) - (FSavedBar->max - FSavedBar->min) : 0;
            if (grown <= 0) return;
            const int atWanted = RowsInCommon(FSavedView, Settle());
            if (atWanted == FSavedView.Height()) return;
            WalkTo(wanted + grown, deadline);
            if (RowsInCommon(FSavedView, Settle()) <= atWanted) WalkTo(wanted, deadline);
            return;
        }
        if (FNotchesUp == 0) return;
        ViewPixels previous = FGrabber->Grab();
        for (int i = 0; i < kMaxRestoreSteps && GetTickCount64() < deadline; ++i) {
            FTarget.Scroll(ScrollMethod::kWheel, -16);
            ViewPixels now = Settle();
            if (EqualWhereSteady(previous, now)) break;
            previous = std::move(now);
        }
        for (int i = 0; i < FNotchesUp; ++i) {
            FTarget.Scroll(ScrollMethod::kWheel, 1);
            Wait(0);
        }
        MakeUpPartOfANotch();
    }

    // Whole notches from the top miss a place the user left between two of them (the last
    // notch up moved less than a whole one): the views tell how far off this is, and a part of
    // a notch, for windows that take one, makes up the rest.
    void MakeUpPartOfANotch() {
        if (FNotchPixels <= 0) return;
        const ViewPixels now = Settle();
        if (EqualWhereSteady(FSavedView, now)) return;
        const ViewMatch below = MatchViews(FSavedView, now);  // now shows content further down
        const ViewMatch above = below.kind == MatchKind::kMoved ? below : MatchViews(now, FSavedView);
        if (above.kind != MatchKind::kMoved || above.offset >= FNotchPixels) return;
        const int part = WHEEL_DELTA * above.offset / FNotchPixels;
        FTarget.WheelBy(below.kind == MatchKind::kMoved ? part : -part);
        Wait(0);
    }

    // Moves the content to a position got from Position(). A window that ignores the thumb (or
    // a position beyond its 16 bits) is walked there by lines, then by notches.
    void WalkTo(int wanted, ULONGLONG deadline) {
        FTarget.MoveTo(wanted);
        for (ScrollMethod method : {ScrollMethod::kLines, ScrollMethod::kWheel}) {
            for (int i = 0; i < kMaxRestoreSteps && GetTickCount64() < deadline; ++i) {
                const std::optional<int> pos = Position();
                if (!pos || *pos == wanted) return;
                FTarget.Scroll(method, *pos < wanted ? 1 : -1);
                Wait(0);
                const std::optional<int> after = Position();
                if (after == pos) break;
                if (after && (*after - wanted) * (*pos - wanted) < 0) break;  // stepped over it
            }
        }
    }

    // Raises TStopRequest once Esc was pressed or the program is ending; on the way back, once
    // Esc is pressed again or the way back's time is up.
    void CheckStop() {
        const bool stop = FRestoreBy ? GetTickCount64() >= FRestoreBy : FQuit;
        if (stop || FStrip->EscPressed()) throw TStopRequest{};
    }


    // Handles this thread's messages for ms milliseconds (at least once), and raises
    // TStopRequest as soon as a stop is asked for. A quit message is kept for the main loop: it
    // is put back once, when the session ends.
    void Wait(DWORD ms) {
        CheckStop();
        const ULONGLONG until = GetTickCount64() + ms;
        for (;;) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    FQuit = true;
                    FExitCode = static_cast<int>(msg.wParam);
                    throw TStopRequest{};
                }
                if (Application) {
                    Application->DispatchOne(msg);
                } else {
                    TranslateMessage(&msg);
                    DispatchMessageW(&msg);
                }
            }
            CheckStop();
            const ULONGLONG now = GetTickCount64();
            if (now >= until) return;
            MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(std::min<ULONGLONG>(until - now, kStopPollMs)),
                                        QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        }
    }

    ScrollCaptureOptions FOptions;
    TScrollTarget FTarget;
    RECT FView;
    std::optional<int> FSavedPos;
    std::optional<ScrollBarState> FSavedBar;
    ViewPixels FSavedView;  // what the user saw, for telling places apart on the way back
    std::optional<TViewGrabber> FGrabber;
    std::unique_ptr<TScrollStrip> FStrip;
    StepPlanner FPlanner;
    ScrollUnitScale FScale;
    std::optional<int> FLastPos;
    int FNotchesUp = 0;
    int FNotchPixels = 0;  // what one notch moved on the way up; 0 while unknown
    bool FQuit = false;
    int FExitCode = 0;
    ULONGLONG FRestoreBy = 0;  // set once the way back has begun
    ScrollProgress FProgress;
};

}  // namespace

ScrollCaptureResult CaptureScrollingWindow(POINT pointer, const ScrollCaptureOptions& options) {
    TScrollSession session(pointer, options);
    return session.Run();
}

}  // namespace tovasen
