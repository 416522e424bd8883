// What drawing clicks and keys costs a full-screen recording under Wine: the same recording of
// the monitor (1280x1024 by default) without the overlay and with it, in one run, while a click
// comes every 250 ms and a shortcut every 750 ms, so that the overlay draws all the time. Prints
// the encoder's own figures (frames, duplicated and dropped frames, speed) and one overlay
// frame's drawing time; asserts nothing.
//   input_overlay_bench.exe [SECONDS]     (run it through bench/input_overlay.sh)
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "base/module_path.h"
#include "record/input_overlay.h"
#include "record/recorder.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::time_point since) { return std::chrono::duration<double, std::milli>(Clock::now() - since).count(); }

void Pump(double ms) {
    const auto until = Clock::now() + std::chrono::duration<double, std::milli>(ms);
    while (Clock::now() < until) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
        Application->ProcessMessages();
    }
}

// A press and release at a point of the screen, as the mouse gives it.
void Click(int x, int y, bool right) {
    INPUT in[3] = {};
    for (INPUT& i : in) i.type = INPUT_MOUSE;
    in[0].mi.dx = x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in[0].mi.dy = y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in[0].mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    in[1].mi.dwFlags = right ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    in[2].mi.dwFlags = right ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    SendInput(3, in, sizeof(INPUT));
}

// F13 acts on its own, and nothing here answers it.
void Shortcut() {
    INPUT in[2] = {};
    for (INPUT& i : in) {
        i.type = INPUT_KEYBOARD;
        i.ki.wVk = VK_F13;
    }
    in[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, in, sizeof(INPUT));
}

// The number after name in the encoder's last progress line ("dup=12"), or -1.
double LastValue(const std::string& log, const std::string& name) {
    const std::size_t at = log.rfind(name + "=");
    if (at == std::string::npos) return -1;
    return std::atof(log.c_str() + at + name.size() + 1);
}

struct Figures {
    double frames = -1, dup = -1, drop = -1, speed = -1;
    int overlayFrames = 0;
    double drawMs = 0;
    std::wstring failure;
};

Figures Record(double seconds, bool overlayOn) {
    Figures f;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + (overlayOn ? L"tovasen_overlay_bench_on" : L"tovasen_overlay_bench_off");
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring log = folder + L"\\ffmpeg.log";
    DeleteFileW(log.c_str());
    TRecorder recorder;
    recorder.FFMpeg = ExeFolder() + L"..\\bin\\ffmpeg.exe";
    recorder.Output = folder + L"\\recording.mp4";
    recorder.Mouse = false;
    recorder.Logging = true;
    recorder.LogFolder = folder;
    recorder.Start();
    const auto started = Clock::now();
    while (!recorder.Encoding() && recorder.IsRunning() && Ms(started) < 30000) Pump(10);
    std::unique_ptr<TInputOverlay> overlay;
    if (overlayOn) overlay = std::make_unique<TInputOverlay>(nullptr, [&] { return recorder.RecordedArea(); }, L"en");
    const RECT area = recorder.RecordedArea();
    const auto begin = Clock::now();
    int clicks = 0;
    for (double t = 0; t < seconds * 1000; t = Ms(begin)) {
        if (static_cast<int>(t / 250) >= clicks) {
            const int x = area.left + 100 + (clicks * 97) % std::max(1, static_cast<int>(area.right - area.left) - 200);
            const int y = area.top + 100 + (clicks * 61) % std::max(1, static_cast<int>(area.bottom - area.top) - 200);
            Click(x, y, clicks % 2 == 1);
            if (clicks % 3 == 0) Shortcut();
            ++clicks;
        }
        Pump(10);
    }
    if (overlay) {
        // One frame's drawing, with a ring and a caption showing.
        Click(area.left + 200, area.top + 200, false);
        Shortcut();
        Pump(50);
        const auto start = Clock::now();
        for (int i = 0; i < 10; ++i) overlay->Draw();
        f.drawMs = Ms(start) / 10;
        f.overlayFrames = overlay->FramesDrawn();
        overlay.reset();
    }
    recorder.Stop();
    while (recorder.IsRunning()) Pump(10);
    f.failure = recorder.Failure();
    std::ifstream in(std::filesystem::path(log), std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    f.frames = LastValue(text, "frame");
    f.dup = LastValue(text, "dup");
    f.drop = LastValue(text, "drop");
    f.speed = LastValue(text, "speed");
    DeleteFileW(recorder.Output.c_str());
    DeleteFileW(log.c_str());
    RemoveDirectoryW(folder.c_str());
    return f;
}

void Print(const char* what, const Figures& f, double seconds) {
    std::printf("%-12s frames %5.0f (%.1f a second)  duplicated %5.0f  dropped %4.0f  speed %.2fx", what, f.frames,
                f.frames / seconds, f.dup, f.drop, f.speed);
    if (f.overlayFrames) std::printf("  overlay frames %d, one drawn in %.2f ms", f.overlayFrames, f.drawMs);
    std::printf("\n");
    if (!f.failure.empty()) std::wprintf(L"  the encoder said: %ls\n", f.failure.c_str());
}

int Run(double seconds) {
    TApplication app;
    app.Initialize();
    std::printf("screen %dx%d, %.0f s each, a click every 250 ms and a shortcut every 750 ms\n",
                GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), seconds);
    // Off, on, and off again: the machine's own drift shows between the two off runs.
    const Figures off = Record(seconds, false);
    const Figures on = Record(seconds, true);
    const Figures offAgain = Record(seconds, false);
    Print("overlay off", off, seconds);
    Print("overlay on", on, seconds);
    Print("off again", offAgain, seconds);
    return 0;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    const double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 10;
    return tovasen::Run(seconds > 0 ? seconds : 10);
}
