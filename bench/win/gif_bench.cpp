// A 10 s recording of a window moving over a still backdrop, 800x600, made into an animated GIF:
// the two runs the recorder uses (palette, then the GIF in it) against one run that does both
// in one graph, with the sizes of the MP4 and of each GIF and the time each conversion took.
// Prints figures; asserts nothing.
//   gif_bench.exe [SECONDS]     (run it through bench/gif.sh)
#include <windows.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cwchar>
#include <string>

#include "base/module_path.h"
#include "capture/capture.h"
#include "record/command_line.h"
#include "record/command_runner.h"
#include "record/ffmpeg_command.h"
#include "record/gif_conversion.h"
#include "record/recorder.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;
constexpr int kWidth = 800, kHeight = 600;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

template <class Done>
void PumpUntil(Done done) {
    while (!done()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
        Application->ProcessMessages();
    }
}

double MegaBytes(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<double>(data.nFileSizeHigh) * 4294967296.0 + data.nFileSizeLow) / 1e6;
}

LRESULT CALLBACK Paint(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    RECT r{};
    GetClientRect(window, &r);
    const bool backdrop = r.right > 400;
    // The backdrop: bands of colour and text, still all the time; the mover: a bright card.
    for (int band = 0; band < (backdrop ? 12 : 1); ++band) {
        const RECT b{0, r.bottom * band / (backdrop ? 12 : 1), r.right, r.bottom * (band + 1) / (backdrop ? 12 : 1)};
        HBRUSH brush = CreateSolidBrush(backdrop ? RGB(30 + band * 15, 60 + band * 10, 140 - band * 8) : RGB(240, 200, 40));
        FillRect(dc, &b, brush);
        DeleteObject(brush);
    }
    SetBkMode(dc, TRANSPARENT);
    RECT text = r;
    DrawTextW(dc, backdrop ? L"Tovasen GIF benchmark: a still backdrop" : L"moving window", -1, &text,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    EndPaint(window, &ps);
    return 0;
}

HWND Window(int x, int y, int width, int height) {
    return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"GifBenchWindow", L"", WS_POPUP | WS_VISIBLE, x, y, width,
                           height, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Runs the encoder with arguments to its end; false when it failed.
bool RunEncoder(const std::wstring& encoder, const std::wstring& arguments) {
    TCommandRunner runner;
    bool done = false;
    runner.OnTerminated = [&](TCommandRunner&) { done = true; };
    runner.CommandLine = QuoteProgram(encoder) + L" " + arguments;
    runner.Execute();
    PumpUntil([&] { return done; });
    return runner.EndStatus() == TEndStatus::esProcess && runner.ExitCode() == 0;
}

int Run(double seconds) {
    TApplication app;
    app.Initialize();
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = Paint;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"GifBenchWindow";
    RegisterClassW(&windowClass);
    if (GetSystemMetrics(SM_CXSCREEN) < 2 * kWidth + 20) {
        std::printf("the screen (%d wide) cannot hold the region and its mirror side by side\n", GetSystemMetrics(SM_CXSCREEN));
        return 1;
    }
    const HWND backdrop = Window(0, 0, kWidth, kHeight);
    const HWND mover = Window(0, 200, 200, 150);

    const std::wstring encoder = ExeFolder() + L"..\\bin\\ffmpeg.exe";
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tovasen_gif_bench\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring video = folder + L"moving.mp4", onePass = folder + L"one-pass.gif";
    for (const std::wstring& old : {video, GifPath(video), onePass}) DeleteFileW(old.c_str());

    // The mirror must be on screen: off screen Wine records black.
    TCapture capture;
    TRecorder recorder(nullptr, POINT{kWidth + 20, 0});
    recorder.FFMpeg = encoder;
    recorder.Output = video;
    recorder.Mouse = false;
    recorder.LimitSeconds = static_cast<int>(std::lround(seconds));
    const auto started = Clock::now();
    recorder.Start(&capture, [] { return RECT{0, 0, kWidth, kHeight}; });
    // Across and back once every four seconds.
    while (recorder.IsRunning()) {
        const double t = Seconds(started);
        const int x = static_cast<int>((kWidth - 200) * (0.5 - 0.5 * std::cos(t * 3.14159265 / 2)));
        SetWindowPos(mover, HWND_TOPMOST, x, 200 + static_cast<int>(100 * std::sin(t * 2)), 0, 0, SWP_NOSIZE | SWP_NOACTIVATE);
        UpdateWindow(backdrop);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 30, QS_ALLINPUT);
        Application->ProcessMessages();
    }
    std::printf("recording: %.1f s of %dx%d (asked %.0f s), MP4 %.2f MB%s%ls\n", RecTimeSeconds(recorder.RecTime()), kWidth,
                kHeight, seconds, MegaBytes(video), recorder.Failure().empty() ? "" : ", the encoder said: ",
                recorder.Failure().c_str());

    TGifConversion twoPass(encoder, video, Application->Poster());
    bool ended = false;
    twoPass.OnEnded = [&] { ended = true; };
    auto start = Clock::now();
    twoPass.Start();
    PumpUntil([&] { return ended; });
    const double twoPassSeconds = Seconds(start);
    if (!twoPass.Failure().empty()) std::wprintf(L"two runs failed: %ls\n", twoPass.Failure().c_str());
    std::printf("two runs (palette, then GIF): %6.2f s, GIF %.2f MB\n", twoPassSeconds, MegaBytes(twoPass.Gif()));

    start = Clock::now();
    const bool ok = RunEncoder(encoder, OnePassGifArguments(video, onePass));
    const double onePassSeconds = Seconds(start);
    std::printf("one run (split in one graph):  %6.2f s, GIF %.2f MB%s\n", onePassSeconds, MegaBytes(onePass),
                ok ? "" : " (the encoder failed)");
    std::printf("GIF / MP4: %.1f x; one run / two runs: time %.2f x, size %.2f x\n", MegaBytes(twoPass.Gif()) / MegaBytes(video),
                onePassSeconds / twoPassSeconds, MegaBytes(onePass) / MegaBytes(twoPass.Gif()));
    std::wprintf(L"files kept in %ls\n", folder.c_str());
    DestroyWindow(mover);
    DestroyWindow(backdrop);
    return 0;
}

}  // namespace
}  // namespace tovasen

int wmain(int argc, wchar_t** argv) {
    const double seconds = argc > 1 ? std::wcstod(argv[1], nullptr) : 10;
    return tovasen::Run(seconds > 0 ? seconds : 10);
}
