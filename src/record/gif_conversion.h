#pragma once
#include <functional>
#include <memory>
#include <string>

#include "base/call_queue.h"
#include "base/lifetime.h"

namespace tovasen {

class TCommandRunner;

// Makes an animated GIF of a finished recording through the encoder, in two runs: a palette of
// the recording's colours, then the GIF in that palette. The GIF takes the recording's name
// with .gif (or the next free one); the palette goes once the GIF is complete, and neither is
// left when the conversion fails or is given up. The recording itself is never touched.
class TGifConversion {
public:
    // encoder: ffmpeg.exe; video: the recording; poster: how the runs reach this thread.
    TGifConversion(std::wstring encoder, std::wstring video, TPoster poster);
    // A conversion under way ends with its encoder; what it had written goes.
    ~TGifConversion();
    TGifConversion(const TGifConversion&) = delete;
    TGifConversion& operator=(const TGifConversion&) = delete;

    // Every finished line the encoder prints, for the log.
    std::function<void(const std::wstring& line)> OnLine;
    // Once, from this thread's queue, when the GIF is complete or the conversion failed. The
    // handler may free the conversion.
    std::function<void()> OnEnded;
    // A run that prints nothing for this long is taken for hung and ended. Its progress
    // lines come twice a second.
    int SilenceLimitSeconds = 300;

    // Reserves the GIF's and the palette's names and starts the palette run; raises when it
    // could not.
    void Start();
    bool IsRunning() const noexcept { return FRunning; }
    // The GIF once complete; empty before and after a failure.
    const std::wstring& Gif() const noexcept { return FDone; }
    // Why it failed; empty when it went well.
    const std::wstring& Failure() const noexcept { return FFailure; }

private:
    // Runs the encoder with arguments, which write output; then next, from the queue.
    void RunPass(const std::wstring& arguments, const std::wstring& output, std::function<void()> next);
    void End(const std::wstring& failure);
    void RemoveFiles();

    std::wstring FEncoder, FVideo;
    TPoster FPost;
    std::unique_ptr<TCommandRunner> FRunner;
    std::wstring FGif, FPalette;  // reserved while running
    std::wstring FDone, FFailure;
    bool FRunning = false;
    TLifetime FLifetime;
};

}  // namespace tovasen
