#include "record/recorder.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <utility>
#include <string>
#include <vector>

#include "base/module_path.h"
#include "capture/monitors.h"
#include "record/encoder_output.h"
#include "base/utf_convert.h"
#include "record/command_line.h"
#include "record/gif_conversion.h"
#include "support/files.h"
#include "support/pattern_window.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

std::wstring Helper() { return ExeFolder() + L"child_helper.exe"; }

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
    int count = 0;
    wchar_t** argv = CommandLineToArgvW(line.c_str(), &count);
    std::vector<std::wstring> out(argv, argv + count);
    LocalFree(argv);
    return out;
}

class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
    ~ScopedEnv() { SetEnvironmentVariableW(name_, nullptr); }

private:
    const wchar_t* name_;
};

// A window of this thread that another thread asks every 20 ms, to see how long this thread
// takes to answer while it handles its messages.
class AnswerProbe {
public:
    AnswerProbe() : window_(CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr)) {
        asker_ = std::thread([this] {
            while (!done_) {
                const auto start = Clock::now();
                DWORD_PTR result = 0;
                SendMessageTimeoutW(window_, WM_NULL, 0, 0, SMTO_NORMAL, 10000, &result);
                worstMs_ = std::max(worstMs_.load(), static_cast<int>(Seconds(start) * 1000));
                Sleep(20);  // a pause: the probe asks every 20 ms
            }
        });
    }
    AnswerProbe(const AnswerProbe&) = delete;
    AnswerProbe& operator=(const AnswerProbe&) = delete;
    ~AnswerProbe() { WorstMs(); }

    // Stops asking; the longest answer.
    int WorstMs() {
        done_ = true;
        if (asker_.joinable()) asker_.join();
        if (window_) DestroyWindow(std::exchange(window_, nullptr));
        return worstMs_.load();
    }

private:
    HWND window_;
    std::atomic<bool> done_{false};
    std::atomic<int> worstMs_{0};
    std::thread asker_;
};

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override { app.Initialize(); }

    // The encoder shipped beside the program, writing the named file in this test's folder.
    void UseRealEncoder(TRecorder& recorder, const std::wstring& file) {
        recorder.FFMpeg = test::EncoderPath();
        recorder.Output = folder.Path() + file;
    }

    bool WaitEnd(TRecorder& recorder, DWORD timeoutMs = 15000) {
        return test::WaitUntil([&] { return !recorder.IsRunning(); }, timeoutMs);
    }

    TApplication app;
    test::TempFolder folder;
};

TEST_F(RecorderTest, CommandLinesReadBackAsTheEncoderSeesThem) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"fail");
    const std::wstring output = folder.Path() + L"\xB179\xD654 \xD3F4\xB354\\T-001.mp4";
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = output;
    recorder.Mouse = false;
    recorder.LimitSeconds = 1800;
    recorder.Start();
    const std::vector<std::wstring> args = SplitCommandLine(recorder.CommandLine());
    ASSERT_GE(args.size(), 10u);
    EXPECT_EQ(Helper(), args[0]);
    EXPECT_EQ(output, args.back());
    EXPECT_EQ(L"-y", args[args.size() - 2]);
    const auto at = [&](const wchar_t* word) { return std::find(args.begin(), args.end(), word) - args.begin(); };
    EXPECT_LT(at(L"-draw_mouse"), at(L"-i")) << "input options stand before the input";
    EXPECT_LT(at(L"-framerate"), at(L"-i"));
    EXPECT_EQ(L"desktop", args[static_cast<std::size_t>(at(L"-i")) + 1]);
    EXPECT_EQ(L"1800", args[static_cast<std::size_t>(at(L"-t")) + 1]);
    EXPECT_EQ(L"scale=trunc(iw/2)*2:trunc(ih/2)*2", args[static_cast<std::size_t>(at(L"-vf")) + 1]);
    ASSERT_TRUE(WaitEnd(recorder));
}

TEST_F(RecorderTest, FindsTheFirstAudioDeviceAndGivesUpOnAListingThatNeverEnds) {
    const struct {
        const wchar_t* listing;
        const wchar_t* device;
    } cases[] = {{L"older", L"@device_cm_{A}\\wave_{B}"}, {L"newer", L"@device_cm_{A}\\wave_{D}"}, {L"none", L""}};
    for (const auto& c : cases) {
        ScopedEnv listing(L"TOVASEN_FAKE_LISTING", c.listing);
        EXPECT_EQ(c.device, ListFirstAudioDevice(Helper(), 10000)) << c.listing;
    }
    ScopedEnv listing(L"TOVASEN_FAKE_LISTING", L"hang");
    const auto start = Clock::now();
    EXPECT_EQ(L"", ListFirstAudioDevice(Helper(), 1000));
    EXPECT_LT(Seconds(start), 4.0);
    EXPECT_THROW(ListFirstAudioDevice(ExeFolder() + L"missing.exe", 1000), ECreateProcessError);

    // The real encoder lists no audio device on this machine; its listing ends by itself.
    const auto real = Clock::now();
    EXPECT_EQ(L"", ListFirstAudioDevice(test::EncoderPath(), 20000));
    std::printf("[ figures  ] the real device listing took %.1f s\n", Seconds(real));
}

