// The request paths split step by step. In this process the program's own parts (settings,
// selection windows, capture services, controller, history) carry out a PNG capture while every
// call the controller makes to the services is timed; through Tovasen.exe the same capture is
// timed from the command to its reply. Beside them, in the same run, the bare grab, encode and
// write of the same screen; and resident memory and start of Tovasen.exe beside a bare window.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "app/capture_controller.h"
#include "app/capture_services.h"
#include "app/autostart.h"
#include "app/frm_tovasen.h"
#include "app/history_link.h"
#include "app/selection_windows.h"
#include "app/settings.h"
#include "app/settings_model.h"
#include "base/config.h"
#include "base/module_path.h"
#include "base/settings_registry.h"
#include "capture/capture.h"
#include "encode/png_encoder.h"
#include "image/bitmap_pixels.h"
#include "output/file_replace.h"
#include "output/float_list.h"
#include "history/history.h"
#include "hotkey/frm_hotkey.h"
#include "ocr/rt_ocr.h"
#include "output/frm_floating.h"
#include "select/frm_drag.h"
#include "select/frm_size.h"
#include "ui/form.h"
#include "ui/tray_icon.h"
#include "update/update_check.h"
#include "path_bench.h"

namespace tovasen::bench {
namespace {

std::wstring BenchFolder() {
    wchar_t base[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, base);
    std::wstring folder = std::wstring(base) + L"tovasen-path-bench-" + std::to_wstring(GetCurrentProcessId()) + L"\\";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

void EmptyFolder(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileW((folder + data.cFileName).c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
}

// The settings every capture here runs with: full screen, PNG into folder, no sound, history on.
void PngSettings(TConfig& c, const std::wstring& folder) {
    c.WriteString(L"path", folder);
    c.WriteInteger(L"area", 0);
    c.WriteInteger(L"saveto", 0);
    c.WriteBoolean(L"history_keep", true);
}

class HostWindow : public TForm {
public:
    HostWindow() : TForm(nullptr, L"PathBenchHost") {
        TCreateParams params;
        params.ClassName = L"PathBenchHost";
        params.Caption = L"path bench";
        params.Style = WS_OVERLAPPED;
        CreateHandle(params);
    }
};

class NoView : public TCaptureView {
public:
    std::wstring PickColour() override { return {}; }
    void RecordingChanged(bool) override {}
    void RecordingTime(const std::wstring&) override {}
    void RecordingPaused(bool) override {}
};

// When each call of the controller to the program's services began and ended.
struct Marks {
    Clock::time_point snapshotIn, snapshotOut, grabIn, grabOut, nameIn, nameOut;
};

class TimedHost : public TCaptureHost {
public:
    TimedHost(TCaptureServices& services, Marks& marks) : S(services), M(marks) {}
    TCaptureOptions CaptureOptions() override {
        M.snapshotIn = Clock::now();
        TCaptureOptions options = S.CaptureOptions();
        M.snapshotOut = Clock::now();
        return options;
    }
    TGrab Grab(const TCaptureOptions& options, std::shared_ptr<TBitmap> spare) override {
        M.grabIn = Clock::now();
        TGrab grab = S.Grab(options, std::move(spare));
        M.grabOut = Clock::now();
        return grab;
    }
    std::wstring NewFilename(const TCaptureOptions& options, const std::wstring& ext) override {
        M.nameIn = Clock::now();
        std::wstring name = S.NewFilename(options, ext);
        M.nameOut = Clock::now();
        return name;
    }
    void PickColour() override { S.PickColour(); }
    void CopyToClipboard(TBitmap& bitmap) override { S.CopyToClipboard(bitmap); }
    void Print(TBitmap& bitmap) override { S.Print(bitmap); }
    void Float(std::shared_ptr<TBitmap> picture, const RECT& rect) override { S.Float(std::move(picture), rect); }
    void PlayCaptureSound() override { S.PlayCaptureSound(); }
    void Edit(TBitmap& picture, std::function<void(TEdited&)> done, std::function<void()> cancelled) override {
        S.Edit(picture, std::move(done), std::move(cancelled));
    }
    std::function<std::wstring(std::vector<std::uint8_t>, const UploadProgress&)> Uploader() override { return S.Uploader(); }
    bool OpenAddress(const std::wstring& address) override { return S.OpenAddress(address); }
    std::wstring EncoderPath() override { return S.EncoderPath(); }
    TFuncOfRect RecordedRegion(const TCaptureOptions& options) override { return S.RecordedRegion(options); }
    TCapture* Grabber() override { return S.Grabber(); }
    void RecordingChanged(bool recording) override { S.RecordingChanged(recording); }
    void RecordingTime(const std::wstring& shown) override { S.RecordingTime(shown); }

private:
    TCaptureServices& S;
    Marks& M;
};

class TimedReporter : public TOutcomeReporter {
public:
    void Report(const TCaptureOutcome& outcome) override {
        at = Clock::now();
        ok = outcome.Succeeded();
        told = true;
    }
    Clock::time_point at;
    bool ok = false, told = false;
};

// The program's parts as its main window wires them, with the controller's calls timed.
struct InProcessProgram {
    HostWindow window;
    NoView view;
    TSettingsModel settings{ReadRegistrySettings(SystemSettingsEnvironment()), RegistrySettingsWriter()};
    TFloatList floats{[] { return TFloatingSaveOptions{}; }};
    TSelectionWindows selection{window, [this] { return settings.Mode(); }};
    TCaptureServices services{window, settings, selection, floats, view};
    Marks marks;
    TimedHost host{services, marks};
    TCaptureController controller{nullptr, host};
    THistoryLink history{window, floats, [](const std::wstring& error) { std::printf("history: %ls\n", error.c_str()); }};
    Clock::time_point historyIn, historyOut;
    InProcessProgram() {
        history.Open();
        controller.OnFinished = [this](const TFinishedCapture& capture) {
            historyIn = Clock::now();
            history.Record(capture);
            historyOut = Clock::now();
        };
    }
};

void InProcessCaptureRows(int runs, const Baselines& base, const std::wstring& folder, double floorMs) {
    InProcessProgram program;
    std::vector<double> total, toSnapshot, grab, named, freed, output, history, rest;
    for (int i = 0; i < runs + 1; ++i) {
        program.marks = {};
        program.historyIn = program.historyOut = {};
        auto reporter = std::make_shared<TimedReporter>();
        const auto start = Clock::now();
        program.controller.Run(reporter);
        const auto returned = Clock::now();
        WaitClosely([&] { return reporter->told && program.historyOut != Clock::time_point{}; }, 30000);
        if (!reporter->ok) std::printf("  in-process capture %d failed\n", i);
        if (i > 0 && reporter->ok) {  // the first run warms caches up
            const Marks& m = program.marks;
            total.push_back(Between(start, reporter->at));
            toSnapshot.push_back(Between(start, m.snapshotOut));
            grab.push_back(Between(m.grabIn, m.grabOut));
            named.push_back(Between(m.nameIn, m.nameOut));
            rest.push_back(Between(m.snapshotOut, m.grabIn) + Between(m.grabOut, m.nameIn));
            freed.push_back(Between(m.nameOut, returned));
            output.push_back(Between(m.nameOut, reporter->at));
            history.push_back(Between(program.historyIn, program.historyOut));
        }
        Pump(1000);  // the history's thumbnail, on its worker, must not share the next capture's cores
        EmptyFolder(folder);
    }
    PrintRow("in process: request -> reply (PNG, history on)", Summary(total),
             Text("goal 1.15 x copy + 20 = %.2f; bare grab+encode+write %.2f", 1.15 * base.copy.median + 20, floorMs));
    PrintRow("  request -> snapshot taken", Summary(toSnapshot), "key or command handed to the controller");
    PrintRow("  source: grab", Summary(grab), Text("bare copy %.2f", base.copy.median));
    PrintRow("  between the steps (controller's own)", Summary(rest), "");
    PrintRow("  file named", Summary(named), "folder listed for the next free name");
    PrintRow("  UI thread free again (writer started)", Summary(freed), "");
    PrintRow("  output: encode, write on a worker, reply", Summary(output), "see the bare encode and write rows");
    PrintRow("  after the reply: history entry (UI thread)", Summary(history), "not in the reply's time");
}

}  // namespace

void CaptureRows(int runs, const Baselines& base) {
    const std::wstring folder = BenchFolder();
    {
        TConfig config;
        PngSettings(config, folder);
        config.WriteInteger(L"sound", 1);
        config.WriteBoolean(L"mouse", false);
        config.WriteBoolean(L"autocopy", false);
        config.WriteInteger(L"append", 3);
    }
    // The bare steps: the program's grabber, the PNG encoder and the file write on this thread.
    std::vector<double> grab, encode, write;
    TCapture grabber;
    grabber.ShowCursor = false;
    for (int i = 0; i < runs; ++i) {
        TBitmap bitmap;
        RECT rect{};
        auto t = Clock::now();
        grabber.Capture(bitmap, nullptr, rect);
        grab.push_back(Since(t));
        std::vector<std::uint8_t> bytes;
        t = Clock::now();
        bytes = EncodePng(BitmapPixels(bitmap).View());
        encode.push_back(Since(t));
        t = Clock::now();
        ReplaceFileWith(folder + L"bare.png", bytes);
        write.push_back(Since(t));
        EmptyFolder(folder);
    }
    const double floorMs = Summary(grab).median + Summary(encode).median + Summary(write).median;
    PrintRow("bare grab (the program's grabber, full screen)", Summary(grab), Text("bare copy %.2f", base.copy.median));
    PrintRow("bare PNG encode of it", Summary(encode), "");
    PrintRow("bare file write (temporary, flush, move)", Summary(write), "");
    InProcessCaptureRows(runs, base, folder, floorMs);

    Program program([&](TConfig& c) { PngSettings(c, folder); });
    if (!program.Ready()) {
        std::printf("Tovasen did not start\n");
        return;
    }
    std::vector<double> taken, replied;
    for (int i = 0; i < runs + 1; ++i) {
        const Program::Replied r = program.CaptureWithReply();
        if (!r.ok) std::printf("  capture %d: %ls\n", i, r.text.c_str());
        if (r.ok && i > 0) {
            taken.push_back(r.taken);
            replied.push_back(r.replied);
        }
        Pump(1000);
        EmptyFolder(folder);
    }
    PrintRow("Tovasen.exe: command -> reply (PNG, history on)", Summary(replied),
             Text("goal 1.15 x copy + 20 = %.2f", 1.15 * base.copy.median + 20));
    PrintRow("  command -> taken (WM_COPYDATA returned)", Summary(taken), "");
    EmptyFolder(folder);
    RemoveDirectoryW(folder.c_str());
}

namespace {

void PrintMb(const char* what, double mb, const std::string& beside = {}) {
    std::printf("%-52s %8.1f MB   %s\n", what, mb, beside.c_str());
    std::fflush(stdout);
}

struct Launched {
    PROCESS_INFORMATION info{};
    bool ok = false;
    explicit Launched(const std::wstring& exe, const std::wstring& arguments) {
        std::wstring line = L"\"" + exe + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        ok = CreateProcessW(exe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info) != 0;
    }
    ~Launched() {
        if (!ok) return;
        if (WaitForSingleObject(info.hProcess, 15000) != WAIT_OBJECT_0) TerminateProcess(info.hProcess, 1);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
};

std::wstring BareWindowExe() { return ExeFolder() + L"bare_window.exe"; }

constexpr wchar_t kBareClass[] = L"PathBenchBare";

HWND ShownWindow(const wchar_t* className) {
    HWND w = FindWindowW(className, nullptr);
    return w && IsWindowVisible(w) ? w : nullptr;
}

}  // namespace

void StartRows(int runs) {
    const std::wstring tovasen = ExeFolder() + L"..\\bin\\Tovasen.exe";
    std::vector<double> bare, made, shown;
    for (int i = 0; i < runs + 1; ++i) {
        {
            Launched process(BareWindowExe(), L"");
            const auto start = Clock::now();
            HWND w = nullptr;
            const bool seen = process.ok && WaitClosely([&] { return (w = ShownWindow(kBareClass)) != nullptr; }, 60000);
            if (seen && i > 0) bare.push_back(Since(start));
            if (w) PostMessageW(w, WM_CLOSE, 0, 0);
        }
        {
            Launched process(tovasen, L"");
            const auto start = Clock::now();
            double madeAt = 0;
            HWND w = nullptr;
            const bool seen = process.ok && WaitClosely([&] {
                if (madeAt == 0 && FindWindowW(L"TFrmTovasen", nullptr)) madeAt = Since(start);
                return (w = ShownWindow(L"TFrmTovasen")) != nullptr;
            }, 60000);
            if (seen && i > 0) {
                made.push_back(madeAt);
                shown.push_back(Since(start));
            }
            if (!seen) std::printf("  Tovasen's window did not show (run %d)\n", i);
            if (HWND any = FindWindowW(L"TFrmTovasen", nullptr)) PostMessageW(any, WM_USER, 2, 0);
        }
        Pump(300);
    }
    const Stats floor = Summary(bare);
    PrintRow("launch -> bare Win32 window shown (floor)", floor);
    PrintRow("launch -> Tovasen's main window shown", Summary(shown), Text("goal floor + 150 = %.2f", floor.median + 150));
    PrintRow("  launch -> main window made (hidden)", Summary(made), "");
}

void StartupRows() {
    // The pieces of the start-up sequence that reach beyond the process, each cold, first; then
    // the main window made and started as the program does it (those pieces warm by then).
    const Stats ocr = Measure(1, [](int) {
        try {
            TRtOcr engine(nullptr, L"BenchOcr");
            (void)engine.AvailableLanguages();
        } catch (...) {
        }
    });
    const Stats history = Measure(1, [](int) {
        try {
            THistory opened;
        } catch (...) {
        }
    });
    HostWindow host;
    const Stats tray = Measure(1, [&](int) {
        TTrayIcon icon(&host, L"BenchTray");
        icon.SetIcon(LoadIconW(nullptr, IDI_APPLICATION));
        icon.SetHint(L"bench");
        icon.SetVisible(true);
    });
    std::unique_ptr<TFrmHotKey> keys;
    const Stats keyDialog = Measure(1, [&](int) { keys = std::make_unique<TFrmHotKey>(&host, [] {}); });
    const Stats hotkey = Measure(1, [&](int) { keys->RegisterStoredHotKey(); });
    // What start-up no longer does, measured where it went: the key window's controls at its
    // first opening, the size dialog with the region frame.
    const Stats keyControls = Measure(1, [&](int) {
        keys->Show();
        keys->Hide();
    });
    keys.reset();
    const Stats sizeDialog = Measure(1, [&](int) { TFrmSize size(&host); });
    const Stats autostart = Measure(1, [](int) {
        (void)RefreshAutoStart(kAutoStartName);
        DisableSnippingKey();
    });
    std::unique_ptr<TUpdateCheck> check;
    const Stats update = Measure(1, [&](int) {
        check = std::make_unique<TUpdateCheck>(UpdateService{L"https://127.0.0.1:9/"}, L"1.0.0.0", L"ko",
                                               [](const std::wstring&) {});
    });
    check.reset();
    TFrmTovasen* form = nullptr;
    const Stats made = Measure(1, [&](int) { form = new TFrmTovasen(Application, L""); });
    const Stats created = Measure(1, [&](int) { form->FormCreate(); });
    const Stats shown = Measure(1, [&](int) {
        form->Show();
        UpdateWindow(form->Handle());
    });
    Pump(500);
    delete form;
    PrintRow("in process: main window made, started, shown", {made.median + created.median + shown.median, 0},
             "one start in a fresh process");
    PrintRow("  main window made (parts, controls, menu)", made);
    PrintRow("  start-up sequence (FormCreate)", created, "with the pieces below warm");
    PrintRow("  shown and painted", shown);
    PrintRow("  text recognition languages asked, cold", ocr, "once TXT is chosen, not at start");
    PrintRow("  history opened, cold", history, "part of the start-up sequence");
    PrintRow("  tray icon added and removed, cold", tray, "part of the start-up sequence");
    PrintRow("  key settings window made (hidden), cold", keyDialog, "part of the start-up sequence");
    PrintRow("  capture and mode keys registered, cold", hotkey, "part of the start-up sequence");
    PrintRow("  key settings window's controls made and shown", keyControls, "at its first opening, not at start");
    PrintRow("  region size dialog made, cold", sizeDialog, "with the region frame, not at start");
    PrintRow("  start with Windows and snipping key read, cold", autostart, "part of the start-up sequence");
    PrintRow("  update check started, cold", update, "part of the start-up sequence (its own thread)");
}

void MemoryRows(int settleSeconds) {
    double bareMb = 0;
    {
        Launched process(BareWindowExe(), L"");
        HWND w = nullptr;
        if (process.ok && WaitClosely([&] { return (w = ShownWindow(kBareClass)) != nullptr; }, 60000)) {
            Pump(3000);
            bareMb = ResidentMb(process.info.hProcess);
        }
        if (w) PostMessageW(w, WM_CLOSE, 0, 0);
    }
    PrintMb("resident: bare Win32 window, idle (floor)", bareMb);
    {
        // Floating windows of full-screen captures, and drag overlays given up with Esc.
        Program program([](TConfig& c) {
            c.WriteInteger(L"area", 0);
            c.WriteInteger(L"saveto", 10);
        });
        if (!program.Ready()) {
            std::printf("Tovasen did not start\n");
            return;
        }
        Pump(3000);
        const double idle = program.ResidentMb();
        PrintMb("resident: Tovasen idle after start", idle, Text("goal floor + 15 = %.1f MB", bareMb + 15));
        for (int i = 0; i < 5; ++i) {
            program.RequestCapture(L"drag");
            HWND overlay = nullptr;
            WaitClosely([&] { return (overlay = FindVisible(program.Id(), TFrmDrag::kClassName)) != nullptr; });
            Pump(100);
            if (overlay) PostMessageW(overlay, WM_KEYDOWN, VK_ESCAPE, 0);
            program.Join();
            WaitClosely([&] { return !FindVisible(program.Id(), TFrmDrag::kClassName); });
        }
        Pump(2000);
        PrintMb("  after 5 drag overlays (given up with Esc)", program.ResidentMb(), Text("idle %.1f MB", idle));
        for (int i = 0; i < 5; ++i) {
            program.RequestCapture();
            HWND floating = nullptr;
            WaitClosely([&] { return (floating = FindVisible(program.Id(), TFrmFloating::kClassName)) != nullptr; });
            Pump(100);
            if (floating) PostMessageW(floating, WM_CLOSE, 0, 0);
            program.Join();
            WaitClosely([&] { return !FindVisible(program.Id(), TFrmFloating::kClassName); });
        }
        Pump(2000);
        PrintMb("  and 5 floating windows (closed again)", program.ResidentMb(), "");
        Pump(static_cast<DWORD>(settleSeconds) * 1000);
        PrintMb("  and a while later", program.ResidentMb(), Text("%.0f s more; goal idle + 5 = %.1f MB", settleSeconds, idle + 5));
    }
    const std::wstring folder = BenchFolder();
    {
        Program program([&](TConfig& c) { PngSettings(c, folder); });
        if (!program.Ready()) return;
        Pump(3000);
        const double idle = program.ResidentMb();
        PrintMb("resident: Tovasen idle after start (PNG, history)", idle, Text("goal floor + 15 = %.1f MB", bareMb + 15));
        int failed = 0;
        for (int i = 0; i < 50; ++i) failed += program.CaptureWithReply().ok ? 0 : 1;
        if (failed) std::printf("  %d of 50 captures failed\n", failed);
        PrintMb("  after 50 PNG captures", program.ResidentMb(), "");
        Pump(static_cast<DWORD>(settleSeconds) * 1000);
        PrintMb("  and a while later", program.ResidentMb(), Text("%.0f s more; goal idle + 5 = %.1f MB", settleSeconds, idle + 5));
    }
    EmptyFolder(folder);
    RemoveDirectoryW(folder.c_str());
}

}  // namespace tovasen::bench
