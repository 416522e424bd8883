// Every text the editor shows is in the translation table, in all seven languages.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "base/utf_convert.h"
#include "editor/editor_tools.h"
#include "i18n/translation.h"

namespace tovasen {
namespace {

TEST(EditorTexts, AreTranslatedIntoEveryLanguage) {
    std::ifstream file(TOVASEN_SOURCE_DIR "/res/translate.txt", std::ios::binary);
    const std::vector<std::wstring> table = ParseTranslationTable(std::string(std::istreambuf_iterator<char>(file), {}));
    std::vector<std::wstring> texts = {L"색상", L"굵기", L"실행 취소", L"다시 실행", L"복사", L"완료", L"저장",
                                       L"편집기", L"편집", L"출력 전 편집", L"저장하지 못했습니다.",
                                       L"편집한 내용을 버리고 닫을까요?", L"변경 내용을 저장할까요?",
                                       L"그림 파일을 열 수 없습니다.", L"그림이 너무 큽니다.",
                                       L"투명한 부분이 있는 그림은 편집할 수 없습니다.",
                                       L"여러 장면으로 된 그림은 편집할 수 없습니다.", L"지원하지 않는 그림 형식입니다.",
                                       L"그림 위의 개체를 읽을 수 없어 그림만 엽니다.",
                                       L"이 그림의 개체는 저장한 컴퓨터에서만 지울 수 있어 그림만 엽니다.",
                                       L"비밀 정보 찾기", L"가린 비밀 정보: %s개",
                                       L"텍스트 인식을 사용할 수 없어 비밀 정보를 찾지 못했습니다."};
    for (const TToolInfo& tool : EditorTools()) texts.push_back(tool.Name);
    for (const std::wstring& text : texts) {
        for (const wchar_t* lang : kLanguageCodes) {
            const std::wstring translated = TranslateWith(table, text, lang);
            if (std::wstring_view(lang) == L"ko") EXPECT_EQ(text, translated) << WideToUtf8(text);
            else EXPECT_NE(text, translated) << WideToUtf8(text) << " in " << WideToUtf8(lang);
        }
    }
}

}  // namespace
}  // namespace tovasen
