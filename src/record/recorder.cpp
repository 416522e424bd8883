#include "record/recorder.h"

#include <algorithm>
#include <chrono>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/utf_convert.h"
#include "capture/monitors.h"
#include "record/command_line.h"
#include "record/ffmpeg_command.h"
#include "record/stream_decoder.h"

namespace tovasen {
namespace {

constexpr wchar_t kMirrorClass[] = L"TVirtualScreen";

POINT DefaultMirrorPosition() { return {0, GetSystemMetrics(SM_CYSCREEN) + 1}; }

// Creates folder and every missing folder above it.
void ForceFolders(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (path.empty() || GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return;
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && path[slash - 1] != L':') ForceFolders(path.substr(0, slash));
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        RaiseLastOSError(L"CreateDirectory " + path);
    }
}

}  // namespace

// --- Mirror window -----------------------------------------------------------------------------

TMirrorWindow::TMirrorWindow(TComponent* owner, std::optional<POINT> position)
    : TWindow(owner, L"Virtual"), FPosition(position ? *position : DefaultMirrorPosition()) {
    TCreateParams params;
    params.ClassName = kMirrorClass;
    params.Caption = kMirrorTitle;
    params.Style = WS_POPUP;
    params.ExStyle = WS_EX_TOOLWINDOW | WS_EX_LAYERED;
    params.Parent = GetDesktopWindow();
    params.Background = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    params.X = FPosition.x;
    params.Y = FPosition.y;
    params.Width = 320;
    params.Height = 240;
    CreateHandle(params);
    SetLayeredWindowAttributes(Handle(), 0, 255, LWA_ALPHA);
    SetSize(params.Width, params.Height);
}

void TMirrorWindow::SetSize(int width, int height) {
    FWidth = width;
    FHeight = height;
    SetWindowPos(Handle(), HWND_NOTOPMOST, FPosition.x, FPosition.y, width, height, SWP_SHOWWINDOW | SWP_NOACTIVATE);
}

LRESULT TMirrorWindow::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    // The frames are painted by the recorder's timer; between frames the picture stays.
    if (msg == WM_ERASEBKGND) return 1;
    if (msg == WM_NCHITTEST) return HTTRANSPARENT;
    return TWindow::WndProc(msg, wParam, lParam);
}

// --- Recorder ----------------------------------------------------------------------------------

TRecorder::TRecorder(TComponent* owner, std::optional<POINT> mirrorPosition) : TComponent(owner, L"Recorder") {
    FVirtual = new TMirrorWindow(this, mirrorPosition);
    FTimer = new TTimer(FVirtual, L"TmrFrame", 30);
    FTimer->OnTimer = [this] { PaintFrame(); };
    FStopTimer = new TTimer(FVirtual, L"TmrStopGrace", StopGraceMs);
    FStopTimer->OnTimer = [this] {
        FStopTimer->SetEnabled(false);
        // The encoder did not finish after "q": end it rather than keep the program from exiting.
        if (FCMD && FCMD->IsRunning()) FCMD->Stop();
    };
}

TRecorder::~TRecorder() = default;

void TRecorder::Start(TCapture* capture, TFuncOfRect rect) {
    FIsRunning = true;
    FCapture = capture;
    if (FCapture) FCapture->ShowCursor = Mouse;
    FRect = std::move(rect);
    try {
        const RECT r = FRect();
        FVirtual->SetSize(EvenMirrorSize(r.right - r.left), EvenMirrorSize(r.bottom - r.top));
        PaintFrame();  // the encoder's first frame is the region, not black
        FTimer->SetEnabled(true);
        Start();
    } catch (...) {
        FTimer->SetEnabled(false);
        FIsRunning = false;
        throw;
    }
}

void TRecorder::Start() {
    FRecTime = L"00:00:00.00";
    FIsRunning = true;
    try {
        TRecordSettings settings;
        settings.Region = static_cast<bool>(FRect);
        if (!settings.Region) {
            POINT cursor{};
            GetCursorPos(&cursor);
            const RECT m = MonitorBounds(ScreenMonitors().at(static_cast<std::size_t>(MonitorIndexFromPoint(cursor))));
            settings.MonitorLeft = m.left;
            settings.MonitorTop = m.top;
            settings.MonitorWidth = m.right - m.left;
            settings.MonitorHeight = m.bottom - m.top;
        }
        settings.Mouse = Mouse;
        settings.LimitSeconds = LimitSeconds;
        settings.Output = Output;
        if (Audio) {
            FDriver = GetDriver();
            settings.AudioDevice = FDriver;
        }
        FCommandLine = QuoteProgram(FFMpeg) + L" " + RecordArguments(settings);

        FCMD = std::make_unique<TCommandRunner>();
        // The encoder prints file names in UTF-8 whatever the system's code page.
        FCMD->SetOutputEncoding(TOutputEncoding::Utf8);
        FCMD->OnNewLine = [this](TCommandRunner&, const std::wstring& line, TOutputType type) { CommandNewLine(line, type); };
        FCMD->OnTerminated = [this](TCommandRunner&) { CommandTerminated(); };
        FCMD->OnExecuteError = [this](TCommandRunner&, const std::exception_ptr& error, bool& handled) {
            // Told once, by the recording control, with the capture-failure message.
            FFailure = ExceptionText(error);
            handled = true;
        };
        FCMD->CommandLine = FCommandLine;
        FCMD->Execute();
    } catch (...) {
        FTimer->SetEnabled(false);
        FIsRunning = false;
        throw;
    }
}

