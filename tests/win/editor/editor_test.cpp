// The annotation editor in this process, driven with real input: opening for output and for a
// file, drawing, undo, redaction, saving and reopening, and the floating window's "edit".
#include "editor/editor_entry.h"

#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstring>
#include <thread>

#include "base/config.h"
#include "editor/picture_bitmap.h"
#include "editor/picture_file.h"
#include "editor/png_chunks.h"
#include "i18n/translation.h"
#include "editor_support.h"
#include "../../common/fake_ocr_backend.h"
#include "ocr/rt_ocr.h"
#include "output/clipboard.h"
#include "output/float_list.h"
#include "output/image_writers.h"
#include "encode/png_encoder.h"
#include "base/module_path.h"
#include "support/process.h"
#include "support/files.h"
#include "support/message_boxes.h"
#include "support/picture_samples.h"
#include "support/wait.h"
#include "support/wait_for.h"
#include "ui/application.h"

namespace tovasen {
namespace {

using test::SourcePixel;

constexpr int kW = 240, kH = 160;

std::string At(int x, int y) { return "(" + std::to_string(x) + "," + std::to_string(y) + ")"; }

// Checks picture against the source: red on the rectangle's outline, unchanged elsewhere.
void ExpectRectangleOnSource(const TPixelBuffer& picture, POINT a, POINT b, int stroke) {
    ASSERT_EQ(kW, picture.Width());
    ASSERT_EQ(kH, picture.Height());
    int red = 0, wrong = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const std::uint32_t want = test::OnRectangleOutline(x, y, a, b, stroke) ? 0xFF0000u : SourcePixel(x, y) & 0xFFFFFFu;
            const std::uint32_t got = picture.At(x, y) & 0xFFFFFFu;
            red += want == 0xFF0000u;
            if (got != want && ++wrong <= 5) ADD_FAILURE() << "pixel " << At(x, y) << " is " << std::hex << got << " not " << want;
        }
    }
    EXPECT_EQ(0, wrong);
    EXPECT_GT(red, 0);
}

class EditorWindow : public ::testing::Test {
protected:
    EditorWindow() {
        RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Dravomix\\Tovasen");
        app.Initialize();
    }
    ~EditorWindow() override { test::PumpMessages(); }

    TFrmEditor& OpenForOutput(int w = kW, int h = kH) {
        const auto picture = test::SourceBitmap(w, h);
        TFrmEditor& editor = EditForOutput(
            *picture,
            [this](TEditedPicture& result) {
                ++done;
                handedOn = PixelsOfBitmap(result.Flat());
            },
            [this] { ++cancelled; });
        test::Focus(editor);
        return editor;
    }

    TFrmEditor& OpenFile(const std::wstring& path) {
        TFrmEditor& editor = EditFile(path, [this](bool saved) { closed.push_back(saved); });
        test::Focus(editor);
        return editor;
    }

    std::wstring WriteSourcePng(const wchar_t* name) {
        const std::wstring path = folder.Path() + name;
        SavePNG(*test::SourceBitmap(kW, kH), path);
        return path;
    }

    static TPixelBuffer Decoded(const std::wstring& path) {
        const test::DecodedImage image = test::DecodeWithGdiplus(path);
        TPixelBuffer pixels(image.width, image.height);
        std::copy(image.pixels.begin(), image.pixels.end(), pixels.Data());
        return pixels;
    }

    static HWND CanvasOf(TFrmEditor& editor) { return editor.Canvas().Handle(); }

    int done = 0, cancelled = 0;
    TPixelBuffer handedOn;
    std::vector<bool> closed;
    test::TempFolder folder;
    TApplication app;  // last, so it goes first: an editor still open reports into the fields above
};

TEST_F(EditorWindow, ShowsThePictureAt100PercentFromTheCanvasOriginWithATooltipPerButton) {
    TFrmEditor& editor = OpenForOutput();
    HWND canvas = CanvasOf(editor);
    wchar_t className[64] = {};
    GetClassNameW(canvas, className, 64);
    EXPECT_STREQ(L"TEditorCanvas", className);
    EXPECT_EQ(editor.Handle(), GetParent(canvas));
    UpdateWindow(canvas);
    const WindowDC dc(canvas);
    for (POINT p : {POINT{0, 0}, POINT{1, 0}, POINT{0, 1}, POINT{kW - 1, kH - 1}, POINT{100, 37}}) {
        const std::uint32_t want = SourcePixel(p.x, p.y);
        EXPECT_EQ(RGB((want >> 16) & 0xFF, (want >> 8) & 0xFF, want & 0xFF), GetPixel(dc.Get(), p.x, p.y)) << At(p.x, p.y);
    }
    EXPECT_NE(std::wstring::npos, editor.Toolbar().ButtonTip(TToolbarCommand::Tool, TTool::Rectangle).find(L"(R)"));
    EXPECT_NE(std::wstring::npos, editor.Toolbar().ButtonTip(TToolbarCommand::Tool, TTool::Pixelate).find(L"(X)"));
    EXPECT_NE(std::wstring::npos, editor.Toolbar().ButtonTip(TToolbarCommand::Undo).find(L"Ctrl+Z"));
    EXPECT_EQ(static_cast<LRESULT>(12 + 7), SendMessageW(editor.Toolbar().Tooltips(), TTM_GETTOOLCOUNT, 0, 0));
}

