#include "record/recorder.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/log_event.h"
#include "base/utf_convert.h"
#include "capture/monitors.h"
#include "output/file_replace.h"
#include "record/child_process.h"
#include "record/command_line.h"
#include "record/gif_conversion.h"
#include "record/mirror_geometry.h"
#include "record/recording_guard.h"
#include "record/reserved_file.h"

namespace tovasen {
namespace {

// Joining copies the parts as they are; even hours of them take seconds.
constexpr DWORD kJoinTimeoutMs = 120000;

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Creates folder and every missing folder above it.
void ForceFolders(const std::wstring& folder) {
    std::wstring path = folder;
    while (!path.empty() && (path.back() == L'\\' || path.back() == L'/')) path.pop_back();
    if (path.empty() || FileExists(path)) return;
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash != std::wstring::npos && slash > 0 && path[slash - 1] != L':') ForceFolders(path.substr(0, slash));
    if (!CreateDirectoryW(path.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        RaiseLastOSError(L"CreateDirectory " + path);
    }
}

void WriteWholeFile(const std::wstring& path, const std::string& bytes) {
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        RaiseLastOSError(L"WriteFile " + path);
    }
}

// The failure of a conversion names the recording that stays in the GIF's place.
std::wstring NotConverted(const std::wstring& why, const std::wstring& kept) {
    return L"The recording could not be made into a GIF (" + why + L"); the MP4 is kept: " + kept;
}

}  // namespace

std::wstring ListFirstAudioDevice(const std::wstring& encoder, DWORD timeoutMs, const std::stop_token& stop) {
    TChildOptions options;
    options.CommandLine = QuoteProgram(encoder) + L" " + DeviceListArguments();
    // A stop is seen within kStopLookMs, whatever the encoder is doing; the encoder is then
    // ended with its child object, as at the time-out. (Looked at, not called back: see
    // TWorker::Start.)
    constexpr ULONGLONG kStopLookMs = 50;
    if (stop.stop_requested()) return {};
    TChildProcess child(options);
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    std::string output;
    for (;;) {
        output += child.TakeOutput();
        if (child.OutputEnded()) break;
        if (stop.stop_requested()) return {};
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        WaitForSingleObject(child.OutputEvent(), static_cast<DWORD>(std::min(deadline - now, kStopLookMs)));
    }
    return FirstAudioDevice(Utf8ToWide(output));
}

TRecorder::TRecorder(TComponent* owner, std::optional<POINT> mirrorPosition, TPoster poster)
    : TComponent(owner, L"Recorder"), FMirrorPosition(mirrorPosition), FPost(std::move(poster)) {
    FTimer = new TTimer(this, L"TmrFrame", 30);
    FTimer->OnTimer = [this] {
        if (FPainter && FRect) FPainter->Paint(FRect());
    };
    FStopTimer = new TTimer(this, L"TmrStopGrace", StopGraceMs);
    FStopTimer->OnTimer = [this] {
        FStopTimer->SetEnabled(false);
        // The encoder did not finish after "q": end it rather than keep the program from
        // exiting. The fragments it has written still play.
        if (FEncoder && FEncoder->IsRunning()) FEncoder->Stop();
    };
}

