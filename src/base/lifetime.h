#pragma once
// Calls that come back later (from a worker through the UI queue, from a timer, from a window
// that outlives its opener) find out through this whether their owner still exists. The owner
// keeps one as its last member, so it goes first. Checked and ended on the owner's thread only.
#include <functional>
#include <memory>
#include <utility>

namespace tovasen {

class TLifetime {
public:
    TLifetime() = default;
    TLifetime(const TLifetime&) = delete;
    TLifetime& operator=(const TLifetime&) = delete;

    // call, made to run only while the owner lives; safe to copy to any thread and to run late.
    // Args are what the call takes (none unless named).
    template <class... Args, class F>
    std::function<void(Args...)> Guard(F call) const {
        return [alive = std::weak_ptr<const int>(FAlive), call = std::move(call)](Args... args) mutable {
            if (alive.lock()) call(std::forward<Args>(args)...);
        };
    }
    // The owner ends early (before its members are torn down): later calls run nothing.
    void End() noexcept { FAlive.reset(); }
    bool Alive() const noexcept { return FAlive != nullptr; }

private:
    std::shared_ptr<const int> FAlive = std::make_shared<const int>(0);
};

}  // namespace tovasen
