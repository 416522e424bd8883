#include "base/call_queue.h"

#include <algorithm>

namespace tovasen {

void TCallQueue::SetWake(TWake wake) {
    std::lock_guard<std::mutex> hold(FLock);
    if (!FClosed) FWake = std::move(wake);
}

bool TCallQueue::Post(std::function<void()> proc) {
    auto call = std::make_shared<std::function<void()>>(std::move(proc));
    TWake wake;
    {
        std::lock_guard<std::mutex> hold(FLock);
        if (FClosed || !FWake) return false;
        FCalls.push_back(call);
        wake = FWake;
    }
    // Woken outside the lock: the owner may be running the queue right now.
    if (wake()) return true;
    // Nothing will come to run it: take it back, so that a waiter learns it now.
    std::lock_guard<std::mutex> hold(FLock);
    const auto found = std::find(FCalls.begin(), FCalls.end(), call);
    if (found == FCalls.end()) return true;  // a run already took it
    FCalls.erase(found);
    return false;
}

TCallQueue::TCall TCallQueue::Next() {
    std::lock_guard<std::mutex> hold(FLock);
    if (FCalls.empty()) return nullptr;
    TCall call = std::move(FCalls.front());
    FCalls.pop_front();
    return call;
}

void TCallQueue::RunAll(const std::function<void(const std::function<void()>&)>& run) {
    while (const TCall call = Next()) run(*call);
}

void TCallQueue::Close() {
    std::deque<TCall> dropped;
    std::lock_guard<std::mutex> hold(FLock);
    FClosed = true;
    FWake = nullptr;
    dropped.swap(FCalls);
}

bool TCallQueue::Closed() const {
    std::lock_guard<std::mutex> hold(FLock);
    return FClosed;
}

TPoster TCallQueue::PosterOf(const std::shared_ptr<TCallQueue>& queue) {
    return [queue](std::function<void()> call) { return queue->Post(std::move(call)); };
}

}  // namespace tovasen