TEST_F(EditorWindow, RectangleByKeyAndDragThenDoneHandsOnTheAnnotatedPictureOnce) {
    TFrmEditor& editor = OpenForOutput();
    test::PressKey('R');
    EXPECT_EQ(TTool::Rectangle, editor.Tool());
    const POINT a{40, 30}, b{150, 110};
    test::DragInWindow(CanvasOf(editor), a, b);
    ASSERT_EQ(1u, editor.Scene().Model().Document().Objects.size());
    EXPECT_EQ(1u, editor.Scene().Model().UndoSteps()) << "one step for the whole drag";
    HWND window = editor.Handle();
    test::PressKey(VK_RETURN, {VK_CONTROL});
    ASSERT_TRUE(test::WaitUntil([&] { return done == 1; }));
    EXPECT_EQ(0, cancelled);
    ExpectRectangleOnSource(handedOn, a, b, 3);
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindow(window); })) << "the editor frees itself";
    EXPECT_EQ(1, done);
    EXPECT_EQ(0, cancelled);
}

TEST_F(EditorWindow, EscapeCancelsAndAsksOnlyWhenSomethingChanged) {
    {
        TFrmEditor& editor = OpenForOutput();
        HWND window = editor.Handle();
        test::MessageBoxAnswerer answerer(IDNO);
        test::PressKey(VK_ESCAPE);
        EXPECT_TRUE(test::WaitUntil([&] { return cancelled == 1 && !IsWindow(window); }));
        EXPECT_TRUE(answerer.Texts().empty()) << "nothing to lose: no question";
    }
    TFrmEditor& editor = OpenForOutput();
    HWND window = editor.Handle();
    test::PressKey('E');
    test::DragInWindow(CanvasOf(editor), {20, 20}, {80, 60});
    {
        test::MessageBoxAnswerer answerer(IDNO);
        test::PressKey(VK_ESCAPE);
        EXPECT_TRUE(test::WaitUntil([&] { return !answerer.Texts().empty(); }));
        test::PumpMessages();
        EXPECT_TRUE(IsWindow(window)) << "No keeps the editor open";
        EXPECT_EQ(1, cancelled);
    }
    test::MessageBoxAnswerer answerer(IDYES);
    test::PressKey(VK_ESCAPE);
    EXPECT_TRUE(test::WaitUntil([&] { return cancelled == 2 && !IsWindow(window); }));
    EXPECT_EQ(0, done);
}

TEST_F(EditorWindow, UndoAndRedoTakeWholeDragsAndDeleteRemovesTheSelection) {
    TFrmEditor& editor = OpenForOutput();
    const auto& objects = editor.Scene().Model().Document().Objects;
    test::PressKey('A');
    test::DragInWindow(CanvasOf(editor), {20, 20}, {200, 120}, 20);
    test::PressKey('L');
    test::DragInWindow(CanvasOf(editor), {20, 140}, {200, 140}, 20);
    ASSERT_EQ(2u, objects.size());
    test::PressKey('Z', {VK_CONTROL});
    EXPECT_EQ(1u, objects.size()) << "one Ctrl+Z takes back the whole line";
    test::PressKey('Y', {VK_CONTROL});
    EXPECT_EQ(2u, objects.size());
    test::PressKey('A', {VK_CONTROL});
    EXPECT_EQ(2u, editor.Scene().Model().Selection().size());
    test::PressKey(VK_DELETE);
    EXPECT_TRUE(objects.empty());
    test::PressKey('Z', {VK_CONTROL});
    EXPECT_EQ(2u, objects.size());
    EXPECT_EQ(TShapeKind::Arrow, objects[0].Kind);
}

