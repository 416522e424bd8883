// The recording control end to end: a running Tovasen.exe with the target MP4, requests sent
// with tovasen-cmd, the real encoder beside the program (or a stand-in where a failure is the
// point), results checked in files, processes and message boxes.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/capture_kinds.h"
#include "base/config.h"
#include "base/module_path.h"
#include "base/utf_convert.h"
#include "record/command_line.h"
#include "record/command_runner.h"
#include "record/ffmpeg_command.h"
#include "record/encoder_output.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::time_point since) { return std::chrono::duration<double>(Clock::now() - since).count(); }

// The encoder processes running now (this test starts no other).
int EncoderCount() { return test::ProcessCount(L"ffmpeg.exe"); }

// What the encoder says about a file ("Duration: ...", "Video: h264 ...").
std::wstring Probe(const std::wstring& file) { return test::RunEncoder(L"-hide_banner -i " + QuoteArgument(file)); }

// Each recording part's last reported time, from the encoder's log: a part begins with the
// encoder's banner, and the join at the end (which has none) begins with its concat input.
std::vector<double> PartTimes(const std::wstring& folder) {
    const auto bytes = test::ReadFileBytes(folder + L"ffmpeg.log");
    std::wstring log = Utf8ToWide(std::string(bytes.begin(), bytes.end()));
    log = log.substr(0, log.find(L"Input #0, concat"));
    std::vector<double> times;
    for (std::size_t at = log.find(L"ffmpeg version"); at != std::wstring::npos;) {
        const std::size_t next = log.find(L"ffmpeg version", at + 1);
        times.push_back(test::LastProgressTime(log.substr(at, next == std::wstring::npos ? std::wstring::npos : next - at)));
        at = next;
    }
    return times;
}

// The one capture-failure message with the reason after it, on a line of its own however the
// console is given the line break.
bool FailureSays(const std::wstring& err, const std::wstring& reason) {
    const std::wstring head = L"캡쳐가 실패하였습니다.";
    if (err.rfind(head, 0) != 0 || err.size() < head.size() + reason.size()) return false;
    const std::wstring between = err.substr(head.size(), err.size() - head.size() - reason.size());
    return err.substr(err.size() - reason.size()) == reason && !between.empty() &&
           between.find_first_not_of(L"\r\n") == std::wstring::npos;
}

// A small region frame: light enough for this machine (under Wine the full screen at 30 frames
// a second duplicates most of them). Its mirror sits off screen and records black here, which
// is all a length needs.
void RecordASmallRegion() {
    TConfig config;
    config.WriteInteger(L"area", 1);
    config.WriteInteger(L"left", 40);
    config.WriteInteger(L"top", 60);
    config.WriteInteger(L"width", 160);
    config.WriteInteger(L"height", 120);
    config.WriteBoolean(L"ffmpeg_log", true);
}


class RecordingControl : public test::ProgramTest {
protected:
    void SetUp() override {
        ProgramTest::SetUp();
        app.Initialize();
        TConfig config;
        config.WriteInteger(L"append", 1);
        config.WriteInteger(L"area", 0);
        config.WriteInteger(L"saveto", 5);
        config.WriteInteger(L"record_limit", 0);
        config.WriteBoolean(L"audio", false);
        config.WriteBoolean(L"ffmpeg_log", false);
    }

    // Tovasen.exe copied into a folder of its own with encoder (or nothing) beside it.
    std::unique_ptr<test::ChildProcess> StartCopy(const std::wstring& encoder) {
        CreateDirectoryW(dist.c_str(), nullptr);
        EXPECT_TRUE(CopyFileW(test::TovasenExe().c_str(), (dist + L"Tovasen.exe").c_str(), FALSE));
        if (!encoder.empty()) {
            EXPECT_TRUE(CopyFileW(encoder.c_str(), (dist + L"ffmpeg.exe").c_str(), FALSE));
        }
        auto program = std::make_unique<test::ChildProcess>(dist + L"Tovasen.exe", L"");
        // Once its main window answers, the start-up sequence, which checks the saved target's
        // files, has run.
        EXPECT_NE(nullptr, test::WaitForVisibleWindow(program->Id(), L"TFrmTovasen", 10000, [&](HWND) {
            return test::FindProcessWindow(program->Id(), L"TTrayIconWindow") != nullptr;
        })) << "the copy did not come up";
        return program;
    }

