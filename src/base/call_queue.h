#pragma once
// Calls handed to one thread from any other. The queue belongs to its owner's loop; workers
// keep only posters, which share the queue, so a worker that posts after the owner has gone
// finds the queue closed instead of freed.
#include <deque>
#include <functional>
#include <memory>
#include <mutex>

namespace tovasen {

// Hands a call to the owner's thread; false, running nothing, once the owner's loop has ended
// or the owner is gone. Safe to keep, copy and call from any thread after that.
using TPoster = std::function<bool(std::function<void()>)>;

class TCallQueue {
public:
    // Asks the owner's thread to call RunAll soon; false when that cannot be asked.
    using TWake = std::function<bool()>;

    // Until a wake is set, calls are refused: nobody would come to run them.
    void SetWake(TWake wake);
    bool Post(std::function<void()> call);
    // On the owner's thread: runs every call queued so far, each through run (which guards
    // it), in the order they came.
    void RunAll(const std::function<void(const std::function<void()>&)>& run);
    // The owner's loop has ended: queued calls are dropped, later ones refused. The dropped
    // calls are freed here, outside the lock, so a waiter whose call dies learns it now.
    void Close();
    bool Closed() const;

    // A poster for this queue; it keeps the queue alive, never the owner.
    static TPoster PosterOf(const std::shared_ptr<TCallQueue>& queue);

private:
    using TCall = std::shared_ptr<std::function<void()>>;
    TCall Next();

    mutable std::mutex FLock;
    bool FClosed = false;
    TWake FWake;
    std::deque<TCall> FCalls;
};

}  // namespace tovasen
