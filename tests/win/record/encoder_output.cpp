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

}  // namespace

ProbedLength FfprobeLength(const std::wstring& file) {
    ProbedLength probed;
    const std::wstring answer = file + L".ffprobe.txt";
    const std::string path = UnixPath(file), answerPath = UnixPath(answer);
    if (path.empty() || answerPath.empty()) {
        probed.text = "no Unix path (not under Wine?)";
        return probed;
    }
    DeleteFileW(answer.c_str());
    // Wine starts a Linux program without a process handle and without our standard handles:
    // it writes its answer into a file, which is complete once it ends in a line break.
    std::wstring command = L"/usr/bin/ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 -o " +
                           QuoteArgument(std::wstring(answerPath.begin(), answerPath.end())) + L" " +
                           QuoteArgument(std::wstring(path.begin(), path.end()));
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(L"Z:\\usr\\bin\\ffprobe", command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info)) {
        probed.text = "ffprobe did not start: " + std::to_string(GetLastError());
        return probed;
    }
    if (info.hProcess) CloseHandle(info.hProcess);
    if (info.hThread) CloseHandle(info.hThread);
    WaitUntil([&] {
        if (!FileExists(answer)) return false;
        const auto bytes = ReadFileBytes(answer);
        probed.text.assign(bytes.begin(), bytes.end());
        return !probed.text.empty() && probed.text.back() == '\n';
    }, 20000);
    DeleteFileW(answer.c_str());
    char* end = nullptr;
    const double seconds = std::strtod(probed.text.c_str(), &end);
    if (end != probed.text.c_str()) probed.seconds = seconds;
    return probed;
}

}  // namespace tovasen::test
