#pragma once
// A scripted OCR engine for tests: it offers the languages it is given, records what it was
// asked for and what the recogniser packed into its bitmap, and completes the way the script
// says (at once, later from a foreign thread, when the test fires it, never, or not at all
// because arming fails).
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

#include "ocr/ocr_backend.h"

namespace tovasen::test {

enum class FakeCompletion { Immediately, ForeignThread, Held, Never, ArmingFails };

struct FakeOcrScript {
    TLanguages languages;
    int maxDimension = 10000;
    bool unavailable = false;     // AvailableLanguages raises, as without the platform's OCR
    bool nullEngine = false;      // the engine is created "successfully" but is null
    FakeCompletion completion = FakeCompletion::Held;
    TResult result;               // what a completed recognition reports
    std::ptrdiff_t extraStride = 0;   // padding the bitmap adds to every row
    std::ptrdiff_t start = 0;         // offset of the first row
    std::ptrdiff_t capacityShortBy = 0;

    // Recorded.
    std::mutex lock;
    TLanguage engineLanguage;
    int width = 0, height = 0;
    std::vector<std::uint8_t> packed;  // the bitmap's bytes after filling
    std::ptrdiff_t stride = 0;
    int prepared = 0, cancels = 0, closes = 0, jobsDestroyed = 0;
    std::function<void(TResult)> pending;  // the armed completion, for Held and Never
    std::vector<std::thread> threads;

    // Completes a held operation as the platform would, from the calling thread.
    void Fire(TStatus status) {
        std::function<void(TResult)> done;
        {
            std::lock_guard<std::mutex> guard(lock);
            done = std::move(pending);
            pending = nullptr;
        }
        if (!done) return;
        TResult r = status == TStatus::stCompleted ? result : TResult{};
        r.Status = status;
        done(std::move(r));
    }
    void JoinThreads() {
        for (std::thread& t : threads) t.join();
        threads.clear();
    }
};

class FakeOcrJob : public TOcrJob {
public:
    explicit FakeOcrJob(std::shared_ptr<FakeOcrScript> script) : FScript(std::move(script)) {}
    ~FakeOcrJob() override {
        std::lock_guard<std::mutex> guard(FScript->lock);
        ++FScript->jobsDestroyed;
    }
    void Start(std::function<void(TResult)> done) override {
        FakeOcrScript& s = *FScript;
        switch (s.completion) {
        case FakeCompletion::ArmingFails:
            throw std::runtime_error("put_Completed failed");
        case FakeCompletion::Immediately: {
            TResult r = s.result;
            r.Status = TStatus::stCompleted;
            done(std::move(r));
            break;
        }
        case FakeCompletion::ForeignThread: {
            TResult r = s.result;
            r.Status = TStatus::stCompleted;
            std::lock_guard<std::mutex> guard(s.lock);
            s.threads.emplace_back([done = std::move(done), r = std::move(r)]() mutable {
                std::this_thread::sleep_for(std::chrono::milliseconds(30));
                done(std::move(r));
            });
            break;
        }
        case FakeCompletion::Held:
        case FakeCompletion::Never: {
            std::lock_guard<std::mutex> guard(s.lock);
            s.pending = std::move(done);
            break;
        }
        }
    }
    void Cancel() noexcept override {
        {
            std::lock_guard<std::mutex> guard(FScript->lock);
            ++FScript->cancels;
        }
        if (FScript->completion == FakeCompletion::Held) FScript->Fire(TStatus::stCanceled);
    }
    void Close() noexcept override {
        {
            std::lock_guard<std::mutex> guard(FScript->lock);
            ++FScript->closes;
        }
        Cancel();
    }

private:
    std::shared_ptr<FakeOcrScript> FScript;
};

class FakeOcrEngine : public TOcrEngine {
public:
    explicit FakeOcrEngine(std::shared_ptr<FakeOcrScript> script) : FScript(std::move(script)) {}
    std::unique_ptr<TOcrJob> Prepare(int width, int height, const std::function<void(const TOcrPlane&)>& fill) override {
        FakeOcrScript& s = *FScript;
        ++s.prepared;
        s.width = width;
        s.height = height;
        s.stride = static_cast<std::ptrdiff_t>(width) * 4 + s.extraStride;
        const std::size_t size = static_cast<std::size_t>(s.start + s.stride * height - s.capacityShortBy);
        s.packed.assign(size, 0xCD);
        fill(TOcrPlane{s.packed.data(), s.packed.size(), s.start, s.stride, width, height});
        return std::make_unique<FakeOcrJob>(FScript);
    }

private:
    std::shared_ptr<FakeOcrScript> FScript;
};

class FakeOcrBackend : public TOcrBackend {
public:
    explicit FakeOcrBackend(std::shared_ptr<FakeOcrScript> script) : FScript(std::move(script)) {}
    TLanguages AvailableLanguages() override {
        if (FScript->unavailable) throw ERtOcrError(L"Class not registered");
        return FScript->languages;
    }
    int MaxImageDimension() override {
        if (FScript->unavailable) throw ERtOcrError(L"Class not registered");
        return FScript->maxDimension;
    }
    std::unique_ptr<TOcrEngine> CreateEngine(const TLanguage& language) override {
        if (FScript->unavailable) throw ERtOcrError(L"Class not registered");
        if (!FindLanguage(FScript->languages, language) || FScript->nullEngine) return nullptr;
        FScript->engineLanguage = language;
        return std::make_unique<FakeOcrEngine>(FScript);
    }

private:
    std::shared_ptr<FakeOcrScript> FScript;
};

inline TLanguage English() { return {L"English", L"en-US", L"English", L"Latin"}; }
inline TLanguage Korean() { return {L"Korean", L"ko", L"한국어", L"Kore"}; }

}  // namespace tovasen::test
