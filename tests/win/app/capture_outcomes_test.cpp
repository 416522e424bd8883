// The capture controller in this process, with a host whose outputs fail on demand, the
// scripted OCR engine and the stand-in encoder: every way a request can end reaches its
// reporter exactly once, and the controller is idle again afterwards.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/capture_controller.h"
#include "app/outcome_reporter.h"
#include "base/errors.h"
#include "base/module_path.h"
#include "fake_ocr_backend.h"
#include "ocr/rt_ocr.h"
#include "output/clipboard.h"
#include "output/progress_form.h"
#include "support/files.h"
#include "support/message_boxes.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Kind = TCaptureOutcome::TKind;

struct Reporter : TOutcomeReporter {
    std::vector<TCaptureOutcome> outcomes;
    void Report(const TCaptureOutcome& outcome) override { outcomes.push_back(outcome); }
};

// Where a picture goes, and how each place can fail.
class FakeHost : public TCaptureHost {
public:
    explicit FakeHost(const test::TempFolder& folder) : folder_(&folder) {}

    TCaptureOptions options;
    bool cancel = false;                 // the user cancels the selection
    std::wstring grabError;              // the grabber raises this
    bool clipboardBusy = false;
    std::wstring printerError;
    std::wstring uploadAddress;          // what the service answers; empty: a failed upload
    bool refuseAddress = false;          // the web-address gate turns the answer down
    std::wstring encoder;                // empty: the encoder is missing
    bool folderGone = false;             // the output folder was deleted
    int clipboardCopies = 0, prints = 0, floats = 0, sounds = 0, colours = 0, spares = 0;
    std::vector<std::shared_ptr<TBitmap>> floated;  // a floating window keeps its picture
    std::vector<std::wstring> opened;
    std::vector<bool> recordingShown;
    std::unique_ptr<TBitmap> prepared;   // the picture the next grab hands over, made beforehand
    // The uploader waits for this before it answers, while it is set.
    std::shared_ptr<std::atomic<bool>> uploadHeld;
    std::shared_ptr<std::atomic<std::size_t>> uploadedBytes = std::make_shared<std::atomic<std::size_t>>(0);

