// A console program whose behaviour the runner tests choose by its arguments:
//   write <hex>[|<hex>...]   writes each piece of bytes on its own, 150 ms apart, so that each
//                            arrives in a read of its own
//   exit <code>              exits with that code (decimal or 0x...)
//   flood <count>            prints "line <i> <i*7919>" count times, in large writes
//   flood-last <count>       the same, then "LAST", and exits at once
//   hang                     prints "ready" and then never ends by itself
//   tick                     prints "tick <i>" every 100 ms, forever
//   stdin-hex                prints the bytes of each read of standard input as hex, one line per
//                            read; ends at a read holding "q" or at the end of its input
//   close-stdin              closes its input, prints "closed", waits 1.5 s, exits 0
//   grandchild               starts "hang" as a child that inherits its output, prints its id,
//                            exits 0
//   env <name>               prints the value of that environment variable and the folder it runs in
//   -list_devices ...        (as ffmpeg.exe) prints the device listing that the environment
//                            variable TOVASEN_FAKE_LISTING names: older, newer, none, hang, or
//                            slow (the older listing after 5 s)
//   -rtbufsize ...           (as ffmpeg.exe) records as TOVASEN_FAKE_ENCODER says: "fail" prints
//                            an error and exits 1; "hang" ignores "q"; otherwise it prints its
//                            command line and progress until "q" arrives, then exits 0. Its
//                            time runs TOVASEN_FAKE_ENCODER_STEP seconds a line when set (a
//                            "-t" limit then ends it, as the encoder's does); it waits
//                            TOVASEN_FAKE_ENCODER_FIRST_MS before its first progress, and
//                            exits with TOVASEN_FAKE_ENCODER_Q_EXIT after "q" when that is set;
//                            with TOVASEN_FAKE_ENCODER_WRITES set it writes "fake" into its
//                            output file (its last argument) after "q"
//   -hide_banner ...         (as ffmpeg.exe converting a file) says that its input is not a
//                            video and exits 1
//   /guard ...               the recording guard, as Tovasen.exe runs it
//   host <file>              runs "hang" through the command runner and writes the child's
//                            process id to file, then waits to be killed
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "record/command_runner.h"
#include "record/recording_guard.h"
#include "ui/application.h"

namespace {

HANDLE Out() { return GetStdHandle(STD_OUTPUT_HANDLE); }

void Write(const std::string& bytes) {
    DWORD written = 0;
    WriteFile(Out(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
}

std::string FromHex(const std::wstring& hex) {
    std::string out;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        out += static_cast<char>(std::wcstoul(hex.substr(i, 2).c_str(), nullptr, 16));
    }
    return out;
}

std::wstring SelfPath() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return path;
}

int WritePieces(const std::wstring& spec) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t bar = spec.find(L'|', start);
        Write(FromHex(spec.substr(start, bar == std::wstring::npos ? std::wstring::npos : bar - start)));
        if (bar == std::wstring::npos) return 0;
        FlushFileBuffers(Out());
        Sleep(150);  // a pause: each piece reaches the reader on its own
        start = bar + 1;
    }
}

int Flood(unsigned long count) {
    std::string block;
    for (unsigned long i = 0; i < count; ++i) {
        block += "line " + std::to_string(i) + " " + std::to_string(static_cast<unsigned long long>(i) * 7919) + "\r\n";
        if (block.size() > 60000) {
            Write(block);
            block.clear();
        }
    }
    Write(block);
    return 0;
}

int StdinHex() {
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[256];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(in, buffer, sizeof buffer, &read, nullptr) || read == 0) return 3;
        std::string line;
        bool quit = false;
        for (DWORD i = 0; i < read; ++i) {
            char hex[3];
            std::snprintf(hex, sizeof hex, "%02x", static_cast<unsigned char>(buffer[i]));
            line += hex;
            quit = quit || buffer[i] == 'q';
        }
        Write(line + "\n");
        if (quit) return 0;
    }
}

int Grandchild() {
    // The grandchild inherits this program's output handle, so it holds the runner's pipe open.
    std::wstring command = L"\"" + SelfPath() + L"\" hang";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) return 4;
    Write("grandchild " + std::to_string(info.dwProcessId) + "\n");
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return 0;
}

