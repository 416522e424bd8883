#include "record/encoder_output.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>

#include "record/command_line.h"
#include "record/command_runner.h"
#include "record/ffmpeg_command.h"
#include "support/files.h"
#include "support/process.h"
#include "support/wait.h"

namespace tovasen::test {

std::wstring EncoderPath() { return DistFolder() + L"ffmpeg.exe"; }

std::wstring RunEncoder(const std::wstring& args) {
    TCommandRunner runner;
    runner.SetOutputEncoding(TOutputEncoding::Utf8);
    std::wstring text;
    bool done = false;
    runner.OnNewLine = [&](TCommandRunner&, const std::wstring& line, TOutputType type) {
        if (type == TOutputType::otEntireLine) text += line + L"\n";
    };
    runner.OnTerminated = [&](TCommandRunner&) { done = true; };
    runner.CommandLine = QuoteProgram(EncoderPath()) + L" " + args;
    runner.Execute();
    EXPECT_TRUE(WaitUntil([&] { return done; }, 60000));
    return text;
}

double LastProgressTime(const std::wstring& text, std::size_t before) {
    const std::size_t at = text.rfind(L"time=", before);
    return at == std::wstring::npos ? -1 : RecTimeSeconds(ProgressTime(text.substr(at, 20) + L" "));
}

DecodedVideo DecodeVideo(const std::wstring& file) {
    DecodedVideo d;
    d.text = RunEncoder(L"-hide_banner -i " + QuoteArgument(file) + L" -map 0:v -f null -");
    const std::size_t frame = d.text.rfind(L"frame=");
    if (frame == std::wstring::npos) return d;
    d.frames = std::stoi(d.text.substr(frame + 6));
    d.seconds = LastProgressTime(d.text);
    return d;
}

namespace {

std::string UnixPath(const std::wstring& file) {
    using ToUnix = char*(CDECL*)(LPCWSTR);
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!toUnix) return {};
    char* path = toUnix(file.c_str());
    if (!path) return {};
    std::string out(path);
    HeapFree(GetProcessHeap(), 0, path);
    return out;
}

// What ffprobe prints with these options about file; empty, with why in failure, when it could
// not run. Its answer is complete once it holds last (and ends in a line break).
std::string Ffprobe(const std::wstring& file, const std::wstring& options, const std::string& last, std::string& failure) {
    const std::wstring answer = file + L".ffprobe.txt";
    const std::string path = UnixPath(file), answerPath = UnixPath(answer);
    if (path.empty() || answerPath.empty()) {
        failure = "no Unix path (not under Wine?)";
        return {};
    }
    DeleteFileW(answer.c_str());
    // Wine starts a Linux program without a process handle and without our standard handles:
    // it writes its answer into a file.
    std::wstring command = L"/usr/bin/ffprobe -v error " + options + L" -o " +
                           QuoteArgument(std::wstring(answerPath.begin(), answerPath.end())) + L" " +
                           QuoteArgument(std::wstring(path.begin(), path.end()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\usr\\bin\\ffprobe", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        failure = "ffprobe did not start: " + std::to_string(GetLastError());
        return {};
    }
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    std::string text;
    WaitUntil([&] {
        if (!FileExists(answer)) return false;
        const auto bytes = ReadFileBytes(answer);
        text.assign(bytes.begin(), bytes.end());
        return !text.empty() && text.back() == '\n' && text.find(last) != std::string::npos;
    }, 20000);
    DeleteFileW(answer.c_str());
    return text;
}

}  // namespace

ProbedLength FfprobeLength(const std::wstring& file) {
    ProbedLength probed;
    std::string failure;
    probed.text = Ffprobe(file, L"-show_entries format=duration -of default=nw=1:nk=1", "", failure);
    if (probed.text.empty()) probed.text = failure;
    char* end = nullptr;
    const double seconds = std::strtod(probed.text.c_str(), &end);
    if (end != probed.text.c_str()) probed.seconds = seconds;
    return probed;
}

ProbedAnimation FfprobeAnimation(const std::wstring& file) {
    ProbedAnimation probed;
    std::string failure;
    probed.text = Ffprobe(file, L"-count_frames -select_streams v:0 -show_entries "
                                L"stream=width,height,nb_read_frames:format=format_name,duration -of default=nw=1",
                          "duration=", failure);
    if (probed.text.empty()) probed.text = failure;
    const std::string lines = "\n" + probed.text;
    const auto field = [&](const std::string& name) {
        const std::size_t at = lines.find("\n" + name + "=");
        if (at == std::string::npos) return std::string();
        const std::size_t value = at + name.size() + 2;
        return lines.substr(value, lines.find('\n', value) - value);
    };
    probed.format = field("format_name");
    probed.width = std::atoi(field("width").c_str());
    probed.height = std::atoi(field("height").c_str());
    probed.frames = std::atoi(field("nb_read_frames").c_str());
    probed.seconds = std::strtod(field("duration").c_str(), nullptr);
    return probed;
}

}  // namespace tovasen::test
