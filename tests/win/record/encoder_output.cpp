#include "record/encoder_output.h"

#include <gtest/gtest.h>

#include "record/command_line.h"
#include "record/command_runner.h"
#include "record/ffmpeg_command.h"
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

}  // namespace tovasen::test
