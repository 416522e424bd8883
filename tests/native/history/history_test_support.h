#pragma once
// Shared set-up of the history's native tests: a throw-away folder and entries to store.
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "base/utf_convert.h"
#include "history/file_path.h"
#include "history/history_entry.h"

namespace tovasen::test {

class HistoryFolder {
public:
    HistoryFolder() {
        std::random_device random;
        path_ = std::filesystem::temp_directory_path() / ("tovasen-history-" + std::to_string(random()));
        std::filesystem::create_directories(path_);
    }
    HistoryFolder(const HistoryFolder&) = delete;
    HistoryFolder& operator=(const HistoryFolder&) = delete;
    ~HistoryFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    std::wstring Wide() const { return WidePath(path_); }
    const std::filesystem::path& Path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline THistoryEntry Entry(std::int64_t timeMs, const std::wstring& target, const std::wstring& path = {},
                           const std::wstring& title = L"Untitled") {
    THistoryEntry entry;
    entry.TimeUtcMs = timeMs;
    entry.UtcOffsetMinutes = 540;
    entry.Mode = L"fullscreen";
    entry.Target = target;
    entry.Path = path;
    entry.WindowTitle = title;
    entry.ProcessName = L"notepad.exe";
    entry.Width = 640;
    entry.Height = 480;
    return entry;
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

}  // namespace tovasen::test