    TCaptureOptions CaptureOptions() override { return options; }
    std::wstring notice;                 // the mode stopped early at a limit
    TGrab Grab(const TCaptureOptions&, std::shared_ptr<TBitmap> spare) override {
        spares += spare ? 1 : 0;
        if (!grabError.empty()) throw Exception(grabError);
        if (cancel) return {};
        if (prepared) {
            const RECT rect{0, 0, prepared->Width(), prepared->Height()};
            return {std::move(prepared), rect, notice};
        }
        auto bitmap = std::make_unique<TBitmap>();
        bitmap->SetPixelFormat(TPixelFormat::pf32bit);
        bitmap->SetSize(64, 48);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64 * 4; ++x) bitmap->ScanLine(y)[x] = static_cast<std::uint8_t>(x ^ y);
        }
        return {std::move(bitmap), {10, 20, 74, 68}, notice};
    }
    void PickColour() override {
        ++colours;
        if (clipboardBusy) throw EClipboardBusy();
    }
    std::wstring NewFilename(const TCaptureOptions&, const std::wstring& ext) override {
        static int files = 0;  // names never repeat, whatever host made them
        return folder_->Path() + (folderGone ? L"gone\\" : L"") + L"T-" + std::to_wstring(++files) + L"." + ext;
    }
    void CopyToClipboard(TBitmap& bitmap) override {
        if (clipboardBusy) throw EClipboardBusy();
        ++clipboardCopies;
        copiedFirstPixel = *reinterpret_cast<const std::uint32_t*>(bitmap.ScanLine(0));
        copied.assign(static_cast<std::size_t>(bitmap.Width()) * bitmap.Height(), 0);
        for (int y = 0; y < bitmap.Height(); ++y) std::memcpy(&copied[y * bitmap.Width()], bitmap.ScanLine(y), bitmap.Width() * 4u);
    }
    void Print(TBitmap&) override {
        if (!printerError.empty()) throw Exception(printerError);
        ++prints;
    }
    void Float(std::shared_ptr<TBitmap> picture, const RECT&) override {
        ++floats;
        floated.push_back(std::move(picture));
    }
    void PlayCaptureSound() override { ++sounds; }
    // The editor answers later, from the message loop, as the real one does: it paints the first
    // pixel white and hands that on, or is closed without Done.
    bool editorCancels = false;
    int edits = 0;
    std::uint32_t copiedFirstPixel = 0;  // of the picture the clipboard got
    std::vector<std::uint32_t> copied;   // all of it, rows top first
    void Edit(TBitmap& picture, std::function<void(TEdited&)> done, std::function<void()> cancelled) override {
        ++edits;
        auto copy = std::make_shared<TBitmap>();
        copy->SetPixelFormat(TPixelFormat::pf32bit);
        copy->SetSize(picture.Width(), picture.Height());
        for (int y = 0; y < picture.Height(); ++y) std::memcpy(copy->ScanLine(y), picture.ScanLine(y), picture.Width() * 4u);
        Application->Queue([this, copy, done, cancelled] {
            if (editorCancels) return cancelled();
            *reinterpret_cast<std::uint32_t*>(copy->ScanLine(0)) = 0xFFFFFFFF;
            TEdited edited{*copy, [](const std::wstring& path) { test::WriteFileBytes(path, {'e', 'd', 'i', 't'}); }};
            done(edited);
        });
    }
    std::function<std::wstring(std::vector<std::uint8_t>, const UploadProgress&)> Uploader() override {
        return [answer = uploadAddress, held = uploadHeld, bytes = uploadedBytes](std::vector<std::uint8_t> png,
                                                                                  const UploadProgress& progress) {
            if (png.size() < 8 || png[1] != 'P') return std::wstring(L"(not a PNG)");
            *bytes = png.size();
            progress(static_cast<std::uint32_t>(png.size()), static_cast<std::uint32_t>(png.size()));
            // The server holds its answer until the test lets it go.
            test::WaitUntil([held] { return !held || !*held; }, 60000);
            return answer;
        };
    }
    bool OpenAddress(const std::wstring& address) override {
        if (refuseAddress) return false;
        opened.push_back(address);
        return true;
    }
    std::wstring EncoderPath() override { return encoder; }
    TFuncOfRect RecordedRegion(const TCaptureOptions&) override { return nullptr; }
    TCapture* Grabber() override { return nullptr; }
    void RecordingChanged(bool recording) override { recordingShown.push_back(recording); }
    void RecordingTime(const std::wstring&) override {}

private:
    const test::TempFolder* folder_;
};

class CaptureOutcomes : public ::testing::Test {
protected:
    void SetUp() override {
        app.Initialize();
        script->languages = {test::English()};
        script->result.Lines = {{L"recognised", {}}};
        SetOcrBackendFactory([s = script] { return std::make_shared<test::FakeOcrBackend>(s); });
        host.options.OcrLanguage = test::English();
        controller = std::make_unique<TCaptureController>(nullptr, host);
    }
    void TearDown() override {
        controller.reset();
        SetOcrBackendFactory(nullptr);
        script->JoinThreads();
    }
    // One request to its outcome: exactly one, and the controller idle once it came.
    TCaptureOutcome RunOne(DWORD timeoutMs = 10000) {
        auto reporter = std::make_shared<Reporter>();
        controller->Run(reporter);
        EXPECT_TRUE(test::WaitUntil([&] { return !reporter->outcomes.empty(); }, timeoutMs)) << "no outcome";
        test::PumpMessages();
        EXPECT_EQ(1u, reporter->outcomes.size()) << "one request, one outcome";
        EXPECT_EQ(TControllerState::Idle, controller->State());
        return reporter->outcomes.empty() ? TCaptureOutcome{} : reporter->outcomes.front();
    }

    TApplication app;
    test::TempFolder folder;
    FakeHost host{folder};
    std::shared_ptr<test::FakeOcrScript> script = std::make_shared<test::FakeOcrScript>();
    std::unique_ptr<TCaptureController> controller;
};

