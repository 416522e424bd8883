#include "base/worker.h"

#include <utility>

#include "base/log_event.h"

namespace tovasen {

TWorker::~TWorker() { StopAll(); }

void TWorker::Start(TJob job, std::function<void()> onStop) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::vector<TThread> ended;
    {
        std::lock_guard<std::mutex> hold(FLock);
        for (auto it = FThreads.begin(); it != FThreads.end();) {
            if (it->Done->load()) {
                ended.push_back(std::move(*it));
                it = FThreads.erase(it);
            } else {
                ++it;
            }
        }
        FThreads.push_back({done, std::jthread([job = std::move(job), done](std::stop_token stop) {
                                try {
                                    job(stop);
                                } catch (...) {
                                    LogCaught(L"worker", std::current_exception());
                                }
                                done->store(true);
                            }),
                            std::move(onStop)});
    }
    // Joined outside the lock (each has as good as returned): a job may start another.
    for (TThread& thread : ended) thread.Thread.join();
}

void TWorker::StopAll() {
    std::vector<TThread> running;
    {
        std::lock_guard<std::mutex> hold(FLock);
        running.swap(FThreads);
    }
    for (TThread& thread : running) {
        thread.Thread.request_stop();
        if (thread.OnStop) thread.OnStop();
    }
    for (TThread& thread : running) thread.Thread.join();
}

std::size_t TWorker::Running() const {
    std::lock_guard<std::mutex> hold(FLock);
    std::size_t count = 0;
    for (const TThread& thread : FThreads) count += thread.Done->load() ? 0 : 1;
    return count;
}

TWorker& ProgramWorker() {
    static TWorker worker;
    return worker;
}

}  // namespace tovasen