    void TearDown() override {
        for (const wchar_t* name : {L"Tovasen.exe", L"ffmpeg.exe"}) DeleteFileW((dist + name).c_str());
        RemoveDirectoryW(dist.c_str());
        ProgramTest::TearDown();
    }

    TApplication app;
    const std::wstring dist = folder.Path() + L"dist\\";
};

TEST_F(RecordingControl, TwoRequestsMakeAPlayableRecordingAndExitWaitsForItsEnd) {
    auto program = test::StartTovasen(L"", true);
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    ASSERT_TRUE(test::WaitUntil([] { return EncoderCount() == 1; }, 10000)) << "no encoder started";

    // Exit is refused while the recording runs.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    test::AnswerMessageBox(*program, L"녹화중입니다.", IDOK);
    EXPECT_FALSE(program->WaitForExit(300));
    Sleep(1500);  // a pause: the recording runs a while longer, so the file has a length

    const auto stop = Clock::now();
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    ASSERT_TRUE(test::WaitUntil([] { return EncoderCount() == 0; }, 15000)) << "the encoder did not finish";
    std::printf("[ figures  ] full screen: stop request to encoder exit %.2f s\n", Seconds(stop));
    // The stop was answered as the recording ended: the program is idle from here on.

    const std::wstring file = folder.Path() + L"T-001.mp4";
    ASSERT_TRUE(test::FileExists(file));
    const std::wstring info = Probe(file);
    EXPECT_NE(std::wstring::npos, info.find(L"Video: h264")) << info;
    EXPECT_NE(std::wstring::npos, info.find(L"yuv420p")) << info;
    EXPECT_EQ(std::wstring::npos, info.find(L"Duration: N/A")) << info;

    // Now the exit goes through.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000)) << "exit after the recording did not end the program; it shows" << testing::PrintToString(test::VisibleWindowsText(program->Id()));
}

// A script hears the encoder's own last words, and no box waits for a click.
TEST_F(RecordingControl, AFailingEncoderReturnsToIdleWithItsMessage) {
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", L"fail");
    auto program = StartCopy(ExeFolder() + L"child_helper.exe");
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", nullptr);
    for (int attempt = 0; attempt < 2; ++attempt) {
        const test::CmdResult result = test::RunCmd(L"--utf8 capture");
        EXPECT_EQ(1u, result.exitCode);
        EXPECT_TRUE(FailureSays(result.err, L"C:\\\xB179\xD654\\T-001.mp4: Permission denied")) << testing::PrintToString(result.err);
    }
    EXPECT_EQ(nullptr, test::FindProcessWindow(program->Id(), L"#32770"));
    // Idle again: the exit is not refused.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000));
}

TEST_F(RecordingControl, AnEncoderThatHasGoneIsNamedInTheFailure) {
    auto program = StartCopy(ExeFolder() + L"child_helper.exe");
    ASSERT_TRUE(DeleteFileW((dist + L"ffmpeg.exe").c_str()));
    const test::CmdResult result = test::RunCmd(L"--utf8 capture");
    EXPECT_EQ(1u, result.exitCode);
    EXPECT_TRUE(FailureSays(result.err, L"\"ffmpeg.exe\" 파일이 없습니다.")) << testing::PrintToString(result.err);
    EXPECT_TRUE(folder.Files().empty()) << "nothing may be recorded or captured";
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000)) << "a refused start must leave the program idle";
}