TEST_F(CaptureOutcomes, EveryTargetsSuccessNamesWhatItWrote) {
    struct Case {
        TSaveTarget target;
        Kind kind;
        const wchar_t* ext;  // the file's extension, or null for targets that write none
        int spare;           // 1: its picture is kept for the next capture; 0: it is not; -1: either
    } cases[] = {
        {TSaveTarget::Png, Kind::FileWritten, L"png", 1},        {TSaveTarget::Bmp, Kind::FileWritten, L"bmp", 1},
        {TSaveTarget::Clipboard, Kind::NothingToWrite, nullptr, 1}, {TSaveTarget::Printer, Kind::NothingToWrite, nullptr, 1},
        // The window still shows it; the upload's worker may hold it a moment after the answer.
        {TSaveTarget::Floating, Kind::NothingToWrite, nullptr, 0},  {TSaveTarget::Upload, Kind::Uploaded, nullptr, -1},
        {TSaveTarget::Txt, Kind::TextWritten, L"txt", 0},
    };
    host.uploadAddress = L"http://127.0.0.1/i/a.png";
    script->completion = test::FakeCompletion::ForeignThread;
    for (const Case& c : cases) {
        host.options.Target = c.target;
        const int sparesBefore = host.spares;
        const bool spareBefore = controller->SparePicture() != nullptr;
        const TCaptureOutcome outcome = RunOne();
        EXPECT_EQ(spareBefore ? 1 : 0, host.spares - sparesBefore) << "the kept picture goes to the next grab";
        if (c.spare >= 0) {
            EXPECT_EQ(c.spare == 1, controller->SparePicture() != nullptr) << "target " << StoredIndex(c.target);
        }
        if (c.target == TSaveTarget::Floating) {
            // Given back as the window is freed: kept once nothing else holds it.
            std::shared_ptr<TBitmap> shown = std::move(host.floated.back());
            host.floated.pop_back();
            controller->SpareReturn()(shown);
            EXPECT_EQ(nullptr, controller->SparePicture()) << "a picture someone still holds";
            const TBitmap* raw = shown.get();
            controller->SpareReturn()(std::move(shown));
            EXPECT_EQ(raw, controller->SparePicture());
        }
        EXPECT_EQ(c.kind, outcome.Kind) << "target " << StoredIndex(c.target);
        if (c.ext) {
            EXPECT_TRUE(test::FileExists(outcome.Path)) << "target " << StoredIndex(c.target);
            EXPECT_EQ(c.ext, outcome.Path.substr(outcome.Path.size() - std::wcslen(c.ext))) << "target " << StoredIndex(c.target);
        }
    }
    EXPECT_EQ(L"http://127.0.0.1/i/a.png", host.opened.at(0));
    EXPECT_EQ(1, host.clipboardCopies);
    EXPECT_EQ(1, host.prints);
    EXPECT_EQ(1, host.floats);
    EXPECT_GE(host.spares, 4);
    // Kept only a while: then its memory goes.
    controller->SpareKeepMs = 300;
    host.options.Target = TSaveTarget::Clipboard;
    RunOne();
    ASSERT_NE(nullptr, controller->SparePicture());
    EXPECT_TRUE(test::WaitUntil([&] { return controller->SparePicture() == nullptr; }, 10000));

    host.options.Mode = TCaptureMode::Color;
    EXPECT_EQ(Kind::NothingToWrite, RunOne().Kind);
    EXPECT_EQ(1, host.colours);

    // A picture that stopped early at a limit still goes out, and the notice goes with it.
    host.options.Mode = TCaptureMode::Scrolling;
    host.options.Target = TSaveTarget::Png;
    host.notice = L"The picture reached the largest size";
    const TCaptureOutcome limited = RunOne();
    EXPECT_EQ(Kind::FileWritten, limited.Kind);
    EXPECT_EQ(host.notice, ToldText(limited));
    host.printerError = L"No default printer is installed.";
    host.options.Target = TSaveTarget::Printer;
    EXPECT_EQ(L"캡쳐가 실패하였습니다.\r\rNo default printer is installed.", ToldText(RunOne())) << "the failure, not the notice";
}