TEST_F(EditorWindow, ADragRepaintsOnlyAroundWhatMoved) {
    TFrmEditor& editor = OpenForOutput(600, 400);
    HWND canvas = CanvasOf(editor);
    // Many objects over the picture, then move one small one with messages straight to the canvas.
    for (int i = 0; i < 40; ++i) {
        TAnnotation a;
        a.Kind = TShapeKind::Line;
        a.Points = {{10 + 14 * i, 10}, {10 + 14 * i, 380}};
        editor.Scene().Model().Add(a);
    }
    editor.Canvas().Changed(TBox{0, 0, 600, 400});
    test::PressKey('R');
    test::DragInWindow(canvas, {300, 200}, {330, 220});
    test::PressKey('V');
    UpdateWindow(canvas);
    SendMessageW(canvas, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(315, 200));
    UpdateWindow(canvas);
    SendMessageW(canvas, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(320, 203));
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(canvas, &dirty, FALSE));
    SendMessageW(canvas, WM_LBUTTONUP, 0, MAKELPARAM(320, 203));
    EXPECT_LE(dirty.right - dirty.left, 31 + 5 + 2 * 12) << "old and new place of a 31 px box, grips around";
    EXPECT_LE(dirty.bottom - dirty.top, 21 + 3 + 2 * 12);
    EXPECT_LE(dirty.left, 300) << "the old place is repainted";
    EXPECT_GE(dirty.right, 336) << "and the new one";
}

TEST_F(EditorWindow, PixelateLeavesNoBlockOfTheSourceAndNothingElseChanges) {
    TFrmEditor& editor = OpenForOutput();
    test::PressKey('X');
    const POINT a{30, 20}, b{190, 130};
    test::DragInWindow(CanvasOf(editor), a, b);
    test::PressKey(VK_RETURN, {VK_CONTROL});
    ASSERT_TRUE(test::WaitUntil([&] { return done == 1; }));
    int differing = 0, inside = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) {
            const bool covered = x >= a.x && x <= b.x && y >= a.y && y <= b.y;
            const std::uint32_t got = handedOn.At(x, y) & 0xFFFFFF, source = SourcePixel(x, y) & 0xFFFFFF;
            if (!covered) {
                ASSERT_EQ(source, got) << "outside the area at " << At(x, y);
                continue;
            }
            ++inside;
            differing += got != source;
            // Neighbouring source pixels all differ, so a 2 x 2 square equal to the source's
            // would be a piece of the source left over.
            if (x + 1 <= b.x && y + 1 <= b.y) {
                const bool kept = got == source && (handedOn.At(x + 1, y) & 0xFFFFFF) == (SourcePixel(x + 1, y) & 0xFFFFFF) &&
                                  (handedOn.At(x, y + 1) & 0xFFFFFF) == (SourcePixel(x, y + 1) & 0xFFFFFF);
                ASSERT_FALSE(kept) << "source pixels survive at " << At(x, y);
            }
        }
    }
    EXPECT_GT(differing, inside * 95 / 100);
}

TEST_F(EditorWindow, AFileKeepsItsObjectsAndComesBackToTheOriginalWhenTheyAreDeleted) {
    const std::wstring path = WriteSourcePng(L"shot.png");
    const POINT a{40, 30}, b{150, 110};
    {
        TFrmEditor& editor = OpenFile(path);
        test::PressKey('R');
        test::DragInWindow(CanvasOf(editor), a, b);
        test::PressKey('S', {VK_CONTROL});
        EXPECT_FALSE(editor.Scene().Model().Modified());
        ExpectRectangleOnSource(Decoded(path), a, b, 3);
        HWND window = editor.Handle();
        test::PressKey(VK_ESCAPE);
        ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }));
        EXPECT_EQ(std::vector<bool>{true}, closed);
    }
    TFrmEditor& editor = OpenFile(path);
    const auto& objects = editor.Scene().Model().Document().Objects;
    ASSERT_EQ(1u, objects.size()) << "the rectangle is an object again";
    EXPECT_EQ(TShapeKind::Rectangle, objects[0].Kind);
    test::PressKey('A', {VK_CONTROL});
    test::PressKey(VK_DELETE);
    test::PressKey('S', {VK_CONTROL});
    const TPixelBuffer saved = Decoded(path);
    ASSERT_EQ(kW, saved.Width());
    int wrong = 0;
    for (int y = 0; y < kH; ++y) {
        for (int x = 0; x < kW; ++x) wrong += (saved.At(x, y) & 0xFFFFFF) != (SourcePixel(x, y) & 0xFFFFFF);
    }
    EXPECT_EQ(0, wrong) << "the picture equals the original";
}