std::wstring Env(const wchar_t* name) {
    wchar_t value[256] = L"";
    GetEnvironmentVariableW(name, value, 256);
    return value;
}

std::string Utf8(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                                      static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(static_cast<std::size_t>(n));
    return out;
}

int FakeListing() {
    const std::wstring kind = Env(L"TOVASEN_FAKE_LISTING");
    if (kind == L"hang") {
        Write("[dshow @ 01] DirectShow video devices\r\n");
        Sleep(INFINITE);  // a listing that never ends
    }
    if (kind == L"slow") Sleep(5000);  // a listing that takes its time, as a real one may
    if (kind == L"older" || kind == L"slow") {
        Write("[dshow @ 01] DirectShow video devices (some may be both video and audio devices)\r\n"
              "[dshow @ 01]  \"Cam\"\r\n[dshow @ 01]     Alternative name \"@device_pnp_cam\"\r\n"
              "[dshow @ 01] DirectShow audio devices\r\n"
              "[dshow @ 01]  \"\xeb\xa7\x88\xec\x9d\xb4\xed\x81\xac (Realtek)\"\r\n"
              "[dshow @ 01]     Alternative name \"@device_cm_{A}\\wave_{B}\"\r\n");
    } else if (kind == L"newer") {
        Write("[dshow @ 01] \"Microphone\" (audio)\r\n[dshow @ 01]   Alternative name \"@device_cm_{A}\\wave_{D}\"\r\n");
    } else {
        Write("[dshow @ 01] DirectShow video devices\r\n[dshow @ 01] Could not enumerate video devices.\r\n"
              "[dshow @ 01] DirectShow audio devices\r\n[dshow @ 01] Could not enumerate audio only devices.\r\n");
    }
    Write("dummy: Immediate exit requested\r\n");
    return 1;
}

