// A picture built to kill the reader of its annotations, opened the way a script opens it: the
// running Tovasen opens it flat, says why, and goes on answering.
#include <windows.h>

#include <gtest/gtest.h>

#include <future>

#include "editor/editable_png.h"
#include "editor/png_chunks.h"
#include "encode/png_encoder.h"
#include "support/commands.h"
#include "support/files.h"
#include "support/process.h"
#include "support/program.h"
#include "support/program_test.h"
#include "support/wait.h"

namespace tovasen {
namespace {

using HostileFileProgram = test::ProgramTest;

TEST_F(HostileFileProgram, DeeplyNestedObjectsOpenFlatAndTovasenAnswersOn) {
    TPixelBuffer picture(120, 80);
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 120; ++x) picture.At(x, y) = 0xFF000000u | static_cast<std::uint32_t>(x << 16 | y << 8 | 0x40);
    }
    // The size and checksum are right, so only the nesting can stop the reader.
    const std::string meta = R"({"format":"tovasen-annotations","version":2,"width":120,"height":80,"picture_crc":)" +
                             std::to_string(PictureCrc(picture)) + R"(,"objects":)" + std::string(300000, '[') +
                             std::string(300000, ']') + "}";
    const std::wstring path = folder.Path() + L"deep.png";
    test::WriteFileBytes(path, InsertPngChunks(EncodePng(picture.View()), {MakeITxt(kAnnotationKeyword, meta)}));
    ASSERT_LT(test::ReadFileBytes(path).size(), 4096u) << "a small file";

    auto program = test::StartTovasen(L"/start", false);
    auto edit = std::async(std::launch::async, [&] { return test::RunCmd(L"--utf8 edit \"" + path + L"\"", 60000); });
    HWND box = test::WaitForMessageBox(*program, 20000);
    ASSERT_NE(nullptr, box) << "the notice";
    // The program speaks Korean here.
    EXPECT_NE(std::wstring::npos, test::MessageBoxText(box).find(L"그림 위의 개체를 읽을 수 없어 그림만 엽니다."));
    DWORD_PTR answer = 0;
    EXPECT_NE(0, SendMessageTimeoutW(test::MainWindowOf(*program), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer))
        << "Tovasen answers while the notice is up";
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    HWND editor = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] { return (editor = test::FindProcessWindow(program->Id(), L"TFrmEditor")) != nullptr; }));
    PostMessageW(editor, WM_CLOSE, 0, 0);
    const test::CmdResult result = edit.get();
    EXPECT_EQ(1u, result.exitCode) << "closed unsaved: cancelled";
    EXPECT_FALSE(program->WaitForExit(0)) << "Tovasen still runs";
    EXPECT_NE(0, SendMessageTimeoutW(test::MainWindowOf(*program), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &answer));
    PostMessageW(test::MainWindowOf(*program), WM_USER, 2, 0);
    EXPECT_TRUE(program->WaitForExit(10000));
}

}  // namespace
}  // namespace tovasen