TEST_F(CaptureOutcomes, EveryTargetsFailureReachesTheOutcome) {
    const std::wstring clipboardText = EClipboardBusy().Message();
    struct Case {
        const char* what;
        std::function<void(FakeHost&)> arrange;
        Kind kind;
        std::wstring message;  // the outcome's message starts with this
        bool notice;
    } cases[] = {
        {"clipboard held by another program", [](FakeHost& h) { h.options.Target = TSaveTarget::Clipboard; h.clipboardBusy = true; },
         Kind::Failed, clipboardText, true},
        {"printer failure", [](FakeHost& h) { h.options.Target = TSaveTarget::Printer; h.printerError = L"No default printer is installed."; },
         Kind::Failed, L"캡쳐가 실패하였습니다.\r\rNo default printer is installed.", false},
        {"upload without an address", [](FakeHost& h) { h.options.Target = TSaveTarget::Upload; },
         Kind::Failed, L"이미지 업로드를 실패하였습니다.", false},
        {"upload address refused", [](FakeHost& h) { h.options.Target = TSaveTarget::Upload; h.uploadAddress = L"file:///c:/x"; h.refuseAddress = true; },
         Kind::Failed, L"이미지 업로드를 실패하였습니다.", false},
        {"output folder gone", [](FakeHost& h) { h.options.Target = TSaveTarget::Png; h.folderGone = true; },
         Kind::Failed, L"캡쳐가 실패하였습니다.\r\r", false},
        {"grabber failure", [](FakeHost& h) { h.options.Target = TSaveTarget::Png; h.grabError = L"There is no window to capture."; },
         Kind::Failed, L"캡쳐가 실패하였습니다.\r\rThere is no window to capture.", false},
        {"cancelled selection", [](FakeHost& h) { h.options.Target = TSaveTarget::Png; h.cancel = true; },
         Kind::Cancelled, L"", false},
        {"no OCR language", [](FakeHost& h) { h.options.Target = TSaveTarget::Txt; h.options.OcrLanguage.reset(); },
         Kind::Failed, L"캡쳐가 실패하였습니다.\r\rLanguage not available", false},
        {"colour pick, clipboard held", [](FakeHost& h) { h.options.Mode = TCaptureMode::Color; h.clipboardBusy = true; },
         Kind::Failed, clipboardText, true},
        {"refused combination", [](FakeHost& h) { h.options.Mode = TCaptureMode::Drag; h.options.Target = TSaveTarget::Mp4; },
         Kind::Refused, L"지원하지 않는 캡쳐영역입니다.", true},
        {"refused combination, GIF", [](FakeHost& h) { h.options.Mode = TCaptureMode::WebPage; h.options.Target = TSaveTarget::GifAnimated; },
         Kind::Refused, L"지원하지 않는 캡쳐영역입니다.", true},
        {"auto-copy onto a held clipboard", [](FakeHost& h) { h.options.Target = TSaveTarget::Bmp; h.options.AutoCopy = true; h.clipboardBusy = true; },
         Kind::Failed, clipboardText, true},
    };
    for (const Case& c : cases) {
        host = FakeHost(folder);
        host.options.OcrLanguage = test::English();
        c.arrange(host);
        const TCaptureOutcome outcome = RunOne();
        EXPECT_EQ(c.kind, outcome.Kind) << c.what;
        EXPECT_EQ(0u, ToldText(outcome).find(c.message)) << c.what << ": " << testing::PrintToString(ToldText(outcome));
        EXPECT_EQ(c.notice, outcome.Notice) << c.what;
        EXPECT_FALSE(outcome.Succeeded()) << c.what;
    }
}

// With "edit before output", the editor comes between the grab and every target: what goes out
// is the edited picture (a PNG through the editor's own writer, which keeps the marks), closing
// the editor cancels, and whoever keeps a record hears of each request with what went out.
TEST_F(CaptureOutcomes, TheEditorComesBetweenTheCaptureAndTheTarget) {
    std::vector<std::pair<Kind, std::uint32_t>> finished;  // kind, first pixel of what went out
    controller->OnFinished = [&](const TFinishedCapture& capture) {
        finished.emplace_back(capture.Outcome.Kind,
                              capture.Picture ? *reinterpret_cast<const std::uint32_t*>(capture.Picture->ScanLine(0)) : 0);
    };
    host.options.EditFirst = true;
    host.options.Target = TSaveTarget::Png;
    const TCaptureOutcome png = RunOne();
    ASSERT_EQ(Kind::FileWritten, png.Kind);
    EXPECT_EQ((std::vector<std::uint8_t>{'e', 'd', 'i', 't'}), test::ReadFileBytes(png.Path));

    host.options.Target = TSaveTarget::Clipboard;
    EXPECT_EQ(Kind::NothingToWrite, RunOne().Kind);
    EXPECT_EQ(0xFFFFFFFFu, host.copiedFirstPixel);

    host.editorCancels = true;
    host.options.Target = TSaveTarget::Png;
    EXPECT_EQ(Kind::Cancelled, RunOne().Kind);
    EXPECT_EQ(1u, test::FilesIn(folder.Path()).size()) << "a cancelled edit writes nothing";
    EXPECT_EQ(3, host.edits);

    host.options.EditFirst = false;
    host.options.Target = TSaveTarget::Clipboard;
    EXPECT_EQ(Kind::NothingToWrite, RunOne().Kind);
    EXPECT_NE(0xFFFFFFFFu, host.copiedFirstPixel) << "without the option the grab goes out as it is";
    EXPECT_EQ(3, host.edits);

    ASSERT_EQ(4u, finished.size());
    EXPECT_EQ(std::make_pair(Kind::FileWritten, 0xFFFFFFFFu), finished[0]);
    EXPECT_EQ(std::make_pair(Kind::NothingToWrite, 0xFFFFFFFFu), finished[1]);
    EXPECT_EQ(Kind::Cancelled, finished[2].first);
    EXPECT_NE(0xFFFFFFFFu, finished[3].second);
}

