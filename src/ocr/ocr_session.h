#pragma once
// One recogniser: at most one recognition at a time, its result handed back on the owner's
// thread. The engine's completion runs on a thread of the engine's choosing and does nothing
// there but post a continuation; the continuation finds out whether its operation is still the
// current one, and whether the recogniser still exists, before it touches anything.
#include <cstdint>
#include <functional>
#include <memory>

#include "base/call_queue.h"
#include "ocr/ocr_backend.h"
#include "image/pixel_view.h"

namespace tovasen {

using TCompletionProc = std::function<void(const TResult&)>;

class TOcrSession {
public:
    TOcrSession(std::shared_ptr<TOcrBackend> backend, TPoster post);
    TOcrSession(const TOcrSession&) = delete;
    TOcrSession& operator=(const TOcrSession&) = delete;
    // Closes a running operation; its completion, should it still come, is dropped.
    ~TOcrSession();

    TLanguages AvailableLanguages() { return FBackend->AvailableLanguages(); }
    int MaxImageDimension() { return FBackend->MaxImageDimension(); }

    // Starts recognising the rectangle of picture (all zero: the whole picture). done runs
    // later on the owner's thread, never from inside this call. Raises "Recognition already
    // started" while busy, "Language not available", a rectangle error, or the engine's error;
    // after a raise the recogniser is idle again.
    void Recognize(const TLanguage& language, const PixelView& picture, int left, int top, int right, int bottom,
                   TCompletionProc done);
    void Cancel() noexcept;
    void Close() noexcept;
    bool Busy() const noexcept { return FState->Gate.Busy(); }

private:
    struct TState {
        TRecognitionGate Gate;
        std::unique_ptr<TOcrJob> Job;
        TCompletionProc Done;
    };
    static void Deliver(const std::weak_ptr<TState>& weak, std::uint64_t ticket, const TResult& result);

    std::shared_ptr<TOcrBackend> FBackend;
    TPoster FPost;
    std::shared_ptr<TState> FState = std::make_shared<TState>();
};

}  // namespace tovasen