TRecorder::~TRecorder() {
    FLifetime.End();
    FListing.StopAll();
    OnEvent = nullptr;
    MakeGif = false;
    FConversion.reset();
    FTimer->SetEnabled(false);
    FStopTimer->SetEnabled(false);
    if (FEncoder && FEncoder->IsRunning()) {
        WaitForEncoder();
        FParts.push_back({FPartPath, FPartSeconds});
        FEncoder.reset();  // ends an encoder that outlasted the grace
    }
    if (FJoiner && FJoiner->IsRunning()) {
        // The join under way ends with its runner; the parts stay as they are.
        FJoiner.reset();
        DeleteFileW(FJoined.c_str());
        DeleteFileW(FJoinList.c_str());
        return;
    }
    if (FPhase == TPhase::Idle || FPhase == TPhase::Listing || FPhase == TPhase::Converting || FPhase == TPhase::Ended) {
        return;
    }
    const std::vector<std::wstring> parts = PartsToJoin();
    if (parts.empty()) return;
    try {
        ReserveJoinFiles();
        WriteWholeFile(FJoinList, ConcatList(parts));
        TChildOptions options;
        options.CommandLine = QuoteProgram(FFMpeg) + L" " + JoinArguments(FJoinList, FJoined);
        const TChildResult result = RunChildToEnd(options, kJoinTimeoutMs);
        JoinEnded(!result.TimedOut && result.ExitCode == 0, Utf8ToWide(result.Output));
    } catch (const std::exception&) {
        JoinEnded(false, ExceptionText(std::current_exception()));
    }
}

TPoster TRecorder::Post() {
    if (!FPost) {
        if (!Application) throw Exception(L"Recording needs the application's message loop.");
        FPost = Application->Poster();
    }
    return FPost;
}

double TRecorder::RecordedSeconds() const {
    double done = 0;
    for (const TPart& part : FParts) done += part.Seconds;
    return done;
}

// Within half a second of the limit there is nothing left worth a part of its own: an encoder
// that ended there ended at its limit, whatever else was asked of it.
bool TRecorder::LimitReached() const { return LimitSeconds > 0 && RecordedSeconds() > LimitSeconds - 0.5; }

void TRecorder::Tell(TEvent event) {
    if (OnEvent) OnEvent(event);
}

std::wstring TRecorder::RecTime() const {
    const double done = RecordedSeconds();
    const bool current = FPhase == TPhase::Recording || FPhase == TPhase::Pausing || FPhase == TPhase::Stopping;
    if (done == 0) return current ? FPartTime : L"00:00:00.00";
    return FormatRecTime(done + (current ? FPartSeconds : 0));
}

RECT TRecorder::RecordedArea() const {
    if (FRect) return FRect();
    return RECT{FSettings.MonitorLeft, FSettings.MonitorTop, FSettings.MonitorLeft + FSettings.MonitorWidth,
                FSettings.MonitorTop + FSettings.MonitorHeight};
}

void TRecorder::Start(TCapture* capture, TFuncOfRect rect) {
    if (FPhase != TPhase::Idle) throw Exception(L"A recorder makes one recording.");
    FCapture = capture;
    if (FCapture) FCapture->ShowCursor = Mouse;
    FRect = std::move(rect);
    const RECT r = FRect();
    FVirtual = new TMirrorWindow(this, FMirrorPosition);
    FVirtual->SetSize(MirrorSide(r.right - r.left, GetSystemMetrics(SM_CXVIRTUALSCREEN)),
                      MirrorSide(r.bottom - r.top, GetSystemMetrics(SM_CYVIRTUALSCREEN)));
    PaintFrame();  // the encoder's first frame is the region, not black
    FPainter = std::make_unique<TFramePainter>(FVirtual->Handle(), FVirtual->Width(), FVirtual->Height(), Mouse);
    Start();
}

void TRecorder::Start() {
    if (FPhase != TPhase::Idle) throw Exception(L"A recorder makes one recording.");
    // Fixed now for every part: parts of one size and kind join without encoding again.
    FSettings.Region = static_cast<bool>(FRect);
    if (!FSettings.Region) {
        POINT cursor{};
        GetCursorPos(&cursor);
        const RECT m = MonitorBounds(ScreenMonitors().at(static_cast<std::size_t>(MonitorIndexFromPoint(cursor))));
        FSettings.MonitorLeft = m.left;
        FSettings.MonitorTop = m.top;
        FSettings.MonitorWidth = m.right - m.left;
        FSettings.MonitorHeight = m.bottom - m.top;
    }
    FSettings.Mouse = Mouse;
    if (!Audio) {
        StartPart();
        return;
    }
    // The listing takes seconds: on a thread of its own, so that the window keeps answering.
    // The recorder's end stops it (the encoder is ended) and waits for it.
    const TPoster post = Post();
    FPhase = TPhase::Listing;
    auto device = std::make_shared<std::wstring>();
    const std::function<void()> listed = FLifetime.Guard([this, device] { DevicesListed(*device); });
    FListing.Start([post, listed, device, encoder = FFMpeg, timeout = DeviceListTimeoutMs](const std::stop_token& stop) {
        try {
            *device = ListFirstAudioDevice(encoder, timeout, stop);
        } catch (...) {
            device->clear();  // no device: the recording goes on without sound
            LogCaught(L"recorder", std::current_exception());
        }
        if (!stop.stop_requested()) post(listed);
    });
}

