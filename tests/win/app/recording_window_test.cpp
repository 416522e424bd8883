// The recording control inside the main window: the recording card and the region frame's label,
// the frame's close stopping the recording, the length limit from the menu, a target switched
// during a recording, and log-off. A stand-in encoder (the test helper copied as ffmpeg.exe)
// prints its command line into the log and records until "q" arrives.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "app/frm_tovasen.h"
#include "base/config.h"
#include "base/module_path.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "record/input_overlay.h"
#include "select/frm_area.h"
#include "support/files.h"
#include "support/main_form.h"
#include "support/message_boxes.h"
#include "support/process.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "ui/application.h"

namespace tovasen {
namespace {

// The control's own visibility: the main window itself stays hidden in these tests.
bool Shown(HWND control) { return (GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE) != 0; }

class RecordingWindow : public test::MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        // The program looks for the encoder beside itself: here, beside the test.
        ASSERT_TRUE(CopyFileW((ExeFolder() + L"child_helper.exe").c_str(), encoder.c_str(), FALSE));
        SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", L"ok");
        TConfig config;
        config.WriteString(L"path", folder.Path());
        config.WriteInteger(L"append", 1);
        config.WriteInteger(L"saveto", 5);
        config.WriteBoolean(L"ffmpeg_log", true);
        config.WriteBoolean(L"mouse_rec", false);
        config.WriteInteger(L"left", 300);
        config.WriteInteger(L"top", 175);
        config.WriteInteger(L"width", 64);
        config.WriteInteger(L"height", 48);
    }
    void TearDown() override {
        MainFormTest::TearDown();
        SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER", nullptr);
        DeleteFileW(encoder.c_str());
        DeleteFileW((folder.Path() + L"ffmpeg.log").c_str());
    }
    void Create(TCaptureMode area, int limit) {
        TConfig config;
        config.WriteInteger(L"area", StoredIndex(area));
        config.WriteInteger(L"record_limit", limit);
        CreateForm();
        ASSERT_EQ(TSaveTarget::Mp4, form->Settings().Target());
    }
    std::string Log() const {
        const auto bytes = test::ReadFileBytes(folder.Path() + L"ffmpeg.log");
        return std::string(bytes.begin(), bytes.end());
    }
    bool WaitIdle() {
        return test::WaitUntil([&] { return !form->IsRecording(); }, 15000);
    }

    const std::wstring encoder = ExeFolder() + L"ffmpeg.exe";
    test::TempFolder folder;
};

TEST_F(RecordingWindow, ARegionRecordingShowsItsTimeAndEndsWhenTheFrameCloses) {
    Create(TCaptureMode::Region, 60);
    ASSERT_NE(nullptr, form->Selection().FrmArea);
    TFrmArea* frame = form->Selection().FrmArea;
    EXPECT_EQ(L"[REC] 00:00:00", frame->RecTimeText());
    form->Start();
    ASSERT_TRUE(form->IsRecording());
    EXPECT_FALSE(IsWindowEnabled(form->ChkArea->Handle())) << "the mode is fixed while recording";
    EXPECT_TRUE(frame->Recording());
    EXPECT_TRUE(Shown(form->LblRecTime->Handle())) << "the recording card shows";
    // The stand-in reports time=00:00:0N.50: the frame shows hours, minutes and seconds.
    ASSERT_TRUE(test::WaitUntil([&] { return frame->RecTimeText().rfind(L"[REC] 00:00:0", 0) == 0 &&
                                              frame->RecTimeText() != L"[REC] 00:00:00"; }));
    EXPECT_EQ(14u, frame->RecTimeText().size()) << testing::PrintToString(frame->RecTimeText());
    EXPECT_EQ(frame->RecTimeText().substr(6), form->LblRecTime->Caption().substr(0, 8));

    frame->Close();  // the frame's close stops the recording first
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(frame->Recording());
    EXPECT_EQ(L"[REC] 00:00:00", frame->RecTimeText());
    EXPECT_EQ(L"00:00:00", form->LblRecTime->Caption());
    EXPECT_TRUE(IsWindowEnabled(form->ChkArea->Handle()));
    EXPECT_FALSE(Shown(form->LblRecTime->Handle()));

    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("-draw_mouse 0 -framerate 30 -i title=\"Virtual_Screen\"")) << log.substr(0, 300);
    EXPECT_NE(std::string::npos, log.find(" -t 3600 ")) << log.substr(0, 300);
    EXPECT_NE(std::string::npos, log.find("T-001.mp4\"\r\n")) << log.substr(0, 300);
    EXPECT_NE(std::string::npos, log.find("Exiting normally")) << "the encoder was asked to finish with q";
}