TEST_F(RecorderTest, ASlowDeviceListingKeepsTheWindowAnswering) {
    // The listing takes 5 s; meanwhile this thread must answer a window message at once.
    ScopedEnv listing(L"TOVASEN_FAKE_LISTING", L"slow");
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"ok");
    AnswerProbe probe;
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = folder.Path() + L"a.mp4";
    recorder.Audio = true;
    const auto start = Clock::now();
    recorder.Start();
    EXPECT_LT(Seconds(start), 1.0) << "Start must not wait for the listing";
    EXPECT_TRUE(recorder.Preparing());
    EXPECT_TRUE(recorder.IsRunning());
    const bool recording = test::WaitUntil([&] { return recorder.Encoding(); }, 20000);
    const int worstMs = probe.WorstMs();
    ASSERT_TRUE(recording);
    const double listed = Seconds(start);
    EXPECT_NE(std::wstring::npos, recorder.CommandLine().find(L"-i audio=\"@device_cm_{A}\\wave_{B}\"")) << recorder.CommandLine();
    std::printf("[ figures  ] a 5 s device listing: recording after %.1f s, the window answered within %d ms at worst\n",
                listed, worstMs);
    EXPECT_LT(worstMs, 2000) << "the window stopped answering while the devices were listed";
    recorder.Stop();
    ASSERT_TRUE(WaitEnd(recorder));

    // Stopped while still listing: nothing starts afterwards, and nothing is called a failure.
    TRecorder stopped;
    stopped.FFMpeg = Helper();
    stopped.Output = folder.Path() + L"b.mp4";
    stopped.Audio = true;
    stopped.Start();
    stopped.Stop();
    EXPECT_FALSE(stopped.IsRunning());
    EXPECT_TRUE(stopped.Cancelled());
    // The listing runs on; once it has ended, what it found comes back to nobody.
    ASSERT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"child_helper.exe") > 0; })) << "no listing ran";
    EXPECT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"child_helper.exe") == 0; }, 20000));
    // A pause: an encoder wrongly started for the late listing would have started by now.
    test::WaitUntil([&] { return stopped.Parts() != 0; }, 1000);
    EXPECT_EQ(0, stopped.Parts()) << "no encoder once the listing came back";
}

// A recorder freed while it lists the devices ends the listing and waits for its thread: not
// for the listing's time-out, and nothing of the listing is left behind.
TEST_F(RecorderTest, FreedWhileListingEndsTheListing) {
    ScopedEnv listing(L"TOVASEN_FAKE_LISTING", L"hang");
    auto recorder = std::make_unique<TRecorder>();
    recorder->FFMpeg = Helper();
    recorder->Output = folder.Path() + L"a.mp4";
    recorder->Audio = true;
    recorder->DeviceListTimeoutMs = 120000;
    recorder->Start();
    ASSERT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"child_helper.exe") > 0; })) << "no listing ran";
    const auto start = Clock::now();
    recorder.reset();
    const double freed = Seconds(start);
    EXPECT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"child_helper.exe") == 0; }, 5000))
        << "the listing outlived its recorder";
    EXPECT_LT(freed, 60.0) << "the recorder waited for the listing's time-out";
    std::printf("[ figures  ] a recorder freed while listing took %.2f s to go\n", freed);
}

TEST_F(RecorderTest, AudioPutsTheDeviceOnTheCommandLineOnlyWhenThereIsOne) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"fail");
    for (const wchar_t* kind : {L"older", L"none"}) {
        ScopedEnv listing(L"TOVASEN_FAKE_LISTING", kind);
        TRecorder recorder;
        recorder.FFMpeg = Helper();
        recorder.Output = folder.Path() + L"a.mp4";
        recorder.Audio = true;
        recorder.Start();
        ASSERT_TRUE(test::WaitUntil([&] { return !recorder.Preparing(); })) << kind;
        const std::wstring& line = recorder.CommandLine();
        if (std::wstring(kind) == L"older") {
            EXPECT_NE(std::wstring::npos, line.find(L"-f dshow -i audio=\"@device_cm_{A}\\wave_{B}\" -f gdigrab")) << line;
            EXPECT_NE(std::wstring::npos, line.find(L"-c:a aac -ac 2 -b:a 128k"));
        } else {
            EXPECT_EQ(std::wstring::npos, line.find(L"dshow")) << line;
            EXPECT_EQ(std::wstring::npos, line.find(L"aac")) << line;
        }
        ASSERT_TRUE(WaitEnd(recorder));
    }
}

