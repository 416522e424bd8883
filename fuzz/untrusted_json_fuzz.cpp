// Feeds arbitrary bytes to the one reader of JSON from outside, with small limits so that the
// fuzzer reaches them: it returns a tree within the limits or raises its one error.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "base/untrusted_json.h"

namespace {

std::size_t Depth(const nlohmann::json& j) {
    std::size_t deepest = 0;
    if (j.is_structured()) {
        for (const auto& child : j) deepest = std::max(deepest, Depth(child));
        return deepest + 1;
    }
    return 0;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tovasen::TJsonLimits limits{4096, 8, 256, 512};
    try {
        const nlohmann::json tree =
            tovasen::ReadUntrustedJson(std::string_view(reinterpret_cast<const char*>(data), size), limits);
        if (Depth(tree) > limits.MaxDepth) std::abort();
    } catch (const tovasen::EUntrustedJson&) {
    }
    return 0;
}
