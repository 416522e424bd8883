// The recogniser component in a running application: results reach the user-interface thread
// through the application's queue, never synchronously, and never after the component is gone.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <memory>

#include "fake_ocr_backend.h"
#include "ocr/ocr_text_file.h"
#include "ocr/rt_ocr.h"
#include "support/files.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::FakeCompletion;

class RtOcrTest : public ::testing::Test {
protected:
    void SetUp() override {
        app = std::make_unique<TApplication>();
        app->Initialize();
        script->languages = {test::English(), test::Korean()};
        script->result.Lines = {{L"one", {}}, {L"two", {}}};
        ocr = new TRtOcr(app.get(), L"RtOcr", std::make_shared<test::FakeOcrBackend>(script));
        ocr->OnCompleted = [this](TRtOcr& sender, const TResult& result, void* data) {
            EXPECT_EQ(ocr, &sender);
            results.push_back(result);
            customData = data;
            threads.push_back(GetCurrentThreadId());
        };
        TBitmap picture;
        picture.SetPixelFormat(TPixelFormat::pf24bit);
        picture.SetSize(5, 3);
        for (int y = 0; y < 3; ++y) std::memset(picture.ScanLine(y), 0x20 + y, 15);
        ocr->SetPicture(picture);
    }
    void TearDown() override {
        script->JoinThreads();
        app.reset();
    }

    std::unique_ptr<TApplication> app;
    std::shared_ptr<test::FakeOcrScript> script = std::make_shared<test::FakeOcrScript>();
    TRtOcr* ocr = nullptr;
    std::vector<TResult> results;
    std::vector<DWORD> threads;
    void* customData = nullptr;
};

TEST_F(RtOcrTest, TheResultArrivesFromTheQueueOnTheUserInterfaceThread) {
    script->completion = FakeCompletion::ForeignThread;
    int marker = 0;
    ocr->Recognize(test::English(), &marker, 0, 0, 0, 0);
    EXPECT_TRUE(ocr->Busy());
    EXPECT_EQ(5, script->width);
    EXPECT_EQ(3, script->height);
    // The 24-bit picture was copied and packed as opaque BGRA.
    ASSERT_EQ(60u, script->packed.size());
    EXPECT_EQ(0x22, script->packed[2 * 20 + 0]);
    EXPECT_EQ(0xFF, script->packed[2 * 20 + 3]);
    ASSERT_TRUE(test::WaitUntil([&] { return !results.empty(); }));
    EXPECT_EQ(std::vector<DWORD>{GetCurrentThreadId()}, threads);
    EXPECT_EQ(&marker, customData);
    ASSERT_EQ(2u, results[0].Lines.size());
    EXPECT_FALSE(ocr->Busy());
}

TEST_F(RtOcrTest, AnImmediateCompletionWaitsForTheMessageLoop) {
    script->completion = FakeCompletion::Immediately;
    std::vector<TResult> direct;
    ocr->Recognize(test::English(), [&](const TResult& r) { direct.push_back(r); }, 0, 0, 0, 0);
    EXPECT_TRUE(direct.empty());
    test::PumpMessages();
    ASSERT_EQ(1u, direct.size());
    EXPECT_TRUE(results.empty()) << "the second form delivers to its callable only";
}

TEST_F(RtOcrTest, CancelDeliversCancelledAndFreeingTheComponentDropsALateResult) {
    ocr->Recognize(test::English(), nullptr, 1, 1, 4, 3);
    EXPECT_EQ(3, script->width);
    EXPECT_EQ(2, script->height);
    ocr->Cancel();
    test::PumpMessages();
    ASSERT_EQ(1u, results.size());
    EXPECT_EQ(TStatus::stCanceled, results[0].Status);

    script->completion = FakeCompletion::Never;
    ocr->Recognize(test::Korean(), nullptr, 0, 0, 0, 0);
    delete ocr;
    ocr = nullptr;
    script->Fire(TStatus::stCompleted);
    test::PumpMessages();
    EXPECT_EQ(1u, results.size()) << "nothing arrives for a freed component";
}

TEST_F(RtOcrTest, TheRectangleIsCheckedAgainstThePicture) {
    try {
        ocr->Recognize(test::English(), nullptr, 0, 0, 6, 3);
        ADD_FAILURE() << "a right edge beyond the picture";
    } catch (const ERtOcrError& e) {
        EXPECT_EQ(L"Incorrect Right value", e.Message());
    }
    EXPECT_FALSE(ocr->Busy());
    ocr->TakePicture(nullptr);
    EXPECT_THROW(ocr->Recognize(test::English(), nullptr, 0, 0, 0, 0), ERtOcrError) << "no picture at all";
}