TEST_F(RecorderTest, FollowsProgressLogsLinesAndStopsWithOneQ) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"ok");
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = folder.Path() + L"a.mp4";
    recorder.Logging = true;
    recorder.LogFolder = folder.Path() + L"\xB85C\xADF8\\sub";  // missing folders are made
    EXPECT_EQ(L"00:00:00.00", recorder.RecTime());
    recorder.Start();
    EXPECT_TRUE(recorder.IsRunning());
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.RecTime() == L"00:00:02.50"; }));
    recorder.Stop();
    ASSERT_TRUE(WaitEnd(recorder));
    EXPECT_EQ(L"", recorder.Failure());
    recorder.Stop();  // after the end: nothing to send

    const auto bytes = test::ReadFileBytes(recorder.LogFolder + L"\\ffmpeg.log");
    const std::string log(bytes.begin(), bytes.end());
    // Whole lines only, each ended by CR LF; the command line came back in UTF-8.
    EXPECT_EQ(0u, log.find(WideToUtf8(recorder.CommandLine()) + "\r\n")) << log.substr(0, 200);
    EXPECT_NE(std::string::npos, log.find("time=00:00:02.50 bitrate=1.0kbits/s speed=1x    \r\n"));
    EXPECT_NE(std::string::npos, log.find("Exiting normally, received signal 2.\r\n"));
    EXPECT_EQ(std::string::npos, log.find("\r\r"));
    EXPECT_EQ("\r\n", log.substr(log.size() - 2));
}

TEST_F(RecorderTest, ALogThatCannotBeWrittenIsGivenUpQuietly) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"fail");
    test::WriteFileBytes(folder.Path() + L"file", {'x'});
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = folder.Path() + L"a.mp4";
    recorder.Logging = true;
    recorder.LogFolder = folder.Path() + L"file\\below";  // a file stands where the folder should be
    recorder.Start();
    ASSERT_TRUE(WaitEnd(recorder));
    EXPECT_FALSE(recorder.Logging);
}

TEST_F(RecorderTest, AFailingEncoderLeavesItsLastMessage) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"fail");
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = folder.Path() + L"a.mp4";
    recorder.Start();
    ASSERT_TRUE(WaitEnd(recorder));
    EXPECT_EQ(L"C:\\\xB179\xD654\\T-001.mp4: Permission denied", recorder.Failure());

    TRecorder missing;
    missing.FFMpeg = folder.Path() + L"ffmpeg.exe";
    missing.Output = folder.Path() + L"b.mp4";
    missing.Start();
    ASSERT_TRUE(WaitEnd(missing));
    EXPECT_NE(std::wstring::npos, missing.Failure().find(L"Error creating Process")) << missing.Failure();

    // A recording that cannot be made into a GIF stays as it was, and the failure names it.
    ScopedEnv recorded(L"TOVASEN_FAKE_ENCODER", L"ok");
    ScopedEnv writes(L"TOVASEN_FAKE_ENCODER_WRITES", L"1");
    TRecorder gif;
    gif.FFMpeg = Helper();
    gif.Output = folder.Path() + L"c.mp4";
    gif.MakeGif = true;
    gif.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return gif.Encoding(); }));
    gif.Stop();
    ASSERT_TRUE(WaitEnd(gif));
    EXPECT_EQ(L"The recording could not be made into a GIF (fake.mp4: Invalid data found when processing input); "
              L"the MP4 is kept: " + gif.Output, gif.Failure());
    EXPECT_EQ(gif.Output, gif.Result());
    EXPECT_EQ((std::vector<std::uint8_t>{'f', 'a', 'k', 'e'}), test::ReadFileBytes(gif.Output));
    EXPECT_EQ(std::vector<std::wstring>{L"c.mp4"}, folder.Files()) << "the GIF and its palette are not left";
}