void TRecorder::DevicesListed(const std::wstring& device) {
    if (FPhase != TPhase::Listing) return;  // stopped meanwhile
    FSettings.AudioDevice = device;
    StartPartOrFail();
}

void TRecorder::StartPartOrFail() {
    try {
        StartPart();
    } catch (...) {
        FFailure = ExceptionText(std::current_exception());
        Finish();
    }
}

void TRecorder::StartPart() {
    const int number = FPartNumber + 1;
    TRecordSettings settings = FSettings;
    if (LimitSeconds > 0) {
        settings.LimitSeconds = static_cast<int>(std::ceil(LimitSeconds - RecordedSeconds()));
        if (LimitReached()) {  // the length limit was reached before the pause
            Finish();
            return;
        }
    }
    auto encoder = std::make_unique<TCommandRunner>(nullptr, L"Encoder", Post());
    // The encoder prints file names in UTF-8 whatever the system's code page.
    encoder->SetOutputEncoding(TOutputEncoding::Utf8);
    // It must finish its file whatever happens to us: not in our job, watched by the guard.
    encoder->EndWithParent = false;
    if (!GuardProgram.empty()) {
        // The encoder, still suspended, records nothing until its guard watches; a guard that
        // cannot watch ends it, and the recording fails with the reason.
        encoder->OnChildCreated = [guard = GuardProgram](TChildProcess& child) {
            StartRecordingGuard(guard, child.Process(), child.Input());
        };
    }
    encoder->OnNewLine = [this](TCommandRunner&, const std::wstring& line, TOutputType type) { PartLine(line, type); };
    encoder->OnTerminated = [this](TCommandRunner&) { PartEnded(); };
    // The first part is the output the user asked for; every later one gets a file of its own.
    settings.Output = number == 1 ? Output : ReserveFreeFile([&](int attempt) { return SegmentPath(Output, number, attempt); });
    encoder->CommandLine = QuoteProgram(FFMpeg) + L" " + RecordArguments(settings);
    try {
        encoder->Execute();
    } catch (...) {
        if (number > 1) DeleteFileW(settings.Output.c_str());
        throw;
    }
    FPartPath = settings.Output;
    if (number == 1) FCommandLine = encoder->CommandLine;
    FEncoder = std::move(encoder);
    FPartNumber = number;
    FPartTime = L"00:00:00.00";
    FPartSeconds = 0;
    FEncoding = false;
    FResumeWanted = false;
    FPhase = TPhase::Recording;
    if (FRect) FTimer->SetEnabled(true);
}

void TRecorder::Stop() {
    switch (FPhase) {
    case TPhase::Listing:
        FCancelled = true;
        FPhase = TPhase::Ended;
        Tell(TEvent::Ended);
        break;
    case TPhase::Recording:
    case TPhase::Stopping:
        FTimer->SetEnabled(false);
        if (FEncoder->IsRunning()) FEncoder->SendLine(L"q", false);
        FPhase = TPhase::Stopping;
        StartGrace();
        break;
    case TPhase::Pausing:  // its "q" is on its way; the end of the part ends the recording
        FResumeWanted = false;
        FPhase = TPhase::Stopping;
        break;
    case TPhase::Paused:
        Finish();
        break;
    default:
        break;
    }
}

