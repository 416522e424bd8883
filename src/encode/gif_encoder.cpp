#include "encode/gif_encoder.h"

#include <condition_variable>
#include <mutex>
#include <thread>

#include "encode/encode_error.h"

namespace tovasen {
namespace {

constexpr std::size_t kPipelineMinPixels = 256 * 1024;
constexpr int kRowsPerHandOver = 16;

void PutLE16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// Error diffusion and LZW are both sequential, but LZW only needs rows that are finished: on a
// large image it runs on a second thread, a few rows behind the dithering.
std::vector<std::uint8_t> DitherAndCompress(const PixelView& image, const std::vector<Rgb>& palette) {
    const auto width = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> indices(width * static_cast<std::size_t>(image.height));
    LzwEncoder lzw;
    if (indices.size() < kPipelineMinPixels || std::thread::hardware_concurrency() < 2) {
        DitherToPalette(image, palette, indices.data(), {});
        lzw.Add(indices.data(), indices.size());
        return lzw.Finish();
    }
    std::mutex lock;
    std::condition_variable rowsReady;
    int rowsDone = 0;
    std::exception_ptr failure;
    std::thread compressor([&] {
        int rowsTaken = 0;
        try {
            while (rowsTaken < image.height) {
                int available;
                {
                    std::unique_lock<std::mutex> hold(lock);
                    rowsReady.wait(hold, [&] { return rowsDone > rowsTaken || failure; });
                    if (failure) return;
                    available = rowsDone;
                }
                lzw.Add(indices.data() + static_cast<std::size_t>(rowsTaken) * width,
                        static_cast<std::size_t>(available - rowsTaken) * width);
                rowsTaken = available;
            }
        } catch (...) {
            std::lock_guard<std::mutex> hold(lock);
            failure = std::current_exception();
        }
    });
    try {
        DitherToPalette(image, palette, indices.data(), [&](int rows) {
            if (rows % kRowsPerHandOver != 0 && rows != image.height) return;
            {
                std::lock_guard<std::mutex> hold(lock);
                rowsDone = rows;
            }
            rowsReady.notify_one();
        });
    } catch (...) {
        {
            std::lock_guard<std::mutex> hold(lock);
            failure = std::current_exception();
        }
        rowsReady.notify_one();
    }
    compressor.join();
    if (failure) std::rethrow_exception(failure);
    return lzw.Finish();
}

}  // namespace

std::vector<std::uint8_t> EncodeGif(const PixelView& image) {
    CheckEncodable(image);
    if (image.width > 65535 || image.height > 65535) throw EncodeError("GIF: the image is larger than 65535 pixels");
    std::vector<Rgb> palette = OctreePalette(image);
    const std::vector<std::uint8_t> lzw = DitherAndCompress(image, palette);
    palette.resize(256, Rgb{0, 0, 0});

    std::vector<std::uint8_t> out{'G', 'I', 'F', '8', '9', 'a'};
    out.reserve(lzw.size() + 800);
    PutLE16(out, image.width);
    PutLE16(out, image.height);
    out.insert(out.end(), {0xF7, 0, 0});  // global table of 2^8 entries, 8-bit colour resolution
    for (const Rgb& c : palette) out.insert(out.end(), {c.r, c.g, c.b});
    out.push_back(0x2C);  // image descriptor
    PutLE16(out, 0);
    PutLE16(out, 0);
    PutLE16(out, image.width);
    PutLE16(out, image.height);
    out.push_back(0);  // no local table, not interlaced
    out.push_back(8);  // LZW minimum code size
    out.insert(out.end(), lzw.begin(), lzw.end());
    out.push_back(0x3B);
    return out;
}

}  // namespace tovasen