TEST_F(RecordingWindow, TheLimitMenuAppliesToTheNextRecordingAndAnyTargetStopsARecording) {
    Create(TCaptureMode::FullScreen, 45);
    // 45 minutes is no item: the stored value falls back to no limit, as other stored values do.
    for (std::size_t i = 0; i < form->MainMenu().ChkRecLimits.size(); ++i) EXPECT_EQ(i == 0, form->MainMenu().ChkRecLimits[i]->Checked);
    form->MainMenu().ChkRecLimits[2]->Click();  // "1시간"
    EXPECT_EQ(60, TConfig().ReadInteger(L"record_limit", -1));
    for (std::size_t i = 0; i < form->MainMenu().ChkRecLimits.size(); ++i) EXPECT_EQ(i == 2, form->MainMenu().ChkRecLimits[i]->Checked);

    form->Start();
    ASSERT_TRUE(form->IsRecording());
    // The target is switched away from MP4 meanwhile: the next request still stops the recording.
    form->ChooseTarget(TSaveTarget::Png);
    form->Start();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ((std::vector<std::wstring>{L"ffmpeg.log"}), folder.Files()) << "no picture was taken instead";
    const std::string log = Log();
    EXPECT_NE(std::string::npos, log.find("-framerate 30 -i desktop")) << log.substr(0, 300);
    EXPECT_NE(std::string::npos, log.find(" -t 3600 ")) << log.substr(0, 300);
}

TEST_F(RecordingWindow, LogOffWaitsForTheFileWithoutABox) {
    // An encoder that needs 7 s after its q: longer than the system's first patience, shorter
    // than the grace it is given.
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_LINGER_MS", L"7000");
    const std::wstring mark = folder.Path() + L"finished";
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_DONE", mark.c_str());
    Create(TCaptureMode::FullScreen, 0);
    test::MessageBoxAnswerer boxes;
    form->Start();
    ASSERT_TRUE(form->IsRecording());
    ASSERT_TRUE(test::WaitUntil([&] { return form->LblRecTime->Caption() != L"00:00:00.00"; }));
    const DWORD start = GetTickCount();
    EXPECT_EQ(1, SendMessageW(form->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    const DWORD took = GetTickCount() - start;
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_LINGER_MS", nullptr);
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_DONE", nullptr);
    EXPECT_TRUE(test::FileExists(mark)) << "the answer came before the encoder had finished the file";
    EXPECT_GE(took, 6900u);
    EXPECT_FALSE(form->IsRecording());
    EXPECT_NE(std::string::npos, Log().find("Exiting normally"));
    // A key pressed now starts nothing: the session is ending.
    form->Start();
    EXPECT_FALSE(form->IsRecording());
    test::PumpMessages();
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Texts());
}

// A recording that fails as it ends during a log-off is told to nobody, neither to the tray's
// pause that waits for it nor as a failure nobody waited for: no box may hold the session up.
TEST_F(RecordingWindow, ALogOffUnderAFailingRecordingShowsNoBox) {
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_LINGER_MS", L"1500");
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_Q_EXIT", L"1");
    Create(TCaptureMode::FullScreen, 0);
    test::MessageBoxAnswerer boxes;
    form->Start();
    ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().Recorder() && form->Controller().Recorder()->Encoding(); }));
    form->PauseOrResumeRecording();  // the tray's pause, waiting for its part to finish
    EXPECT_EQ(1, SendMessageW(form->Handle(), WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF));
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_LINGER_MS", nullptr);
    SetEnvironmentVariableW(L"TOVASEN_FAKE_ENCODER_Q_EXIT", nullptr);
    EXPECT_FALSE(form->IsRecording());
    EXPECT_NE(std::string::npos, Log().find("Conversion failed!")) << "the recording did not fail";
    test::PumpMessages();
    EXPECT_TRUE(boxes.Texts().empty()) << testing::PrintToString(boxes.Texts());
}