// The conversion on its own, of videos the encoder makes of its test pattern: 15 frames a
// second, at most 1280 wide, scaled evenly and never up; a GIF of that name is never written
// over; one given up while its encoder runs ends it and leaves only the video.
TEST_F(RecorderTest, AGifConversionScalesDownEvenlyNeverUpAndLeavesOnlyTheGif) {
    const struct {
        const wchar_t* size;
        int width, height;
        bool taken;   // a GIF of the recording's name exists already
        bool giveUp;  // the conversion is freed while its first run goes on
    } rows[] = {{L"1600x900", 1280, 720, false, false}, {L"320x240", 320, 240, true, false}, {L"1600x900", 0, 0, false, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(row.size)) + (row.giveUp ? " given up" : ""));
        const std::wstring video = folder.Path() + L"src.mp4", kept = folder.Path() + L"src.gif";
        test::RunEncoder(L"-hide_banner -f lavfi -i testsrc=size=" + std::wstring(row.size) + L":rate=30 -t " +
                         (row.giveUp ? L"20" : L"2") + L" -c:v libx264 -preset ultrafast -pix_fmt yuv420p -y " +
                         QuoteArgument(video));
        if (row.taken) test::WriteFileBytes(kept, {'k'});
        auto conversion = std::make_unique<TGifConversion>(test::EncoderPath(), video, TPoster{});
        bool ended = false;
        conversion->OnEnded = [&] { ended = true; };
        conversion->Start();
        EXPECT_TRUE(conversion->IsRunning());
        if (row.giveUp) {
            ASSERT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"ffmpeg.exe") == 1; })) << "no encoder ran";
            conversion.reset();
            EXPECT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"ffmpeg.exe") == 0; }, 5000)) << "its encoder went on";
            EXPECT_FALSE(ended);
            EXPECT_EQ(std::vector<std::wstring>{L"src.mp4"}, folder.Files()) << "the GIF and palette begun are gone";
            DeleteFileW(video.c_str());
            continue;
        }
        ASSERT_TRUE(test::WaitUntil([&] { return ended; }, 120000));
        EXPECT_EQ(L"", conversion->Failure());
        EXPECT_EQ(row.taken ? folder.Path() + L"src-2.gif" : kept, conversion->Gif());
        const test::ProbedAnimation gif = test::FfprobeAnimation(conversion->Gif());
        std::printf("[ figures  ] %ls: GIF %dx%d, %d frames in %.2f s (%.2f fps)\n", row.size, gif.width, gif.height,
                    gif.frames, gif.seconds, gif.FramesPerSecond());
        EXPECT_EQ("gif", gif.format) << gif.text;
        EXPECT_EQ(row.width, gif.width) << gif.text;
        EXPECT_EQ(row.height, gif.height) << gif.text;
        EXPECT_NEAR(2.0, gif.seconds, 0.2) << gif.text;
        // Delays are whole hundredths (7, 6, 7, ...): 15 a second measures a hair either side.
        EXPECT_LE(gif.FramesPerSecond(), 15.1) << gif.text;
        EXPECT_GE(gif.FramesPerSecond(), 14.0) << gif.text;
        std::vector<std::wstring> files = folder.Files();
        std::sort(files.begin(), files.end());
        const std::vector<std::wstring> expected =
            row.taken ? std::vector<std::wstring>{L"src-2.gif", L"src.gif", L"src.mp4"} : std::vector<std::wstring>{L"src.gif", L"src.mp4"};
        EXPECT_EQ(expected, files) << "the palette is gone and the video is the caller's";
        if (row.taken) {
            EXPECT_EQ(std::vector<std::uint8_t>{'k'}, test::ReadFileBytes(kept));
        }
        for (const std::wstring& file : files) DeleteFileW((folder.Path() + file).c_str());
    }
}

TEST_F(RecorderTest, AnEncoderThatIgnoresQIsEndedAfterTheGraceTime) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"hang");
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = folder.Path() + L"a.mp4";
    recorder.StopGraceMs = 500;
    recorder.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.RecTime() != L"00:00:00.00"; }));
    const auto start = Clock::now();
    recorder.Stop();
    recorder.Stop();  // a second request sends "q" again and does not restart the grace time
    ASSERT_TRUE(WaitEnd(recorder, 5000));
    EXPECT_LT(Seconds(start), 2.5);
    EXPECT_FALSE(recorder.Failure().empty());
}

TEST_F(RecorderTest, AFreedRecorderLetsTheEncoderFinishItsFileFirst) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"ok");
    ScopedEnv linger(L"TOVASEN_FAKE_ENCODER_LINGER_MS", L"1500");
    const std::wstring mark = folder.Path() + L"finished";
    ScopedEnv done(L"TOVASEN_FAKE_ENCODER_DONE", mark.c_str());
    auto recorder = std::make_unique<TRecorder>();
    recorder->FFMpeg = Helper();
    recorder->Output = folder.Path() + L"a.mp4";
    recorder->Start();
    ASSERT_TRUE(test::WaitUntil([&] { return recorder->Encoding(); }));
    const auto start = Clock::now();
    recorder.reset();
    const double took = Seconds(start);
    EXPECT_TRUE(test::FileExists(mark)) << "the encoder was ended before it had finished after its q";
    EXPECT_GE(took, 1.4);
    EXPECT_LT(took, 8.0);
}

TEST_F(RecorderTest, PausedPartsAddUpAndNothingIsPausedTwice) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"ok");
    TRecorder recorder;
    recorder.FFMpeg = Helper();
    recorder.Output = folder.Path() + L"a.mp4";
    recorder.Logging = true;
    recorder.LogFolder = folder.Path();
    // Kept from an earlier recording whose parts could not be joined: never written over.
    test::WriteFileBytes(folder.Path() + L"a.part2.mp4", {'k', 'e', 'p', 't'});
    EXPECT_FALSE(recorder.Pause()) << "nothing to pause before the start";
    recorder.Start();
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.RecTime() >= L"00:00:02.50"; }));
    ASSERT_TRUE(recorder.Pause());
    EXPECT_TRUE(recorder.Paused());
    EXPECT_FALSE(recorder.Pause());
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.Phase() == TRecorder::TPhase::Paused; }));
    const double first = RecTimeSeconds(recorder.RecTime());
    EXPECT_GE(first, 2.5);
    // A pause: recorded time that wrongly ran on while paused would show by now.
    test::WaitUntil([&] { return RecTimeSeconds(recorder.RecTime()) != first; }, 300);
    EXPECT_EQ(first, RecTimeSeconds(recorder.RecTime())) << "paused time is not recorded time";
    ASSERT_TRUE(recorder.Resume());
    EXPECT_FALSE(recorder.Resume());
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.Encoding() && RecTimeSeconds(recorder.RecTime()) > first + 1; }));
    EXPECT_EQ(2, recorder.Parts());
    recorder.Stop();
    ASSERT_TRUE(WaitEnd(recorder));
    EXPECT_EQ(L"", recorder.Failure());
    // The second part went to its own file, with the same input.
    const auto bytes = test::ReadFileBytes(folder.Path() + L"ffmpeg.log");
    const std::string log(bytes.begin(), bytes.end());
    EXPECT_NE(std::string::npos, log.find("a.part2-2.mp4\"\r\n")) << log.substr(0, 400);
    EXPECT_EQ((std::vector<std::uint8_t>{'k', 'e', 'p', 't'}), test::ReadFileBytes(folder.Path() + L"a.part2.mp4"));
    EXPECT_FALSE(test::FileExists(folder.Path() + L"a.part2-2.mp4")) << "a part the encoder never wrote is not kept";
    // Each part was asked to finish with its own q.
    std::size_t finished = 0;
    for (std::size_t at = log.find("Exiting normally"); at != std::string::npos; at = log.find("Exiting normally", at + 1)) {
        ++finished;
    }
    EXPECT_EQ(2u, finished);
}

