// Stands in for a Tovasen instance that will not exit (one that is recording refuses): holds the
// instance mutex, creates READY_FILE once it does, and lets go when RELEASE_FILE appears.
//   hold_instance_mutex.exe READY_FILE RELEASE_FILE
// Gives up after two minutes so a failed test cannot leave it behind.
#include <windows.h>

#include <cstdio>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: hold_instance_mutex READY_FILE RELEASE_FILE\n", stderr);
        return 2;
    }
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"TovasenMutex");
    if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) {
        std::fputs("hold_instance_mutex: the mutex is taken already\n", stderr);
        return 1;
    }
    HANDLE ready = CreateFileW(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (ready == INVALID_HANDLE_VALUE) {
        std::fputs("hold_instance_mutex: cannot create the ready file\n", stderr);
        return 1;
    }
    CloseHandle(ready);
    for (int i = 0; i < 1200 && GetFileAttributesW(argv[2]) == INVALID_FILE_ATTRIBUTES; ++i) Sleep(100);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
}
