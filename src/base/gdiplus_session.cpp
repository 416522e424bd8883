#include "base/gdiplus_session.h"

#include <windows.h>

#include <objidl.h>
// objidl.h first: GDI+ needs IStream.
#include <gdiplus.h>

#include "base/errors.h"

namespace tovasen {

TGdiplusSession::TGdiplusSession() {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) throw Exception(L"GDI+ could not be started.");
    FToken = token;
}

TGdiplusSession::~TGdiplusSession() { Gdiplus::GdiplusShutdown(FToken); }

}  // namespace tovasen
