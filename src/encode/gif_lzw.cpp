#include <algorithm>

#include "encode/gif_encoder.h"

namespace tovasen {

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

LzwEncoder::LzwEncoder() : table_(std::make_unique<LzwTable>()), writer_(std::make_unique<CodeWriter>(out_)) {
    Emit(kClear);
}

LzwEncoder::~LzwEncoder() = default;

void LzwEncoder::Emit(unsigned code) {
    writer_->Put(code, codeSize_);
    // The decoder widens its codes one entry behind us: widen once the next code needs it.
    if (next_ >= (1 << codeSize_) && codeSize_ < 12) ++codeSize_;
}

void LzwEncoder::Add(const std::uint8_t* indices, std::size_t count) {
    std::size_t i = 0;
    if (current_ < 0 && count) current_ = indices[i++];
    auto current = static_cast<unsigned>(current_);
    for (; i < count; ++i) {
        const std::uint32_t key = (current << 8) | indices[i];
        const int found = table_->Find(key);
        if (found >= 0) {
            current = static_cast<unsigned>(found);
            continue;
        }
        Emit(current);
        current = indices[i];
        if (next_ >= kMaxCode) {
            Emit(kClear);
            table_->Clear();
            codeSize_ = kMinCodeSize + 1;
            next_ = static_cast<int>(kEnd) + 1;
        } else {
            table_->Insert(key, next_++);
        }
    }
    if (current_ >= 0) current_ = static_cast<int>(current);
}

std::vector<std::uint8_t> LzwEncoder::Finish() {
    if (current_ >= 0) Emit(static_cast<unsigned>(current_));
    Emit(kEnd);
    writer_->Finish();
    return std::move(out_);
}

std::vector<std::uint8_t> LzwCompress(const std::vector<std::uint8_t>& indices) {
    LzwEncoder encoder;
    encoder.Add(indices.data(), indices.size());
    return encoder.Finish();
}

}  // namespace tovasen
