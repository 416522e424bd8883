#include "output/gif_encoder.h"

#include <algorithm>
#include <climits>

#include "output/encode_error.h"

namespace tovasen {
namespace {

// Nearest palette entries, remembered per 6-bit colour cell: dithered colours repeat a lot.
class NearestColour {
public:
    explicit NearestColour(const std::vector<Rgb>& palette) : palette_(palette), cache_(1u << 18, -1) {}

    std::uint8_t operator()(int r, int g, int b) {
        const unsigned key = (static_cast<unsigned>(r >> 2) << 12) | (static_cast<unsigned>(g >> 2) << 6) |
                             static_cast<unsigned>(b >> 2);
        int& cached = cache_[key];
        if (cached < 0) cached = Search(r, g, b);
        return static_cast<std::uint8_t>(cached);
    }

private:
    int Search(int r, int g, int b) const {
        int best = 0, bestDistance = INT_MAX;
        for (std::size_t i = 0; i < palette_.size(); ++i) {
            const int dr = r - palette_[i].r, dg = g - palette_[i].g, db = b - palette_[i].b;
            const int d = dr * dr + dg * dg + db * db;
            if (d < bestDistance) {
                bestDistance = d;
                best = static_cast<int>(i);
            }
        }
        return best;
    }

    const std::vector<Rgb>& palette_;
    std::vector<int> cache_;
};

// Packs variable-length codes LSB first into 255-byte sub-blocks.
class CodeWriter {
public:
    explicit CodeWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void Put(unsigned code, int bits) {
        buffer_ |= static_cast<std::uint32_t>(code) << count_;
        count_ += bits;
        while (count_ >= 8) {
            Byte(static_cast<std::uint8_t>(buffer_));
            buffer_ >>= 8;
            count_ -= 8;
        }
    }

    void Finish() {
        if (count_ > 0) Byte(static_cast<std::uint8_t>(buffer_));
        FlushBlock();
        out_.push_back(0);  // block terminator
    }

private:
    void Byte(std::uint8_t b) {
        block_[blockSize_++] = b;
        if (blockSize_ == 255) FlushBlock();
    }
    void FlushBlock() {
        if (!blockSize_) return;
        out_.push_back(static_cast<std::uint8_t>(blockSize_));
        out_.insert(out_.end(), block_.begin(), block_.begin() + blockSize_);
        blockSize_ = 0;
    }

    std::vector<std::uint8_t>& out_;
    std::uint32_t buffer_ = 0;
    int count_ = 0;
    std::array<std::uint8_t, 255> block_{};
    std::size_t blockSize_ = 0;
};

// The string table: (prefix code, next index) -> code, open addressing, cleared on reset.
class LzwTable {
public:
    LzwTable() : keys_(kSize), codes_(kSize) { Clear(); }
    void Clear() { std::fill(keys_.begin(), keys_.end(), kEmpty); }

    int Find(std::uint32_t key) const {
        for (std::size_t slot = Hash(key);; slot = (slot + 1) & (kSize - 1)) {
            if (keys_[slot] == kEmpty) return -1;
            if (keys_[slot] == key) return codes_[slot];
        }
    }
    void Insert(std::uint32_t key, int code) {
        std::size_t slot = Hash(key);
        while (keys_[slot] != kEmpty) slot = (slot + 1) & (kSize - 1);
        keys_[slot] = key;
        codes_[slot] = static_cast<std::uint16_t>(code);
    }

private:
    static constexpr std::size_t kSize = 16384;  // four times the 4096 codes: short probes
    static constexpr std::uint32_t kEmpty = 0xFFFFFFFF;
    static std::size_t Hash(std::uint32_t key) { return (key * 2654435761u) >> 18; }

    std::vector<std::uint32_t> keys_;
    std::vector<std::uint16_t> codes_;
};

void PutLE16(std::vector<std::uint8_t>& out, int v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

}  // namespace

std::vector<std::uint8_t> DitherToPalette(const PixelView& image, const std::vector<Rgb>& palette) {
    CheckEncodable(image);
    if (palette.empty() || palette.size() > 256) throw EncodeError("GIF: the palette must hold 1 to 256 colours");
    NearestColour nearest(palette);
    const auto w = static_cast<std::size_t>(image.width);
    std::vector<std::uint8_t> out(w * static_cast<std::size_t>(image.height));
    // Errors in 1/16 units, one spare cell at each end so the edges need no tests.
    std::vector<int> current((w + 2) * 3, 0), next((w + 2) * 3, 0);
    for (int y = 0; y < image.height; ++y) {
        const std::uint8_t* p = image.Row(y);
        std::fill(next.begin(), next.end(), 0);
        for (std::size_t x = 0; x < w; ++x, p += image.bytesPerPixel) {
            int* e = &current[(x + 1) * 3];
            const int r = std::clamp(p[2] + (e[0] + 8) / 16, 0, 255);
            const int g = std::clamp(p[1] + (e[1] + 8) / 16, 0, 255);
            const int b = std::clamp(p[0] + (e[2] + 8) / 16, 0, 255);
            const std::uint8_t index = nearest(r, g, b);
            out[static_cast<std::size_t>(y) * w + x] = index;
            const int err[3] = {r - palette[index].r, g - palette[index].g, b - palette[index].b};
            int* below = &next[(x + 1) * 3];
            for (int c = 0; c < 3; ++c) {
                e[3 + c] += err[c] * 7;
                below[c - 3] += err[c] * 3;
                below[c] += err[c] * 5;
                below[c + 3] += err[c];
            }
        }
        std::swap(current, next);
    }
    return out;
}

std::vector<std::uint8_t> LzwCompress(const std::vector<std::uint8_t>& indices) {
    constexpr int kMinCodeSize = 8;
    constexpr unsigned kClear = 1u << kMinCodeSize, kEnd = kClear + 1;
    constexpr int kMaxCode = 4095;

    std::vector<std::uint8_t> out;
    out.reserve(indices.size() / 2 + 64);
    CodeWriter writer(out);
    LzwTable table;
    int codeSize = kMinCodeSize + 1;
    int next = static_cast<int>(kEnd) + 1;
    auto emit = [&](unsigned code) {
        writer.Put(code, codeSize);
        // The decoder widens its codes one entry behind us: widen once the next code needs it.
        if (next >= (1 << codeSize) && codeSize < 12) ++codeSize;
    };
    auto reset = [&] {
        table.Clear();
        codeSize = kMinCodeSize + 1;
        next = static_cast<int>(kEnd) + 1;
    };

    emit(kClear);
    if (indices.empty()) {
        emit(kEnd);
        writer.Finish();
        return out;
    }
    unsigned current = indices[0];
    for (std::size_t i = 1; i < indices.size(); ++i) {
        const std::uint32_t key = (current << 8) | indices[i];
        const int found = table.Find(key);
        if (found >= 0) {
            current = static_cast<unsigned>(found);
            continue;
        }
        emit(current);
        current = indices[i];
        if (next >= kMaxCode) {
            emit(kClear);
            reset();
        } else {
            table.Insert(key, next++);
        }
    }
    emit(current);
    emit(kEnd);
    writer.Finish();
    return out;
}

std::vector<std::uint8_t> EncodeGif(const PixelView& image) {
    CheckEncodable(image);
    if (image.width > 65535 || image.height > 65535) throw EncodeError("GIF: the image is larger than 65535 pixels");
    std::vector<Rgb> palette = OctreePalette(image);
    const std::vector<std::uint8_t> lzw = LzwCompress(DitherToPalette(image, palette));
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
