#include "record/ffmpeg_command.h"

#include "base/text_helpers.h"
#include "base/utf_convert.h"

#include <cwchar>

namespace tovasen {
namespace {

std::wstring WithoutMp4(const std::wstring& path) {
    const std::size_t dot = path.find_last_of(L".\\/");
    if (dot != std::wstring::npos && path[dot] == L'.') return path.substr(0, dot);
    return path;
}

// A keyframe every second (-g 30 at 30 frames a second) and a fragment at every keyframe, the
// header first: a file cut off by a crash or a kill plays up to its last whole second.
constexpr wchar_t kFragmented[] = L"-movflags +frag_keyframe+empty_moov";

// The suffix of a name's attempt-th choice: none for the first, then "-2", "-3", ...
std::wstring Attempt(int attempt) { return attempt <= 0 ? std::wstring() : L"-" + std::to_wstring(attempt + 1); }

void ReplaceFirst(std::wstring& text, const std::wstring& what, const std::wstring& with) {
    const std::size_t at = text.find(what);
    if (at != std::wstring::npos) text.replace(at, what.size(), with);
}

}  // namespace

std::wstring RecordArguments(const TRecordSettings& s) {
    std::wstring input;
    if (s.Region) {
        // The painted frames carry the cursor already when it is wanted.
        input = L"-draw_mouse 0 -framerate 30 -i title=\"" + std::wstring(kMirrorTitle) + L"\"";
    } else {
        input = L"-offset_x " + std::to_wstring(s.MonitorLeft) + L" -offset_y " + std::to_wstring(s.MonitorTop) +
                L" -video_size " + std::to_wstring(s.MonitorWidth) + L"x" + std::to_wstring(s.MonitorHeight) +
                (s.Mouse ? L"" : L" -draw_mouse 0") + L" -framerate 30 -i desktop";
    }
    std::wstring line =
        L"-rtbufsize 150M {audio_f} {video_f} {audio_c} {video_c} {video_t} "
        L"-vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\" " + std::wstring(kFragmented) + L" -y \"" + s.Output + L"\"";
    ReplaceFirst(line, L"{video_f}", L"-f gdigrab " + input);
    ReplaceFirst(line, L"{video_c}", L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p -g 30");
    ReplaceFirst(line, L"{video_t}", s.LimitSeconds > 0 ? L"-t " + std::to_wstring(s.LimitSeconds) : L"");
    if (!s.AudioDevice.empty() && UsableDeviceName(s.AudioDevice)) {
        ReplaceFirst(line, L"{audio_f}", L"-f dshow -i audio=\"" + s.AudioDevice + L"\"");
        ReplaceFirst(line, L"{audio_c}", L"-c:a aac -ac 2 -b:a 128k");
    }
    ReplaceFirst(line, L"{audio_f}", L"");
    ReplaceFirst(line, L"{audio_c}", L"");
    return line;
}

std::wstring DeviceListArguments() { return L"-list_devices true -f dshow -i dummy"; }

bool UsableDeviceName(const std::wstring& name) {
    if (name.empty() || name.back() == L'\\') return false;
    for (wchar_t c : name) {
        if (c == L'"' || c < L' ') return false;
    }
    return true;
}

std::wstring FirstAudioDevice(const std::wstring& listing) {
    const std::wstring section = listing.find(L"DirectShow audio devices") != std::wstring::npos
                                     ? ExtractBetween(listing, L"DirectShow audio devices", L"")
                                     : ExtractBetween(listing, L"(audio)", L"");
    const std::wstring name = ExtractBetween(section, L"Alternative name \"", L"\"");
    return UsableDeviceName(name) ? name : std::wstring();
}

int LimitSecondsForMinutes(int minutes) {
    switch (minutes) {
    case 30: case 60: case 120: case 240: return minutes * 60;
    default: return 0;
    }
}

int EvenMirrorSize(int size) {
    if (size < 2) return 2;
    int half = size / 2;
    if (size % 2 != 0 && half % 2 != 0) ++half;  // x.5 rounds to the even neighbour
    return 2 * half;
}

std::wstring ProgressTime(const std::wstring& line) { return ExtractBetween(line, L"time=", L" "); }

bool IsProgressLine(const std::wstring& line) {
    return line.rfind(L"frame=", 0) == 0 || line.rfind(L"size=", 0) == 0 ||
           (line.find(L"time=") != std::wstring::npos && line.find(L"bitrate=") != std::wstring::npos);
}

std::wstring ShownRecTime(const std::wstring& recTime) { return recTime.substr(0, 8); }

double RecTimeSeconds(const std::wstring& recTime) {
    // "HH:MM:SS.cc", hours of any length; anything else (N/A) is no time.
    const std::size_t first = recTime.find(L':');
    const std::size_t second = first == std::wstring::npos ? first : recTime.find(L':', first + 1);
    if (second == std::wstring::npos || first == 0) return -1;
    const auto digits = [&](std::size_t from, std::size_t to, bool fraction) -> double {
        if (to <= from) return -1;
        double value = 0, scale = 1;
        bool point = false;
        for (std::size_t i = from; i < to; ++i) {
            const wchar_t c = recTime[i];
            if (c == L'.' && fraction && !point) {
                point = true;
                continue;
            }
            if (c < L'0' || c > L'9') return -1;
            if (point) value += (c - L'0') * (scale /= 10);
            else value = value * 10 + (c - L'0');
        }
        return value;
    };
    const double h = digits(0, first, false), m = digits(first + 1, second, false);
    const double s = digits(second + 1, recTime.size(), true);
    if (h < 0 || m < 0 || s < 0 || m >= 60 || s >= 60) return -1;
    return h * 3600 + m * 60 + s;
}

std::wstring FormatRecTime(double seconds) {
    if (seconds < 0) seconds = 0;
    const long long hundredths = static_cast<long long>(seconds * 100 + 0.5);
    wchar_t text[32];
    swprintf(text, 32, L"%02lld:%02lld:%02lld.%02lld", hundredths / 360000, hundredths / 6000 % 60, hundredths / 100 % 60,
             hundredths % 100);
    return text;
}

std::wstring SegmentPath(const std::wstring& output, int number, int attempt) {
    if (number <= 1) return output;
    return WithoutMp4(output) + L".part" + std::to_wstring(number) + Attempt(attempt) + L".mp4";
}

std::wstring JoinedPath(const std::wstring& output, int attempt) {
    return WithoutMp4(output) + L".joining" + Attempt(attempt) + L".mp4";
}

std::wstring JoinListPath(const std::wstring& output, int attempt) {
    return WithoutMp4(output) + L".joining" + Attempt(attempt) + L".txt";
}

std::string ConcatList(const std::vector<std::wstring>& files) {
    std::string list = "ffconcat version 1.0\n";
    for (const std::wstring& file : files) {
        // Inside single quotes everything is taken as it is, backslashes too; a quote closes,
        // is escaped, and opens again.
        std::string quoted;
        for (const char c : WideToUtf8(file)) {
            if (c == '\'') quoted += "'\\''";
            else quoted += c;
        }
        list += "file '" + quoted + "'\n";
    }
    return list;
}

std::wstring JoinArguments(const std::wstring& listFile, const std::wstring& output) {
    return L"-hide_banner -f concat -safe 0 -i \"" + listFile + L"\" -map 0 -c copy -y \"" + output + L"\"";
}

std::wstring GifPath(const std::wstring& output, int attempt) { return WithoutMp4(output) + Attempt(attempt) + L".gif"; }

std::wstring PalettePath(const std::wstring& output, int attempt) {
    return WithoutMp4(output) + L".palette" + Attempt(attempt) + L".png";
}

namespace {

// Frames a second first, so the scaler works on no frame that is dropped; the width even and
// never above the recording's own, the height following it (-2: evenly, to an even number).
std::wstring GifFrames() {
    return L"fps=" + std::to_wstring(kGifFramesPerSecond) + L",scale='min(" + std::to_wstring(kGifMaxWidth) +
           L",trunc(iw/2)*2)':-2:flags=lanczos";
}

}  // namespace

std::wstring PaletteArguments(const std::wstring& video, const std::wstring& palette) {
    return L"-hide_banner -i \"" + video + L"\" -vf \"" + GifFrames() + L",palettegen=stats_mode=diff\" -y \"" + palette + L"\"";
}

std::wstring GifArguments(const std::wstring& video, const std::wstring& palette, const std::wstring& gif) {
    return L"-hide_banner -i \"" + video + L"\" -i \"" + palette + L"\" -lavfi \"" + GifFrames() +
           L"[x];[x][1:v]paletteuse=diff_mode=rectangle\" -y \"" + gif + L"\"";
}

std::wstring OnePassGifArguments(const std::wstring& video, const std::wstring& gif) {
    return L"-hide_banner -i \"" + video + L"\" -lavfi \"" + GifFrames() +
           L",split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=diff_mode=rectangle\" -y \"" + gif + L"\"";
}

std::string LogLine(const std::wstring& line) { return WideToUtf8(line) + "\r\n"; }

}  // namespace tovasen
