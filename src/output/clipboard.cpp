#include "output/clipboard.h"

#include <windows.h>

#include <winspool.h>

#include <cstring>

#include "i18n/translation.h"
#include "ui/application.h"
#include "base/errors.h"
#include "base/handles.h"

namespace tovasen {
namespace {

constexpr wchar_t kClipboardBlocked[] = L"클립보드 사용을 방지하는 프로그램이 실행중입니다.";

HWND ClipboardOwner() { return Application ? Application->Handle() : nullptr; }

// Opens the clipboard once (no retry), empties it and hands it the data; false when it could
// not be opened or the data was refused.
bool PlaceOnClipboard(UINT format, HANDLE data) {
    if (!OpenClipboard(ClipboardOwner())) return false;
    EmptyClipboard();
    const bool placed = SetClipboardData(format, data) != nullptr;
    CloseClipboard();
    return placed;
}

}  // namespace

EClipboardBusy::EClipboardBusy() : Exception(Translate(kClipboardBlocked)) {}

void CopyBitmapToClipboard(TBitmap& bitmap) {
    // A device-dependent copy; the system offers the DIB formats to readers from it.
    WindowDC screen(nullptr);
    UniqueBitmap copy(CreateCompatibleBitmap(screen.Get(), bitmap.Width(), bitmap.Height()));
    UniqueMemoryDC dc(CreateCompatibleDC(screen.Get()));
    if (copy && dc) {
        ScopedSelect select(dc.Get(), copy.Get());
        BitBlt(dc.Get(), 0, 0, bitmap.Width(), bitmap.Height(), bitmap.Canvas().Handle(), 0, 0, SRCCOPY);
    }
    if (copy && PlaceOnClipboard(CF_BITMAP, copy.Get())) {
        copy.Release();  // the clipboard owns it now
        return;
    }
    throw EClipboardBusy();
}

void CopyTextToClipboard(const std::wstring& text) {
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes);
    if (memory) {
        std::memcpy(GlobalLock(memory), text.c_str(), bytes);
        GlobalUnlock(memory);
        if (PlaceOnClipboard(CF_UNICODETEXT, memory)) return;
        GlobalFree(memory);
    }
    throw EClipboardBusy();
}

void CopyTextToClipboardOrTell(const std::wstring& text) {
    try {
        CopyTextToClipboard(text);
    } catch (const EClipboardBusy& e) {
        const std::wstring title = Application ? Application->Title() : L"";
        MessageBoxW(ClipboardOwner(), e.Message().c_str(), Translate(title).c_str(),
                    MB_ICONINFORMATION | MB_TOPMOST | MB_SETFOREGROUND);
    }
}

int PrinterScale(int printerDpi, int ppi) {
    const int scale = ppi > 0 ? printerDpi / ppi : 1;
    return scale < 1 ? 1 : scale;
}

void PrintBitmap(TBitmap& bitmap, int ppi) {
    DWORD size = 0;
    GetDefaultPrinterW(nullptr, &size);
    std::wstring printer(size, L'\0');
    if (size == 0 || !GetDefaultPrinterW(printer.data(), &size)) throw Exception(L"No default printer is installed.");
    UniqueHandle<NullTraits<HDC, DeleteDC>> dc(CreateDCW(L"WINSPOOL", printer.c_str(), nullptr, nullptr));
    if (!dc) RaiseLastOSError(L"CreateDCW(" + printer + L")");
    DOCINFOW document{};
    document.cbSize = sizeof(document);
    document.lpszDocName = L"Tovasen";
    if (StartDocW(dc.Get(), &document) <= 0) RaiseLastOSError(L"StartDocW");
    const int sx = PrinterScale(GetDeviceCaps(dc.Get(), LOGPIXELSX), ppi);
    const int sy = PrinterScale(GetDeviceCaps(dc.Get(), LOGPIXELSY), ppi);
    const bool printed = StartPage(dc.Get()) > 0 &&
                         StretchBlt(dc.Get(), 0, 0, bitmap.Width() * sx, bitmap.Height() * sy, bitmap.Canvas().Handle(),
                                    0, 0, bitmap.Width(), bitmap.Height(), SRCCOPY) &&
                         EndPage(dc.Get()) > 0;
    const DWORD code = GetLastError();
    if (!printed) {
        AbortDoc(dc.Get());
        throw EOSError(L"Printing", code);
    }
    EndDoc(dc.Get());
}

}  // namespace tovasen