// The recogniser (scripted here) reads an address, a card number and a price: Find Secrets puts
// a selected blackout over the first two, says how many, adds nothing when asked again, and the
// file saved has them black; without recognition it says why and changes nothing.
TEST_F(EditorWindow, FindSecretsCoversTheAddressAndTheCardButNotThePrice) {
    auto script = std::make_shared<test::FakeOcrScript>();
    script->languages = {test::English()};
    script->completion = test::FakeCompletion::ForeignThread;
    // Placed in pixels of the picture; the engine reads it three times as large.
    const auto word = [](const wchar_t* text, float x, float y, float w) { return TWord{text, {x * 3, y * 3, w * 3, 36}}; };
    script->result.Lines = {
        {L"mail ann@example.com", {word(L"mail", 10, 10, 30), word(L"ann@example.com", 50, 10, 100)}},
        {L"4111 1111 1111 1111",
         {word(L"4111", 10, 40, 30), word(L"1111", 45, 40, 30), word(L"1111", 80, 40, 30), word(L"1111", 115, 40, 30)}},
        {L"total 12.50", {word(L"total", 10, 80, 40), word(L"12.50", 60, 80, 40)}},
    };
    SetOcrBackendFactory([script] { return std::make_shared<test::FakeOcrBackend>(script); });
    struct TRestore {
        std::shared_ptr<test::FakeOcrScript> Script;
        ~TRestore() {
            SetOcrBackendFactory(nullptr);
            Script->JoinThreads();
        }
    } restore{script};
    const auto covered = [](std::size_t n) {
        std::wstring text = Translate(L"가린 비밀 정보: %s개");
        return text.replace(text.find(L"%s"), 2, std::to_wstring(n));
    };
    const std::wstring path = WriteSourcePng(L"secrets.png");
    TFrmEditor& editor = OpenFile(path);
    const TEditorModel& model = editor.Scene().Model();
    const auto search = [&](const std::function<void()>& ask) {
        test::MessageBoxAnswerer box;
        ask();
        EXPECT_TRUE(test::WaitUntil([&] { return !box.Texts().empty(); }));
        return box.Texts().empty() ? std::wstring() : box.Texts()[0];
    };
    EXPECT_EQ(covered(2), search([] { test::PressKey('S'); }));
    ASSERT_EQ(2u, model.Document().Objects.size());
    const std::vector<TPointI> boxes[] = {{{49, 9}, {150, 22}}, {{9, 39}, {145, 52}}};
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(TShapeKind::Blackout, model.Document().Objects[i].Kind);
        EXPECT_EQ(boxes[i], model.Document().Objects[i].Points) << "mark " << i;
    }
    EXPECT_EQ(2u, model.Selection().size()) << "the marks are selected, to be removed at will";
    EXPECT_EQ(1u, model.UndoSteps()) << "one step for the search";
    EXPECT_EQ(TTool::Select, editor.Tool());

    const RECT button = editor.Toolbar().ButtonRect(TToolbarCommand::FindSecrets);
    EXPECT_EQ(covered(0), search([&] {
        PostMessageW(editor.Toolbar().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(button.left + 4, button.top + 4));
    })) << "asked again, nothing new";
    EXPECT_EQ(2u, model.Document().Objects.size());
    EXPECT_EQ(2, script->prepared);

    test::PressKey('S', {VK_CONTROL});
    const TPixelBuffer saved = Decoded(path);
    for (POINT p : {POINT{49, 9}, POINT{100, 15}, POINT{150, 22}, POINT{9, 39}, POINT{145, 52}}) {
        EXPECT_EQ(0u, saved.At(p.x, p.y) & 0xFFFFFF) << At(p.x, p.y) << " is not covered";
    }
    for (POINT p : {POINT{20, 15}, POINT{48, 15}, POINT{151, 15}, POINT{70, 85}, POINT{100, 85}}) {
        EXPECT_EQ(SourcePixel(p.x, p.y) & 0xFFFFFF, saved.At(p.x, p.y) & 0xFFFFFF) << At(p.x, p.y) << " changed";
    }

    script->unavailable = true;
    const std::wstring why = search([] { test::PressKey('S'); });
    EXPECT_EQ(0u, why.find(Translate(L"텍스트 인식을 사용할 수 없어 비밀 정보를 찾지 못했습니다."))) << testing::PrintToString(why);
    EXPECT_NE(std::wstring::npos, why.find(L"Class not registered"));
    EXPECT_EQ(2u, model.Document().Objects.size());
    HWND window = editor.Handle();
    editor.Close();
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }));
}

