#pragma once
// Buffers for the copies of captured pictures, handed back once the history has encoded them.
// A fresh buffer of a full-screen picture costs more than the copy itself (every page is
// faulted in and zeroed); a buffer used before costs only the copy.
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace tovasen {

class TPixelPool {
public:
    // A buffer of exactly size bytes, its contents unspecified.
    std::vector<std::uint8_t> Take(std::size_t size);
    // Keeps a buffer for a later Take; at most kKept of them, the largest.
    void Give(std::vector<std::uint8_t>&& buffer);

    static constexpr std::size_t kKept = 2;

private:
    std::mutex FLock;
    std::vector<std::vector<std::uint8_t>> FFree;
};

}  // namespace tovasen