TEST_F(CaptureOutcomes, ARecognitionThatFailsOrNeverEndsIsAFailureAndTheNextOneRuns) {
    host.options.Target = TSaveTarget::Txt;
    script->completion = test::FakeCompletion::Held;
    {
        auto reporter = std::make_shared<Reporter>();
        controller->Run(reporter);
        EXPECT_EQ(TControllerState::Recognising, controller->State());
        auto second = std::make_shared<Reporter>();
        controller->Run(second);
        ASSERT_EQ(1u, second->outcomes.size()) << "a request while recognising is answered at once";
        EXPECT_EQ(Kind::Busy, second->outcomes[0].Kind);
        script->Fire(TStatus::stError);
        ASSERT_TRUE(test::WaitUntil([&] { return !reporter->outcomes.empty(); }));
        EXPECT_EQ(L"캡쳐가 실패하였습니다.\r\rOCR failed.", ToldText(reporter->outcomes[0]));
    }
    // An engine that never answers is given up after the time-out.
    script->completion = test::FakeCompletion::Never;
    controller->OcrTimeoutMs = 300;
    const auto start = std::chrono::steady_clock::now();
    const TCaptureOutcome timedOut = RunOne();
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(280));
    EXPECT_EQ(L"캡쳐가 실패하였습니다.\r\rOCR failed.", ToldText(timedOut));
    script->Fire(TStatus::stCompleted);  // far too late: nobody listens any more
    test::PumpMessages();
    script->completion = test::FakeCompletion::ForeignThread;
    const TCaptureOutcome next = RunOne();
    EXPECT_EQ(Kind::TextWritten, next.Kind) << "a fresh recogniser took the stuck one's place";
    EXPECT_EQ("recognised\r\n", [&] {
        const auto bytes = test::ReadFileBytes(next.Path);
        return std::string(bytes.begin(), bytes.end());
    }());
}

// The slowest answer to WM_NULL from another thread, while this thread runs pump.
long long SlowestAnswerMs(HWND window, const std::function<void()>& pump) {
    std::atomic<bool> done{false};
    std::atomic<long long> slowest{0};
    std::thread watcher([&] {
        while (!done) {
            const auto start = std::chrono::steady_clock::now();
            DWORD_PTR result = 0;
            if (!SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_BLOCK, 60000, &result)) slowest = 60000;
            const auto ms =
                std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
            slowest = std::max<long long>(slowest, ms);
            Sleep(5);  // a pause: the probe asks every 5 ms
        }
    });
    pump();
    done = true;
    watcher.join();
    return slowest;
}