TEST_F(EditorWindow, AFileWithUnsavedChangesAsksToSaveOnClose) {
    const std::wstring path = WriteSourcePng(L"ask.png");
    const std::vector<std::uint8_t> before = test::ReadFileBytes(path);
    TFrmEditor& editor = OpenFile(path);
    HWND window = editor.Handle();
    test::PressKey('B');
    test::DragInWindow(CanvasOf(editor), {10, 10}, {60, 60});
    {
        test::MessageBoxAnswerer cancel(IDCANCEL);
        test::PressKey(VK_ESCAPE);
        EXPECT_TRUE(test::WaitUntil([&] { return !cancel.Texts().empty(); }));
    }
    EXPECT_TRUE(IsWindow(window));
    EXPECT_EQ(before, test::ReadFileBytes(path)) << "cancel writes nothing";
    test::MessageBoxAnswerer yes(IDYES);
    test::PressKey(VK_ESCAPE);
    ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }));
    EXPECT_EQ(std::vector<bool>{true}, closed);
    const TPixelBuffer saved = Decoded(path);
    EXPECT_EQ(0xFF000000u, saved.At(30, 30) | 0xFF000000u) << "the blackout was written";
    TFrmEditor& reopened = OpenFile(path);
    EXPECT_TRUE(reopened.Scene().Model().Document().Objects.empty()) << "a redaction is burned in, not an object";
    reopened.Close();
}

TEST_F(EditorWindow, OtherFormatsAreWrittenBackFlatInTheirOwnFormat) {
    struct Case {
        const wchar_t* name;
        void (*write)(TBitmap&, const std::wstring&);
        const char* magic;
    } cases[] = {
        {L"shot.bmp", [](TBitmap& b, const std::wstring& p) { SaveBMP(b, p); }, "BM"},
        {L"shot.jpg", [](TBitmap& b, const std::wstring& p) { SaveJPG(b, p, 95); }, "\xFF\xD8\xFF"},
        {L"shot.gif", [](TBitmap& b, const std::wstring& p) { SaveGIF(b, p); }, "GIF8"},
        {L"shot.webp", [](TBitmap& b, const std::wstring& p) { SaveWebP(b, p, 100); }, "RIFF"},
    };
    // The WebP library is looked for beside the running exe: put the shipped one there.
    const std::wstring dll = ExeFolder() + L"libwebp.dll";
    ASSERT_TRUE(CopyFileW((test::DistFolder() + L"libwebp.dll").c_str(), dll.c_str(), FALSE));
    struct TRemove {
        std::wstring Path;
        ~TRemove() { DeleteFileW(Path.c_str()); }
    } remove{dll};
    for (const Case& c : cases) {
        const std::wstring path = folder.Path() + c.name;
        c.write(*test::SourceBitmap(kW, kH), path);
        TFrmEditor& editor = OpenFile(path);
        test::PressKey('B');
        test::DragInWindow(CanvasOf(editor), {100, 60}, {140, 100});
        test::PressKey('S', {VK_CONTROL});
        const std::vector<std::uint8_t> bytes = test::ReadFileBytes(path);
        ASSERT_GE(bytes.size(), 4u);
        EXPECT_EQ(0, std::memcmp(bytes.data(), c.magic, std::strlen(c.magic))) << "still the same format";
        // GDI+ reads no WebP: libwebp's decoder reads that one.
        const TPixelBuffer saved = c.magic == std::string("RIFF") ? ReadPictureFile(path).Pixels : Decoded(path);
        EXPECT_LT(saved.At(120, 80) & 0xFFFFFF, 0x202020u) << "the blackout is in the file";
        EXPECT_GT(saved.At(20, 20) & 0xFFFFFF, 0x202020u) << "the rest is the picture";
        HWND window = editor.Handle();
        editor.Close();
        ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }));
    }
}

