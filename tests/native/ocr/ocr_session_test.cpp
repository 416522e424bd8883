// The recogniser against the scripted engine: one recognition at a time, results only through
// the owner's queue, and nothing touched once the recogniser is gone.
#include "ocr/ocr_session.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <deque>
#include <thread>

#include "base/call_queue.h"
#include "fake_ocr_backend.h"

namespace tovasen {
namespace {

using test::FakeCompletion;

class OcrSession : public ::testing::Test {
protected:
    OcrSession() {
        script->languages = {test::English(), test::Korean()};
        script->result.Text = L"Hello world";
        script->result.TextAngle = 1.5;
        script->result.Lines = {{L"Hello world", {{L"Hello", {1, 2, 3, 4}}, {L"world", {5, 6, 7, 8}}}}};
        picture.assign(6 * 4 * 4, 0x40);
    }
    ~OcrSession() override { script->JoinThreads(); }

    std::unique_ptr<TOcrSession> Make() {
        return std::make_unique<TOcrSession>(std::make_shared<test::FakeOcrBackend>(script), [this](auto call) {
            std::lock_guard<std::mutex> guard(queueLock);
            if (loopEnded) return false;
            queue.push_back(std::move(call));
            return true;
        });
    }
    // What the owner's message loop does with the queue.
    int RunQueue() {
        int ran = 0;
        for (;;) {
            std::function<void()> call;
            {
                std::lock_guard<std::mutex> guard(queueLock);
                if (queue.empty()) return ran;
                call = std::move(queue.front());
                queue.pop_front();
            }
            call();
            ++ran;
        }
    }
    PixelView Picture() const { return {picture.data(), 6, 4, 24, 4}; }
    void Recognize(TOcrSession& s, const TLanguage& language = test::English()) {
        s.Recognize(language, Picture(), 0, 0, 0, 0, [this](const TResult& r) {
            results.push_back(r);
            deliveredOn = std::this_thread::get_id();
        });
    }
    static std::wstring ErrorOf(const std::function<void()>& call) {
        try {
            call();
        } catch (const Exception& e) {
            return e.Message();
        }
        return L"(no error)";
    }

