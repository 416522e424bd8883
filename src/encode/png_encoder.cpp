#include "encode/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <thread>

#include "encode/encode_error.h"

namespace tovasen {
namespace {

constexpr int kLevel = 7;
constexpr std::size_t kMaxIdat = 65535;
constexpr std::size_t kWindow = 32768;
// Below this much filtered data a second thread costs more than it saves.
constexpr std::size_t kMinSlice = 256 * 1024;

void PutBE32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void PutChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data, std::size_t size) {
    PutBE32(out, static_cast<std::uint32_t>(size));
    const std::size_t start = out.size();
    out.insert(out.end(), type, type + 4);
    if (size) out.insert(out.end(), data, data + size);
    const uLong crc = crc32(0L, out.data() + start, static_cast<uInt>(size + 4));
    PutBE32(out, static_cast<std::uint32_t>(crc));
}

// Raw deflate of one slice; the slice before it (up to 32 KiB) primes the window.
std::vector<std::uint8_t> DeflateSlice(const std::uint8_t* data, std::size_t size, const std::uint8_t* dictionary,
                                       std::size_t dictionarySize, bool last) {
    z_stream z{};
    if (deflateInit2(&z, kLevel, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
        throw EncodeError("zlib: deflateInit2 failed");
    }
    if (dictionarySize &&
        deflateSetDictionary(&z, dictionary, static_cast<uInt>(dictionarySize)) != Z_OK) {
        deflateEnd(&z);
        throw EncodeError("zlib: deflateSetDictionary failed");
    }
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(size)) + 16);
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int status = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
    const bool done = last ? status == Z_STREAM_END : (status == Z_OK && z.avail_in == 0);
    out.resize(out.size() - z.avail_out);
    deflateEnd(&z);
    if (!done) throw EncodeError("zlib: deflate failed");
    return out;
}

std::vector<std::uint8_t> DeflateOneThread(const std::vector<std::uint8_t>& data) {
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    std::vector<std::uint8_t> out(size);
    if (compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), kLevel) != Z_OK) {
        throw EncodeError("zlib: compress2 failed");
    }
    out.resize(size);
    return out;
}

}  // namespace

std::vector<std::uint8_t> FilterPngRows(const PixelView& image) {
    CheckEncodable(image);
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(image.width) * 3;
    std::vector<std::uint8_t> out(rowBytes * static_cast<std::size_t>(image.height));
    const int bpp = image.bytesPerPixel;
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* src = image.Row(y);
        std::uint8_t* dst = out.data() + rowBytes * static_cast<std::size_t>(y);
        *dst++ = 1;  // Sub
        std::uint8_t pr = 0, pg = 0, pb = 0;
        for (int x = 0; x < image.width; ++x, src += bpp) {
            const std::uint8_t b = src[0], g = src[1], r = src[2];
            *dst++ = static_cast<std::uint8_t>(r - pr);
            *dst++ = static_cast<std::uint8_t>(g - pg);
            *dst++ = static_cast<std::uint8_t>(b - pb);
            pr = r;
            pg = g;
            pb = b;
        }
    }
    return out;
}

std::vector<std::uint8_t> DeflateLevel7(const std::vector<std::uint8_t>& data, unsigned threads) {
    if (threads == 0) threads = std::max(1u, std::thread::hardware_concurrency());
    const std::size_t slices = std::min<std::size_t>(threads, data.size() / kMinSlice);
    if (slices <= 1) return DeflateOneThread(data);

    const std::size_t sliceSize = (data.size() + slices - 1) / slices;
    std::vector<std::vector<std::uint8_t>> parts(slices);
    std::vector<uLong> adlers(slices);
    std::vector<std::size_t> lengths(slices);
    auto work = [&](std::size_t i) {
        const std::size_t begin = i * sliceSize;
        const std::size_t end = std::min(data.size(), begin + sliceSize);
        const std::size_t dict = std::min(begin, kWindow);
        parts[i] = DeflateSlice(data.data() + begin, end - begin, data.data() + begin - dict, dict, i + 1 == slices);
        adlers[i] = adler32(1L, data.data() + begin, static_cast<uInt>(end - begin));
        lengths[i] = end - begin;
    };
    std::vector<std::thread> workers;
    std::vector<std::exception_ptr> errors(slices);
    for (std::size_t i = 1; i < slices; ++i) {
        workers.emplace_back([&, i] {
            try {
                work(i);
            } catch (...) {
                errors[i] = std::current_exception();
            }
        });
    }
    try {
        work(0);
    } catch (...) {
        errors[0] = std::current_exception();
    }
    for (auto& t : workers) t.join();
    for (auto& e : errors) {
        if (e) std::rethrow_exception(e);
    }

    std::vector<std::uint8_t> out{0x78, 0xDA};  // deflate, 32 KiB window, levels 7-9
    uLong adler = adlers[0];
    for (std::size_t i = 0; i < slices; ++i) {
        out.insert(out.end(), parts[i].begin(), parts[i].end());
        if (i) adler = adler32_combine(adler, adlers[i], static_cast<z_off_t>(lengths[i]));
    }
    PutBE32(out, static_cast<std::uint32_t>(adler));
    return out;
}

std::vector<std::uint8_t> EncodePng(const PixelView& image, const PngOptions& options) {
    const std::vector<std::uint8_t> compressed = DeflateLevel7(FilterPngRows(image), options.threads);

    std::vector<std::uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.reserve(compressed.size() + compressed.size() / kMaxIdat * 12 + 64);
    std::vector<std::uint8_t> header;
    PutBE32(header, static_cast<std::uint32_t>(image.width));
    PutBE32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8 bits, truecolour, deflate, adaptive, no interlace
    PutChunk(out, "IHDR", header.data(), header.size());
    for (std::size_t at = 0; at < compressed.size(); at += kMaxIdat) {
        PutChunk(out, "IDAT", compressed.data() + at, std::min(kMaxIdat, compressed.size() - at));
    }
    PutChunk(out, "IEND", nullptr, 0);
    return out;
}

}  // namespace tovasen
