#include "app/reply_sender.h"

#include "app/reply_parts.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <utility>

namespace tovasen {

struct TReplySender::TState {
    struct TItem {
        HWND From;
        ULONG_PTR Kind;  // dwData: a whole reply or a part of one
        std::wstring Json;
    };
    struct TWindowQueue {
        std::deque<TItem> Items;
        std::size_t Bytes = 0;
    };
    // A window that let a reply time out, told apart from a later window that gets its handle
    // by the thread that made it.
    using TWindowId = std::pair<HWND, DWORD>;
    static constexpr std::size_t kMaxGivenUp = 64;

    std::mutex Lock;
    std::condition_variable Changed;
    std::map<HWND, TWindowQueue> Queues;  // each with a thread sending it, while not empty
    std::deque<TWindowId> GivenUp;
    std::size_t Bytes = 0;  // of every queue
    bool Stopping = false;
};

namespace {

using TState = TReplySender::TState;

TState::TWindowId IdOf(HWND window) { return {window, GetWindowThreadProcessId(window, nullptr)}; }

bool IsGivenUp(const TState& state, HWND window) {
    const TState::TWindowId id = IdOf(window);
    for (const TState::TWindowId& given : state.GivenUp) {
        if (given == id) return true;
    }
    return false;
}

// False when the window took too long: it is not sent anything more.
bool SendOne(HWND to, const TState::TItem& item) {
    if (!IsWindow(to)) return true;
    COPYDATASTRUCT data{};
    data.dwData = item.Kind;
    data.cbData = static_cast<DWORD>((item.Json.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(item.Json.c_str());
    DWORD_PTR ignored = 0;
    SetLastError(ERROR_SUCCESS);
    if (SendMessageTimeoutW(to, WM_COPYDATA, reinterpret_cast<WPARAM>(item.From), reinterpret_cast<LPARAM>(&data),
                            SMTO_BLOCK | SMTO_ABORTIFHUNG, TReplySender::kReplyTimeoutMs, &ignored)) {
        return true;
    }
    return !IsWindow(to);  // gone meanwhile: nothing to give up on
}

void Serve(const std::shared_ptr<TState>& state, HWND to, const std::stop_token& stop) {
    std::unique_lock<std::mutex> lock(state->Lock);
    for (;;) {
        auto queue = state->Queues.find(to);
        if (queue->second.Items.empty()) {
            state->Queues.erase(queue);
            state->Changed.notify_all();
            return;
        }
        TState::TItem item = std::move(queue->second.Items.front());
        queue->second.Items.pop_front();
        queue->second.Bytes -= item.Json.size() * sizeof(wchar_t);
        state->Bytes -= item.Json.size() * sizeof(wchar_t);
        lock.unlock();
        const bool answered = SendOne(to, item);
        lock.lock();
        if (!answered || stop.stop_requested()) {
            queue = state->Queues.find(to);
            queue->second.Items.clear();
            state->Bytes -= queue->second.Bytes;
            queue->second.Bytes = 0;
        }
        if (!answered) {
            state->GivenUp.push_back(IdOf(to));
            if (state->GivenUp.size() > TState::kMaxGivenUp) state->GivenUp.pop_front();
        }
    }
}

}  // namespace

TReplySender::TReplySender() : FState(std::make_shared<TState>()) {}

TReplySender::~TReplySender() {
    {
        std::unique_lock<std::mutex> lock(FState->Lock);
        FState->Stopping = true;
        FState->Changed.wait_for(lock, std::chrono::milliseconds(kReplyTimeoutMs), [&] { return FState->Queues.empty(); });
    }
    FThreads.StopAll();
}

bool TReplySender::Send(HWND to, HWND from, RemoteReply reply) { return Send(to, from, std::vector{std::move(reply)}); }

bool TReplySender::Send(HWND to, HWND from, const std::vector<RemoteReply>& parts) {
    std::vector<TState::TItem> items;
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        const ULONG_PTR kind = parts.size() == 1 ? kReplyData : i + 1 < parts.size() ? kReplyPartData : kReplyLastPartData;
        items.push_back({from, kind, RemoteReplyJson(parts[i])});
        bytes += items.back().Json.size() * sizeof(wchar_t);
    }
    std::lock_guard<std::mutex> lock(FState->Lock);
    if (FState->Stopping || IsGivenUp(*FState, to)) return false;
    const bool serving = FState->Queues.count(to) != 0;
    if (!serving && FState->Queues.size() >= kMaxWindows) return false;
    TState::TWindowQueue& queue = FState->Queues[to];
    if (queue.Items.size() + items.size() > kMaxRepliesPerWindow || FState->Bytes + bytes > kMaxBytes) {
        if (!serving) FState->Queues.erase(to);
        return false;
    }
    for (TState::TItem& item : items) queue.Items.push_back(std::move(item));
    queue.Bytes += bytes;
    FState->Bytes += bytes;
    if (!serving) FThreads.Start([state = FState, to](const std::stop_token& stop) { Serve(state, to, stop); });
    return true;
}

}  // namespace tovasen
