// Linked into every Windows test program: turns the two ways a test program can wait forever
// into a failure that says what it waited for.
// - A message box nobody answers (a test's answerer gone, or a box no test expected) blocks the
//   test's thread in its modal loop: after kBoxMs the box's text is printed, the box is closed
//   and the running test fails.
// - A case that runs past kCaseMs, or a program that has not ended kExitMs after its last case,
//   has its windows printed and the program ends with a failure code, so that CTest reports it
//   at once with the reason instead of a bare time-out.
#include <windows.h>
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/utf_convert.h"
#include "support/process.h"

namespace tovasen::test {
namespace {

constexpr ULONGLONG kBoxMs = 15000;
constexpr ULONGLONG kCaseMs = 150000;
constexpr ULONGLONG kExitMs = 30000;

// Read without a message: the window's thread may be the one that hangs.
std::string WindowText(HWND hwnd) {
    wchar_t text[512] = {};
    InternalGetWindowText(hwnd, text, 512);
    return WideToUtf8(text);
}

std::string BoxText(HWND box) {
    wchar_t text[1024] = {};
    GetDlgItemTextW(box, 0xFFFF, text, 1024);
    return WideToUtf8(text);
}

void PrintWindows() {
    EnumWindows(
        [](HWND hwnd, LPARAM) -> BOOL {
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner != GetCurrentProcessId()) return TRUE;
            wchar_t name[128] = {};
            GetClassNameW(hwnd, name, 128);
            std::fprintf(stderr, "[ hang     ]   window %p class \"%s\" title \"%s\"%s\n", static_cast<void*>(hwnd),
                         WideToUtf8(name).c_str(), WindowText(hwnd).c_str(), IsWindowVisible(hwnd) ? " visible" : "");
            return TRUE;
        },
        0);
}

// Return addresses as offsets into their module, which scripts/hang-symbols.py names: the x64
// unwind data GCC emits is enough to walk a stopped thread's stack. While the thread is stopped
// only the unwinder runs, into a fixed array: the stopped thread may hold the loader's, the heap's
// or the output's lock, and naming modules, converting text or printing would wait on it for ever.
void PrintStack(DWORD threadId) {
    HANDLE thread = OpenThread(THREAD_SUSPEND_RESUME | THREAD_GET_CONTEXT | THREAD_QUERY_INFORMATION, FALSE, threadId);
    if (!thread) return;
    DWORD64 frames[32] = {};
    int count = 0;
    if (SuspendThread(thread) != static_cast<DWORD>(-1)) {
        CONTEXT context{};
        context.ContextFlags = CONTEXT_FULL;
        if (GetThreadContext(thread, &context)) {
            for (; count < 32 && context.Rip != 0; ++count) {
                frames[count] = context.Rip;
                DWORD64 imageBase = 0;
                PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &imageBase, nullptr);
                if (!function) {  // a leaf function: the return address is on top of the stack
                    context.Rip = *reinterpret_cast<DWORD64*>(context.Rsp);
                    context.Rsp += 8;
                    continue;
                }
                void* handlerData = nullptr;
                DWORD64 establisher = 0;
                RtlVirtualUnwind(UNW_FLAG_NHANDLER, imageBase, context.Rip, function, &context, &handlerData,
                                 &establisher, nullptr);
            }
        }
        ResumeThread(thread);
    }
    CloseHandle(thread);
    std::fprintf(stderr, "[ hang     ]   thread %lu:", threadId);
    for (int i = 0; i < count; ++i) {
        HMODULE module = nullptr;
        wchar_t name[MAX_PATH] = L"?";
        if (GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                               reinterpret_cast<LPCWSTR>(frames[i]), &module)) {
            GetModuleFileNameW(module, name, MAX_PATH);
        }
        const wchar_t* base = wcsrchr(name, L'\\');
        std::fprintf(stderr, " %s+0x%llx", WideToUtf8(base ? base + 1 : name).c_str(),
                     static_cast<unsigned long long>(frames[i] - reinterpret_cast<DWORD64>(module)));
    }
    std::fprintf(stderr, "\n");
}

void PrintThreads() {
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return;
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId() && entry.th32ThreadID != GetCurrentThreadId())
            PrintStack(entry.th32ThreadID);
    }
    CloseHandle(snapshot);
}

[[noreturn]] void EndStuck(const std::string& why) {
    std::fprintf(stderr, "[ hang     ] %s; this program's windows:\n", why.c_str());
    PrintWindows();
    std::fprintf(stderr, "[ hang     ] its threads (scripts/hang-symbols.py <program> names them):\n");
    PrintThreads();
    std::fflush(stderr);
    std::fflush(stdout);
    TerminateProcess(GetCurrentProcess(), 3);
    for (;;) Sleep(INFINITE);
}