// Pictures are encoded on a worker, for the upload and for a file: the window keeps answering
// while half a gigabyte becomes an upload's PNG or a 4K screen a PNG file, and a request made
// meanwhile waits its turn instead of being lost.
TEST_F(CaptureOutcomes, AHugePictureIsEncodedWhileTheWindowAnswers) {
    struct Case {
        TSaveTarget target;
        int width, height;
        Kind kind;
    } cases[] = {{TSaveTarget::Upload, 16384, 8192, Kind::Uploaded}, {TSaveTarget::Png, 3840, 2160, Kind::FileWritten}};
    // The same pumping with nothing to encode: what this machine's load alone costs.
    const long long idle = SlowestAnswerMs(app.Handle(), [] { test::WaitUntil([] { return false; }, 3000); });
    for (const Case& c : cases) {
        SCOPED_TRACE(StoredIndex(c.target));
        host.options.Target = c.target;
        host.uploadAddress = L"http://127.0.0.1/i/huge.png";
        host.prepared = std::make_unique<TBitmap>();
        host.prepared->SetPixelFormat(TPixelFormat::pf32bit);
        host.prepared->SetSize(c.width, c.height);
        // Noise compresses slowly: the encoder's real work on a busy screen.
        std::uint32_t seed = 1;
        for (int y = 0; y < c.height; ++y) {
            auto* row = reinterpret_cast<std::uint32_t*>(host.prepared->ScanLine(y));
            for (int x = 0; x < c.width; ++x) row[x] = seed = seed * 1664525u + 1013904223u;
        }
        auto first = std::make_shared<Reporter>(), second = std::make_shared<Reporter>();
        bool sawWriting = false;
        const auto start = std::chrono::steady_clock::now();
        const long long busy = SlowestAnswerMs(app.Handle(), [&] {
            controller->Run(first);
            if (controller->State() == TControllerState::Writing) {
                sawWriting = true;
                controller->Run(second);  // the key again while the file is written
            }
            EXPECT_TRUE(test::WaitUntil([&] { return !first->outcomes.empty() && (!sawWriting || !second->outcomes.empty()); },
                                        180000));
        });
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count();
        std::printf("%d x %d to target %d in %lld ms; slowest WM_NULL meanwhile %lld ms, idle %lld ms\n", c.width, c.height,
                    StoredIndex(c.target), static_cast<long long>(ms), busy, idle);
        ASSERT_EQ(1u, first->outcomes.size());
        EXPECT_EQ(c.kind, first->outcomes[0].Kind);
        if (c.target == TSaveTarget::Upload) {
            EXPECT_GT(host.uploadedBytes->load(), 8u) << "the uploader got no PNG";
        } else {
            EXPECT_TRUE(sawWriting) << "the file was written on this thread";
            ASSERT_EQ(1u, second->outcomes.size()) << "the request made meanwhile was lost";
            EXPECT_EQ(Kind::FileWritten, second->outcomes[0].Kind);
            EXPECT_NE(first->outcomes[0].Path, second->outcomes[0].Path);
            EXPECT_TRUE(test::FileExists(first->outcomes[0].Path));
        }
        // The aim is 30 ms; the bound here only tells a window that waited for the encoder (seconds)
        // from one that did not, on a machine other work may load.
        EXPECT_LT(busy, std::max(1000LL, 4 * idle)) << "the window waited for the encoder";
    }
}

// Exit while a picture is on its way: the request hears at once that the program is closing
// (no message box), and the result, should it still come, opens and writes nothing.
TEST_F(CaptureOutcomes, TheProgramsEndGivesUpARunningUploadOrRecognition) {
    host.options.Target = TSaveTarget::Upload;
    host.uploadAddress = L"http://127.0.0.1/i/late.png";
    host.uploadHeld = std::make_shared<std::atomic<bool>>(true);
    auto uploading = std::make_shared<Reporter>();
    controller->Run(uploading);
    ASSERT_TRUE(test::WaitUntil([&] { return host.uploadedBytes->load() > 0; })) << "the upload never started";
    EXPECT_NE(nullptr, FindWindowW(TProgressForm::kClassName, nullptr));
    controller->Shutdown();
    ASSERT_EQ(1u, uploading->outcomes.size());
    EXPECT_EQ(Kind::Cancelled, uploading->outcomes[0].Kind);
    EXPECT_EQ(L"Tovasen is closing.", uploading->outcomes[0].Message);
    EXPECT_EQ(L"Tovasen is closing.", ScriptText(uploading->outcomes[0]));
    EXPECT_EQ(nullptr, FindWindowW(TProgressForm::kClassName, nullptr)) << "the strip stayed";
    EXPECT_EQ(TControllerState::Idle, controller->State());
    *host.uploadHeld = false;  // the server answers after all
    // A pause: the late answer would have been handled by now.
    test::WaitUntil([&] { return !host.opened.empty() || uploading->outcomes.size() != 1; }, 300);
    EXPECT_TRUE(host.opened.empty()) << "the late address was opened";
    EXPECT_EQ(1u, uploading->outcomes.size());

    controller = std::make_unique<TCaptureController>(nullptr, host);
    host.options.Target = TSaveTarget::Txt;
    script->completion = test::FakeCompletion::Held;
    auto recognising = std::make_shared<Reporter>();
    controller->Run(recognising);
    ASSERT_EQ(TControllerState::Recognising, controller->State());
    controller->Shutdown();
    ASSERT_EQ(1u, recognising->outcomes.size());
    EXPECT_EQ(Kind::Cancelled, recognising->outcomes[0].Kind);
    script->Fire(TStatus::stCompleted);
    test::PumpMessages();
    EXPECT_EQ(1u, recognising->outcomes.size());
    EXPECT_TRUE(test::FilesIn(folder.Path()).empty()) << "the late text was written";

    auto later = std::make_shared<Reporter>();
    controller->Run(later);
    ASSERT_EQ(1u, later->outcomes.size());
    EXPECT_FALSE(later->outcomes[0].Succeeded()) << "a request after the end was carried out";
}

