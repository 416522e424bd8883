#include "app/reply_parts.h"

#include <algorithm>

namespace tovasen {
namespace {

// Whether c stands for two UTF-16 units: only where wchar_t is wider (the core's native builds).
bool IsBeyondUtf16Unit(wchar_t c) { return (static_cast<std::uint32_t>(c) >> 16) != 0; }

std::size_t Utf16Units(std::wstring_view text) {
    std::size_t units = 0;
    for (const wchar_t c : text) units += IsBeyondUtf16Unit(c) ? 2 : 1;
    return units;
}

// How many UTF-16 units c takes in a JSON string at most.
std::size_t EscapedUnits(wchar_t c) {
    if (c == L'"' || c == L'\\' || c == L'\b' || c == L'\f' || c == L'\n' || c == L'\r' || c == L'\t') return 2;
    if (IsBeyondUtf16Unit(c)) return 2;
    return c < 0x20 ? 6 : 1;
}

bool IsHighSurrogate(wchar_t c) { return c >= 0xD800 && c <= 0xDBFF; }

}  // namespace

std::size_t ReplyMessageBytes(const RemoteReply& reply) { return (Utf16Units(RemoteReplyJson(reply)) + 1) * 2; }

std::vector<RemoteReply> ReplyParts(const RemoteReply& reply, std::size_t maxMessageBytes) {
    const std::size_t maxUnits = maxMessageBytes / 2 - 1;  // the terminating NUL
    if (ReplyMessageBytes(reply) <= maxMessageBytes) return {reply};
    // Room for the members besides the text, measured on a reply with an empty text.
    RemoteReply frame = reply;
    frame.text.clear();
    const std::size_t frameUnits = Utf16Units(RemoteReplyJson(frame));
    const std::size_t budget = maxUnits > frameUnits + 64 ? maxUnits - frameUnits - 64 : 64;

    std::vector<RemoteReply> parts;
    const std::wstring& text = reply.text;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = start, units = 0, lastBreak = 0;
        while (end < text.size() && units + EscapedUnits(text[end]) <= budget) {
            units += EscapedUnits(text[end]);
            if (text[end] == L'\n') lastBreak = end + 1;
            ++end;
        }
        if (end < text.size()) {
            if (lastBreak > start + (end - start) / 2) end = lastBreak;                 // a whole line
            else if (end > start + 1 && IsHighSurrogate(text[end - 1])) --end;          // a whole character
        }
        RemoteReply part = reply;
        part.text = text.substr(start, end - start);
        part.notice.clear();
        parts.push_back(std::move(part));
        start = end;
    }
    parts.back().notice = reply.notice;  // the notice fits beside any piece: it came with the frame
    return parts;
}

bool TReplyAssembler::Take(std::uintptr_t kind, RemoteReply reply) {
    if (kind != kReplyData && kind != kReplyPartData && kind != kReplyLastPartData) return false;
    if (FWhole) return true;
    if (kind == kReplyData) {
        if (FText.empty()) FWhole = std::move(reply);
        return true;
    }
    if ((FText.size() + reply.text.size()) * sizeof(wchar_t) > FMaxTextBytes) {
        FWhole = RemoteReply{false, L"The reply is larger than tovasen-cmd takes.", reply.token, {}};
        return true;
    }
    FText += reply.text;
    if (kind == kReplyLastPartData) {
        reply.text = std::move(FText);
        FWhole = std::move(reply);
    }
    return true;
}

}  // namespace tovasen
