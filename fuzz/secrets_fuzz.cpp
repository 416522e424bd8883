// Feeds arbitrary UTF-16 (unpaired surrogates included) to the secret finder. Besides not
// crashing, its spans lie inside the line, come in order without overlapping, have a length,
// and name a kind; the same line always gives the same spans.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "redact/secrets.h"

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::wstring line;
    for (std::size_t i = 0; i + 1 < size; i += 2) line.push_back(static_cast<wchar_t>(data[i] | (data[i + 1] << 8)));
    const std::vector<tovasen::TSecretMatch> found = tovasen::FindSecrets(line);
    std::size_t previousEnd = 0;
    for (const tovasen::TSecretMatch& m : found) {
        Check(m.length > 0);
        Check(m.start >= previousEnd);
        Check(m.start + m.length <= line.size());
        Check(!tovasen::SecretKindName(m.kind).empty());
        previousEnd = m.start + m.length;
    }
    const std::vector<tovasen::TSecretMatch> again = tovasen::FindSecrets(line);
    Check(again.size() == found.size());
    for (std::size_t k = 0; k < found.size(); ++k)
        Check(again[k].start == found[k].start && again[k].length == found[k].length && again[k].kind == found[k].kind);
    return 0;
}
