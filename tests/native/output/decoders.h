#pragma once
// Independent decoders for checking the encoders' output: libpng, libjpeg and ImageMagick.
#include <cstdint>
#include <string>
#include <vector>

#include "synthetic_image.h"

namespace tovasen::test {

struct RgbImage {
    int width = 0, height = 0;
    std::vector<std::uint8_t> rgb;  // R, G, B, rows top first
};

RgbImage DecodePngWithLibpng(const std::vector<std::uint8_t>& file);
RgbImage DecodeJpegWithLibjpeg(const std::vector<std::uint8_t>& file);
// Runs ImageMagick's convert on the file; raises when convert is missing or fails.
RgbImage DecodeWithImageMagick(const std::vector<std::uint8_t>& file, const std::string& extension);

// Writes bytes to a new file in the temporary folder and returns its path.
std::string WriteTempFile(const std::vector<std::uint8_t>& bytes, const std::string& extension);
// Runs a shell command, returns its exit status and (in output) what it printed.
int RunCommand(const std::string& command, std::string* output = nullptr);

// The source image as R, G, B for comparisons.
RgbImage ToRgb(const OwnedImage& image);
double Psnr(const RgbImage& a, const RgbImage& b);
double MeanAbsoluteError(const RgbImage& a, const RgbImage& b);

}  // namespace tovasen::test