TEST_F(EditorWindow, FilesThatCannotBeEditedWithoutLossAreRefusedWithAMessage) {
    const std::wstring text = folder.Path() + L"notes.png";
    test::WriteFileBytes(text, {'h', 'e', 'l', 'l', 'o'});
    EXPECT_THROW(EditFile(text, nullptr), Exception);
    EXPECT_THROW(EditFile(folder.Path() + L"missing.png", nullptr), Exception);
    // Readable pictures whose write-back would lose something.
    struct Lossy {
        const wchar_t* name;
        const std::vector<std::uint8_t>& bytes;
        const wchar_t* reason;
    } lossy[] = {
        {L"moving.gif", test::kTwoFrameGif, L"여러 장면으로 된 그림은 편집할 수 없습니다."},
        {L"cover.png", test::kHalfCoveredPng, L"투명한 부분이 있는 그림은 편집할 수 없습니다."},
    };
    for (const Lossy& file : lossy) {
        const std::wstring path = folder.Path() + file.name;
        test::WriteFileBytes(path, file.bytes);
        try {
            ReadPictureFile(path);
            ADD_FAILURE() << "opened the file " << file.bytes.size() << " bytes long";
        } catch (const Exception& e) {
            EXPECT_EQ(Translate(file.reason) + L"\r\r" + path, e.Message());
        }
    }
    // Damaged objects in an editable PNG: the picture opens, with a notice.
    const std::wstring path = WriteSourcePng(L"damaged.png");
    {
        TFrmEditor& editor = OpenFile(path);
        test::PressKey('R');
        test::DragInWindow(CanvasOf(editor), {40, 30}, {150, 110});
        test::PressKey('S', {VK_CONTROL});
        editor.Close();
    }
    // Each damage opens the picture as it is, with the notice that says why its marks stay.
    const std::vector<std::uint8_t> saved = test::ReadFileBytes(path);
    std::vector<TPngChunk> ours;
    for (TPngChunk& chunk : ReadPngChunks(saved)) {
        if (chunk.Type == "iTXt") ours.push_back(std::move(chunk));
    }
    ASSERT_EQ(1u, ours.size()) << "the objects, and no chunk of pixels beside them";
    TPixelBuffer changed = Decoded(path);
    const TPixelBuffer flat = changed;
    changed.At(5, 5) ^= 0x00FF00;
    const std::string deep = R"({"format":"tovasen-annotations","version":2,"objects":)" + std::string(300000, '[');
    struct Damage {
        const char* label;
        std::vector<std::uint8_t> file;
        const wchar_t* notice;
    } damages[] = {
        {"another program changed a pixel and kept our chunks", InsertPngChunks(EncodePng(changed.View()), ours),
         L"그림 위의 개체를 읽을 수 없어 그림만 엽니다."},
        {"objects nested 300,000 deep", InsertPngChunks(EncodePng(flat.View()), {MakeITxt(kAnnotationKeyword, deep)}),
         L"그림 위의 개체를 읽을 수 없어 그림만 엽니다."},
        // Bytes added by a program that kept the picture and our chunk: the file is no longer the
        // one whose covered pixels this computer keeps, as on any other computer.
        {"the pixels under the marks are not on this computer",
         InsertPngChunks(saved, {TPngChunk{"tEXt", {'C', 'o', 'm', 'm', 'e', 'n', 't', 0, 'x'}}}),
         L"이 그림의 개체는 저장한 컴퓨터에서만 지울 수 있어 그림만 엽니다."},
    };
    for (const Damage& damage : damages) {
        test::WriteFileBytes(path, damage.file);
        test::PumpMessages();
        test::MessageBoxAnswerer answerer(IDOK);
        TFrmEditor& editor = OpenFile(path);
        EXPECT_TRUE(editor.Scene().Model().Document().Objects.empty()) << damage.label;
        EXPECT_EQ(Decoded(path), editor.Scene().Shown()) << damage.label << ": the picture opens as it is";
        ASSERT_TRUE(test::WaitUntil([&] { return !answerer.Texts().empty(); })) << damage.label;
        EXPECT_NE(std::wstring::npos, answerer.Texts()[0].find(Translate(damage.notice))) << damage.label;
        HWND window = editor.Handle();
        editor.Close();
        ASSERT_TRUE(test::WaitUntil([&] { return !IsWindow(window); }));
    }
}

TEST_F(EditorWindow, TypedTextBecomesAnObjectThatCanBeEditedAgain) {
    TFrmEditor& editor = OpenForOutput();
    test::PressKey('T');
    test::ClickInWindow(CanvasOf(editor), {30, 40});
    ASSERT_TRUE(editor.Canvas().EditingText());
    test::TypeText(L"Hi 한");
    test::PressKey(VK_RETURN);
    test::TypeText(L"there");
    test::PressKey(VK_ESCAPE);
    ASSERT_TRUE(test::WaitUntil([&] { return !editor.Canvas().EditingText(); }));
    const auto& objects = editor.Scene().Model().Document().Objects;
    ASSERT_EQ(1u, objects.size());
    EXPECT_EQ(L"Hi 한\r\nthere", objects[0].Text);
    EXPECT_EQ(20, objects[0].Size) << "text starts at a readable size";
    EXPECT_TRUE(IsWindow(editor.Handle())) << "Escape while typing ends the text, not the editor";
    // Typing again into it changes the same object.
    test::ClickInWindow(CanvasOf(editor), {35, 45});
    ASSERT_TRUE(editor.Canvas().EditingText());
    test::TypeText(L"!");
    test::PressKey(VK_ESCAPE);
    ASSERT_TRUE(test::WaitUntil([&] { return !editor.Canvas().EditingText(); }));
    ASSERT_EQ(1u, objects.size());
    EXPECT_EQ(L"Hi 한\r\nthere!", objects[0].Text);
    // Ctrl+Enter while typing keeps the text and hands the picture on.
    test::ClickInWindow(CanvasOf(editor), {150, 120});
    test::TypeText(L"WW");
    test::PressKey(VK_RETURN, {VK_CONTROL});
    ASSERT_TRUE(test::WaitUntil([&] { return done == 1; }));
    int changed = 0;
    for (int y = 120; y < 150; ++y) {
        for (int x = 150; x < 190; ++x) changed += (handedOn.At(x, y) & 0xFFFFFF) != (SourcePixel(x, y) & 0xFFFFFF);
    }
    EXPECT_GT(changed, 20) << "the last text is in the picture";
}