// Each waiting request hears of its event once, at the event: a resume asked for while the
// pause's part is still finishing, a stop or the length limit that ends the recording under a
// pause.
TEST_F(RecorderTest, EventsComeOnceEachAndInTheOrderTheyHappened) {
    using E = TRecorder::TEvent;
    const struct {
        const char* name;
        const wchar_t* encoder;  // the stand-in's kind: "hang" ignores "q"
        const wchar_t* step;     // its seconds a progress line; a limit ends it
        int limit;
        const char* then;  // once the pause is asked for: "resume", "stop", or nothing
        std::vector<E> events;
    } cases[] = {
        {"resume while the part finishes", L"ok", L"", 0, "resume", {E::Started, E::Paused, E::Resumed}},
        {"stop while the part finishes", L"ok", L"", 0, "stop", {E::Started, E::Ended}},
        {"the limit under a pause", L"hang", L"60", 1800, "", {E::Started, E::Ended}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", c.encoder);
        ScopedEnv step(L"TOVASEN_FAKE_ENCODER_STEP", c.step);
        ScopedEnv linger(L"TOVASEN_FAKE_ENCODER_LINGER_MS", L"700");
        TRecorder recorder;
        recorder.FFMpeg = Helper();
        recorder.Output = folder.Path() + L"events.mp4";
        recorder.LimitSeconds = c.limit;
        std::vector<E> events;
        recorder.OnEvent = [&](E event) { events.push_back(event); };
        recorder.Start();
        ASSERT_TRUE(test::WaitUntil([&] { return recorder.Encoding(); }));
        ASSERT_TRUE(recorder.Pause());
        if (std::string(c.then) == "resume") {
            ASSERT_TRUE(recorder.Resume());
        }
        if (std::string(c.then) == "stop") recorder.Stop();
        // Until the end, or until the resumed part records.
        ASSERT_TRUE(test::WaitUntil([&] { return events.size() >= c.events.size(); }, 15000))
            << testing::PrintToString(events.size());
        if (std::string(c.then) == "resume") recorder.Stop();
        ASSERT_TRUE(WaitEnd(recorder));
        std::vector<E> expected = c.events;
        if (expected.back() != E::Ended) expected.push_back(E::Ended);
        EXPECT_EQ(expected, events);
        if (c.limit > 0) {
            EXPECT_GE(RecTimeSeconds(recorder.RecTime()), c.limit) << "the limit was not what ended it";
        }
        DeleteFileW(recorder.Output.c_str());
    }
}

TEST_F(RecorderTest, TheMirrorIsForRegionsOnlyAndLiesOnNoMonitor) {
    ScopedEnv encoder(L"TOVASEN_FAKE_ENCODER", L"ok");
    TRecorder full;
    full.FFMpeg = Helper();
    full.Output = folder.Path() + L"full.mp4";
    full.Start();
    EXPECT_EQ(nullptr, full.MirrorWindow()) << "a full-screen recording has no use for a mirror";
    EXPECT_EQ(nullptr, FindWindowW(nullptr, L"Virtual_Screen"));
    full.Stop();
    ASSERT_TRUE(WaitEnd(full));

    TCapture capture;
    TRecorder region;
    region.FFMpeg = Helper();
    region.Output = folder.Path() + L"region.mp4";
    // A 9999 x 9999 preset: the mirror is never larger than all monitors together.
    region.Start(&capture, [] { return RECT{0, 0, 9999, 9999}; });
    const HWND mirror = region.MirrorWindow();
    ASSERT_NE(nullptr, mirror);
    EXPECT_LE(region.MirrorWidth(), GetSystemMetrics(SM_CXVIRTUALSCREEN));
    EXPECT_LE(region.MirrorHeight(), GetSystemMetrics(SM_CYVIRTUALSCREEN));
    const LONG_PTR style = GetWindowLongPtrW(mirror, GWL_EXSTYLE);
    EXPECT_EQ(WS_EX_TRANSPARENT | WS_EX_NOACTIVATE, style & (WS_EX_TRANSPARENT | WS_EX_NOACTIVATE));
    for (int round = 0; round < 2; ++round) {
        RECT r{};
        GetWindowRect(mirror, &r);
        for (HMONITOR monitor : ScreenMonitors()) {
            const RECT m = MonitorBounds(monitor);
            RECT both{};
            EXPECT_FALSE(IntersectRect(&both, &r, &m)) << "round " << round << ": the mirror shows on a monitor";
        }
        // The displays changed: the mirror is placed again, still on none of them.
        SendMessageW(mirror, WM_DISPLAYCHANGE, 32, MAKELPARAM(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)));
    }
    region.PaintFrame();  // a region that leaves the screen paints what is on it, no more
    region.Stop();
    ASSERT_TRUE(WaitEnd(region));
}

