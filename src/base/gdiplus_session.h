#pragma once
#include <cstdint>

namespace tovasen {

// GDI+ for as long as the object lives: whatever reads, writes or paints through it needs one.
// Raises an Exception when GDI+ cannot be started.
class TGdiplusSession {
public:
    TGdiplusSession();
    TGdiplusSession(const TGdiplusSession&) = delete;
    TGdiplusSession& operator=(const TGdiplusSession&) = delete;
    ~TGdiplusSession();

private:
    std::uintptr_t FToken = 0;
};

}  // namespace tovasen