// The guard, a second Tovasen.exe, sends the encoder its "q" once the program has gone; left
// alone the encoder would record on unseen (a region's would stop once its mirror went, the
// full screen's never).
TEST_F(RecordingControl, AKilledTovasenLeavesNoEncoderAndAFileThatPlaysToTheKill) {
    for (const bool region : {false, true}) {
        SCOPED_TRACE(region ? "region" : "full screen");
        if (region) RecordASmallRegion();
        TConfig().WriteBoolean(L"ffmpeg_log", true);
        auto program = test::StartTovasen(L"", true);
        const test::CmdResult started = test::RunCmd(L"--utf8 capture");
        ASSERT_EQ(0u, started.exitCode) << testing::PrintToString(started.err);
        // Answered only once the guard watches: it runs beside the program from then on.
        EXPECT_EQ(2, test::ProcessCount(L"Tovasen.exe")) << "the start was answered without a guard";
        Sleep(5000);  // a pause: five seconds are recorded before the kill
        EXPECT_EQ(2, test::ProcessCount(L"Tovasen.exe")) << "the guard did not stay";
        EXPECT_EQ(1, EncoderCount());
        HANDLE process = OpenProcess(PROCESS_TERMINATE, FALSE, program->Id());
        ASSERT_NE(nullptr, process);
        TerminateProcess(process, 9);  // no chance to say anything to anyone
        CloseHandle(process);
        const auto killed = Clock::now();
        ASSERT_TRUE(program->WaitForExit(5000));
        ASSERT_TRUE(test::WaitUntil([] { return EncoderCount() == 0; }, 12000)) << "the encoder went on recording";
        const double finished = Seconds(killed);
        EXPECT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"Tovasen.exe") == 0; }, 5000))
            << "the guard stayed after the encoder";
        // The log ends where the program died: its last progress is the time recorded at the kill.
        const std::vector<double> parts = PartTimes(folder.Path());
        ASSERT_EQ(1u, parts.size());
        const test::ProbedLength probed = test::FfprobeLength(started.out);
        std::printf("[ figures  ] %s: killed at %.2f s recorded, the encoder ended %.2f s later, ffprobe reads %.2f s "
                    "(%+.2f s)\n", region ? "region" : "full screen", parts[0], finished, probed.seconds,
                    probed.seconds - parts[0]);
        EXPECT_NEAR(parts[0], probed.seconds, 1.5) << probed.text;
        const std::wstring info = Probe(started.out);
        EXPECT_NE(std::wstring::npos, info.find(L"Video: h264")) << info;
        DeleteFileW((folder.Path() + L"ffmpeg.log").c_str());
    }
}

