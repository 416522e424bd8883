#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "base/lifetime.h"
#include "base/worker.h"
#include "capture/capture.h"
#include "record/command_runner.h"
#include "record/ffmpeg_command.h"
#include "record/mirror_window.h"
#include "ui/application.h"
#include "ui/timer.h"

namespace tovasen {

// The region to record, asked again for every frame so that the recording follows the frame.
using TFuncOfRect = std::function<RECT()>;

class TGifConversion;

// The first audio capture device the encoder lists, or empty. Runs the listing on the calling
// thread for at most timeoutMs, or until stop is asked, then ends it.
std::wstring ListFirstAudioDevice(const std::wstring& encoder, DWORD timeoutMs, const std::stop_token& stop = {});

// Records the screen to MP4 through ffmpeg.exe: the monitor under the mouse, or a region
// through the mirror window. One recorder makes one recording, in one part or, paused and
// resumed, in several that are joined into the output at the end.
class TRecorder : public TComponent {
public:
    enum class TPhase { Idle, Listing, Recording, Pausing, Paused, Stopping, Joining, Converting, Ended };
    // What a waiting request hears about: the first part records, a part ended in a pause, a
    // later part records, the recording is over (its file complete, or failed, or cancelled).
    enum class TEvent { Started, Paused, Resumed, Ended };

    // mirrorPosition: see TMirrorWindow. poster: how worker threads reach this thread.
    explicit TRecorder(TComponent* owner = nullptr, std::optional<POINT> mirrorPosition = std::nullopt,
                       TPoster poster = {});
    // A recording still under way is finished first, without handling messages: "q", at most
    // StopGraceMs for the encoder to finish its file (only then is it ended), the parts joined.
    // It is not made into a GIF then: a conversion would hold the program's end for minutes, so
    // the MP4 stays, as it does when a conversion under way is given up.
    ~TRecorder() override;

    bool Audio = false;
    std::wstring FFMpeg;      // full path of the encoder
    bool Mouse = true;
    std::wstring Output;      // the MP4 file
    // At the end, the MP4 becomes an animated GIF beside it (see TGifConversion), and goes once
    // the GIF is complete; should the conversion fail, it stays and Failure says so.
    bool MakeGif = false;
    bool Logging = false;     // append the encoder's lines to LogFolder\ffmpeg.log
    std::wstring LogFolder;
    int LimitSeconds = 0;     // 0: no limit; counts recorded time, pauses excluded
    DWORD DeviceListTimeoutMs = 10000;
    // After "q", the encoder gets this long to finish its file before it is ended.
    DWORD StopGraceMs = 10000;
    // This program's executable, started as the encoder's guard (see recording_guard.h); empty:
    // no guard.
    std::wstring GuardProgram;
    // Each event once, on this thread, at the moment it happens. The handler must not free the
    // recorder (post that); it is not called from the destructor.
    std::function<void(TEvent event)> OnEvent;

    TPhase Phase() const noexcept { return FPhase; }
    // From Start until the last encoder has exited and the parts are joined.
    bool IsRunning() const noexcept { return FPhase != TPhase::Idle && FPhase != TPhase::Ended; }
    // Looking for the audio device: the encoder has not started yet.
    bool Preparing() const noexcept { return FPhase == TPhase::Listing; }
    // The current part's encoder has reported progress: it is recording.
    bool Encoding() const noexcept { return FPhase == TPhase::Recording && FEncoding; }
    bool Paused() const noexcept { return FPhase == TPhase::Pausing || FPhase == TPhase::Paused; }
    // The file the recording ended in: the GIF once converted, otherwise Output.
    const std::wstring& Result() const noexcept { return FResult.empty() ? Output : FResult; }
    // The recorded time of all parts so far, as the encoder writes a time.
    std::wstring RecTime() const;
    // Why the recording failed once it has ended (the encoder's last message); empty when it
    // went well.
    const std::wstring& Failure() const noexcept { return FFailure; }
    // Stopped before the encoder started: no file was written, and none was meant to be.
    bool Cancelled() const noexcept { return FCancelled; }
    // The first part's command line.
    const std::wstring& CommandLine() const noexcept { return FCommandLine; }
    int Parts() const noexcept { return FPartNumber; }
    // The mirror of a region recording; none for the full screen.
    HWND MirrorWindow() const noexcept { return FVirtual ? FVirtual->Handle() : nullptr; }
    int MirrorWidth() const noexcept { return FVirtual ? FVirtual->Width() : 0; }
    int MirrorHeight() const noexcept { return FVirtual ? FVirtual->Height() : 0; }
    // Where on the screen the recording is taken now: the region, or the monitor.
    RECT RecordedArea() const;

    // Records the region that rect returns, painting it with capture every 30 ms.
    void Start(TCapture* capture, TFuncOfRect rect);
    // Records the monitor under the mouse.
    void Start();
    // Asks the encoder to finish ("q") and stops painting; returns at once.
    void Stop();
    // Ends the current part ("q"); false when nothing is being recorded.
    bool Pause();
    // Starts the next part; false when the recording is not paused.
    bool Resume();

    // One frame on this thread: the region's current pixels onto the mirror, as much as fits.
    // While recording, frames are painted on the painter's thread.
    void PaintFrame();

private:
    struct TPart {
        std::wstring Path;
        double Seconds = 0;
    };

    void DevicesListed(const std::wstring& device);
    void StartPart();
    void StartPartOrFail();
    void PartLine(const std::wstring& line, TOutputType type);
    void PartEnded();
    void StartGrace();
    void Finish();
    std::vector<std::wstring> PartsToJoin() const;
    void JoinEnded(bool ok, const std::wstring& message);
    void WaitForEncoder();
    void ReserveJoinFiles();
    void Convert();
    void ConversionEnded();
    void End();
    void WriteLog(const std::wstring& line);
    void Tell(TEvent event);
    bool LimitReached() const;
    double RecordedSeconds() const;
    TPoster Post();

    std::optional<POINT> FMirrorPosition;
    TPoster FPost;
    std::unique_ptr<TCommandRunner> FEncoder;  // the current part's
    std::unique_ptr<TCommandRunner> FJoiner;
    std::unique_ptr<TGifConversion> FConversion;
    TCapture* FCapture = nullptr;
    TMirrorWindow* FVirtual = nullptr;  // owned as a component; region recordings only
    std::unique_ptr<TFramePainter> FPainter;
    TTimer* FTimer = nullptr;
    TTimer* FStopTimer = nullptr;
    TRecordSettings FSettings;
    TFuncOfRect FRect;
    TPhase FPhase = TPhase::Idle;
    bool FEncoding = false;
    bool FResumeWanted = false;
    bool FCancelled = false;
    int FPartNumber = 0;
    std::wstring FPartPath;  // the current part's file
    std::wstring FJoinList, FJoined;  // reserved for the join once it starts
    std::wstring FPartTime = L"00:00:00.00";  // the current part's, as the encoder wrote it
    double FPartSeconds = 0;                  // the same, in seconds, once it was a time
    std::vector<TPart> FParts;                // the parts that have ended
    std::wstring FCommandLine;
    std::wstring FFailure;
    std::wstring FResult;  // the GIF, once converted
    std::wstring FLastMessage;  // the last finished line that was not a progress report
    TWorker FListing;
    TLifetime FLifetime;
};

}  // namespace tovasen