// With "redact secrets before output" what the recogniser reads as secrets is black in what
// goes out; where it cannot be looked for nothing goes out, the request fails and nothing is
// kept for the history.
TEST_F(CaptureOutcomes, SecretsAreCoveredBeforeTheTargetOrNothingGoesOut) {
    // Words placed in pixels of the 64 x 48 grab; the engine reads it three times as large.
    const auto word = [](const wchar_t* text, float x, float y, float w) { return TWord{text, {x * 3, y * 3, w * 3, 24}}; };
    script->completion = test::FakeCompletion::ForeignThread;
    script->result.Lines = {
        {L"mail ann@example.com", {word(L"mail", 2, 2, 10), word(L"ann@example.com", 14, 2, 40)}},
        {L"4111 1111 1111 1111",
         {word(L"4111", 2, 14, 12), word(L"1111", 16, 14, 12), word(L"1111", 30, 14, 12), word(L"1111", 44, 14, 12)}},
        {L"total 12.50", {word(L"total", 2, 30, 14), word(L"12.50", 20, 30, 16)}},
    };
    std::vector<bool> keptPicture;
    controller->OnFinished = [&](const TFinishedCapture& capture) { keptPicture.push_back(capture.Picture != nullptr); };
    host.options.RedactSecrets = true;
    host.options.Target = TSaveTarget::Clipboard;
    ASSERT_EQ(Kind::NothingToWrite, RunOne().Kind);
    ASSERT_EQ(64u * 48u, host.copied.size());
    EXPECT_EQ(1, script->prepared) << "recognised once, before the clipboard";
    // The address and the card with a pixel's margin around their words; the price stays.
    const RECT covered[] = {{13, 1, 55, 11}, {1, 13, 57, 23}};
    int wrong = 0, black = 0;
    for (int y = 0; y < 48; ++y) {
        for (int x = 0; x < 64; ++x) {
            bool inside = false;
            for (const RECT& r : covered) inside |= x >= r.left && x < r.right && y >= r.top && y < r.bottom;
            std::uint32_t grabbed = 0;
            for (int k = 3; k >= 0; --k) grabbed = grabbed << 8 | static_cast<std::uint8_t>((x * 4 + k) ^ y);
            const std::uint32_t want = inside ? 0xFF000000u : grabbed, got = host.copied[y * 64 + x];
            black += inside;
            if (got != want && ++wrong <= 5) ADD_FAILURE() << "(" << x << "," << y << ") " << std::hex << got << " not " << want;
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_EQ(42 * 10 + 56 * 10, black);

    struct Case {
        const char* what;
        std::function<void()> arrange;
        const wchar_t* why;
    } cases[] = {
        {"no recognition engine", [&] { script->unavailable = true; }, L"Class not registered"},
        {"no language", [&] { host.options.OcrLanguage.reset(); }, L"Language not available"},
        {"recognition fails", [&] { script->completion = test::FakeCompletion::ArmingFails; }, L"put_Completed failed"},
        {"recognition never ends", [&] { script->completion = test::FakeCompletion::Never; controller->OcrTimeoutMs = 300; },
         L"OCR failed."},
        {"a secret without a place", [&] { script->result.Lines = {{L"ann@example.com", {}}}; },
         L"The recogniser gave no place in the picture for a secret it read."},
    };
    for (const Case& c : cases) {
        script->unavailable = false;
        script->completion = test::FakeCompletion::ForeignThread;
        host.options.OcrLanguage = test::English();
        c.arrange();
        const int copies = host.clipboardCopies;
        const TCaptureOutcome outcome = RunOne();
        EXPECT_EQ(Kind::Failed, outcome.Kind) << c.what;
        EXPECT_EQ(std::wstring(L"비밀 정보를 가릴 수 없어 캡쳐를 내보내지 않았습니다.\r\r") + c.why, ToldText(outcome)) << c.what;
        EXPECT_EQ(copies, host.clipboardCopies) << c.what << ": the clipboard was touched";
    }
    EXPECT_EQ((std::vector<bool>{true, false, false, false, false, false}), keptPicture) << "a picture not covered is kept nowhere";
}

class RecordingOutcomes : public CaptureOutcomes {
protected:
    void SetUp() override {
        CaptureOutcomes::SetUp();
        host.encoder = ExeFolder() + L"child_helper.exe";  // the stand-in encoder
        host.options.Target = TSaveTarget::Mp4;
        SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", L"ok");
    }
    void TearDown() override {
        for (const wchar_t* name : {L"TOVASEN_FAKE_ENCODER", L"TOVASEN_FAKE_ENCODER_LINGER_MS", L"TOVASEN_FAKE_ENCODER_DONE"}) {
            SetEnvironmentVariableW(name, nullptr);
        }
        CaptureOutcomes::TearDown();
    }
};

// The start is answered once the encoder records; the stop only once it has exited, so the
// file is complete when the script hears of it.
TEST_F(RecordingOutcomes, AStopIsAnsweredOnlyAfterTheEncoderHasExited) {
    const std::wstring mark = folder.Path() + L"encoder-done";
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_LINGER_MS", L"1500");
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_DONE", mark.c_str());
    auto starter = std::make_shared<Reporter>();
    controller->Run(starter);
    ASSERT_TRUE(test::WaitUntil([&] { return !starter->outcomes.empty(); }));
    EXPECT_EQ(Kind::RecordingStarted, starter->outcomes[0].Kind);
    const std::wstring file = starter->outcomes[0].Path;
    EXPECT_EQ(L".mp4", file.substr(file.size() - 4));
    EXPECT_TRUE(controller->IsRecording());

    auto stopper = std::make_shared<Reporter>();
    controller->Run(stopper);
    auto again = std::make_shared<Reporter>();
    controller->Run(again);  // a second stop while the encoder finishes
    ASSERT_TRUE(test::WaitUntil([&] { return !stopper->outcomes.empty(); }));
    EXPECT_TRUE(test::FileExists(mark)) << "answered before the encoder had finished";
    EXPECT_EQ(Kind::FileWritten, stopper->outcomes[0].Kind);
    EXPECT_EQ(file, stopper->outcomes[0].Path);
    ASSERT_EQ(1u, again->outcomes.size()) << "both waiting stops hear the end";
    EXPECT_EQ(1u, starter->outcomes.size());
    EXPECT_EQ(TControllerState::Idle, controller->State());
    EXPECT_EQ((std::vector<bool>{true, false}), host.recordingShown);
}

TEST_F(RecordingOutcomes, AnEncoderThatFailsOrIsMissingIsTheStartersError) {
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", L"fail");
    const TCaptureOutcome failed = RunOne();
    EXPECT_EQ(Kind::Failed, failed.Kind);
    EXPECT_NE(std::wstring::npos, ToldText(failed).find(L"Permission denied"));
    host.encoder.clear();
    const TCaptureOutcome missing = RunOne();
    EXPECT_EQ(L"캡쳐가 실패하였습니다.\r\r\"ffmpeg.exe\" 파일이 없습니다.", ToldText(missing));
    EXPECT_FALSE(controller->IsRecording());
}

// Once the session ends a press starts nothing; a script still hears why, while the user gets
// no box that would hold up the end.
TEST_F(RecordingOutcomes, OnceTheSessionEndsNothingStartsAndOnlyAScriptHearsWhy) {
    controller->EndRecordingForSession(1000);
    test::MessageBoxAnswerer boxes;
    auto waiting = std::make_shared<Reporter>();
    controller->Run(waiting);
    controller->Run(std::make_shared<TUserReporter>());
    test::PumpMessages();
    ASSERT_EQ(1u, waiting->outcomes.size());
    EXPECT_FALSE(waiting->outcomes[0].Succeeded());
    EXPECT_EQ(L"Tovasen is closing.", ScriptText(waiting->outcomes[0]));
    EXPECT_FALSE(controller->IsRecording());
    EXPECT_TRUE(host.recordingShown.empty());
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Texts());
}

}  // namespace
}  // namespace tovasen