int FakeEncoder() {
    const std::wstring kind = Env(L"TOVASEN_FAKE_ENCODER");
    Write(Utf8(GetCommandLineW()) + "\r\n");
    if (kind == L"fail") {
        Write("C:\\\xeb\x85\xb9\xed\x99\x94\\T-001.mp4: Permission denied\r\n");
        return 1;
    }
    // Progress until "q" (or for ever, when told to hang).
    HANDLE in = GetStdHandle(STD_INPUT_HANDLE);
    const unsigned long step = std::wcstoul(Env(L"TOVASEN_FAKE_ENCODER_STEP").c_str(), nullptr, 10);
    const std::wstring line = GetCommandLineW();
    const std::size_t limitAt = line.find(L" -t ");
    const unsigned long limit = limitAt == std::wstring::npos ? 0 : std::wcstoul(line.c_str() + limitAt + 4, nullptr, 10);
    Sleep(static_cast<DWORD>(std::wcstoul(Env(L"TOVASEN_FAKE_ENCODER_FIRST_MS").c_str(), nullptr, 10)));
    for (int i = 0;; ++i) {
        std::string time = "00:00:0" + std::to_string(i % 10) + ".50";
        if (step > 0) {
            const unsigned long seconds = static_cast<unsigned long>(i) * step;
            char text[32];
            std::snprintf(text, sizeof text, "%02lu:%02lu:%02lu.50", seconds / 3600, seconds / 60 % 60, seconds % 60);
            time = text;
        }
        Write("frame=" + std::to_string(i) + " fps=30 q=25.0 size=1kB time=" + time + " bitrate=1.0kbits/s speed=1x    \r");
        // At its limit the encoder ends by itself, "q" or not.
        if (step > 0 && limit > 0 && static_cast<unsigned long>(i) * step >= limit) {
            Write("\r\n");
            return 0;
        }
        DWORD available = 0;
        if (kind != L"hang" && PeekNamedPipe(in, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
            char c = 0;
            DWORD read = 0;
            ReadFile(in, &c, 1, &read, nullptr);
            if (c == 'q') {
                // An encoder that takes its time to finish the file, then leaves a mark when done.
                Sleep(static_cast<DWORD>(std::wcstoul(Env(L"TOVASEN_FAKE_ENCODER_LINGER_MS").c_str(), nullptr, 10)));
                const std::wstring mark = Env(L"TOVASEN_FAKE_ENCODER_DONE");
                if (!mark.empty()) CloseHandle(CreateFileW(mark.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
                // Or one that fails as it finishes, with the exit code it is told.
                const int failure = static_cast<int>(std::wcstoul(Env(L"TOVASEN_FAKE_ENCODER_Q_EXIT").c_str(), nullptr, 10));
                if (failure != 0) {
                    Write("\r\nConversion failed!\r\n");
                    return failure;
                }
                if (!Env(L"TOVASEN_FAKE_ENCODER_WRITES").empty()) {
                    int argc = 0;
                    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
                    HANDLE file = CreateFileW(argv[argc - 1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                    DWORD written = 0;
                    WriteFile(file, "fake", 4, &written, nullptr);
                    CloseHandle(file);
                    LocalFree(argv);
                }
                Write("\r\nExiting normally, received signal 2.\r\n");
                return 0;
            }
        }
        Sleep(100);  // a pause: progress comes ten times a second
    }
}

int Host(const std::wstring& file) {
    tovasen::TApplication app;
    app.Initialize();
    tovasen::TCommandRunner runner;
    runner.CommandLine = L"\"" + SelfPath() + L"\" hang";
    runner.OnNewLine = [&](tovasen::TCommandRunner& sender, const std::wstring&, tovasen::TOutputType) {
        const std::string id = std::to_string(sender.ProcessInformation().dwProcessId);
        HANDLE f = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(f, id.data(), static_cast<DWORD>(id.size()), &written, nullptr);
        CloseHandle(f);
    };
    runner.Execute();
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const std::wstring mode = argv[1];
    const std::wstring arg = argc > 2 ? argv[2] : L"";
    if (mode == L"write") return WritePieces(arg);
    if (mode == L"exit") return static_cast<int>(std::wcstoul(arg.c_str(), nullptr, 0));
    if (mode == L"flood") return Flood(std::wcstoul(arg.c_str(), nullptr, 10));
    if (mode == L"flood-last") {
        Flood(std::wcstoul(arg.c_str(), nullptr, 10));
        Write("LAST\r\n");
        return 0;
    }
    if (mode == L"hang") {
        Write("ready\n");
        Sleep(INFINITE);  // a child that never ends on its own
    }
    if (mode == L"tick") {
        for (int i = 0;; ++i) {
            Write("tick " + std::to_string(i) + "\n");
            Sleep(100);  // a pause: a tick every 100 ms
        }
    }
    if (mode == L"stdin-hex") return StdinHex();
    if (mode == L"close-stdin") {
        CloseHandle(GetStdHandle(STD_INPUT_HANDLE));
        Write("closed\n");
        Sleep(1500);  // a pause: alive a while with its input closed, while the parent writes to it
        return 0;
    }
    if (mode == L"grandchild") return Grandchild();
    if (mode == L"-list_devices") return FakeListing();
    if (mode == L"-rtbufsize") return FakeEncoder();
    if (mode == L"-hide_banner") {
        Write(Utf8(GetCommandLineW()) + "\r\n");
        Write("fake.mp4: Invalid data found when processing input\r\n");
        return 1;
    }
    if (mode == L"env") {
        wchar_t value[512] = L"";
        wchar_t folder[MAX_PATH] = L"";
        GetEnvironmentVariableW(arg.c_str(), value, 512);
        GetCurrentDirectoryW(MAX_PATH, folder);
        const std::wstring text = std::wstring(value) + L"|" + folder + L"\n";
        char bytes[2048];
        const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes, sizeof bytes, nullptr, nullptr);
        Write(std::string(bytes, static_cast<std::size_t>(n)));
        return 0;
    }
    if (mode == L"host") return Host(arg);
    if (mode == tovasen::kGuardArgument) return tovasen::RunRecordingGuard({argv + 2, argv + argc});
    return 2;
}
