#include "encode/png_encoder.h"

#include <zlib.h>

#include <algorithm>
#include <exception>
#include <functional>
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

// Rows first to last - 1 of image, each a Sub filter byte and then the R, G, B differences.
void FilterRows(const PixelView& image, int first, int last, std::uint8_t* out) {
    const int bpp = image.bytesPerPixel;
    for (int y = first; y < last; ++y) {
        const std::uint8_t* src = image.Row(y);
        *out++ = 1;  // Sub
        std::uint8_t pr = 0, pg = 0, pb = 0;
        for (int x = 0; x < image.width; ++x, src += bpp) {
            const std::uint8_t b = src[0], g = src[1], r = src[2];
            *out++ = static_cast<std::uint8_t>(r - pr);
            *out++ = static_cast<std::uint8_t>(g - pg);
            *out++ = static_cast<std::uint8_t>(b - pb);
            pr = r;
            pg = g;
            pb = b;
        }
    }
}

// One slice of the data to deflate, ready, and the bytes before it that prime the window.
struct TSlice {
    const std::uint8_t* Data;
    std::size_t Size;
    const std::uint8_t* Dictionary;
    std::size_t DictionarySize;
};

// The zlib stream of slices deflated each on a thread of its own (the first on this one).
// prepare(i, scratch) makes slice i ready on the thread that deflates it; scratch is that
// thread's own, for bytes only it needs.
std::vector<std::uint8_t> DeflateSlices(std::size_t slices,
                                        const std::function<TSlice(std::size_t i, std::vector<std::uint8_t>& scratch)>& prepare) {
    std::vector<std::vector<std::uint8_t>> parts(slices);
    std::vector<uLong> adlers(slices);
    std::vector<std::size_t> lengths(slices);
    std::vector<std::exception_ptr> errors(slices);
    auto work = [&](std::size_t i) {
        try {
            std::vector<std::uint8_t> scratch;
            const TSlice slice = prepare(i, scratch);
            parts[i] = DeflateSlice(slice.Data, slice.Size, slice.Dictionary, slice.DictionarySize, i + 1 == slices);
            adlers[i] = adler32(1L, slice.Data, static_cast<uInt>(slice.Size));
            lengths[i] = slice.Size;
        } catch (...) {
            errors[i] = std::current_exception();
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t i = 1; i < slices; ++i) workers.emplace_back(work, i);
    work(0);
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

unsigned ThreadsFor(unsigned threads) { return threads ? threads : std::max(1u, std::thread::hardware_concurrency()); }

}  // namespace

std::vector<std::uint8_t> FilterPngRows(const PixelView& image) {
    CheckEncodable(image);
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(image.width) * 3;
    std::vector<std::uint8_t> out(rowBytes * static_cast<std::size_t>(image.height));
    FilterRows(image, 0, image.height, out.data());
    return out;
}

std::vector<std::uint8_t> DeflateLevel7(const std::vector<std::uint8_t>& data, unsigned threads) {
    const std::size_t slices = std::min<std::size_t>(ThreadsFor(threads), data.size() / kMinSlice);
    if (slices <= 1) return DeflateOneThread(data);
    const std::size_t sliceSize = (data.size() + slices - 1) / slices;
    return DeflateSlices(slices, [&](std::size_t i, std::vector<std::uint8_t>&) {
        const std::size_t begin = i * sliceSize;
        const std::size_t end = std::min(data.size(), begin + sliceSize);
        const std::size_t dict = std::min(begin, kWindow);
        return TSlice{data.data() + begin, end - begin, data.data() + begin - dict, dict};
    });
}

// The rows are filtered by the threads that deflate them, each its own slice of whole rows (the
// filter of a row needs no other row); the rows whose bytes prime a slice's window it filters
// again for itself.
std::vector<std::uint8_t> DeflateRows(const PixelView& image, unsigned threads) {
    const std::size_t rowBytes = 1 + static_cast<std::size_t>(image.width) * 3;
    const std::size_t height = static_cast<std::size_t>(image.height);
    const std::size_t slices = std::min({static_cast<std::size_t>(ThreadsFor(threads)), rowBytes * height / kMinSlice, height});
    if (slices <= 1) return DeflateOneThread(FilterPngRows(image));
    std::vector<std::uint8_t> filtered(rowBytes * height);
    const std::size_t rowsPerSlice = (height + slices - 1) / slices;
    const std::size_t used = (height + rowsPerSlice - 1) / rowsPerSlice;  // none may be empty
    return DeflateSlices(used, [&](std::size_t i, std::vector<std::uint8_t>& scratch) {
        const std::size_t first = i * rowsPerSlice, last = std::min(height, first + rowsPerSlice);
        const std::size_t begin = first * rowBytes;
        FilterRows(image, static_cast<int>(first), static_cast<int>(last), filtered.data() + begin);
        const std::size_t dict = std::min(begin, kWindow);
        const std::size_t dictFirst = (begin - dict) / rowBytes;
        scratch.resize((first - dictFirst) * rowBytes);
        FilterRows(image, static_cast<int>(dictFirst), static_cast<int>(first), scratch.data());
        return TSlice{filtered.data() + begin, (last - first) * rowBytes, scratch.data() + (begin - dict - dictFirst * rowBytes), dict};
    });
}

std::vector<std::uint8_t> EncodePng(const PixelView& image, const PngOptions& options) {
    CheckEncodable(image);
    const std::vector<std::uint8_t> compressed = DeflateRows(image, options.threads);

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