TEST_F(EditorWindow, ColourAndWidthArePerToolAndRemembered) {
    {
        TFrmEditor& editor = OpenForOutput();
        EXPECT_EQ((TToolStyle{0xFF0000, 3}), editor.StyleOf(TTool::Arrow)) << "red and 3 px at first";
        test::PressKey('A');
        test::PressKey(VK_OEM_6);  // ]
        test::PressKey(VK_OEM_6);
        EXPECT_EQ(8, editor.StyleOf(TTool::Arrow).Size);
        editor.SetStyle(TToolStyle{0x0000FF, 8});
        EXPECT_EQ(3, editor.StyleOf(TTool::Line).Size) << "other tools keep theirs";
        editor.Close();
    }
    TFrmEditor& editor = OpenForOutput();
    EXPECT_EQ((TToolStyle{0x0000FF, 8}), editor.StyleOf(TTool::Arrow));
    EXPECT_EQ(TTool::Arrow, editor.Tool()) << "the last tool comes back too";
    test::DragInWindow(CanvasOf(editor), {20, 20}, {100, 100});
    ASSERT_EQ(1u, editor.Scene().Model().Document().Objects.size());
    EXPECT_EQ(0x0000FFu, editor.Scene().Model().Document().Objects[0].Color);
    EXPECT_EQ(8, editor.Scene().Model().Document().Objects[0].Size);
}

TEST_F(EditorWindow, ZoomAndScrollKeepPicturePointsUnderTheMouse) {
    TFrmEditor& editor = OpenForOutput(2000, 1500);
    TEditorCanvas& canvas = editor.Canvas();
    RECT client{};
    GetClientRect(canvas.Handle(), &client);
    EXPECT_LT(client.right, 2000) << "a picture larger than the screen scrolls";
    SCROLLINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_PAGE;
    GetScrollInfo(canvas.Handle(), SB_HORZ, &info);
    EXPECT_EQ(1999, info.nMax);
    const POINT anchor{200, 150};
    const TPointI before = canvas.ToDocument(anchor);
    SendMessageW(canvas.Handle(), WM_MOUSEWHEEL, MAKEWPARAM(MK_CONTROL, WHEEL_DELTA), [&] {
        POINT screen = anchor;
        ClientToScreen(canvas.Handle(), &screen);
        return MAKELPARAM(screen.x, screen.y);
    }());
    EXPECT_DOUBLE_EQ(1.5, canvas.Zoom());
    const TPointI after = canvas.ToDocument(anchor);
    EXPECT_LE(std::abs(after.x - before.x), 1);
    EXPECT_LE(std::abs(after.y - before.y), 1);
    test::PressKey('0', {VK_CONTROL});
    EXPECT_DOUBLE_EQ(1.0, canvas.Zoom());
    canvas.ScrollTo(0, 0);
    EXPECT_EQ((TPointI{0, 0}), canvas.ToDocument(POINT{0, 0}));
}

TEST_F(EditorWindow, ToolbarIsDrawnAgainAtTheNewDpi) {
    TFrmEditor& editor = OpenForOutput();
    const RECT at96 = editor.Toolbar().ButtonRect(TToolbarCommand::Tool, TTool::Rectangle);
    RECT window{};
    GetWindowRect(editor.Handle(), &window);
    // Wine never sends it: as Windows would when the window moves to a 200 % monitor.
    SendMessageW(editor.Handle(), WM_DPICHANGED, MAKEWPARAM(192, 192), reinterpret_cast<LPARAM>(&window));
    const RECT at192 = editor.Toolbar().ButtonRect(TToolbarCommand::Tool, TTool::Rectangle);
    EXPECT_EQ(2 * (at96.right - at96.left), at192.right - at192.left);
    EXPECT_EQ(2 * (at96.bottom - at96.top), at192.bottom - at192.top);
    RECT canvas{};
    GetWindowRect(CanvasOf(editor), &canvas);
    RECT bar{};
    GetWindowRect(editor.Toolbar().Handle(), &bar);
    EXPECT_EQ(bar.bottom, canvas.top) << "the canvas moves down under the taller toolbar";
}

