#pragma once
// COM as the program uses it: an apartment for a scope, one interface pointer, an owned BSTR,
// and the reference counting of the objects the program hands to COM itself.
#include <windows.h>

#include <oleauto.h>
#include <unknwn.h>

#include <atomic>
#include <string>
#include <utility>

namespace tovasen {

// Enters a single-threaded apartment for one scope and leaves it again, but only when it did
// enter: a thread already in a multithreaded apartment keeps it (and the call still works
// there). Ole also starts OLE itself (drag and drop, the clipboard, in-place activation), which
// embedded controls need.
class TComApartment {
public:
    enum class TKind { Com, Ole };
    explicit TComApartment(TKind kind = TKind::Com) noexcept;
    TComApartment(const TComApartment&) = delete;
    TComApartment& operator=(const TComApartment&) = delete;
    ~TComApartment();
    bool Entered() const noexcept { return FEntered; }

private:
    TKind FKind;
    bool FEntered = false;
};

// Makes sure the calling thread is in an apartment from now on, for the rest of its life: for
// threads that make COM objects at many places and never leave.
void EnsureComApartment();

// The identifier of an interface: its own Iid() where it declares one (the hand-declared
// runtime interfaces), else the one the system headers attach to it.
template <class I>
GUID IidOf() {
    if constexpr (requires { I::Iid(); }) return I::Iid();
    else return __uuidof(I);
}

// An owned interface pointer: one reference, released when it goes. Copies add a reference.
template <class T>
class TComPtr {
public:
    TComPtr() = default;
    TComPtr(std::nullptr_t) noexcept {}
    TComPtr(const TComPtr& o) noexcept : FPtr(o.FPtr) {
        if (FPtr) FPtr->AddRef();
    }
    TComPtr(TComPtr&& o) noexcept : FPtr(std::exchange(o.FPtr, nullptr)) {}
    TComPtr& operator=(TComPtr o) noexcept {
        std::swap(FPtr, o.FPtr);
        return *this;
    }
    ~TComPtr() { Reset(); }

    // Takes over a reference the caller holds.
    static TComPtr Attach(T* p) noexcept {
        TComPtr c;
        c.FPtr = p;
        return c;
    }
    // Adds a reference of its own.
    static TComPtr Retain(T* p) noexcept {
        if (p) p->AddRef();
        return Attach(p);
    }

    void Reset() noexcept {
        if (T* p = std::exchange(FPtr, nullptr)) p->Release();
    }
    T* Detach() noexcept { return std::exchange(FPtr, nullptr); }
    T* Get() const noexcept { return FPtr; }
    T* operator->() const noexcept { return FPtr; }
    T& operator*() const noexcept { return *FPtr; }
    explicit operator bool() const noexcept { return FPtr != nullptr; }
    // For out parameters: whatever was held goes first.
    T** Put() noexcept {
        Reset();
        return &FPtr;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

    // The same object as interface U, or the failure of QueryInterface.
    template <class U>
    HRESULT QueryTo(TComPtr<U>& out) const noexcept {
        if (!FPtr) {
            out.Reset();
            return E_POINTER;
        }
        return FPtr->QueryInterface(IidOf<U>(), out.PutVoid());
    }
    // The same object as interface U; empty when it is not one.
    template <class U>
    TComPtr<U> Query() const noexcept {
        TComPtr<U> out;
        QueryTo(out);
        return out;
    }

private:
    T* FPtr = nullptr;
};

// An owned BSTR.
class TBstr {
public:
    TBstr() = default;
    // Raises when the system has no memory for it.
    explicit TBstr(const std::wstring& text);
    TBstr(TBstr&& o) noexcept : FText(std::exchange(o.FText, nullptr)) {}
    TBstr& operator=(TBstr&& o) noexcept {
        std::swap(FText, o.FText);
        return *this;
    }
    TBstr(const TBstr&) = delete;
    TBstr& operator=(const TBstr&) = delete;
    ~TBstr() { SysFreeString(FText); }

    BSTR Get() const noexcept { return FText; }
    // For out parameters.
    BSTR* Put() noexcept {
        SysFreeString(std::exchange(FText, nullptr));
        return &FText;
    }
    // Hands the string over, for a VARIANT or an out parameter that frees it.
    BSTR Detach() noexcept { return std::exchange(FText, nullptr); }
    std::wstring Text() const { return FText ? std::wstring(FText, SysStringLen(FText)) : std::wstring(); }

private:
    BSTR FText = nullptr;
};

// COM objects free themselves in Release; nothing deletes them through an interface pointer.
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif

// The reference count of an object the program hands to COM (an event sink, a site, a
// completion handler), which may be called on any thread. It starts with one reference, held
// by whoever made it; the last Release deletes it. QueryInterface stays with the object.
template <class... Interfaces>
class TComObject : public Interfaces... {
public:
    TComObject(const TComObject&) = delete;
    TComObject& operator=(const TComObject&) = delete;

    ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FReferences;
        if (left == 0) delete this;
        return left;
    }

protected:
    TComObject() = default;
    virtual ~TComObject() = default;
    // Answers a QueryInterface with this object as I, adding the reference the caller gets.
    template <class I>
    HRESULT Found(void** out) {
        *out = static_cast<I*>(this);
        AddRef();
        return S_OK;
    }

private:
    std::atomic<ULONG> FReferences{1};
};

// IDispatch for an object that is only ever called by dispatch identifier (an event sink, the
// host's ambient properties): it offers no type information and no names.
class TDispatchByIds : public IDispatch {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
};

#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace tovasen
