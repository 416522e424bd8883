#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tovasen::test {

// Answers this process's message boxes from a second thread, as a user clicking OK would, and
// keeps their texts. For code under test that shows modal message boxes on the test's thread.
class MessageBoxAnswerer {
public:
    explicit MessageBoxAnswerer(int button = IDOK);
    MessageBoxAnswerer(const MessageBoxAnswerer&) = delete;
    MessageBoxAnswerer& operator=(const MessageBoxAnswerer&) = delete;
    ~MessageBoxAnswerer();

    std::vector<std::wstring> Texts();

private:
    void Run();
    int button_;
    std::atomic<bool> stop_{false};
    std::mutex lock_;
    std::vector<std::wstring> texts_;
    std::thread thread_;
};

}  // namespace tovasen::test