bool TRecorder::Pause() {
    if (!Encoding()) return false;
    FTimer->SetEnabled(false);
    FEncoder->SendLine(L"q", false);
    FPhase = TPhase::Pausing;
    StartGrace();
    return true;
}

bool TRecorder::Resume() {
    if (FPhase == TPhase::Pausing) {
        FResumeWanted = true;
        return true;
    }
    if (FPhase != TPhase::Paused) return false;
    StartPartOrFail();
    return true;
}

void TRecorder::StartGrace() {
    if (FStopTimer->Enabled()) return;  // a second request does not put off the end
    FStopTimer->SetInterval(StopGraceMs);
    FStopTimer->SetEnabled(true);
}

void TRecorder::PaintFrame() {
    if (FCapture && FRect && FVirtual) PaintMirror(*FCapture, FVirtual->Handle(), FVirtual->Width(), FVirtual->Height(), FRect());
}

void TRecorder::PartLine(const std::wstring& line, TOutputType type) {
    const std::wstring time = ProgressTime(line);
    if (!time.empty()) {
        FPartTime = time;
        const double seconds = RecTimeSeconds(time);
        if (seconds >= 0) FPartSeconds = seconds;
        if (!FEncoding && FPhase == TPhase::Recording) {
            FEncoding = true;
            Tell(FPartNumber == 1 ? TEvent::Started : TEvent::Resumed);
        }
        FEncoding = true;
    }
    if (type != TOutputType::otEntireLine) return;
    if (!line.empty() && !IsProgressLine(line)) FLastMessage = line;
    if (Logging) WriteLog(line);
}

void TRecorder::PartEnded() {
    FTimer->SetEnabled(false);
    FStopTimer->SetEnabled(false);
    FParts.push_back({FPartPath, FPartSeconds});
    if (FFailure.empty()) {
        if (FEncoder->Error()) {
            FFailure = ExceptionText(FEncoder->Error());
        } else if (FEncoder->EndStatus() == TEndStatus::esProcess && FEncoder->ExitCode() != 0) {
            FFailure = FLastMessage.empty()
                           ? L"ffmpeg.exe ended with the code " + std::to_wstring(FEncoder->ExitCode()) + L"."
                           : FLastMessage;
        } else if (FEncoder->EndStatus() == TEndStatus::esStop) {
            FFailure = L"ffmpeg.exe did not finish the recording in time and was ended.";
        }
    }
    if (FPhase != TPhase::Pausing || !FFailure.empty() || LimitReached()) {
        Finish();  // stopped, at its length limit, or failed
        return;
    }
    FPhase = TPhase::Paused;
    Tell(TEvent::Paused);
    if (FPhase != TPhase::Paused) return;  // its handler stopped the recording
    // Started from the queue: the runner whose end this is must not be replaced inside its
    // own handler.
    if (FResumeWanted) {
        Post()(FLifetime.Guard([this] {
            if (FPhase == TPhase::Paused) StartPartOrFail();
        }));
    }
}

std::vector<std::wstring> TRecorder::PartsToJoin() const {
    std::vector<std::wstring> parts;
    for (const TPart& part : FParts) {
        if (part.Seconds > 0 && HasContent(part.Path)) parts.push_back(part.Path);
    }
    // One part that is the output itself: there is nothing to join.
    if (parts.size() == 1 && parts[0] == Output) parts.clear();
    return parts;
}