class HangWatch : public ::testing::EmptyTestEventListener {
public:
    HangWatch() : thread_([this] { Run(); }) { thread_.detach(); }

private:
    void OnTestStart(const ::testing::TestInfo& info) override {
        std::lock_guard<std::mutex> hold(lock_);
        test_ = std::string(info.test_suite_name()) + "." + info.name();
        started_ = GetTickCount64();
    }
    void OnTestEnd(const ::testing::TestInfo&) override {
        std::lock_guard<std::mutex> hold(lock_);
        test_.clear();
    }
    void OnTestProgramEnd(const ::testing::UnitTest&) override {
        PrintChildren();
        {
            std::lock_guard<std::mutex> hold(lock_);
            programEnded_ = GetTickCount64();
        }
        // A scan under way ends before main returns, and none starts after.
        std::lock_guard<std::mutex> wait(scanning_);
    }

    // A child or grandchild still running after the last case may hold this program's output
    // open (handles are inherited down the line), and CTest waits for that output to close: say
    // which.
    static void PrintChildren() {
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
        if (snapshot == INVALID_HANDLE_VALUE) return;
        std::vector<PROCESSENTRY32W> processes;
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof entry;
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            processes.push_back(entry);
        CloseHandle(snapshot);
        std::vector<DWORD> ours{GetCurrentProcessId()};
        for (std::size_t i = 0; i < ours.size(); ++i) {
            for (const PROCESSENTRY32W& p : processes) {
                // A reused process id must not make a loop.
                if (p.th32ParentProcessID != ours[i] || std::find(ours.begin(), ours.end(), p.th32ProcessID) != ours.end())
                    continue;
                ours.push_back(p.th32ProcessID);
                std::fprintf(stderr, "[ left     ] process %lu (%s), started by %lu, still runs after the last case\n",
                             p.th32ProcessID, WideToUtf8(p.szExeFile).c_str(), p.th32ParentProcessID);
            }
        }
    }

    // Detached on purpose: it must outlive everything it watches, the end of main included.
    // Once the last case has run, it only reads the clock: a thread that exit ends while it
    // holds the heap's lock (Wine ends threads without taking it first) would hang the exit.
    void Run() {
        std::map<HWND, ULONGLONG> boxesSeen;
        for (;;) {
            Sleep(500);
            const ULONGLONG now = GetTickCount64();
            {
                std::lock_guard<std::mutex> hold(lock_);
                if (programEnded_ != 0) {
                    if (now - programEnded_ > kExitMs)
                        EndStuck("the program has not ended " + std::to_string(kExitMs / 1000) + " s after its last test");
                    continue;
                }
                if (!test_.empty() && now - started_ > kCaseMs)
                    EndStuck(test_ + " has run for " + std::to_string((now - started_) / 1000) + " s");
            }
            std::lock_guard<std::mutex> scan(scanning_);
            if (!Ended()) CloseUnansweredBoxes(boxesSeen, now);
        }
    }

    bool Ended() {
        std::lock_guard<std::mutex> hold(lock_);
        return programEnded_ != 0;
    }

    static void CloseUnansweredBoxes(std::map<HWND, ULONGLONG>& boxesSeen, ULONGLONG now) {
        std::map<HWND, ULONGLONG> stillThere;
        for (HWND box : ProcessWindows(GetCurrentProcessId(), L"#32770")) {
            if (!IsWindowVisible(box)) continue;
            const auto seen = boxesSeen.find(box);
            const ULONGLONG since = seen == boxesSeen.end() ? now : seen->second;
            if (now - since < kBoxMs) {
                stillThere[box] = since;
                continue;
            }
            const std::string text = BoxText(box);
            std::fprintf(stderr, "[ hang     ] a message box nobody answered: \"%s\"; closed\n", text.c_str());
            PostMessageW(box, WM_COMMAND, IDCANCEL, 0);
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            ADD_FAILURE() << "a message box waited " << kBoxMs / 1000 << " s for an answer: \"" << text << "\"";
        }
        boxesSeen = std::move(stillThere);
    }

    std::mutex lock_;
    std::mutex scanning_;  // held while the thread allocates
    std::string test_;
    ULONGLONG started_ = 0;
    ULONGLONG programEnded_ = 0;
    std::thread thread_;
};

// Registered before main runs: gtest_main's InitGoogleTest keeps listeners appended earlier.
const bool registered = [] {
    ::testing::UnitTest::GetInstance()->listeners().Append(new HangWatch);
    return true;
}();

}  // namespace
}  // namespace tovasen::test
