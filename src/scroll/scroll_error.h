#pragma once
#include "base/errors.h"

namespace tovasen {

// A scrolling capture that could not be completed; the message is translated and says why.
class EScrollCaptureError : public Exception {
public:
    using Exception::Exception;
};

}  // namespace tovasen
