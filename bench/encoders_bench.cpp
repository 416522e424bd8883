// Encoder speed on a 1920 x 1080 screenshot-like image, each against a peer in the same run:
// PNG against raw zlib and libpng at the same settings, the parallel PNG against the
// single-threaded one, JPEG against libjpeg-turbo called directly, GIF against ImageMagick.
#include <benchmark/benchmark.h>
#include <jpeglib.h>
#include <png.h>
#include <sys/wait.h>
#include <zlib.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "encode/bmp_encoder.h"
#include "encode/gif_encoder.h"
#include "encode/jpeg_encoder.h"
#include "encode/png_encoder.h"
#include "synthetic_image.h"

namespace tovasen {
namespace {

const test::OwnedImage& Screenshot() {
    static const test::OwnedImage image = test::ScreenshotLike(1920, 1080);
    return image;
}

void BM_PngSingleThread(benchmark::State& state) {
    std::size_t size = 0;
    for (auto _ : state) size = EncodePng(Screenshot().View(), {1}).size();
    state.counters["bytes"] = static_cast<double>(size);
}

void BM_PngAllCores(benchmark::State& state) {
    std::size_t size = 0;
    for (auto _ : state) size = EncodePng(Screenshot().View(), {0}).size();
    state.counters["bytes"] = static_cast<double>(size);
    state.counters["size_vs_single"] =
        static_cast<double>(size) / static_cast<double>(EncodePng(Screenshot().View(), {1}).size());
}

// The filtering alone, which runs before the slices are deflated.
void BM_PngFilterRows(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(FilterPngRows(Screenshot().View()).data());
}

// The floor for one thread: filtering plus zlib at level 7, no PNG framing.
void BM_ZlibLevel7FilteredRows(benchmark::State& state) {
    for (auto _ : state) {
        const std::vector<std::uint8_t> rows = FilterPngRows(Screenshot().View());
        uLongf size = compressBound(static_cast<uLong>(rows.size()));
        std::vector<std::uint8_t> out(size);
        compress2(out.data(), &size, rows.data(), static_cast<uLong>(rows.size()), 7);
        benchmark::DoNotOptimize(out.data());
    }
}

void WriteToVector(png_structp png, png_bytep data, png_size_t length) {
    auto* out = static_cast<std::vector<std::uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + length);
}

void BM_LibpngSubLevel7(benchmark::State& state) {
    const test::OwnedImage& image = Screenshot();
    std::size_t size = 0;
    for (auto _ : state) {
        std::vector<std::uint8_t> out;
        png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
        png_infop info = png_create_info_struct(png);
        png_set_write_fn(png, &out, WriteToVector, nullptr);
        png_set_IHDR(png, info, static_cast<png_uint_32>(image.width), static_cast<png_uint_32>(image.height), 8,
                     PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
        png_set_filter(png, 0, PNG_FILTER_SUB);
        png_set_compression_level(png, 7);
        png_write_info(png, info);
        png_set_bgr(png);
        png_set_filler(png, 0, PNG_FILLER_AFTER);  // drops the fourth byte of each pixel
        for (int y = 0; y < image.height; ++y) {
            png_write_row(png, const_cast<png_bytep>(image.View().Row(y)));
        }
        png_write_end(png, info);
        png_destroy_write_struct(&png, &info);
        size = out.size();
    }
    state.counters["bytes"] = static_cast<double>(size);
}

void BM_JpegEncoder(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(EncodeJpeg(Screenshot().View(), 90).data());
}

void BM_LibjpegTurboDirect(benchmark::State& state) {
    const test::OwnedImage& image = Screenshot();
    for (auto _ : state) {
        jpeg_compress_struct info{};
        jpeg_error_mgr errors{};
        info.err = jpeg_std_error(&errors);
        jpeg_create_compress(&info);
        unsigned char* buffer = nullptr;
        unsigned long size = 0;
        jpeg_mem_dest(&info, &buffer, &size);
        info.image_width = static_cast<JDIMENSION>(image.width);
        info.image_height = static_cast<JDIMENSION>(image.height);
        info.input_components = 4;
        info.in_color_space = JCS_EXT_BGRX;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, 90, TRUE);
        jpeg_start_compress(&info, TRUE);
        while (info.next_scanline < info.image_height) {
            JSAMPROW row = const_cast<JSAMPROW>(image.View().Row(static_cast<int>(info.next_scanline)));
            jpeg_write_scanlines(&info, &row, 1);
        }
        jpeg_finish_compress(&info);
        jpeg_destroy_compress(&info);
        benchmark::DoNotOptimize(buffer);
        std::free(buffer);
    }
}

// Mean absolute error per channel between the screenshot and a GIF read back by ImageMagick.
double GifError(const std::string& path) {
    const std::string command = "convert '" + path + "' -depth 8 rgb:-";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    const test::OwnedImage& image = Screenshot();
    double total = 0;
    std::size_t count = 0;
    for (int y = 0; y < image.height; ++y) {
        for (int x = 0; x < image.width; ++x) {
            unsigned char rgb[3];
            if (std::fread(rgb, 1, 3, pipe) != 3) {
                pclose(pipe);
                return -1;
            }
            const std::uint8_t* p = image.View().Row(y) + x * 4;
            total += std::abs(rgb[0] - p[2]) + std::abs(rgb[1] - p[1]) + std::abs(rgb[2] - p[0]);
            count += 3;
        }
    }
    pclose(pipe);
    return total / static_cast<double>(count);
}

void WriteFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<std::streamsize>(bytes.size()));
}

void BM_GifEncoder(benchmark::State& state) {
    std::vector<std::uint8_t> gif;
    for (auto _ : state) gif = EncodeGif(Screenshot().View());
    WriteFile("/tmp/tovasen-bench-ours.gif", gif);
    state.counters["mean_error"] = GifError("/tmp/tovasen-bench-ours.gif");
}

void BM_ImageMagickGif(benchmark::State& state) {
    // 24 bits: a 32-bit BMP's fourth byte would be read as alpha, which our encoder ignores.
    static const test::OwnedImage rgb = test::ScreenshotLike(1920, 1080, 3);
    WriteFile("/tmp/tovasen-bench-source.bmp", EncodeBmp(rgb.View()));
    const std::string command =
        "convert /tmp/tovasen-bench-source.bmp -colors 256 -dither FloydSteinberg /tmp/tovasen-bench-im.gif";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0) {
            state.SkipWithError("ImageMagick's convert failed");
            return;
        }
    }
    state.counters["mean_error"] = GifError("/tmp/tovasen-bench-im.gif");
}

void BM_GifStages(benchmark::State& state) {
    const PixelView view = Screenshot().View();
    const std::vector<Rgb> palette = OctreePalette(view);
    const std::vector<std::uint8_t> indices = DitherToPalette(view, palette);
    for (auto _ : state) {
        switch (state.range(0)) {
        case 0: benchmark::DoNotOptimize(OctreePalette(view).data()); break;
        case 1: benchmark::DoNotOptimize(DitherToPalette(view, palette).data()); break;
        default: benchmark::DoNotOptimize(LzwCompress(indices).data()); break;
        }
    }
}

BENCHMARK(BM_GifStages)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ZlibLevel7FilteredRows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngSingleThread)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibpngSubLevel7)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngAllCores)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PngFilterRows)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_LibjpegTurboDirect)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_JpegEncoder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_GifEncoder)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ImageMagickGif)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace tovasen

BENCHMARK_MAIN();