// The picture on the clipboard, as a program pasting it would get it.
TPixelBuffer ClipboardPicture() {
    TPixelBuffer pasted;
    if (!OpenClipboard(nullptr)) return pasted;
    if (auto* bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP))) {
        BITMAP info{};
        GetObjectW(bitmap, sizeof(info), &info);
        TBitmap copy;
        copy.SetPixelFormat(TPixelFormat::pf32bit);
        copy.SetSize(info.bmWidth, info.bmHeight);
        const UniqueDC source(CreateCompatibleDC(nullptr));
        {
            const ScopedSelect select(source.Get(), bitmap);
            BitBlt(copy.Canvas().Handle(), 0, 0, info.bmWidth, info.bmHeight, source.Get(), 0, 0, SRCCOPY);
        }
        pasted = PixelsOfBitmap(copy);
    }
    CloseClipboard();
    return pasted;
}

TEST_F(EditorWindow, CtrlCAndDoneWithTheClipboardPutTheAnnotatedPictureThere) {
    const auto picture = test::SourceBitmap(kW, kH);
    TFrmEditor& editor = EditForOutput(*picture, [](TEditedPicture& result) { CopyBitmapToClipboard(result.Flat()); }, [] {});
    test::Focus(editor);
    test::PressKey('R');
    const POINT a{40, 30}, b{150, 110};
    test::DragInWindow(CanvasOf(editor), a, b);
    test::PressKey('C', {VK_CONTROL});
    ExpectRectangleOnSource(ClipboardPicture(), a, b, 3);
    EXPECT_TRUE(IsWindow(editor.Handle())) << "copying does not close the editor";
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    test::PressKey(VK_RETURN, {VK_CONTROL});
    test::PumpMessages();
    ExpectRectangleOnSource(ClipboardPicture(), a, b, 3);
}

TEST_F(EditorWindow, TheFloatingWindowsEditPutsTheResultBackAndGoesWithTheWindow) {
    TFloatList list{[] { return TFloatingSaveOptions{}; }};
    const std::shared_ptr<TBitmap> picture = test::SourceBitmap(kW, kH);
    TFrmFloating& floating = list.CreateFloatingWindow(picture, RECT{50, 50, 50 + kW, 50 + kH});
    floating.OnEdit = [](TFrmFloating& f) { EditFloating(f); };
    test::PumpMessages();
    std::thread chooser([] {
        if (HWND menu = test::WaitForVisibleWindow(GetCurrentProcessId(), L"#32768", 5000)) {
            for (int k = 0; k < 2; ++k) PostMessageW(menu, WM_KEYDOWN, VK_DOWN, 0);  // save, then edit
            PostMessageW(menu, WM_KEYDOWN, VK_RETURN, 0);
        }
    });
    SendMessageW(floating.Handle(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(floating.Handle()), MAKELPARAM(60, 60));
    chooser.join();
    TFrmEditor* editor = nullptr;
    ASSERT_TRUE(test::WaitUntil([&] {
        for (TComponent* c : floating.Components()) {
            if ((editor = dynamic_cast<TFrmEditor*>(c))) return true;
        }
        return false;
    })) << "the editor opens from the menu";
    test::Focus(*editor);
    test::PressKey('C');
    test::DragInWindow(CanvasOf(*editor), {20, 20}, {119, 99});  // crop to 100 x 80
    test::PressKey(VK_RETURN, {VK_CONTROL});
    ASSERT_TRUE(test::WaitUntil([&] { return floating.Image().Width() == 100; }));
    EXPECT_EQ(80, floating.Image().Height());
    RECT r{};
    GetWindowRect(floating.Handle(), &r);
    EXPECT_EQ(100, r.right - r.left) << "the window fits its new picture";
    const TPixelBuffer shown = PixelsOfBitmap(const_cast<TBitmap&>(floating.Image()));
    EXPECT_EQ(SourcePixel(20, 20) & 0xFFFFFF, shown.At(0, 0) & 0xFFFFFF);

    // An editor open on a floating window that is deleted goes with it.
    EditFloating(floating);
    HWND second = nullptr;
    for (TComponent* c : floating.Components()) {
        if (auto* e = dynamic_cast<TFrmEditor*>(c)) second = e->Handle();
    }
    ASSERT_NE(nullptr, second);
    list.FloatDelete(nullptr);
    EXPECT_TRUE(test::WaitUntil([&] { return !IsWindow(second); }));
}

}  // namespace
}  // namespace tovasen
