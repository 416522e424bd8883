#include "record/stream_decoder.h"

#include "base/utf_convert.h"

namespace tovasen {

std::size_t IncompleteUtf8Tail(std::string_view text) noexcept {
    // Look back over at most three continuation bytes for the lead byte they belong to.
    const std::size_t limit = text.size() < 4 ? text.size() : 4;
    for (std::size_t back = 1; back <= limit; ++back) {
        const auto byte = static_cast<unsigned char>(text[text.size() - back]);
        if ((byte & 0xC0) == 0x80) continue;
        const std::size_t need = (byte >> 5) == 0x6 ? 2 : (byte >> 4) == 0xE ? 3 : (byte >> 3) == 0x1E ? 4 : 1;
        return back < need ? back : 0;
    }
    return 0;
}

std::wstring TUtf8StreamDecoder::Decode(std::string_view bytes) {
    if (FHeld.empty()) {
        const std::size_t tail = IncompleteUtf8Tail(bytes);
        FHeld.assign(bytes.substr(bytes.size() - tail));
        return Utf8ToWide(bytes.substr(0, bytes.size() - tail));
    }
    std::string joined = std::move(FHeld);
    joined.append(bytes);
    const std::size_t tail = IncompleteUtf8Tail(joined);
    FHeld.assign(joined, joined.size() - tail, tail);
    joined.resize(joined.size() - tail);
    return Utf8ToWide(joined);
}

std::wstring TUtf8StreamDecoder::Flush() {
    std::string held = std::move(FHeld);
    FHeld.clear();
    return Utf8ToWide(held);
}

}  // namespace tovasen