// --- With the real encoder ---------------------------------------------------------------------

struct VideoInfo {
    std::wstring text;
    bool Has(const std::wstring& part) const { return text.find(part) != std::wstring::npos; }
    double Duration() const {
        const std::size_t at = text.find(L"Duration: ");
        if (at == std::wstring::npos) return -1;
        const std::wstring t = text.substr(at + 10, 11);
        return std::stoi(t.substr(0, 2)) * 3600 + std::stoi(t.substr(3, 2)) * 60 + std::stod(t.substr(6));
    }
};

VideoInfo Probe(const std::wstring& file) { return {test::RunEncoder(L"-hide_banner -i " + QuoteArgument(file))}; }

// One frame at the given second, decoded by the encoder itself to a BMP file.
test::DecodedImage FrameAt(const std::wstring& file, double second, const std::wstring& bmp) {
    test::RunEncoder(L"-hide_banner -y -ss " + std::to_wstring(second) + L" -i " + QuoteArgument(file) +
                                  L" -frames:v 1 " + QuoteArgument(bmp));
    return test::DecodeWithGdiplus(bmp);
}

std::uint32_t PixelAt(const test::DecodedImage& image, int x, int y) {
    return image.pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) + static_cast<std::size_t>(x)];
}

bool Near(std::uint32_t argb, COLORREF expected, int tolerance = 16) {
    const int r = static_cast<int>((argb >> 16) & 0xFF), g = static_cast<int>((argb >> 8) & 0xFF), b = static_cast<int>(argb & 0xFF);
    return std::abs(r - GetRValue(expected)) <= tolerance && std::abs(g - GetGValue(expected)) <= tolerance &&
           std::abs(b - GetBValue(expected)) <= tolerance;
}

std::wstring Hex(std::uint32_t v) {
    wchar_t text[16];
    swprintf(text, 16, L"%06x", v & 0xFFFFFF);
    return text;
}

TEST_F(RecorderTest, RecordsAMovingRegionThroughTheMirror) {
    const COLORREF red = RGB(200, 30, 40), blue = RGB(20, 60, 210);
    test::PatternWindow first(100, 100, 101, 51, red);
    test::PatternWindow second(400, 100, 101, 51, blue);
    // The mirror must be on screen here: off screen it records black under Wine.
    TRecorder recorder(nullptr, POINT{100, 400});
    TCapture capture;
    UseRealEncoder(recorder, L"region.mp4");
    recorder.Mouse = false;
    recorder.LimitSeconds = 2;
    recorder.Start(&capture, [&] {
        // The frame is dragged once the encoder has recorded a second.
        return recorder.RecTime() < L"00:00:01.00" ? RECT{100, 100, 201, 151} : RECT{400, 100, 501, 151};
    });
    EXPECT_EQ(100, recorder.MirrorWidth());
    EXPECT_EQ(52, recorder.MirrorHeight());
    ASSERT_TRUE(WaitEnd(recorder, 30000));
    EXPECT_EQ(L"", recorder.Failure());

    const VideoInfo info = Probe(recorder.Output);
    EXPECT_TRUE(info.Has(L"Video: h264")) << info.text;
    EXPECT_TRUE(info.Has(L"yuv420p")) << info.text;
    EXPECT_TRUE(info.Has(L"100x52")) << info.text;
    EXPECT_TRUE(info.Has(L" 30 fps")) << info.text;
    EXPECT_NEAR(2.0, info.Duration(), 0.5) << info.text;

    const auto early = FrameAt(recorder.Output, 0.3, folder.Path() + L"early.bmp");
    const auto late = FrameAt(recorder.Output, 1.9, folder.Path() + L"late.bmp");
    ASSERT_EQ(100, early.width);
    ASSERT_EQ(52, late.height);
    EXPECT_TRUE(Near(PixelAt(early, 50, 25), red)) << Hex(PixelAt(early, 50, 25));
    EXPECT_TRUE(Near(PixelAt(late, 50, 25), blue)) << Hex(PixelAt(late, 50, 25));
}

