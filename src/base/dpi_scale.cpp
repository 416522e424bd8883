#include "base/dpi_scale.h"

#include <cstdint>
#include <cstdlib>

namespace tovasen {

int ScaleToDpi(int pixels96, int dpi) {
    // Exact integer arithmetic: pixels96 * dpi / 96 with the remainder deciding the rounding.
    const std::int64_t n = static_cast<std::int64_t>(pixels96) * dpi;
    std::int64_t q = n / 96;
    std::int64_t r = n % 96;
    if (r < 0) {  // make the remainder non-negative so q is the floor
        r += 96;
        q -= 1;
    }
    if (r > 48 || (r == 48 && (q % 2 != 0))) q += 1;
    return static_cast<int>(q);
}

}  // namespace tovasen
