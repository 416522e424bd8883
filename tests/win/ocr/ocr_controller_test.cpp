// The TXT target of the capture controller in this process, with a scripted engine in place of
// the system's OCR (which Wine does not have): languages in the list, the busy state until the
// result, the text file, and every way it can fail.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/copydata_command.h"
#include "app/frm_tovasen.h"
#include "base/config.h"
#include "fake_ocr_backend.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "ocr/rt_ocr.h"
#include "support/files.h"
#include "ocr/rt_ocr.h"
#include "support/main_form.h"
#include "support/message_boxes.h"
#include "support/process.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::FakeCompletion;

std::string Text(const std::vector<std::uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

class OcrController : public test::MainFormTest {
protected:
    void SetUp() override {
        MainFormTest::SetUp();
        TConfig config;
        config.WriteString(L"path", folder.Path());
        config.WriteInteger(L"append", 1);
        config.WriteInteger(L"area", 0);
        config.WriteInteger(L"saveto", 6);
        config.WriteBoolean(L"mouse", false);
        script->languages = {test::English(), test::Korean()};
        script->result.Lines = {{L"first line", {}}, {L"second", {}}};
        SetOcrBackendFactory([s = script] { return std::make_shared<test::FakeOcrBackend>(s); });
    }
    void TearDown() override {
        MainFormTest::TearDown();
        SetOcrBackendFactory(nullptr);
        script->JoinThreads();
    }
    void Create() { CreateForm(); }
    std::vector<std::wstring> FinishWith(TStatus status) {
        test::MessageBoxAnswerer answerer;
        script->Fire(status);
        test::PumpMessages();
        return answerer.Texts();
    }

    test::TempFolder folder;
    std::shared_ptr<test::FakeOcrScript> script = std::make_shared<test::FakeOcrScript>();
};

TEST_F(OcrController, TheEnginesLanguagesFillTheListAndTxtIsKept) {
    TConfig().WriteInteger(L"language_ocr", 1);
    Create();
    EXPECT_EQ((std::vector<std::wstring>{L"English", L"Korean"}), form->ChkOCR_lang->Items());
    EXPECT_EQ(1, form->ChkOCR_lang->ItemIndex());
    EXPECT_EQ(6, form->ChkSaveTo->ItemIndex()) << "TXT is available";
    EXPECT_TRUE(form->ChkOCR_lang->Visible());
    form->Start();
    EXPECT_EQ(L"ko", script->engineLanguage.LanguageTag) << "the selected language, all four names";
    EXPECT_EQ(L"Kore", script->engineLanguage.Script);
}

// A start with another target leaves the engine alone; choosing TXT asks it for its languages.
TEST_F(OcrController, TheLanguagesAreAskedOnceTxtIsChosen) {
    TConfig().WriteInteger(L"saveto", 0);
    Create();
    EXPECT_TRUE(form->ChkOCR_lang->Items().empty()) << "asked at start";
    form->ChooseTarget(TSaveTarget::Txt);
    EXPECT_EQ((std::vector<std::wstring>{L"English", L"Korean"}), form->ChkOCR_lang->Items());
    EXPECT_EQ(6, form->ChkSaveTo->ItemIndex()) << "TXT is available";
}

TEST_F(OcrController, TheTextFileHasOneLinePerLineAndTheControllerIsBusyUntilThen) {
    Create();
    form->Start();
    ASSERT_EQ(1, script->prepared);
    EXPECT_TRUE(folder.Files().empty()) << "nothing is written before the result";
    form->Start();  // the hotkey again while the text is recognised
    test::PumpMessages();
    EXPECT_EQ(1, script->prepared) << "a request while busy is dropped";
    EXPECT_TRUE(FinishWith(TStatus::stCompleted).empty());
    EXPECT_EQ("first line\r\nsecond\r\n", Text(test::ReadFileBytes(folder.Path() + L"T-001.txt")));
    form->Start();
    EXPECT_EQ(2, script->prepared) << "idle again after the file";
    script->result.Lines.clear();
    EXPECT_TRUE(FinishWith(TStatus::stCompleted).empty());
    ASSERT_TRUE(test::FileExists(folder.Path() + L"T-002.txt"));
    EXPECT_EQ("", Text(test::ReadFileBytes(folder.Path() + L"T-002.txt"))) << "no text, an empty file";
}

TEST_F(OcrController, TextTheCodePageCannotHoldIsWrittenAsUtf8WithAMark) {
    if (GetACP() != 1252) GTEST_SKIP() << "expects a Western code page, this system uses " << GetACP();
    script->result.Lines = {{L"caf\u00E9", {}}, {L"\uD55C\uAE00", {}}};
    Create();
    form->Start();
    FinishWith(TStatus::stCompleted);
    EXPECT_EQ("\xEF\xBB\xBF" "caf\xC3\xA9\r\n\xED\x95\x9C\xEA\xB8\x80\r\n",
              Text(test::ReadFileBytes(folder.Path() + L"T-001.txt")));
    script->result.Lines = {{L"caf\u00E9", {}}};
    form->Start();
    FinishWith(TStatus::stCompleted);
    EXPECT_EQ("caf\xE9\r\n", Text(test::ReadFileBytes(folder.Path() + L"T-002.txt"))) << "plain text stays ANSI";
}

TEST_F(OcrController, AFailedRecognitionIsReportedAndWritesNothing) {
    Create();
    for (TStatus status : {TStatus::stError, TStatus::stCanceled}) {
        form->Start();
        EXPECT_EQ(std::vector<std::wstring>{L"캡쳐가 실패하였습니다.\r\rOCR failed."}, FinishWith(status));
        EXPECT_TRUE(folder.Files().empty());
    }
    form->Start();
    EXPECT_EQ(3, script->prepared) << "idle again after each failure";
}

TEST_F(OcrController, AFileThatCannotBeWrittenIsReportedAndTheControllerIsFreed) {
    TConfig().WriteString(L"path", folder.Path() + L"gone");
    Create();
    form->Start();
    const std::vector<std::wstring> texts = FinishWith(TStatus::stCompleted);
    ASSERT_EQ(1u, texts.size());
    EXPECT_EQ(0u, texts[0].find(L"캡쳐가 실패하였습니다.\r\r"));
    EXPECT_NE(std::wstring::npos, texts[0].find(SystemErrorText(ERROR_PATH_NOT_FOUND)));
    form->Start();
    EXPECT_EQ(2, script->prepared);
}

TEST_F(OcrController, FailuresBeforeTheStartAreReportedAtOnce) {
    Create();
    script->nullEngine = true;
    {
        test::MessageBoxAnswerer answerer;
        form->Start();
        EXPECT_EQ(std::vector<std::wstring>{L"캡쳐가 실패하였습니다.\r\rLanguage not available"}, answerer.Texts());
    }
    script->nullEngine = false;
    script->completion = FakeCompletion::ArmingFails;
    {
        test::MessageBoxAnswerer answerer;
        form->Start();
        EXPECT_EQ(1u, answerer.Texts().size());
    }
    script->completion = FakeCompletion::Held;
    form->Start();
    EXPECT_EQ(2, script->prepared) << "neither failure left the controller busy";
}

TEST_F(OcrController, TheEnlargementIsThreeTimesUnlessTheEngineLimitIsSmaller) {
    const int cx = GetSystemMetrics(SM_CXSCREEN), cy = GetSystemMetrics(SM_CYSCREEN);
    Create();
    form->Start();
    EXPECT_EQ(3 * cx, script->width);
    EXPECT_EQ(3 * cy, script->height);
    FinishWith(TStatus::stCompleted);
    script->maxDimension = 1000;
    form->Start();
    EXPECT_EQ(1000, std::max(script->width, script->height));
    EXPECT_NEAR(static_cast<double>(cx) / cy, static_cast<double>(script->width) / script->height, 0.01);
}

class OcrMissing : public test::ProgramTest {};

TEST_F(OcrMissing, WithoutTheSystemsOcrATxtTargetFallsBackToPngAtStartUp) {
    // The real program with the real engine, which this system lacks.
    TConfig config;
    config.WriteString(L"language", L"en");
    config.WriteInteger(L"append", 1);
    config.WriteInteger(L"area", 0);
    config.WriteInteger(L"saveto", 6);
    auto program = test::StartTovasen(L"", false);
    test::AnswerMessageBox(*program, L"OCR 을 지원하지 않는 윈도우 환경입니다.", IDOK);
    ASSERT_TRUE(test::WaitUntil([] { return TConfig().ReadInteger(L"saveto", -1) == 0; }, 5000));
    ASSERT_EQ(0u, test::RunTovasenCmd(L"capture"));
    EXPECT_EQ(std::vector<std::wstring>{L"T-001.png"}, folder.Files());
}

}  // namespace
}  // namespace tovasen