TEST_F(RecorderTest, TheCursorIsPaintedOnlyWhenAsked) {
    const COLORREF white = RGB(255, 255, 255);
    test::PatternWindow plain(100, 100, 120, 80, white, LoadCursorW(nullptr, IDC_ARROW));
    for (bool mouse : {true, false}) {
        SetCursorPos(130, 120);
        test::PumpMessages();
        TRecorder recorder(nullptr, POINT{100, 400});
        TCapture capture;
        UseRealEncoder(recorder, mouse ? L"with.mp4" : L"without.mp4");
        recorder.Mouse = mouse;
        recorder.LimitSeconds = 1;
        recorder.Start(&capture, [] { return RECT{100, 100, 220, 180}; });
        ASSERT_TRUE(WaitEnd(recorder, 30000));
        const auto frame = FrameAt(recorder.Output, 0.5, folder.Path() + L"frame.bmp");
        ASSERT_EQ(120, frame.width);
        int dark = 0;
        for (int y = 20; y < 40; ++y) {
            for (int x = 30; x < 45; ++x) dark += !Near(PixelAt(frame, x, y), white, 60);
        }
        if (mouse) EXPECT_GT(dark, 10) << "the arrow should show at the cursor";
        else EXPECT_EQ(0, dark) << "no cursor was asked for";
    }
    SetCursorPos(5, 5);
}

TEST_F(RecorderTest, FullScreenWithALimitEndsByItself) {
    TRecorder recorder;
    UseRealEncoder(recorder, L"full.mp4");
    recorder.LimitSeconds = 2;
    recorder.Start();
    EXPECT_NE(std::wstring::npos, recorder.CommandLine().find(L"-video_size " + std::to_wstring(GetSystemMetrics(SM_CXSCREEN)) + L"x"));
    const auto start = Clock::now();
    ASSERT_TRUE(WaitEnd(recorder, 60000));
    std::printf("[ figures  ] full screen -t 2 ended after %.2f s\n", Seconds(start));
    EXPECT_EQ(L"", recorder.Failure());
    const VideoInfo info = Probe(recorder.Output);
    EXPECT_TRUE(info.Has(L"Video: h264")) << info.text;
    EXPECT_NEAR(2.0, info.Duration(), 0.5) << info.text;
}

TEST_F(RecorderTest, StopGivesAPlayableFileQuickly) {
    test::PatternWindow pattern(100, 100, 320, 240);
    TRecorder recorder(nullptr, POINT{100, 400});
    TCapture capture;
    UseRealEncoder(recorder, L"stop.mp4");
    recorder.Logging = true;
    recorder.LogFolder = folder.Path();
    recorder.Start(&capture, [] { return RECT{100, 100, 420, 340}; });
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.RecTime() >= L"00:00:05.00"; }, 30000)) << recorder.RecTime();
    const auto start = Clock::now();
    recorder.Stop();
    ASSERT_TRUE(WaitEnd(recorder, 20000));
    std::printf("[ figures  ] 320x240: stop to end %.2f s\n", Seconds(start));
    EXPECT_EQ(L"", recorder.Failure());
    const VideoInfo info = Probe(recorder.Output);
    EXPECT_TRUE(info.Has(L"320x240")) << info.text;
    EXPECT_GT(info.Duration(), 4.5) << info.text;
    // The encoder's own counters, from its last progress line in the log.
    const auto bytes = test::ReadFileBytes(folder.Path() + L"ffmpeg.log");
    const std::string log(bytes.begin(), bytes.end());
    const std::size_t last = log.rfind("frame=");
    ASSERT_NE(std::string::npos, last);
    const auto field = [&](const char* name) {
        const std::size_t at = log.find(name, last);
        return at == std::string::npos ? -1 : std::atoi(log.c_str() + at + std::strlen(name));
    };
    const int frames = field("frame="), dup = field("dup="), drop = field("drop=");
    std::printf("[ figures  ] 320x240 for %.1f s: %d frames, %d duplicated, %d dropped (%.1f %%)\n", info.Duration(),
                frames, std::max(dup, 0), std::max(drop, 0), frames > 0 ? 100.0 * (std::max(dup, 0) + std::max(drop, 0)) / frames : 0.0);
    EXPECT_GT(frames, 0);
}

TEST_F(RecorderTest, AnEncoderKilledMidRecordingLeavesAFileThatPlaysToItsLastSecond) {
    test::PatternWindow pattern(100, 100, 160, 120);
    TRecorder recorder(nullptr, POINT{100, 400});
    TCapture capture;
    UseRealEncoder(recorder, L"killed.mp4");
    recorder.Start(&capture, [] { return RECT{100, 100, 260, 220}; });
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.RecTime() >= L"00:00:04.00"; }, 30000)) << recorder.RecTime();
    const double recorded = RecTimeSeconds(recorder.RecTime());
    // As a power loss would: no "q", no chance to write anything more.
    HANDLE encoder = nullptr;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Process32FirstW(snapshot, &entry); ok; ok = Process32NextW(snapshot, &entry)) {
        if (_wcsicmp(entry.szExeFile, L"ffmpeg.exe") == 0) encoder = OpenProcess(PROCESS_TERMINATE, FALSE, entry.th32ProcessID);
    }
    CloseHandle(snapshot);
    ASSERT_NE(nullptr, encoder);
    TerminateProcess(encoder, 9);
    CloseHandle(encoder);
    ASSERT_TRUE(WaitEnd(recorder));
    const test::DecodedVideo d = test::DecodeVideo(recorder.Output);
    std::printf("[ figures  ] encoder killed after %.2f s recorded: the file decodes to %.2f s (%d frames)\n", recorded,
                d.seconds, d.frames);
    EXPECT_GE(d.seconds, recorded - 1.5) << d.text;
}