TEST(OcrScaling, ScalesToTheAskedSizeFromAnyFormat) {
    for (TPixelFormat format : {TPixelFormat::pf24bit, TPixelFormat::pf32bit, TPixelFormat::pfDevice}) {
        TBitmap source;
        source.SetPixelFormat(format);
        source.SetSize(7, 5);
        PatBlt(source.Canvas().Handle(), 0, 0, 7, 5, WHITENESS);
        const auto scaled = ScaleForOcr(source, 21, 15);
        EXPECT_EQ(21, scaled->Width());
        EXPECT_EQ(15, scaled->Height());
        EXPECT_EQ(TPixelFormat::pf32bit, scaled->PixelFormat());
        // Wine's Fant is nearest-neighbour: a flat picture stays flat either way.
        EXPECT_EQ(0xFF, scaled->ScanLine(14)[20 * 4]);
    }
}

// Prints the time a full-HD capture takes to be enlarged and packed for the engine; the figure
// is for the report, the checks are on what comes out.
TEST(OcrScaling, FullHdCaptureEnlargedAndPackedWithTimes) {
    TBitmap capture;
    capture.SetPixelFormat(TPixelFormat::pf32bit);
    capture.SetSize(1920, 1080);
    for (int y = 0; y < 1080; ++y) std::memset(capture.ScanLine(y), y < 540 ? 0x10 : 0xE0, 1920 * 4);
    LARGE_INTEGER frequency, t0, t1, t2;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&t0);
    const TOcrSize size = EnlargedSize(capture.Width(), capture.Height(), 10000);
    const auto enlarged = ScaleForOcr(capture, size.Width, size.Height);
    QueryPerformanceCounter(&t1);
    const TOcrRect rect = ResolveRectangle(enlarged->Width(), enlarged->Height(), 0, 0, 0, 0);
    std::vector<std::uint8_t> engineBitmap(static_cast<std::size_t>(rect.Width()) * 4 * rect.Height());
    const PixelView view{enlarged->ScanLine(0), enlarged->Width(), enlarged->Height(), enlarged->Stride(), 4};
    PackPixels(view, rect, {engineBitmap.data(), engineBitmap.size(), 0, rect.Width() * 4, rect.Width(), rect.Height()});
    QueryPerformanceCounter(&t2);
    auto ms = [&](LARGE_INTEGER a, LARGE_INTEGER b) {
        return 1000.0 * static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(frequency.QuadPart);
    };
    std::printf("1920x1080 -> %dx%d: enlarge %.0f ms, pack %.0f ms, total %.0f ms\n", size.Width, size.Height,
                ms(t0, t1), ms(t1, t2), ms(t0, t2));
    EXPECT_EQ(5760, enlarged->Width());
    EXPECT_EQ(3240, enlarged->Height());
    const std::size_t row = static_cast<std::size_t>(rect.Width()) * 4;
    EXPECT_EQ(0x10, engineBitmap[100 * row + 8]);
    EXPECT_EQ(0xE0, engineBitmap[3000 * row + 8]);
    EXPECT_EQ(0xFF, engineBitmap[3000 * row + 11]);
}

TEST(OcrTextFile, AnsiWhenLosslessOtherwiseUtf8WithAMark) {
    using Bytes = std::vector<std::uint8_t>;
    EXPECT_EQ((Bytes{'a', 'b', '\r', '\n'}), EncodeRecognizedText(L"ab\r\n", 1252));
    EXPECT_EQ((Bytes{0xE9, '\r', '\n'}), EncodeRecognizedText(L"\u00E9\r\n", 1252)) << "é fits code page 1252";
    EXPECT_EQ((Bytes{0xEF, 0xBB, 0xBF, 0xED, 0x95, 0x9C, '\r', '\n'}), EncodeRecognizedText(L"\uD55C\r\n", 1252))
        << "Korean on a Western system";
    EXPECT_EQ((Bytes{0xC7, 0xD1}), EncodeRecognizedText(L"\uD55C", 949)) << "Korean on a Korean system";
    // No "best fit": a Latin letter with a ring is not quietly turned into a plain one.
    EXPECT_EQ((Bytes{0xEF, 0xBB, 0xBF, 0xC5, 0xAF}), EncodeRecognizedText(L"\u016F", 1252));
    EXPECT_EQ((Bytes{0xED, 0x95, 0x9C}), EncodeRecognizedText(L"\uD55C", CP_UTF8)) << "no mark where UTF-8 is ANSI";
    EXPECT_TRUE(EncodeRecognizedText(L"", 1252).empty());
}

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(OcrTextFile, WritesTheFileOrRaisesWithoutLeavingOne) {
    test::TempFolder folder;
    WriteRecognizedText(folder.Path() + L"a.txt", L"line\r\n");
    EXPECT_EQ("line\r\n", Text(test::ReadFileBytes(folder.Path() + L"a.txt")));
    WriteRecognizedText(folder.Path() + L"empty.txt", L"");
    EXPECT_TRUE(test::FileExists(folder.Path() + L"empty.txt"));
    EXPECT_EQ("", Text(test::ReadFileBytes(folder.Path() + L"empty.txt")));
    EXPECT_THROW(WriteRecognizedText(folder.Path() + L"gone\\b.txt", L"x"), Exception);
}

}  // namespace
}  // namespace tovasen