TEST_F(RecordingWindow, TheTrayPausesAndResumesAndTheFrameSaysSo) {
    TConfig().WriteBoolean(L"show_input", true);
    Create(TCaptureMode::Region, 0);
    TFrmArea* frame = form->Selection().FrmArea;
    ASSERT_NE(nullptr, frame);
    EXPECT_FALSE(form->MainMenu().PopRecPause->Visible) << "nothing to pause";
    form->Start();
    ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().Recorder() && form->Controller().Recorder()->Encoding(); }));
    EXPECT_TRUE(form->MainMenu().PopRecPause->Visible);
    EXPECT_EQ(L"녹화 일시정지", form->MainMenu().PopRecPause->Caption);

    form->MainMenu().PopRecPause->Click();
    EXPECT_EQ(0u, frame->RecTimeText().find(L"[PAUSED] 00:00:0")) << testing::PrintToString(frame->RecTimeText());
    EXPECT_EQ(L"녹화 재개", form->MainMenu().PopRecPause->Caption);
    EXPECT_TRUE(form->IsRecording()) << "a paused recording is still a recording";
    ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().Recorder()->Phase() == TRecorder::TPhase::Paused; }));
    // A pause shows no clicks or keys, and listens for none.
    ASSERT_NE(nullptr, form->Controller().InputOverlay());
    EXPECT_FALSE(form->Controller().InputOverlay()->Hooked());
    EXPECT_FALSE(IsWindowVisible(form->Controller().InputOverlay()->Handle()));

    form->MainMenu().PopRecPause->Click();
    ASSERT_TRUE(test::WaitUntil([&] { return form->Controller().Recorder()->Encoding(); }));
    test::WaitUntil([] { return false; }, 300);
    EXPECT_EQ(0u, frame->RecTimeText().find(L"[REC] 00:00:")) << testing::PrintToString(frame->RecTimeText());
    EXPECT_EQ(L"녹화 일시정지", form->MainMenu().PopRecPause->Caption);
    EXPECT_TRUE(form->Controller().InputOverlay()->Hooked());

    frame->Close();
    EXPECT_EQ(nullptr, form->Controller().InputOverlay()) << "gone as soon as the stop is asked";
    ASSERT_TRUE(WaitIdle());
    EXPECT_FALSE(form->MainMenu().PopRecPause->Visible);
    EXPECT_EQ(L"[REC] 00:00:00", frame->RecTimeText());
}

// A region recording asked for by the region's own key (or a script) while another mode is
// chosen shows the frame it records, whose close stops it; the chosen mode stays.
TEST_F(RecordingWindow, ARegionRecordingAskedForByItsOwnKeyShowsTheFrameThatStopsIt) {
    Create(TCaptureMode::FullScreen, 0);
    ASSERT_EQ(nullptr, form->Selection().FrmArea);
    form->Controller().Run({std::make_shared<TUserReporter>(), 0, TCaptureMode::Region});
    ASSERT_TRUE(form->IsRecording());
    ASSERT_NE(nullptr, form->Selection().FrmArea);
    EXPECT_TRUE(form->Selection().FrmArea->Visible());
    EXPECT_TRUE(form->Selection().FrmArea->Recording());
    form->Selection().FrmArea->Close();
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(TCaptureMode::FullScreen, form->Settings().Mode());
}

TEST_F(RecordingWindow, APressWhileTheDevicesAreListedIsNoStopButClosingTheFrameIs) {
    TConfig().WriteBoolean(L"audio", true);
    SetEnvironmentVariableW(L"TOVASEN_FAKE_LISTING", L"slow");
    Create(TCaptureMode::Region, 0);
    test::MessageBoxAnswerer boxes;
    form->Start();
    ASSERT_TRUE(form->IsRecording());
    ASSERT_TRUE(form->Controller().Recorder()->Preparing());
    form->Start();  // the hotkey again, impatient
    EXPECT_TRUE(form->Controller().Recorder()->Preparing()) << "a second press must not end what has not begun";
    ASSERT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"ffmpeg.exe") > 0; })) << "no listing ran";

    form->Selection().FrmArea->Close();
    ASSERT_TRUE(WaitIdle());
    // The listing ends with the recorder it was for; nothing it found comes back.
    EXPECT_TRUE(test::WaitUntil([] { return test::ProcessCount(L"ffmpeg.exe") == 0; }, 20000));
    // A pause: a recording wrongly started for the late listing would have started by now.
    test::WaitUntil([&] { return form->IsRecording() || !boxes.Texts().empty(); }, 1000);
    SetEnvironmentVariableW(L"TOVASEN_FAKE_LISTING", nullptr);
    EXPECT_FALSE(form->IsRecording());
    EXPECT_TRUE(boxes.Texts().empty()) << "cancelled, not failed: " << testing::PrintToString(boxes.Texts());
    EXPECT_FALSE(test::FileExists(folder.Path() + L"ffmpeg.log")) << "no encoder ran";
}

}  // namespace
}  // namespace tovasen
