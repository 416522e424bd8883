#pragma once
// How one capture request ended: the one result every target reports, and all that the user
// or the waiting script is told about it.
#include <string>

namespace tovasen {

struct TCaptureOutcome {
    enum class TKind {
        FileWritten,       // Path: an image file, or the MP4 of a finished recording
        TextWritten,       // Path: the text file of a recognition
        NothingToWrite,    // clipboard, printer, floating window, colour pick
        Uploaded,          // Path: the address the service published the picture under
        RecordingStarted,  // Path: the MP4 the running encoder writes
        RecordingPaused,   // Path: the same MP4, its part finished; the recording goes on later
        RecordingResumed,  // Path: the same MP4, the encoder records again
        Busy,              // another capture, recognition or recording is in progress
        Refused,           // the capture mode and the save target do not go together
        Cancelled,         // the user cancelled the selection
        Failed,            // Message says why; Path may name a file that was written all the same
    };
    // On success, Message is a notice that goes with it (a scrolling capture that stopped at the
    // largest picture). Message is the program's own text as written (or translated already):
    // whoever tells it translates it, once. Detail is an error's own text, told after it as it
    // stands: it is never looked up.

    TKind Kind = TKind::Failed;
    std::wstring Path;
    std::wstring Message;
    // The user hears of it in an information box rather than an error box.
    bool Notice = false;
    std::wstring Detail{};

    bool Succeeded() const noexcept { return Kind <= TKind::RecordingResumed; }

    static TCaptureOutcome Written(TKind kind, std::wstring path) { return {kind, std::move(path), {}, false}; }
    static TCaptureOutcome Nothing() { return {TKind::NothingToWrite, {}, {}, false}; }
    static TCaptureOutcome Failure(std::wstring message, bool notice = false, std::wstring detail = {}) {
        return {TKind::Failed, {}, std::move(message), notice, std::move(detail)};
    }
    // The one failure message of a capture: the fixed text, then the error's own.
    static TCaptureOutcome CaptureFailed(std::wstring detail) {
        return Failure(L"캡쳐가 실패하였습니다.", false, std::move(detail));
    }
};

}  // namespace tovasen
