#include "i18n/translation.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>

#include "base/utf_convert.h"
#include "scroll/scroll_texts.h"

namespace tovasen {
namespace {

std::string ReadTableFile() {
    std::ifstream file(TOVASEN_SOURCE_DIR "/res/translate.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), {});
}

using Block = std::map<std::wstring, std::wstring>;

// The table's blocks as code -> text maps, with the order of codes kept in codes.
std::vector<Block> Blocks(const std::vector<std::wstring>& lines, std::vector<std::vector<std::wstring>>& codes) {
    std::vector<Block> blocks(1);
    codes.assign(1, {});
    for (const std::wstring& line : lines) {
        if (line.empty()) {
            blocks.emplace_back();
            codes.emplace_back();
            continue;
        }
        const std::size_t eq = line.find(L'=');
        blocks.back()[line.substr(0, eq)] = line.substr(eq + 1);
        codes.back().push_back(line.substr(0, eq));
    }
    blocks.pop_back();  // after the last empty line
    codes.pop_back();
    return blocks;
}

const std::vector<std::wstring> kKeys = {
    L"Tovasen", L"캡쳐영역", L"전체화면 캡쳐", L"영역화면 캡쳐", L"드래그영역 캡쳐", L"활성중인 화면 캡쳐",
    L"윈도우 컨트롤 캡쳐", L"웹페이지 캡쳐", L"색상 추출", L"저장형식", L"MP4(동영상)", L"클립보드", L"이미지창고",
    L"프린터", L"폴더열기", L"저장폴더 열기", L"저장폴더 설정", L"단축키 설정", L"파일명 설정", L"순차적 #1",
    L"순차적 #2", L"날짜시간", L"녹화 설정", L"사운드 포함", L"로그 기록", L"캡쳐 설정", L"클립보드 자동복사",
    L"캡쳐 소리", L"없음", L"캡쳐 전 소리", L"캡쳐 후 소리", L"마우스 커서 포함", L"부팅시 실행", L"종료하기",
    L"확인", L"취소", L"폴더 선택", L"선택", L"정말 종료하시겠습니까?", L"업로드 중입니다.",
    L"이미지 업로드를 실패하였습니다.", L"지원하지 않는 캡쳐영역입니다.", L"설정",
    L"단축키가 다른 프로그램에서 사용중입니다.", L"단축키가 설정되지 못해 캡쳐기능이 작동하지 않습니다.",
    L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", L"설정하기", L"영역크기 설정",
    L"현재크기", L"사용자 정의 #1", L"사용자 정의 #2", L"사용자 정의 #3", L"넓이 :", L"높이 :", L"적용",
    L"언어 설정", L"감추기", L"캡쳐가 실패하였습니다.", L"\"%s\" 파일이 없습니다.", L"최대 녹화시간", L"무제한",
    L"30분", L"1시간", L"2시간", L"4시간", L"플러팅", L"클립보드 사용을 방지하는 프로그램이 실행중입니다.",
    // The scrolling capture's rows.
    L"스크롤 캡쳐", L"스크롤 캡쳐 중: %s 픽셀 (Esc를 누르면 멈춥니다)", L"그림이 최대 크기(%s)에 이르러 여기까지만 캡쳐했습니다.",
    L"스크롤한 화면을 확실하게 이어 붙일 수 없어 캡쳐를 멈췄습니다 (%s 픽셀 이후). %s",
    L"스크롤한 뒤의 화면이 앞의 화면과 겹치지 않습니다.",
    L"빈 화면이나 되풀이되는 내용이라 얼마나 스크롤되었는지 알 수 없습니다.",
    L"스크롤한 뒤의 화면이 이미 캡쳐한 부분과 맞지 않습니다.", L"캡쳐하는 동안 창의 크기나 위치가 바뀌었습니다.",
    L"창이 응답하지 않습니다.", L"마우스 아래에 캡쳐할 창이 없습니다."};

TEST(TranslationTableFile, IsUtf8WithBomAndCrLf) {
    const std::string raw = ReadTableFile();
    ASSERT_GT(raw.size(), 3u) << "res/translate.txt is missing";
    EXPECT_EQ("\xEF\xBB\xBF", raw.substr(0, 3));
    for (std::size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\n') ASSERT_TRUE(i > 0 && raw[i - 1] == '\r') << "bare LF at byte " << i;
        if (raw[i] == '\r') ASSERT_TRUE(i + 1 < raw.size() && raw[i + 1] == '\n') << "bare CR at byte " << i;
    }
    EXPECT_EQ("\r\n\r\n", raw.substr(raw.size() - 4)) << "the last block ends with an empty line too";
    EXPECT_EQ(raw.substr(3), WideToUtf8(Utf8ToWide(raw.substr(3)))) << "not valid UTF-8";
}

TEST(TranslationTableFile, HasABlockOfSevenLanguagesForEveryKeyWithKoreanFirst) {
    const std::vector<std::wstring> lines = ParseTranslationTable(ReadTableFile());
    std::vector<std::vector<std::wstring>> codes;
    const std::vector<Block> blocks = Blocks(lines, codes);
    // Every key below and the author credit; features add blocks of their own, checked alike.
    ASSERT_GE(blocks.size(), kKeys.size() + 1);
    EXPECT_EQ(blocks.size() * 8, lines.size());
    std::set<std::wstring> korean;
    for (std::size_t b = 0; b < blocks.size(); ++b) {
        ASSERT_EQ(7u, codes[b].size()) << "block " << b;
        EXPECT_EQ(L"ko", codes[b][0]) << "block " << b;
        EXPECT_EQ(7u, blocks[b].size()) << "block " << b << " repeats a code";
        for (const wchar_t* code : {L"ko", L"en", L"ja", L"ru", L"zh", L"it", L"fr"}) {
            EXPECT_EQ(1u, blocks[b].count(code)) << "block " << b;
            EXPECT_FALSE(blocks[b].at(code).empty()) << "block " << b;
        }
        EXPECT_TRUE(korean.insert(blocks[b].at(L"ko")).second) << "duplicate Korean key in block " << b;
        // Callers fill the placeholders in after translating, in order: every language has as many.
        auto placeholders = [](const std::wstring& text) {
            std::size_t count = 0;
            for (std::size_t at = text.find(L"%s"); at != std::wstring::npos; at = text.find(L"%s", at + 2)) ++count;
            return count;
        };
        for (const auto& [code, text] : blocks[b]) {
            EXPECT_EQ(placeholders(blocks[b].at(L"ko")), placeholders(text)) << "block " << b << " " << WideToUtf8(code);
        }
    }
    std::size_t next = 0;
    for (const std::wstring& key : kKeys) {
        // Keys appear in the table's order; the author credit (not a fixed text) sits between
        // "폴더열기" and "저장폴더 열기".
        while (next < blocks.size() && blocks[next].at(L"ko") != key) ++next;
        EXPECT_LT(next, blocks.size()) << "key missing or out of order: " << WideToUtf8(key);
    }
    const Block& credit = blocks[15];
    for (const auto& [code, text] : credit) EXPECT_NE(std::wstring::npos, text.find(L"Dravomix")) << WideToUtf8(code);
}

class TranslateTest : public ::testing::Test {
protected:
    void SetUp() override {
        TranslationTable = ParseTranslationTable(ReadTableFile());
        CurrentLanguage = L"ko";
    }
    void TearDown() override {
        TranslationTable.clear();
        CurrentLanguage.clear();
    }
};

TEST_F(TranslateTest, TellingRows) {
    EXPECT_EQ(L"WebBrowser", Translate(L"웹페이지 캡쳐", L"en"));
    EXPECT_EQ(L"MP4", Translate(L"MP4(동영상)", L"en"));
    EXPECT_EQ(L"OK", Translate(L"확인", L"en"));
    EXPECT_EQ(L"OK", Translate(L"선택", L"en"));
    EXPECT_EQ(L"Open Folder", Translate(L"폴더열기", L"en"));
    EXPECT_EQ(L"Open Folder", Translate(L"저장폴더 열기", L"en"));
    EXPECT_EQ(L"Setting", Translate(L"설정", L"en"));
    EXPECT_EQ(L"Setting", Translate(L"설정하기", L"en"));
    EXPECT_EQ(L"\"%s\" file not found.", Translate(L"\"%s\" 파일이 없습니다.", L"en"));
    for (const wchar_t* lang : {L"en", L"ja", L"ru", L"zh", L"it", L"fr"}) EXPECT_EQ(L"Tovasen", Translate(L"Tovasen", lang));
}

TEST_F(TranslateTest, ScrollingCaptureTextsFillInTheirNumbersInEveryLanguage) {
    EXPECT_EQ(L"Scrolling Window", Translate(kScrollModeText, L"en"));
    CurrentLanguage = L"en";
    EXPECT_EQ(L"Scrolling capture: 1200 pixels (Esc to stop)", ScrollProgressMessage(1200));
    EXPECT_EQ(L"The picture reached the largest size (800 x 65500); the capture stops here.",
              ScrollLimitMessage(800, 65500));
    EXPECT_EQ(L"The scrolled views could not be joined with certainty, so the capture stopped (after 2310 pixels). "
              L"Blank or repeating content does not show how far the window scrolled.",
              ScrollJoinFailedMessage(MatchKind::kAmbiguous, 2310));
    EXPECT_EQ(L"", ScrollJoinFailedMessage(MatchKind::kMoved, 10));
    for (const wchar_t* lang : {L"ko", L"ja", L"ru", L"zh", L"it", L"fr"}) {
        CurrentLanguage = lang;
        const std::wstring text = ScrollJoinFailedMessage(MatchKind::kNoOverlap, 2310);
        EXPECT_NE(std::wstring::npos, text.find(L"2310")) << WideToUtf8(lang);
        EXPECT_NE(std::wstring::npos, text.find(Translate(L"스크롤한 뒤의 화면이 앞의 화면과 겹치지 않습니다.")))
            << WideToUtf8(lang);
        EXPECT_EQ(std::wstring::npos, text.find(L"%s")) << WideToUtf8(lang);
    }
    EXPECT_EQ(L"a 1 b %s", FillIn(L"a %s b %s", {L"1"})) << "a missing value leaves the placeholder";
    EXPECT_EQ(L"%s and x", FillIn(L"%s and %s", {L"%s", L"x"})) << "a value is never filled in again";
    CurrentLanguage = L"en";
    EXPECT_EQ(L"\"ffmpeg.exe\" file not found.", FileMissingText(L"ffmpeg.exe")) << "one text wherever a file is missing";
}

TEST_F(TranslateTest, FallsBackToEnglishThenToTheTextItself) {
    EXPECT_EQ(L"キャプチャに失敗しました。", Translate(L"캡쳐가 실패하였습니다.", L"ja"));
    EXPECT_EQ(L"Capture failed.", Translate(L"캡쳐가 실패하였습니다.", L"de"));
    EXPECT_EQ(L"녹화중입니다.", Translate(L"녹화중입니다.", L"en")) << "texts outside the table stay";
    EXPECT_EQ(L"", Translate(L"", L"en"));
}

TEST_F(TranslateTest, AnyTableLanguageIsAKeyAndAsciiCaseIsIgnored) {
    EXPECT_EQ(L"캡쳐가 실패하였습니다.", Translate(L"Capture failed.", L"ko"));
    EXPECT_EQ(L"캡쳐가 실패하였습니다.", Translate(L"CAPTURE FAILED.", L"ko"));
    EXPECT_EQ(L"Capture failed.", Translate(L"キャプチャに失敗しました。", L"en"));
    // The first block whose text matches wins.
    EXPECT_EQ(L"폴더열기", Translate(L"Open Folder", L"ko"));
    EXPECT_EQ(L"설정", Translate(L"Setting", L"ko"));
    CurrentLanguage = L"fr";
    EXPECT_EQ(L"Quitter", Translate(L"종료하기"));
}

TEST_F(TranslateTest, BackslashNBecomesCarriageReturn) {
    const std::wstring text = Translate(L"알수없는 프로그램이 단축키를 사용중입니다.\\n\\n단축키를 변경해주세요.", L"en");
    EXPECT_EQ(L"An unknown program is using the hotkey.\r\rPlease choose another hotkey.", text);
    EXPECT_EQ(L"a\rb", Translate(L"a\\nb", L"en")) << "also for texts outside the table";
}

TEST(TranslateParsing, HandlesAnyLineEndAndAnEqualsSignInTheText) {
    const std::vector<std::wstring> table = ParseTranslationTable("ko=a=b\nen=x=y\r\rko=c\ren=d\r\n");
    ASSERT_EQ(5u, table.size());
    EXPECT_EQ(L"x=y", TranslateWith(table, L"a=b", L"en"));
    EXPECT_EQ(L"c", TranslateWith(table, L"d", L"ko"));
    EXPECT_EQ(L"d", TranslateWith(table, L"c", L"ja")) << "English when the language is missing";
    EXPECT_TRUE(ParseTranslationTable("").empty());
}

TEST(ResolveLanguage, UsesTheSettingAsItIsOrTheUsersLanguage) {
    EXPECT_EQ(L"ja", ResolveLanguage(L"ja", L"ko-KR"));
    EXPECT_EQ(L"en", ResolveLanguage(L"KO", L"ko")) << "codes are case-sensitive";
    EXPECT_EQ(L"en", ResolveLanguage(L"kor", L"ko"));
    EXPECT_EQ(L"en", ResolveLanguage(std::nullopt, L"de"));
    EXPECT_EQ(L"ja", ResolveLanguage(std::nullopt, L"ja"));
    EXPECT_EQ(L"zh", ResolveLanguage(std::nullopt, L"zh"));
    EXPECT_EQ(L"en", ResolveLanguage(std::nullopt, L""));
}

}  // namespace
}  // namespace tovasen