// Requests that cross the end of a part, a stop or the length limit: each is answered once, at
// once, with what happened to it. A stand-in encoder takes its time where the race needs it.
TEST_F(RecordingControl, RequestsRacedAgainstTheEndOfAPartAreEachAnsweredOnce) {
    struct Request {
        const wchar_t* args;
        DWORD exitCode;  // 0: done, with the file's name; 1: the recording ended under it
    };
    const struct {
        const char* name;
        const wchar_t *encoder, *linger, *first, *step;  // the stand-in's settings, as in child_helper
        int limitMinutes;
        bool pausedFirst;
        std::vector<Request> race;  // sent 300 ms apart while the first is still waiting
    } cases[] = {
        {"resume while the pause's part finishes", L"ok", L"1500", L"0", L"", 0, false,
         {{L"record pause", 0}, {L"record resume", 0}}},
        {"stop while the pause's part finishes", L"ok", L"1500", L"0", L"", 0, false,
         {{L"record pause", 1}, {L"capture", 0}}},
        {"stop before the resumed part records", L"ok", L"0", L"2000", L"", 0, true,
         {{L"record resume", 1}, {L"capture", 0}}},
        // The stand-in ignores the pause's "q"; its time runs a minute a line up to "-t 1800".
        {"the length limit under a pause", L"hang", L"0", L"0", L"60", 30, false, {{L"record pause", 1}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TConfig config;
        config.WriteInteger(L"record_limit", c.limitMinutes);
        config.WriteBoolean(L"ffmpeg_log", true);
        const std::pair<const wchar_t*, const wchar_t*> environment[] = {
            {L"TOVASEN_FAKE_ENCODER", c.encoder}, {L"TOVASEN_FAKE_ENCODER_LINGER_MS", c.linger},
            {L"TOVASEN_FAKE_ENCODER_FIRST_MS", c.first}, {L"TOVASEN_FAKE_ENCODER_STEP", c.step}};
        for (const auto& [name, value] : environment) SetEnvironmentVariableW(name, value);
        auto program = StartCopy(ExeFolder() + L"child_helper.exe");
        for (const auto& [name, value] : environment) SetEnvironmentVariableW(name, nullptr);

        const test::CmdResult started = test::RunCmd(L"--utf8 capture");
        ASSERT_EQ(0u, started.exitCode) << testing::PrintToString(started.err);
        if (c.pausedFirst) {
            ASSERT_EQ(0u, test::RunCmd(L"--utf8 record pause").exitCode);
        }
        std::vector<test::CmdResult> answers(c.race.size());
        std::vector<std::thread> requests;
        for (std::size_t i = 0; i < c.race.size(); ++i) {
            requests.emplace_back([&answers, &c, i] { answers[i] = test::RunCmd(L"--utf8 " + std::wstring(c.race[i].args)); });
            Sleep(300);  // a pause: the next request comes while this one waits
        }
        for (std::thread& request : requests) request.join();
        for (std::size_t i = 0; i < c.race.size(); ++i) {
            const std::wstring label = c.race[i].args;
            EXPECT_EQ(c.race[i].exitCode, answers[i].exitCode) << testing::PrintToString(label) << " "
                                                                << testing::PrintToString(answers[i].err);
            if (c.race[i].exitCode == 0) {
                EXPECT_EQ(started.out, answers[i].out) << testing::PrintToString(label);
            } else {
                EXPECT_EQ(0u, answers[i].err.find(L"The recording ended")) << testing::PrintToString(answers[i].err);
            }
        }
        if (c.limitMinutes > 0) {
            const auto bytes = test::ReadFileBytes(folder.Path() + L"ffmpeg.log");
            const std::string log(bytes.begin(), bytes.end());
            EXPECT_NE(std::string::npos, log.find("time=00:30:00.50")) << "the limit did not end the recording";
        }
        // Still recording after a resume that was answered: the next request stops it.
        if (c.race.back().exitCode == 0 && std::wstring(c.race.back().args) == L"record resume") {
            EXPECT_EQ(0u, test::RunCmd(L"capture").exitCode);
        }
        PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
        EXPECT_TRUE(program->WaitForExit(10000)) << "the recording did not end; it shows" << testing::PrintToString(test::VisibleWindowsText(program->Id()));
        DeleteFileW((folder.Path() + L"ffmpeg.log").c_str());
    }
}

TEST_F(RecordingControl, OnceExitIsTakenTheKeyStartsNothing) {
    auto program = test::StartTovasen(L"", true);
    const HWND hotkey = test::FindProcessWindow(program->Id(), L"TFrmHotKey");
    ASSERT_NE(nullptr, hotkey);
    // Both wait in the queue: the exit is taken first, then the key arrives.
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    PostMessageW(hotkey, WM_HOTKEY, GlobalFindAtomW(L"TovasenHotKey"), 0);
    EXPECT_TRUE(program->WaitForExit(10000));
    EXPECT_EQ(0, EncoderCount());
    EXPECT_TRUE(folder.Files().empty()) << testing::PrintToString(folder.Files());
}

TEST_F(RecordingControl, AScriptPausesAndResumesIntoOneFileOfTheRecordedTime) {
    RecordASmallRegion();
    auto program = test::StartTovasen(L"", true);
    test::CmdResult nothing = test::RunCmd(L"--utf8 record pause");
    EXPECT_EQ(1u, nothing.exitCode);
    EXPECT_EQ(L"There is no recording to pause or resume.", nothing.err);
    for (const wchar_t* wrong : {L"record", L"record stop", L"pause", L"record pause now"}) {
        EXPECT_EQ(64u, test::RunCmd(wrong).exitCode) << testing::PrintToString(std::wstring(wrong));
    }

    const test::CmdResult started = test::RunCmd(L"--utf8 capture");
    ASSERT_EQ(0u, started.exitCode) << testing::PrintToString(started.err);
    const auto start = Clock::now();
    for (int pause = 0; pause < 3; ++pause) {
        Sleep(5000);  // a pause: five seconds are recorded in this part
        const test::CmdResult paused = test::RunCmd(L"--utf8 record pause");
        ASSERT_EQ(0u, paused.exitCode) << testing::PrintToString(paused.err);
        EXPECT_EQ(started.out, paused.out);
        const test::CmdResult again = test::RunCmd(L"--utf8 record pause");
        EXPECT_EQ(1u, again.exitCode);
        EXPECT_EQ(L"The recording is paused already.", again.err);
        Sleep(1500);  // a pause: time spent paused, not in the file
        const test::CmdResult resumed = test::RunCmd(L"--utf8 record resume");
        ASSERT_EQ(0u, resumed.exitCode) << testing::PrintToString(resumed.err);
        EXPECT_EQ(started.out, resumed.out);
    }
    EXPECT_EQ(1u, test::RunCmd(L"record resume").exitCode) << "not paused";
    Sleep(5000);  // a pause: five seconds are recorded in the last part
    const test::CmdResult stopped = test::RunCmd(L"--utf8 capture");
    ASSERT_EQ(0u, stopped.exitCode) << testing::PrintToString(stopped.err);
    EXPECT_EQ(started.out, stopped.out);
    const double wall = Seconds(start);

    const std::vector<double> parts = PartTimes(folder.Path());
    EXPECT_EQ(4u, parts.size());
    double recorded = 0;
    for (const double part : parts) recorded += part;
    const test::DecodedVideo d = test::DecodeVideo(stopped.out);
    std::printf("[ figures  ] 3 pauses: %.2f s recorded in %.1f s, one file of %.2f s (%+.2f s), %d frames for %.1f expected\n",
                recorded, wall, d.seconds, d.seconds - recorded, d.frames, d.seconds * 30);
    EXPECT_NEAR(recorded, d.seconds, 0.5) << d.text;
    EXPECT_NEAR(d.seconds * 30, d.frames, 15) << "the frames run on across the parts";
    std::vector<std::wstring> files = folder.Files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::wstring>{L"T-001.mp4", L"ffmpeg.log"}), files) << "the parts are gone";
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000));
}

