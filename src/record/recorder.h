#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "capture/capture.h"
#include "record/command_runner.h"
#include "ui/timer.h"
#include "ui/window.h"

namespace tovasen {

// The region to record, asked again for every frame so that the recording follows the frame.
using TFuncOfRect = std::function<RECT()>;

// The window the encoder records for a region: the region's pixels are painted into it every
// 30 ms. It sits just below the primary screen, where nobody sees it.
class TMirrorWindow : public TWindow {
public:
    TMirrorWindow(TComponent* owner, std::optional<POINT> position);
    void SetSize(int width, int height);
    int Width() const noexcept { return FWidth; }
    int Height() const noexcept { return FHeight; }

protected:
    LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    POINT FPosition;
    int FWidth = 0, FHeight = 0;
};

// Records the screen to MP4 through ffmpeg.exe: the monitor under the mouse, or a region
// through the mirror window. One recorder makes one recording.
class TRecorder : public TComponent {
public:
    // mirrorPosition: where the mirror window goes; by default just below the primary screen.
    explicit TRecorder(TComponent* owner = nullptr, std::optional<POINT> mirrorPosition = std::nullopt);
    ~TRecorder() override;

    bool Audio = false;
    std::wstring FFMpeg;      // full path of the encoder
    bool Mouse = true;
    std::wstring Output;      // the MP4 file
    bool Logging = false;     // append the encoder's lines to LogFolder\ffmpeg.log
    std::wstring LogFolder;
    int LimitSeconds = 0;     // 0: no limit
    DWORD DeviceListTimeoutMs = 10000;
    // After the first "q", the encoder gets this long to finish its file before it is ended.
    DWORD StopGraceMs = 10000;

    const std::wstring& RecTime() const noexcept { return FRecTime; }
    bool IsRunning() const noexcept { return FIsRunning; }
    // True once the encoder has reported progress: it is recording into Output.
    bool Encoding() const noexcept { return FEncoding; }
    // Why the recording failed once it has ended (the encoder's last message); empty when it
    // went well.
    const std::wstring& Failure() const noexcept { return FFailure; }
    const std::wstring& CommandLine() const noexcept { return FCommandLine; }
    HWND MirrorWindow() const noexcept { return FVirtual->Handle(); }
    int MirrorWidth() const noexcept { return FVirtual->Width(); }
    int MirrorHeight() const noexcept { return FVirtual->Height(); }

    // Records the region that rect returns, painting it with capture every 30 ms.
    void Start(TCapture* capture, TFuncOfRect rect);
    // Records the monitor under the mouse.
    void Start();
    // Asks the encoder to finish ("q") and stops painting; returns at once.
    void Stop();
    // The first audio capture device the encoder lists, or empty. Blocks for at most
    // DeviceListTimeoutMs, then ends the listing.
    std::wstring GetDriver();

    // One frame: the region's current pixels onto the mirror, as much as fits.
    void PaintFrame();

private:
    void CommandNewLine(const std::wstring& line, TOutputType type);
    void CommandTerminated();
    void WriteLog(const std::wstring& line);

    std::unique_ptr<TCommandRunner> FCMD;
    TCapture* FCapture = nullptr;
    TMirrorWindow* FVirtual = nullptr;  // owned as a component
    TTimer* FTimer = nullptr;
    TTimer* FStopTimer = nullptr;
    std::wstring FDriver;
    std::wstring FRecTime = L"00:00:00.00";
    bool FIsRunning = false;
    bool FEncoding = false;
    TFuncOfRect FRect;
    std::wstring FCommandLine;
    std::wstring FFailure;
    std::wstring FLastMessage;  // the last finished line that was not a progress report
    bool FStopping = false;
};

}  // namespace tovasen
