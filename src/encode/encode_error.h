#pragma once
#include <stdexcept>
#include <string>

namespace tovasen {

// An image could not be encoded. The text is ASCII so the core stays free of wide strings.
class EncodeError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace tovasen
