#pragma once
// Buffers for the copies of captured pictures, handed back once the history has encoded them.
// A fresh buffer of a full-screen picture costs more than the copy itself (every page is
// faulted in and zeroed); a buffer used before costs only the copy. Kept for captures that
// follow each other, not for ever: two screen-sized buffers are 10 MB at 1280 x 1024 and 66 MB
// at 4K, which an idle program should not hold.
#include <chrono>
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

    // Drops every kept buffer.
    void Clear();
    std::size_t Kept();

    static constexpr std::size_t kKept = 2;
    // How long the history's writer, idle, keeps the buffers: as long as the drag overlay and
    // the capture path keep their spare pictures, so that a minute after the last capture the
    // program is back to its idle size.
    std::chrono::milliseconds KeepFor{30000};

private:
    std::mutex FLock;
    std::vector<std::vector<std::uint8_t>> FFree;
};

}  // namespace tovasen
