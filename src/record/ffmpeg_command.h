#pragma once
#include <string>
#include <vector>

namespace tovasen {

// The title of the mirror window that region recordings capture.
inline constexpr wchar_t kMirrorTitle[] = L"Virtual_Screen";

// What one recording asks of the encoder.
struct TRecordSettings {
    bool Region = false;  // the mirror window; otherwise the monitor below
    int MonitorLeft = 0, MonitorTop = 0, MonitorWidth = 0, MonitorHeight = 0;
    bool Mouse = true;       // full screen only: the encoder draws the cursor
    int LimitSeconds = 0;    // 0: no limit
    std::wstring AudioDevice;  // empty: no sound
    std::wstring Output;       // the MP4 file
};

// The encoder's arguments (without the program). Input options stand before the "-i" they
// belong to, where the encoder applies them.
std::wstring RecordArguments(const TRecordSettings& settings);

// The arguments that make the encoder list its capture devices.
std::wstring DeviceListArguments();

// The alternative name of the first audio device in the encoder's device listing (the older
// "DirectShow audio devices" section or the newer "(audio)" entries); empty when there is
// none or when the name could not be passed safely on a command line.
std::wstring FirstAudioDevice(const std::wstring& listing);
// A device name that can stand between double quotes on a command line.
bool UsableDeviceName(const std::wstring& name);

// The maximum length of a recording from the menu's minutes: 30, 60, 120 and 240 minutes have
// limits, anything else has none.
int LimitSecondsForMinutes(int minutes);

// A mirror dimension: the region's, rounded to an even number (halves to even), at least 2.
int EvenMirrorSize(int size);

// The recorded time in a progress line ("time=00:01:02.50 "), empty when it has none yet.
std::wstring ProgressTime(const std::wstring& line);
// Whether a line is one of the encoder's progress reports rather than a message.
bool IsProgressLine(const std::wstring& line);
// The time as the recording card shows it: hours, minutes, seconds.
std::wstring ShownRecTime(const std::wstring& recTime);

// The encoder's time ("HH:MM:SS.cc") in seconds; negative for anything else, such as N/A.
double RecTimeSeconds(const std::wstring& recTime);
// Seconds as the encoder writes a time, to the hundredth.
std::wstring FormatRecTime(double seconds);

// A recording paused and resumed is recorded in parts, joined at its end without encoding
// again: the first part is the output itself, the n-th "<output>.part<n>.mp4" beside it (a
// name the sequential naming never hands out, as "T-001" is taken by then). A name that is
// taken already (a part kept from an earlier recording) is never written over: attempt 1, 2,
// ... give "<output>.part<n>-2.mp4", "-3", ... instead.
std::wstring SegmentPath(const std::wstring& output, int number, int attempt = 0);
// Where the parts are joined before the result takes the output's place, and the list of the
// parts the joining reads; attempts as for the parts.
std::wstring JoinedPath(const std::wstring& output, int attempt = 0);
std::wstring JoinListPath(const std::wstring& output, int attempt = 0);
// The encoder's concat list of those files, in UTF-8.
std::string ConcatList(const std::vector<std::wstring>& files);
// The arguments that join the files of a concat list into output, the streams copied as they
// are: the timestamps run on across the parts. Output is written over, so it must be a file
// the recorder has just made for the join.
std::wstring JoinArguments(const std::wstring& listFile, const std::wstring& output);

// An animated GIF made of a finished recording, beside it: "<output>.gif", and for later
// attempts (the name is taken) "<output>-2.gif", "-3", ... The palette the first pass writes
// for the second is "<output>.palette.png", with attempts as for the GIF.
std::wstring GifPath(const std::wstring& output, int attempt = 0);
std::wstring PalettePath(const std::wstring& output, int attempt = 0);
// A GIF shows at most this many frames a second and is at most this wide: smaller recordings
// keep their size, larger ones are scaled down evenly.
inline constexpr int kGifFramesPerSecond = 15;
inline constexpr int kGifMaxWidth = 1280;
// The two passes of the conversion: a palette of the recording's colours, weighted by what
// changes from frame to frame, then the GIF in that palette, each frame only the rectangle
// that changed, so still areas stay still. Both write over their output, so it must be a file
// the recorder has just made for them.
std::wstring PaletteArguments(const std::wstring& video, const std::wstring& palette);
std::wstring GifArguments(const std::wstring& video, const std::wstring& palette, const std::wstring& gif);
// The same in one pass, the frames held in memory between the palette and its use.
std::wstring OnePassGifArguments(const std::wstring& video, const std::wstring& gif);

// One finished encoder line as the log stores it: UTF-8, ended by CR LF.
std::string LogLine(const std::wstring& line);

}  // namespace tovasen
