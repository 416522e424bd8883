#pragma once
// The completion handler the runtime calls when an asynchronous operation ends. The runtime calls
// it on one of its own threads; it is agile, so no apartment marshals the call.
#include <functional>

#include "base/com.h"
#include "base/exception_text.h"
#include "ocr/winrt_interfaces.h"

namespace tovasen::winrt {

template <class T>
class TCompletedHandler final : public TComObject<IAsyncOperationCompletedHandler<T>> {
public:
    using TInvoke = std::function<HRESULT(IAsyncOperation<T>* operation, AsyncStatus status)>;

    // Returned with one reference, which the caller owns.
    static IAsyncOperationCompletedHandler<T>* Create(TInvoke invoke) { return new TCompletedHandler(std::move(invoke)); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        if (iid == IAsyncOperationCompletedHandler<T>::Iid() || iid == __uuidof(IUnknown) ||
            iid == IAgileObjectDecl::Iid()) {
            return this->template Found<IAsyncOperationCompletedHandler<T>>(object);
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT STDMETHODCALLTYPE Invoke(IAsyncOperation<T>* operation, AsyncStatus status) override {
        // Nothing may unwind into the runtime's thread.
        return Guarded(E_UNEXPECTED, [&] { return FInvoke(operation, status); });
    }

private:
    explicit TCompletedHandler(TInvoke invoke) : FInvoke(std::move(invoke)) {}
    TInvoke FInvoke;
};

}  // namespace tovasen::winrt
