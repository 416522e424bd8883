#include "ocr/ocr_text_file.h"

#include <optional>

#include "base/code_page.h"
#include "base/errors.h"
#include "base/utf_convert.h"
#include "output/file_replace.h"

namespace tovasen {

std::vector<std::uint8_t> EncodeRecognizedText(const std::wstring& text, UINT codePage) {
    if (text.empty()) return {};
    if (codePage == CP_ACP) codePage = GetACP();
    if (codePage != CP_UTF8) {
        if (const std::optional<std::string> exact = WideToCodePageExactly(text, codePage)) {
            return std::vector<std::uint8_t>(exact->begin(), exact->end());
        }
    }
    // A system whose code page is UTF-8 reads UTF-8 without a mark as its own text.
    const std::string utf8 = WideToUtf8(text);
    std::vector<std::uint8_t> bytes;
    if (codePage != CP_UTF8) bytes = {0xEF, 0xBB, 0xBF};
    bytes.insert(bytes.end(), utf8.begin(), utf8.end());
    return bytes;
}

void WriteRecognizedText(const std::wstring& path, const std::wstring& text) {
    ReplaceFileWith(path, EncodeRecognizedText(text));
}

}  // namespace tovasen
