#include "app/reply_sender.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

namespace tovasen {

struct TReplySender::TState {
    struct TItem {
        HWND To;
        HWND From;
        std::wstring Json;
    };
    std::mutex Lock;
    std::condition_variable Changed;
    std::deque<TItem> Items;
    bool Stopping = false;
    bool Idle = true;
};

namespace {

void SendOne(const TReplySender::TState::TItem& item) {
    if (!IsWindow(item.To)) return;
    COPYDATASTRUCT data{};
    data.dwData = kReplyData;
    data.cbData = static_cast<DWORD>((item.Json.size() + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(item.Json.c_str());
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(item.To, WM_COPYDATA, reinterpret_cast<WPARAM>(item.From), reinterpret_cast<LPARAM>(&data),
                        SMTO_BLOCK | SMTO_ABORTIFHUNG, TReplySender::kReplyTimeoutMs, &ignored);
}

void Run(const std::shared_ptr<TReplySender::TState>& state) {
    std::unique_lock<std::mutex> lock(state->Lock);
    for (;;) {
        state->Changed.wait(lock, [&] { return state->Stopping || !state->Items.empty(); });
        if (state->Items.empty()) return;  // stopping, and all sent
        const TReplySender::TState::TItem item = std::move(state->Items.front());
        state->Items.pop_front();
        state->Idle = false;
        lock.unlock();
        SendOne(item);
        lock.lock();
        state->Idle = true;
        state->Changed.notify_all();
    }
}

}  // namespace

TReplySender::TReplySender() : FState(std::make_shared<TState>()) {
    std::thread([state = FState] { Run(state); }).detach();
}

TReplySender::~TReplySender() {
    std::unique_lock<std::mutex> lock(FState->Lock);
    FState->Stopping = true;
    FState->Changed.notify_all();
    FState->Changed.wait_for(lock, std::chrono::milliseconds(kReplyTimeoutMs),
                             [&] { return FState->Items.empty() && FState->Idle; });
}

void TReplySender::Send(HWND to, HWND from, RemoteReply reply) {
    std::lock_guard<std::mutex> lock(FState->Lock);
    FState->Items.push_back({to, from, RemoteReplyJson(reply)});
    FState->Changed.notify_all();
}

}  // namespace tovasen
