#pragma once
// The editor's "Find Secrets": the text recogniser reads the picture, and every secret it reads
// becomes a blackout over its words.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "editor/annotation.h"
#include "editor/pixel_buffer.h"

namespace tovasen {

class TRtOcr;

class TSecretSearch {
public:
    using TFound = std::function<void(std::vector<TAnnotation> blackouts)>;
    using TFailed = std::function<void(const std::wstring& why)>;

    TSecretSearch();
    // A search still running ends with it: neither callback runs afterwards.
    ~TSecretSearch();

    bool Busy() const noexcept;
    // Reads picture in the language chosen for text recognition (the first the engine offers
    // when that one is gone). found or failed runs once, later, on the user-interface thread.
    // Raises when recognition cannot start (no engine, no language).
    void Start(const TPixelBuffer& picture, TFound found, TFailed failed);

private:
    std::unique_ptr<TRtOcr> FOcr;
};

}  // namespace tovasen
