#pragma once
// Threads that belong to whoever started them. Each job runs on a thread of its own and is
// handed a stop token; the owner's end asks every job still running to stop and waits for it.
// A job therefore checks its token between steps (or waits on it), and a step it cannot
// interrupt needs a deadline of its own: that deadline is how long the owner's end may wait.
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

namespace tovasen {

class TWorker {
public:
    using TJob = std::function<void(std::stop_token stop)>;

    TWorker() = default;
    TWorker(const TWorker&) = delete;
    TWorker& operator=(const TWorker&) = delete;
    // StopAll.
    ~TWorker();

    // Runs job on a new thread. Threads whose job has ended are joined here, so an owner that
    // starts many keeps only the running ones. An exception that escapes a job is dropped: the
    // job reports its own failures, and one it missed must not end the program.
    // onStop, when given, is for a step that only something done from outside ends (a blocking
    // network call whose handles are closed): StopAll runs it on its own thread, after asking
    // the job to stop and before waiting for it, whether or not the job has returned by then, so
    // it holds what it touches by shared ownership. (Not a std::stop_callback: removing one while
    // a stop runs it waits on a semaphore that this compiler's library can leave asleep.)
    void Start(TJob job, std::function<void()> onStop = {});
    // Asks every job running now to stop and waits until each has returned. Jobs started later
    // run as usual. Not from one of this worker's own jobs.
    void StopAll();
    // Jobs started and not yet returned.
    std::size_t Running() const;

private:
    struct TThread {
        std::shared_ptr<std::atomic<bool>> Done;  // set by the job's thread as its last act
        std::jthread Thread;
        std::function<void()> OnStop;
    };
    mutable std::mutex FLock;
    std::vector<TThread> FThreads;
};

// The owner of work that must outlive whatever started it (a request still going after its
// caller has its answer): lives until the program ends, which then waits for those jobs as
// above. Safe to use from any thread.
TWorker& ProgramWorker();

}  // namespace tovasen
