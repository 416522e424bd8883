#pragma once
// What the real encoder shipped beside the program prints, and what it makes of a recorded
// file: the recording tests read their results through the encoder, a tool this project did
// not write.
#include <string>

namespace tovasen::test {

// The encoder shipped beside the program.
std::wstring EncoderPath();

// Runs the encoder with these arguments to its end; everything it printed, a line each.
std::wstring RunEncoder(const std::wstring& args);

// The seconds of the last progress line ("time=...") in text before the given place; negative
// when there is none.
double LastProgressTime(const std::wstring& text, std::size_t before = std::wstring::npos);

// The whole file decoded: its length in seconds and its frames, from the decoder's last
// progress line; a negative length when it could not be decoded.
struct DecodedVideo {
    double seconds = -1;
    int frames = 0;
    std::wstring text;
};
DecodedVideo DecodeVideo(const std::wstring& file);

// The file's length in seconds as the machine's own ffprobe reads its container (a Linux
// program, which Wine starts when asked); negative, with what it said, when it could not.
struct ProbedLength {
    double seconds = -1;
    std::string text;
};
ProbedLength FfprobeLength(const std::wstring& file);

// An animation as the machine's own ffprobe reads it: its container, its size, the frames it
// decodes and its length; the frame rate follows from the last two. Zeros, with what it said,
// when it could not.
struct ProbedAnimation {
    std::string format;
    int width = 0, height = 0, frames = 0;
    double seconds = 0;
    std::string text;
    double FramesPerSecond() const { return seconds > 0 ? frames / seconds : 0; }
};
ProbedAnimation FfprobeAnimation(const std::wstring& file);

}  // namespace tovasen::test
