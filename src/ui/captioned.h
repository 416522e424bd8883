#pragma once
#include <string>

namespace tovasen {

// A component with a caption the translation can rewrite (forms, labels, buttons).
class TCaptioned {
public:
    virtual ~TCaptioned() = default;
    virtual std::wstring Caption() const = 0;
    virtual void SetCaption(const std::wstring& caption) = 0;
};

}  // namespace tovasen