    std::shared_ptr<test::FakeOcrScript> script = std::make_shared<test::FakeOcrScript>();
    std::vector<std::uint8_t> picture;
    std::mutex queueLock;
    std::deque<std::function<void()>> queue;
    bool loopEnded = false;
    std::vector<TResult> results;
    std::thread::id deliveredOn;
};

TEST_F(OcrSession, ACompletionArrivesThroughTheQueueAndFreesTheRecogniser) {
    auto session = Make();
    Recognize(*session);
    EXPECT_TRUE(session->Busy());
    EXPECT_EQ(L"Recognition already started", ErrorOf([&] { Recognize(*session); }));
    EXPECT_EQ(6, script->width);
    EXPECT_EQ(4, script->height);
    EXPECT_EQ(L"en-US", script->engineLanguage.LanguageTag);
    EXPECT_EQ(0xFF, script->packed[3]) << "alpha is set while packing";
    script->Fire(TStatus::stCompleted);
    EXPECT_TRUE(results.empty()) << "delivered before the owner's loop ran";
    EXPECT_EQ(1, RunQueue());
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(TStatus::stCompleted, results[0].Status);
    EXPECT_EQ(L"Hello world", results[0].Text);
    EXPECT_EQ(1.5, results[0].TextAngle);
    ASSERT_EQ(1u, results[0].Lines.size());
    ASSERT_EQ(2u, results[0].Lines[0].Words.size());
    EXPECT_EQ(L"world", results[0].Lines[0].Words[1].Text);
    EXPECT_EQ(7.0f, results[0].Lines[0].Words[1].Rect.Width);
    EXPECT_FALSE(session->Busy());
    EXPECT_EQ(1, script->jobsDestroyed) << "the finished operation is released";
    Recognize(*session, test::Korean());
    EXPECT_TRUE(session->Busy()) << "a new recognition is accepted after the completion";
}

TEST_F(OcrSession, ACompletionFromInsideStartIsStillDeferred) {
    script->completion = FakeCompletion::Immediately;
    auto session = Make();
    Recognize(*session);
    EXPECT_TRUE(results.empty());
    EXPECT_TRUE(session->Busy());
    EXPECT_EQ(1, RunQueue());
    ASSERT_EQ(1u, results.size());
    EXPECT_FALSE(session->Busy());
}

TEST_F(OcrSession, ACompletionOnAForeignThreadIsDeliveredOnTheOwnersThread) {
    script->completion = FakeCompletion::ForeignThread;
    auto session = Make();
    Recognize(*session);
    script->JoinThreads();
    EXPECT_TRUE(results.empty());
    EXPECT_EQ(1, RunQueue());
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(std::this_thread::get_id(), deliveredOn);
}

TEST_F(OcrSession, CancelAndErrorAreDeliveredWithTheirStatusAndNoText) {
    auto session = Make();
    Recognize(*session);
    session->Cancel();
    RunQueue();
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(TStatus::stCanceled, results[0].Status);
    EXPECT_TRUE(results[0].Lines.empty());
    Recognize(*session);
    script->Fire(TStatus::stError);
    RunQueue();
    ASSERT_EQ(2u, results.size());
    EXPECT_EQ(TStatus::stError, results[1].Status);
    EXPECT_EQ(L"", results[1].Text);
    EXPECT_FALSE(session->Busy());
    session->Cancel();  // nothing running: nothing happens
    EXPECT_EQ(1, script->cancels);
}

TEST_F(OcrSession, FailuresBeforeTheStartLeaveItIdle) {
    auto session = Make();
    TLanguage latinKorean = test::Korean();
    latinKorean.Script = L"Latin";
    EXPECT_EQ(L"Language not available", ErrorOf([&] { Recognize(*session, latinKorean); }));
    EXPECT_FALSE(session->Busy());
    script->nullEngine = true;
    EXPECT_EQ(L"Language not available", ErrorOf([&] { Recognize(*session); }));
    script->nullEngine = false;
    EXPECT_EQ(L"Incorrect Right value", ErrorOf([&] {
                  session->Recognize(test::English(), Picture(), 0, 0, 7, 4, nullptr);
              }));
    EXPECT_EQ(0, script->width) << "no bitmap was made for a bad rectangle";
    script->capacityShortBy = 1;
    EXPECT_EQ(L"The bitmap buffer is too small", ErrorOf([&] { Recognize(*session); }));
    script->capacityShortBy = 0;
    EXPECT_FALSE(session->Busy());
    script->completion = FakeCompletion::ArmingFails;
    EXPECT_THROW(Recognize(*session), std::runtime_error);
    EXPECT_FALSE(session->Busy()) << "a failed arming rolls the busy state back";
    script->completion = FakeCompletion::Held;
    Recognize(*session);
    EXPECT_TRUE(session->Busy());
    EXPECT_TRUE(results.empty());
}

TEST_F(OcrSession, ALateCompletionAfterDestructionTouchesNothing) {
    auto session = Make();
    Recognize(*session);
    session.reset();
    EXPECT_EQ(1, script->closes) << "destruction closes the running operation";
    // The fake's Close cancels, as the platform does; the completion is queued and then dropped.
    EXPECT_EQ(1, RunQueue());
    EXPECT_TRUE(results.empty());

    script->completion = FakeCompletion::Never;
    session = Make();
    Recognize(*session);
    session.reset();
    script->Fire(TStatus::stCompleted);  // a platform thread that comes back after all
    EXPECT_EQ(1, RunQueue());
    EXPECT_TRUE(results.empty());
}

TEST_F(OcrSession, AnOperationThatNeverCompletesKeepsItBusyUntilDestroyed) {
    script->completion = FakeCompletion::Never;
    auto session = Make();
    Recognize(*session);
    session->Cancel();
    EXPECT_EQ(0, RunQueue());
    EXPECT_TRUE(session->Busy());
    EXPECT_EQ(L"Recognition already started", ErrorOf([&] { Recognize(*session); }));
}

TEST_F(OcrSession, NothingIsDeliveredOnceTheOwnersLoopHasEnded) {
    script->completion = FakeCompletion::ForeignThread;
    auto session = Make();
    Recognize(*session);
    {
        std::lock_guard<std::mutex> guard(queueLock);
        loopEnded = true;
    }
    script->JoinThreads();
    EXPECT_EQ(0, RunQueue());
    EXPECT_TRUE(results.empty());
}

// The end of the program with a recognition running, in the order the application goes
// through it: its loop runs the queue a last time and ends (the queue closes), the main window
// frees the recogniser, and the application lets go of the queue. Meanwhile an engine thread
// completes the recognition. The completion lands in a different gap each round; whatever it
// finds must still exist (AddressSanitizer watches), and nothing is delivered once the loop
// has ended.
TEST(OcrSessionTeardown, ACompletionDuringTheApplicationsEndTouchesNothingFreed) {
    const std::vector<std::uint8_t> picture(4 * 4 * 4, 0x80);
    int delivered = 0, deliveredLate = 0;
    for (int round = 0; round < 400; ++round) {
        auto script = std::make_shared<test::FakeOcrScript>();
        script->languages = {test::English()};
        auto queue = std::make_shared<TCallQueue>();
        queue->SetWake([] { return true; });
        auto session = std::make_unique<TOcrSession>(std::make_shared<test::FakeOcrBackend>(script),
                                                     TCallQueue::PosterOf(queue));
        bool loopEnded = false;
        session->Recognize(test::English(), {picture.data(), 4, 4, 16, 4}, 0, 0, 0, 0, [&](const TResult&) {
            ++delivered;
            if (loopEnded) ++deliveredLate;
        });
        std::atomic<bool> go{false};
        std::thread engine([script, &go, spin = round % 40] {
            while (!go) std::this_thread::yield();
            for (int i = 0; i < spin; ++i) std::this_thread::yield();
            script->Fire(TStatus::stCompleted);
        });
        go = true;
        queue->RunAll([](const std::function<void()>& call) { call(); });
        queue->Close();
        loopEnded = true;
        session.reset();
        queue.reset();
        engine.join();
    }
    EXPECT_EQ(0, deliveredLate);
    std::printf("400 teardowns: %d completions delivered before the loop ended, the rest dropped\n", delivered);
}

}  // namespace
}  // namespace tovasen