void TRecorder::Finish() {
    FTimer->SetEnabled(false);
    FStopTimer->SetEnabled(false);
    const std::vector<std::wstring> parts = PartsToJoin();
    if (parts.empty()) {
        JoinEnded(true, {});
        return;
    }
    FPhase = TPhase::Joining;
    try {
        ReserveJoinFiles();
        WriteWholeFile(FJoinList, ConcatList(parts));
        FJoiner = std::make_unique<TCommandRunner>(nullptr, L"Joiner", Post());
        FJoiner->SetOutputEncoding(TOutputEncoding::Utf8);
        auto said = std::make_shared<std::wstring>();
        FJoiner->OnNewLine = [this, said](TCommandRunner&, const std::wstring& line, TOutputType type) {
            if (type != TOutputType::otEntireLine) return;
            if (!line.empty()) *said = line;
            if (Logging) WriteLog(line);
        };
        FJoiner->OnTerminated = [this, said](TCommandRunner& joiner) {
            JoinEnded(joiner.EndStatus() == TEndStatus::esProcess && joiner.ExitCode() == 0,
                      joiner.Error() ? ExceptionText(joiner.Error()) : *said);
        };
        FJoiner->CommandLine = QuoteProgram(FFMpeg) + L" " + JoinArguments(FJoinList, FJoined);
        FJoiner->Execute();
    } catch (...) {
        JoinEnded(false, ExceptionText(std::current_exception()));
    }
}

void TRecorder::JoinEnded(bool ok, const std::wstring& message) {
    const std::vector<std::wstring> parts = PartsToJoin();
    bool joined = false;
    if (!parts.empty()) {
        joined = ok && FileExists(FJoined) && MoveFlushedFileOver(FJoined, Output);
        if (!joined) {
            // The parts stay as they are: each plays on its own.
            DeleteFileW(FJoined.c_str());
            std::wstring names;
            for (const std::wstring& part : parts) names += (names.empty() ? L"" : L", ") + part.substr(part.find_last_of(L"\\/") + 1);
            if (FFailure.empty()) {
                FFailure = L"The parts of the recording could not be joined (" + message + L"); they are kept: " + names;
            }
        }
        DeleteFileW(FJoinList.c_str());
    }
    // Every part but the first is a file this recorder made: gone once joined, and those that
    // recorded nothing (a pause at once) are not worth keeping.
    for (const TPart& part : FParts) {
        if (part.Path != Output && (joined || part.Seconds <= 0 || !HasContent(part.Path))) DeleteFileW(part.Path.c_str());
    }
    if (MakeGif && FFailure.empty() && !FCancelled) {
        Convert();
        return;
    }
    End();
}

void TRecorder::End() {
    FPhase = TPhase::Ended;
    Tell(TEvent::Ended);
}

void TRecorder::Convert() {
    if (!HasContent(Output)) {
        FFailure = L"The recording has no video to make a GIF of: " + Output;
        End();
        return;
    }
    FPhase = TPhase::Converting;
    try {
        FConversion = std::make_unique<TGifConversion>(FFMpeg, Output, Post());
        FConversion->OnLine = [this](const std::wstring& line) {
            if (Logging) WriteLog(line);
        };
        FConversion->OnEnded = [this] { ConversionEnded(); };
        FConversion->Start();
    } catch (...) {
        FConversion.reset();
        FFailure = NotConverted(ExceptionText(std::current_exception()), Output);
        End();
    }
}

void TRecorder::ConversionEnded() {
    if (FConversion->Failure().empty()) {
        FResult = FConversion->Gif();
        DeleteFileW(Output.c_str());
    } else {
        FFailure = NotConverted(FConversion->Failure(), Output);
    }
    End();
}

void TRecorder::ReserveJoinFiles() {
    FJoinList = ReserveFreeFile([&](int attempt) { return JoinListPath(Output, attempt); });
    FJoined = ReserveFreeFile([&](int attempt) { return JoinedPath(Output, attempt); });
}

void TRecorder::WaitForEncoder() {
    if (FPhase == TPhase::Recording) FEncoder->SendLine(L"q", false);
    // Its last lines are still on their way to this thread and are not waited for: the part's
    // length stays as last reported, a fraction of a second short at most.
    FEncoder->WaitChildGone(StopGraceMs);
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
        LogCaught(L"recorder", std::current_exception());
    }
}

}  // namespace tovasen
