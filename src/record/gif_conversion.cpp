#include "record/gif_conversion.h"

#include <windows.h>

#include "base/errors.h"
#include "base/exception_text.h"
#include "record/command_line.h"
#include "record/command_runner.h"
#include "record/ffmpeg_command.h"
#include "record/reserved_file.h"
#include "ui/application.h"

namespace tovasen {

TGifConversion::TGifConversion(std::wstring encoder, std::wstring video, TPoster poster)
    : FEncoder(std::move(encoder)), FVideo(std::move(video)), FPost(std::move(poster)) {}

TGifConversion::~TGifConversion() {
    FLifetime.End();
    FRunner.reset();  // ends the encoder and waits for it
    if (FRunning) RemoveFiles();
}

void TGifConversion::Start() {
    if (FRunning || !FDone.empty() || !FFailure.empty()) throw Exception(L"A GIF conversion runs once.");
    if (!FPost) FPost = ApplicationPoster();
    FGif = ReserveFreeFile([this](int attempt) { return GifPath(FVideo, attempt); });
    try {
        FPalette = ReserveFreeFile([this](int attempt) { return PalettePath(FVideo, attempt); });
        FRunning = true;
        RunPass(PaletteArguments(FVideo, FPalette), FPalette, [this] {
            RunPass(GifArguments(FVideo, FPalette, FGif), FGif, [this] { End({}); });
        });
    } catch (...) {
        RemoveFiles();
        FRunning = false;
        throw;
    }
}

void TGifConversion::RunPass(const std::wstring& arguments, const std::wstring& output, std::function<void()> next) {
    auto runner = std::make_unique<TCommandRunner>(nullptr, L"GifConversion", FPost);
    runner->SetOutputEncoding(TOutputEncoding::Utf8);
    runner->MaxTimeAfterLastOutput = SilenceLimitSeconds;
    auto said = std::make_shared<std::wstring>();
    runner->OnNewLine = [this, said](TCommandRunner&, const std::wstring& line, TOutputType type) {
        if (type != TOutputType::otEntireLine) return;
        if (!line.empty() && !IsProgressLine(line)) *said = line;
        if (OnLine) OnLine(line);
    };
    runner->OnTerminated = [this, said, output, next = std::move(next)](TCommandRunner& run) {
        std::wstring failure;
        if (run.Error()) {
            failure = ExceptionText(run.Error());
        } else if (run.EndStatus() == TEndStatus::esTime) {
            failure = L"ffmpeg.exe printed nothing for " + std::to_wstring(SilenceLimitSeconds) + L" s and was ended";
        } else if (run.EndStatus() != TEndStatus::esProcess || run.ExitCode() != 0) {
            failure = said->empty() ? L"ffmpeg.exe ended with the code " + std::to_wstring(run.ExitCode()) : *said;
        } else if (!HasContent(output)) {
            failure = L"ffmpeg.exe wrote nothing";
        }
        // From the queue: the runner whose end this is is not replaced inside its own handler.
        FPost(FLifetime.Guard([this, failure, next] {
            if (!failure.empty()) {
                End(failure);
                return;
            }
            try {
                next();
            } catch (...) {
                End(ExceptionText(std::current_exception()));
            }
        }));
    };
    runner->CommandLine = QuoteProgram(FEncoder) + L" " + arguments;
    runner->Execute();
    FRunner = std::move(runner);
}

void TGifConversion::End(const std::wstring& failure) {
    FRunner.reset();
    if (failure.empty()) {
        DeleteFileW(FPalette.c_str());
        FDone = FGif;
    } else {
        RemoveFiles();
        FFailure = failure;
    }
    FRunning = false;
    if (OnEnded) OnEnded();
}

void TGifConversion::RemoveFiles() {
    if (!FGif.empty()) DeleteFileW(FGif.c_str());
    if (!FPalette.empty()) DeleteFileW(FPalette.c_str());
}

}  // namespace tovasen
