#include "history/pixel_pool.h"

#include <algorithm>

namespace tovasen {

std::vector<std::uint8_t> TPixelPool::Take(std::size_t size) {
    std::vector<std::uint8_t> buffer;
    {
        std::lock_guard guard(FLock);
        // The smallest buffer that is large enough, so a large one stays for a large picture.
        auto best = FFree.end();
        for (auto it = FFree.begin(); it != FFree.end(); ++it) {
            if (it->capacity() >= size && (best == FFree.end() || it->capacity() < best->capacity())) best = it;
        }
        if (best != FFree.end()) {
            buffer = std::move(*best);
            FFree.erase(best);
        }
    }
    // Within the capacity: only the bytes beyond the old size are written.
    buffer.resize(size);
    return buffer;
}

void TPixelPool::Give(std::vector<std::uint8_t>&& buffer) {
    if (buffer.capacity() == 0) return;
    std::lock_guard guard(FLock);
    FFree.push_back(std::move(buffer));
    if (FFree.size() > kKept) {
        std::sort(FFree.begin(), FFree.end(),
                  [](const auto& a, const auto& b) { return a.capacity() > b.capacity(); });
        FFree.resize(kKept);
    }
}

void TPixelPool::Clear() {
    std::vector<std::vector<std::uint8_t>> gone;
    {
        std::lock_guard guard(FLock);
        gone.swap(FFree);
    }
    // freed outside the lock
}

std::size_t TPixelPool::Kept() {
    std::lock_guard guard(FLock);
    return FFree.size();
}

}  // namespace tovasen