void TRecorder::Stop() {
    FTimer->SetEnabled(false);
    if (!FCMD || !FCMD->IsRunning()) return;
    FCMD->SendLine(L"q", false);
    if (!FStopping) {
        FStopping = true;
        FStopTimer->SetInterval(StopGraceMs);
        FStopTimer->SetEnabled(true);
    }
}

void TRecorder::PaintFrame() {
    if (!FCapture || !FRect) return;
    RECT r = FRect();
    // The mirror keeps the size the recording started with: copy what fits of the region now.
    r.right = r.left + std::min<LONG>(r.right - r.left, FVirtual->Width());
    r.bottom = r.top + std::min<LONG>(r.bottom - r.top, FVirtual->Height());
    if (r.right <= r.left || r.bottom <= r.top) return;
    WindowDC dc(FVirtual->Handle());
    if (!dc.Get()) return;
    TCanvas canvas(dc.Get());
    FCapture->Capture(canvas, r);
    // A region that became smaller leaves a black margin, not an old picture.
    const int width = r.right - r.left, height = r.bottom - r.top;
    if (width < FVirtual->Width()) PatBlt(dc.Get(), width, 0, FVirtual->Width() - width, FVirtual->Height(), BLACKNESS);
    if (height < FVirtual->Height()) PatBlt(dc.Get(), 0, height, width, FVirtual->Height() - height, BLACKNESS);
}

void TRecorder::CommandNewLine(const std::wstring& line, TOutputType type) {
    const std::wstring time = ProgressTime(line);
    if (!time.empty()) {
        FRecTime = time;
        FEncoding = true;
    }
    if (type != TOutputType::otEntireLine) return;
    if (!line.empty() && !IsProgressLine(line)) FLastMessage = line;
    if (Logging) WriteLog(line);
}

void TRecorder::CommandTerminated() {
    FTimer->SetEnabled(false);
    FStopTimer->SetEnabled(false);
    if (FFailure.empty() && FCMD) {
        if (FCMD->EndStatus() == TEndStatus::esProcess && FCMD->ExitCode() != 0) {
            FFailure = FLastMessage.empty() ? L"ffmpeg.exe ended with the code " + std::to_wstring(FCMD->ExitCode()) + L"."
                                            : FLastMessage;
        } else if (FCMD->EndStatus() == TEndStatus::esStop) {
            FFailure = L"ffmpeg.exe did not finish the recording in time and was ended.";
        }
    }
    FIsRunning = false;
}

void TRecorder::WriteLog(const std::wstring& line) {
    // A log that cannot be written is given up for this recording; the recording goes on.
    try {
        ForceFolders(LogFolder);
        std::wstring path = LogFolder;
        if (!path.empty() && path.back() != L'\\') path += L'\\';
        path += L"ffmpeg.log";
        UniqueFile file(CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) RaiseLastOSError(L"CreateFile " + path);
        const std::string bytes = LogLine(line);
        DWORD written = 0;
        if (!WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
            written != bytes.size()) {
            RaiseLastOSError(L"WriteFile " + path);
        }
    } catch (const std::exception&) {
        Logging = false;
    }
}

std::wstring TRecorder::GetDriver() {
    UniqueKernelHandle readEnd, writeEnd;
    {
        HANDLE r = nullptr, w = nullptr;
        if (!CreatePipe(&r, &w, nullptr, 0)) return {};
        readEnd.Reset(r);
        writeEnd.Reset(w);
    }
    UniqueKernelHandle job(CreateJobObjectW(nullptr, nullptr));
    if (!job) return {};
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);

    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES | STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
    startup.hStdOutput = writeEnd.Get();
    startup.hStdError = writeEnd.Get();
    std::wstring command = QuoteProgram(FFMpeg) + L" " + DeviceListArguments();
    PROCESS_INFORMATION info{};
    BOOL created;
    {
        std::lock_guard<std::mutex> lock(ProcessCreationLock());
        SetHandleInformation(writeEnd.Get(), HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
        created = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW | CREATE_SUSPENDED,
                                 nullptr, nullptr, &startup, &info);
        writeEnd.Reset();  // on every path: the pipe breaks once the listing ends
    }
    if (!created) return {};
    UniqueKernelHandle process(info.hProcess), thread(info.hThread);
    AssignProcessToJobObject(job.Get(), process.Get());
    ResumeThread(thread.Get());

    // Read without blocking, so a listing that never ends cannot hold the program.
    std::string bytes;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DeviceListTimeoutMs);
    for (;;) {
        DWORD available = 0;
        if (!PeekNamedPipe(readEnd.Get(), nullptr, 0, nullptr, &available, nullptr)) break;  // broken: all read
        if (available > 0) {
            std::string block(available, '\0');
            DWORD read = 0;
            if (!ReadFile(readEnd.Get(), block.data(), available, &read, nullptr)) break;
            bytes.append(block, 0, read);
            continue;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            TerminateJobObject(job.Get(), 1);
            WaitForSingleObject(process.Get(), 1000);
            break;
        }
        WaitForSingleObject(process.Get(), 20);
    }
    return FirstAudioDevice(Utf8ToWide(bytes));
}

}  // namespace tovasen
