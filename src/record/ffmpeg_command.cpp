#include "record/ffmpeg_command.h"

#include "base/text_helpers.h"
#include "base/utf_convert.h"

namespace tovasen {
namespace {

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
        L"-vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\" -y \"" + s.Output + L"\"";
    ReplaceFirst(line, L"{video_f}", L"-f gdigrab " + input);
    ReplaceFirst(line, L"{video_c}", L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p");
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

std::string LogLine(const std::wstring& line) { return WideToUtf8(line) + "\r\n"; }

}  // namespace tovasen
