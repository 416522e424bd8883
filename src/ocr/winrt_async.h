#pragma once
// The completion handler the runtime calls when an asynchronous operation ends. The runtime calls
// it on one of its own threads; it is agile, so no apartment marshals the call.
#include <atomic>
#include <functional>

#include "base/exception_text.h"
#include "ocr/winrt_interfaces.h"

namespace tovasen::winrt {

#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wnon-virtual-dtor"
#endif
template <class T>
class TCompletedHandler final : public IAsyncOperationCompletedHandler<T> {
public:
    using TInvoke = std::function<HRESULT(IAsyncOperation<T>* operation, AsyncStatus status)>;

    // Returned with one reference, which the caller owns.
    static IAsyncOperationCompletedHandler<T>* Create(TInvoke invoke) { return new TCompletedHandler(std::move(invoke)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IAsyncOperationCompletedHandler<T>::Iid() || iid == __uuidof(IUnknown) ||
            iid == IAgileObjectDecl::Iid()) {
            *object = static_cast<IAsyncOperationCompletedHandler<T>*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++FReferences; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --FReferences;
        if (left == 0) delete this;
        return left;
    }
    HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<T>* operation, AsyncStatus status) override {
        // Nothing may unwind into the runtime's thread.
        return Guarded(E_UNEXPECTED, [&] { return FInvoke(operation, status); });
    }

private:
    explicit TCompletedHandler(TInvoke invoke) : FInvoke(std::move(invoke)) {}
    std::atomic<ULONG> FReferences{1};
    TInvoke FInvoke;
};
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif

}  // namespace tovasen::winrt
