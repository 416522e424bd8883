#include "ocr/ocr_session.h"

#include <utility>

namespace tovasen {

TOcrSession::TOcrSession(std::shared_ptr<TOcrBackend> backend, TPoster post)
    : FBackend(std::move(backend)), FPost(std::move(post)) {}

TOcrSession::~TOcrSession() {
    Close();
    // The state goes with us: a continuation still queued finds it gone.
}

void TOcrSession::Recognize(const TLanguage& language, const PixelView& picture, int left, int top, int right,
                            int bottom, TCompletionProc done) {
    TState& state = *FState;
    const std::uint64_t ticket = state.Gate.Begin();
    try {
        std::unique_ptr<TOcrEngine> engine = FBackend->CreateEngine(language);
        if (!engine) throw ERtOcrError(L"Language not available");
        const TOcrRect rect = ResolveRectangle(picture.width, picture.height, left, top, right, bottom);
        state.Job = engine->Prepare(rect.Width(), rect.Height(),
                                    [&](const TOcrPlane& plane) { PackPixels(picture, rect, plane); });
        state.Done = std::move(done);
        // The engine may call back at once, from inside Start; the result still waits for the
        // owner's thread, so the caller never sees its own completion before Recognize returns.
        state.Job->Start([weak = std::weak_ptr<TState>(FState), ticket, post = FPost](TResult result) {
            post([weak, ticket, result = std::move(result)] { Deliver(weak, ticket, result); });
        });
    } catch (...) {
        state.Job.reset();
        state.Done = nullptr;
        state.Gate.Rollback(ticket);
        throw;
    }
}

void TOcrSession::Deliver(const std::weak_ptr<TState>& weak, std::uint64_t ticket, const TResult& result) {
    const std::shared_ptr<TState> state = weak.lock();
    if (!state || !state->Gate.Complete(ticket)) return;
    state->Job.reset();
    const TCompletionProc done = std::exchange(state->Done, nullptr);
    if (done) done(result);
}

void TOcrSession::Cancel() noexcept {
    if (FState->Gate.Busy() && FState->Job) FState->Job->Cancel();
}

void TOcrSession::Close() noexcept {
    if (FState->Gate.Busy() && FState->Job) FState->Job->Close();
}

}  // namespace tovasen