TEST_F(RecorderTest, PausesLeaveOneFileOfTheRecordedTimeWithNoGap) {
    test::PatternWindow pattern(100, 100, 160, 120);
    TRecorder recorder(nullptr, POINT{100, 400});
    TCapture capture;
    UseRealEncoder(recorder, L"paused.mp4");
    // Files kept from an earlier recording under the names its parts and join would take.
    const std::vector<std::wstring> kept = {L"paused.part2.mp4", L"paused.joining.mp4", L"paused.joining.txt"};
    for (const std::wstring& name : kept) test::WriteFileBytes(folder.Path() + name, {'k'});
    recorder.Start(&capture, [] { return RECT{100, 100, 260, 220}; });
    const auto start = Clock::now();
    for (const wchar_t* until : {L"00:00:02.00", L"00:00:04.00"}) {
        ASSERT_TRUE(test::WaitUntil([&] { return recorder.Encoding() && recorder.RecTime() >= until; }, 30000));
        ASSERT_TRUE(recorder.Pause());
        ASSERT_TRUE(test::WaitUntil([&] { return recorder.Phase() == TRecorder::TPhase::Paused; }, 15000));
        test::WaitUntil([] { return false; }, 1000);  // a second that must not be in the file
        ASSERT_TRUE(recorder.Resume());
    }
    ASSERT_TRUE(test::WaitUntil([&] { return recorder.Encoding() && recorder.RecTime() >= L"00:00:06.00"; }, 30000));
    recorder.Stop();
    ASSERT_TRUE(WaitEnd(recorder, 60000));
    const double wall = Seconds(start);
    EXPECT_EQ(L"", recorder.Failure());
    const double recorded = RecTimeSeconds(recorder.RecTime());
    const test::DecodedVideo d = test::DecodeVideo(recorder.Output);
    std::printf("[ figures  ] 3 parts, 2 pauses of 1 s: %.2f s recorded in %.1f s, the file decodes to %.2f s, %d frames\n",
                recorded, wall, d.seconds, d.frames);
    EXPECT_NEAR(recorded, d.seconds, 0.5) << d.text;
    EXPECT_NEAR(d.seconds * 30, d.frames, 15) << "frames follow each other at 30 a second";
    std::vector<std::wstring> files = folder.Files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::wstring>{L"paused.joining.mp4", L"paused.joining.txt", L"paused.mp4", L"paused.part2.mp4"}),
              files) << "the parts are gone once joined, and nothing kept was touched";
    for (const std::wstring& name : kept) {
        EXPECT_EQ(std::vector<std::uint8_t>{'k'}, test::ReadFileBytes(folder.Path() + name)) << testing::PrintToString(name);
    }
}

TEST_F(RecorderTest, At640x480TheWindowKeepsAnsweringWhileFramesArePainted) {
    const COLORREF green = RGB(40, 190, 60);
    test::PatternWindow plain(0, 0, 640, 480, green);
    TRecorder recorder(nullptr, POINT{0, 500});
    TCapture capture;
    UseRealEncoder(recorder, L"vga.mp4");
    recorder.Mouse = false;
    recorder.LimitSeconds = 3;
    recorder.Start(&capture, [] { return RECT{0, 0, 640, 480}; });

    // What one timer tick costs this thread, against a bare screen copy of the same size.
    std::vector<double> paint, bare;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 640, 480);
    HGDIOBJ old = SelectObject(memory, bitmap);
    for (int i = 0; i < 40; ++i) {
        auto start = Clock::now();
        recorder.PaintFrame();
        paint.push_back(Seconds(start) * 1000);
        start = Clock::now();
        BitBlt(memory, 0, 0, 640, 480, screen, 0, 0, SRCCOPY);
        bare.push_back(Seconds(start) * 1000);
    }
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    std::sort(paint.begin(), paint.end());
    std::sort(bare.begin(), bare.end());
    std::printf("[ figures  ] PaintFrame 640x480: median %.1f ms, p95 %.1f ms; bare BitBlt from the screen: median %.1f ms, p95 %.1f ms\n",
                paint[20], paint[38], bare[20], bare[38]);

    // A window of this thread, asked from another thread while the frames are painted.
    AnswerProbe probe;
    const bool ended = WaitEnd(recorder, 30000);
    const int worstMs = probe.WorstMs();
    std::printf("[ figures  ] while recording 640x480 the window answered within %d ms at worst\n", worstMs);
    ASSERT_TRUE(ended);
    EXPECT_EQ(L"", recorder.Failure());
    const VideoInfo info = Probe(recorder.Output);
    EXPECT_TRUE(info.Has(L"640x480")) << info.text;
    const auto frame = FrameAt(recorder.Output, 1.0, folder.Path() + L"vga.bmp");
    ASSERT_EQ(640, frame.width);
    EXPECT_TRUE(Near(PixelAt(frame, 320, 240), green)) << Hex(PixelAt(frame, 320, 240));
}

}  // namespace
}  // namespace tovasen
