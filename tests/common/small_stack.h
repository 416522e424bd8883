#pragma once
// Runs a job on a thread with the stack the program's user-interface thread has (2 MiB), where
// code that recursed once per level of its input would overflow.
#include <pthread.h>

#include <functional>

namespace tovasen::test {

inline bool RunOnUserInterfaceStack(const std::function<void()>& job) {
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 2 * 1024 * 1024);
    pthread_t thread;
    auto* copy = new std::function<void()>(job);
    const bool started = pthread_create(
                             &thread, &attributes,
                             [](void* p) -> void* {
                                 auto* f = static_cast<std::function<void()>*>(p);
                                 (*f)();
                                 delete f;
                                 return nullptr;
                             },
                             copy) == 0;
    pthread_attr_destroy(&attributes);
    if (!started) {
        delete copy;
        return false;
    }
    pthread_join(thread, nullptr);
    return true;
}

}  // namespace tovasen::test
