#pragma once
#include <windows.h>

#include <utility>

namespace tovasen {

// A move-only owner of one Win32 handle; Traits says what "none" is and how to close it.
template <class Traits>
class UniqueHandle {
public:
    using Handle = typename Traits::Handle;
    UniqueHandle() = default;
    explicit UniqueHandle(Handle h) noexcept : h_(h) {}
    UniqueHandle(UniqueHandle&& o) noexcept : h_(std::exchange(o.h_, Traits::Invalid())) {}
    UniqueHandle& operator=(UniqueHandle&& o) noexcept {
        Reset(std::exchange(o.h_, Traits::Invalid()));
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { Reset(); }

    void Reset(Handle h = Traits::Invalid()) noexcept {
        if (h_ != Traits::Invalid()) Traits::Close(h_);
        h_ = h;
    }
    Handle Release() noexcept { return std::exchange(h_, Traits::Invalid()); }
    Handle Get() const noexcept { return h_; }
    explicit operator bool() const noexcept { return h_ != Traits::Invalid(); }

private:
    Handle h_ = Traits::Invalid();
};

template <class H, auto CloseFn>
struct NullTraits {
    using Handle = H;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { CloseFn(h); }
};

// Kernel objects (events, threads, processes, mutexes, pipes): null means none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};

// CreateFileW and its kin answer INVALID_HANDLE_VALUE, not null, on failure.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { CloseHandle(h); }
};

struct FindHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Close(Handle h) noexcept { FindClose(h); }
};

inline void CloseGdiObject(HGDIOBJ h) noexcept { DeleteObject(h); }
inline void CloseKey(HKEY h) noexcept { RegCloseKey(h); }

using UniqueWindow = UniqueHandle<NullTraits<HWND, DestroyWindow>>;
// A DC made by CreateCompatibleDC or CreateDCW; a DC from GetDC is a WindowDC below.
using UniqueDC = UniqueHandle<NullTraits<HDC, DeleteDC>>;
using UniqueMemoryDC = UniqueDC;
using UniqueGdiObject = UniqueHandle<NullTraits<HGDIOBJ, CloseGdiObject>>;
using UniqueBitmap = UniqueHandle<NullTraits<HBITMAP, CloseGdiObject>>;
using UniqueBrush = UniqueHandle<NullTraits<HBRUSH, CloseGdiObject>>;
using UniqueFont = UniqueHandle<NullTraits<HFONT, CloseGdiObject>>;
using UniquePen = UniqueHandle<NullTraits<HPEN, CloseGdiObject>>;
using UniqueRegion = UniqueHandle<NullTraits<HRGN, CloseGdiObject>>;
using UniqueIcon = UniqueHandle<NullTraits<HICON, DestroyIcon>>;
using UniqueMenu = UniqueHandle<NullTraits<HMENU, DestroyMenu>>;
using UniqueKey = UniqueHandle<NullTraits<HKEY, CloseKey>>;
using UniqueModule = UniqueHandle<NullTraits<HMODULE, FreeLibrary>>;
using UniqueKernelHandle = UniqueHandle<KernelHandleTraits>;
using UniqueFile = UniqueHandle<FileHandleTraits>;
using UniqueFind = UniqueHandle<FindHandleTraits>;

// A device context from GetDC, given back to its window with ReleaseDC.
class WindowDC {
public:
    explicit WindowDC(HWND window) noexcept : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_) ReleaseDC(window_, dc_);
    }
    HDC Get() const noexcept { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

// Selects an object into a DC for one scope and always selects the previous one back.
class ScopedSelect {
public:
    ScopedSelect(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(SelectObject(dc, object)) {}
    ScopedSelect(const ScopedSelect&) = delete;
    ScopedSelect& operator=(const ScopedSelect&) = delete;
    ~ScopedSelect() {
        if (old_) SelectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

}  // namespace tovasen
