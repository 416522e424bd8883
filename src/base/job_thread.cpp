#include "base/job_thread.h"

#include <chrono>
#include <utility>

namespace tovasen {

TJobThread::TJobThread(unsigned idleMs) : FIdleMs(idleMs) {}

TJobThread::~TJobThread() {
    {
        std::lock_guard<std::mutex> hold(FLock);
        FEnding = true;
    }
    FChanged.notify_all();
    if (FThread.joinable()) FThread.join();
}

void TJobThread::Run(std::function<void()> job) {
    std::lock_guard<std::mutex> hold(FLock);
    FJobs.push_back(std::move(job));
    if (FRunning) {
        FChanged.notify_all();
        return;
    }
    // The last thread has left Main (it does nothing after that): joined at once.
    if (FThread.joinable()) FThread.join();
    try {
        FThread = std::thread([this] { Main(); });
    } catch (...) {
        FJobs.pop_back();  // not run: the caller hears why
        throw;
    }
    FRunning = true;
    ++FStarts;
}

void TJobThread::WaitIdle() {
    std::unique_lock<std::mutex> lock(FLock);
    FChanged.wait(lock, [this] { return FJobs.empty() && !FBusy; });
}

std::size_t TJobThread::Starts() const {
    std::lock_guard<std::mutex> hold(FLock);
    return FStarts;
}

void TJobThread::Main() {
    std::unique_lock<std::mutex> lock(FLock);
    for (;;) {
        FChanged.wait_for(lock, std::chrono::milliseconds(FIdleMs), [this] { return !FJobs.empty() || FEnding; });
        if (FJobs.empty()) {
            FRunning = false;
            return;
        }
        std::function<void()> job = std::move(FJobs.front());
        FJobs.pop_front();
        FBusy = true;
        lock.unlock();
        try {
            job();
        } catch (...) {
            // Dropped, as the header says.
        }
        job = nullptr;
        lock.lock();
        FBusy = false;
        FChanged.notify_all();
    }
}

}  // namespace tovasen