// The GIF target records as MP4 does, a pause included; at the stop the script hears of the GIF
// once it is converted, and the MP4 it came from is gone. Read back by the machine's ffprobe.
TEST_F(RecordingControl, AGifRecordingPausedOnceEndsAsOneGifOfItsLengthAndNoMp4) {
    RecordASmallRegion();
    TConfig().WriteInteger(L"saveto", StoredIndex(TSaveTarget::GifAnimated));
    auto program = test::StartTovasen(L"", true);
    const test::CmdResult started = test::RunCmd(L"--utf8 capture");
    ASSERT_EQ(0u, started.exitCode) << testing::PrintToString(started.err);
    EXPECT_EQ(folder.Path() + L"T-001.mp4", started.out) << "the file being written";
    // Until the parts so far hold that many seconds, as the encoder's log says: a script's
    // requests take a while here, and the stop adds its own.
    const auto recordedUntil = [&](std::size_t parts, double seconds) {
        return test::WaitUntil([&] {
            try {
                const std::vector<double> times = PartTimes(folder.Path());
                double sum = 0;
                for (const double part : times) sum += part;
                return times.size() == parts && sum >= seconds;
            } catch (const std::exception&) {
                return false;  // no log yet
            }
        }, 20000);
    };
    ASSERT_TRUE(recordedUntil(1, 1.5));
    const test::CmdResult paused = test::RunCmd(L"--utf8 record pause");
    ASSERT_EQ(0u, paused.exitCode) << testing::PrintToString(paused.err);
    Sleep(1500);  // a pause: time spent paused, not in the GIF
    const test::CmdResult resumed = test::RunCmd(L"--utf8 record resume");
    ASSERT_EQ(0u, resumed.exitCode) << testing::PrintToString(resumed.err);
    ASSERT_TRUE(recordedUntil(2, 3.7));
    const auto stop = Clock::now();
    const test::CmdResult stopped = test::RunCmd(L"--utf8 capture");
    ASSERT_EQ(0u, stopped.exitCode) << testing::PrintToString(stopped.err);
    EXPECT_EQ(folder.Path() + L"T-001.gif", stopped.out);

    const std::vector<double> parts = PartTimes(folder.Path());
    double recorded = 0;
    for (const double part : parts) recorded += part;
    const test::ProbedAnimation gif = test::FfprobeAnimation(stopped.out);
    std::printf("[ figures  ] GIF of %zu parts, %.2f s recorded: stop to GIF %.2f s; %dx%d, %d frames in %.2f s (%.2f fps)\n",
                parts.size(), recorded, Seconds(stop), gif.width, gif.height, gif.frames, gif.seconds, gif.FramesPerSecond());
    EXPECT_EQ(2u, parts.size());
    EXPECT_EQ("gif", gif.format) << gif.text;
    EXPECT_GE(gif.seconds, 3.0) << gif.text;
    EXPECT_LE(gif.seconds, 5.0) << gif.text;
    EXPECT_NEAR(recorded, gif.seconds, 0.5) << gif.text;
    // Delays are whole hundredths (7, 6, 7, ...): 15 a second measures a hair either side.
    EXPECT_LE(gif.FramesPerSecond(), 15.1) << gif.text;
    EXPECT_EQ(160, gif.width) << "never scaled up: " << gif.text;
    EXPECT_EQ(120, gif.height) << gif.text;
    std::vector<std::wstring> files = folder.Files();
    std::sort(files.begin(), files.end());
    EXPECT_EQ((std::vector<std::wstring>{L"T-001.gif", L"ffmpeg.log"}), files) << "the MP4, its parts and the palette are gone";
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000));
}

}  // namespace
}  // namespace tovasen
