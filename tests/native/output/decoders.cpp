#include "decoders.h"

#include <jpeglib.h>
#include <png.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>

namespace tovasen::test {

RgbImage DecodePngWithLibpng(const std::vector<std::uint8_t>& file) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, file.data(), file.size())) {
        throw std::runtime_error(std::string("libpng: ") + image.message);
    }
    image.format = PNG_FORMAT_RGB;
    RgbImage out{static_cast<int>(image.width), static_cast<int>(image.height), {}};
    out.rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.rgb.data(), 0, nullptr)) {
        throw std::runtime_error(std::string("libpng: ") + image.message);
    }
    return out;
}

RgbImage DecodeJpegWithLibjpeg(const std::vector<std::uint8_t>& file) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    RgbImage out{static_cast<int>(info.output_width), static_cast<int>(info.output_height), {}};
    out.rgb.resize(static_cast<std::size_t>(out.width) * out.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.rgb.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

std::string WriteTempFile(const std::vector<std::uint8_t>& bytes, const std::string& extension) {
    static int counter = 0;
    const std::string path = "/tmp/tovasen-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + extension;
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
    return path;
}

int RunCommand(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    char buffer[65536];
    std::size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), pipe)) > 0) {
        if (output) output->append(buffer, n);
    }
    const int status = pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

RgbImage DecodeWithImageMagick(const std::vector<std::uint8_t>& file, const std::string& extension) {
    const std::string path = WriteTempFile(file, extension);
    std::string size, pixels;
    const int identify = RunCommand("identify -format '%w %h' '" + path + "[0]' 2>&1", &size);
    const int convert = RunCommand("convert '" + path + "[0]' -depth 8 rgb:- 2>/dev/null", &pixels);
    std::remove(path.c_str());
    if (identify != 0 || convert != 0) throw std::runtime_error("ImageMagick could not read the file: " + size);
    RgbImage out;
    if (std::sscanf(size.c_str(), "%d %d", &out.width, &out.height) != 2) throw std::runtime_error("identify: " + size);
    out.rgb.assign(pixels.begin(), pixels.end());
    if (out.rgb.size() != static_cast<std::size_t>(out.width) * out.height * 3) {
        throw std::runtime_error("convert returned " + std::to_string(out.rgb.size()) + " bytes");
    }
    return out;
}

RgbImage ToRgb(const OwnedImage& image) {
    RgbImage out{image.width, image.height, {}};
    out.rgb.reserve(static_cast<std::size_t>(image.width) * image.height * 3);
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            const std::uint8_t* p = image.pixels.data() + (static_cast<std::size_t>(y) * image.width + x) * image.bytesPerPixel;
            out.rgb.insert(out.rgb.end(), {p[2], p[1], p[0]});
        }
    }
    return out;
}

double MeanAbsoluteError(const RgbImage& a, const RgbImage& b) {
    if (a.rgb.size() != b.rgb.size()) throw std::runtime_error("images differ in size");
    double total = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) total += std::abs(int{a.rgb[i]} - int{b.rgb[i]});
    return total / static_cast<double>(a.rgb.size());
}

double Psnr(const RgbImage& a, const RgbImage& b) {
    if (a.rgb.size() != b.rgb.size()) throw std::runtime_error("images differ in size");
    double squares = 0;
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        const double d = int{a.rgb[i]} - int{b.rgb[i]};
        squares += d * d;
    }
    const double mse = squares / static_cast<double>(a.rgb.size());
    return mse == 0 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / mse);
}

}  // namespace tovasen::test
