#pragma once
// One thread that runs jobs one after another, in the order given. It starts with a job and
// ends once it has had nothing to do for a while, so a run of jobs pays for one thread start
// (about a millisecond under Wine, where every loaded library hears of each new thread) and a
// program at rest keeps no thread for it.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tovasen {

class TJobThread {
public:
    // The thread ends after idleMs without a job.
    explicit TJobThread(unsigned idleMs);
    TJobThread(const TJobThread&) = delete;
    TJobThread& operator=(const TJobThread&) = delete;
    // Waits for every job given, then for the thread.
    ~TJobThread();

    // Queues job. An exception that escapes it is dropped: a job reports its own failures.
    void Run(std::function<void()> job);
    // Waits until every job given has returned and its function object is gone (what it holds
    // is let go by then). Not from a job.
    void WaitIdle();
    // How many threads were started (tests, figures).
    std::size_t Starts() const;

private:
    void Main();

    const unsigned FIdleMs;
    mutable std::mutex FLock;
    std::condition_variable FChanged;
    std::deque<std::function<void()>> FJobs;
    bool FBusy = false;     // a job is running
    bool FRunning = false;  // the thread is in Main and will look at FJobs again
    bool FEnding = false;
    std::size_t FStarts = 0;
    std::thread FThread;
};

}  // namespace tovasen