namespace tovasen {
namespace {

// A script's reply window, in this process.
struct ReplyBox {
    std::vector<RemoteReply> replies;
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        if (msg == WM_COPYDATA) {
            const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
            auto* box = reinterpret_cast<ReplyBox*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
            if (auto reply = ParseRemoteReply(CopyDataText(data->lpData, data->cbData))) box->replies.push_back(*reply);
            return 1;
        }
        return DefWindowProcW(hwnd, msg, wp, lp);
    }
};

TEST_F(OcrController, AScriptedCaptureIsAnsweredWithTheTextFileOnceItIsWritten) {
    Create();
    WNDCLASSW wc{};
    wc.lpfnWndProc = ReplyBox::Proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OcrReplyBox";
    RegisterClassW(&wc);
    ReplyBox box;
    HWND reply = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    SetWindowLongPtrW(reply, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&box));
    const std::wstring json = RemoteCommandJson(L"capture", reinterpret_cast<std::uintptr_t>(reply));
    COPYDATASTRUCT data{kCommandData, static_cast<DWORD>((json.size() + 1) * 2), const_cast<wchar_t*>(json.c_str())};
    EXPECT_EQ(1, SendMessageW(form->Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(reply), reinterpret_cast<LPARAM>(&data)));
    test::PumpMessages();  // the command runs from the message loop
    EXPECT_EQ(1, script->prepared);
    EXPECT_TRUE(box.replies.empty()) << "answered before the text was recognised";
    EXPECT_TRUE(FinishWith(TStatus::stCompleted).empty());
    ASSERT_TRUE(test::WaitUntil([&] { return box.replies.size() == 1; }));
    EXPECT_TRUE(box.replies[0].ok);
    EXPECT_EQ(folder.Path() + L"T-001.txt", box.replies[0].text);

    // A failed recognition answers with the error.
    EXPECT_EQ(1, SendMessageW(form->Handle(), WM_COPYDATA, reinterpret_cast<WPARAM>(reply), reinterpret_cast<LPARAM>(&data)));
    test::PumpMessages();
    EXPECT_TRUE(FinishWith(TStatus::stError).empty()) << "a script's failure is not shown in a box";
    ASSERT_TRUE(test::WaitUntil([&] { return box.replies.size() == 2; }));
    EXPECT_FALSE(box.replies[1].ok);
    EXPECT_NE(std::wstring::npos, box.replies[1].text.find(L"OCR failed."));
    DestroyWindow(reply);
}

}  // namespace
}  // namespace tovasen
