#include "record/ffmpeg_command.h"

#include <gtest/gtest.h>

#include <set>

namespace tovasen {
namespace {

const wchar_t kCodec[] = L"-c:v libx264 -preset ultrafast -r 30 -tune zerolatency -crf 25 -pix_fmt yuv420p -g 30";
// The scale, then the fragments that keep a cut-off file playable.
const wchar_t kScale[] = L"-vf \"scale=trunc(iw/2)*2:trunc(ih/2)*2\" -movflags +frag_keyframe+empty_moov";

TEST(RecordArguments, RegionRecordsTheMirrorWithInputOptionsBeforeTheInput) {
    TRecordSettings s;
    s.Region = true;
    s.Mouse = true;  // the painted frames carry the cursor: the encoder never draws it
    s.Output = L"C:\\Users\\me\\Desktop\\T-001.mp4";
    EXPECT_EQ(std::wstring(L"-rtbufsize 150M  -f gdigrab -draw_mouse 0 -framerate 30 -i title=\"Virtual_Screen\"  ") +
                  kCodec + L"  " + kScale + L" -y \"C:\\Users\\me\\Desktop\\T-001.mp4\"",
              RecordArguments(s));
}

TEST(RecordArguments, FullScreenNamesTheMonitorAndTheCursorOption) {
    TRecordSettings s;
    s.MonitorLeft = -1280;
    s.MonitorTop = -200;
    s.MonitorWidth = 1280;
    s.MonitorHeight = 1024;
    s.Output = L"D:\\out\\a.mp4";
    const std::wstring withMouse = RecordArguments(s);
    EXPECT_EQ(std::wstring(L"-rtbufsize 150M  -f gdigrab -offset_x -1280 -offset_y -200 -video_size 1280x1024 "
                           L"-framerate 30 -i desktop  ") +
                  kCodec + L"  " + kScale + L" -y \"D:\\out\\a.mp4\"",
              withMouse);
    s.Mouse = false;
    EXPECT_NE(std::wstring::npos, RecordArguments(s).find(L"-video_size 1280x1024 -draw_mouse 0 -framerate 30 -i desktop"));
}

TEST(RecordArguments, LimitsAndAudio) {
    TRecordSettings s;
    s.Region = true;
    s.Output = L"o.mp4";
    const struct {
        int minutes;
        const wchar_t* option;
    } limits[] = {{0, L""}, {30, L"-t 1800"}, {60, L"-t 3600"}, {120, L"-t 7200"}, {240, L"-t 14400"}, {45, L""}};
    for (const auto& limit : limits) {
        s.LimitSeconds = LimitSecondsForMinutes(limit.minutes);
        EXPECT_NE(std::wstring::npos, RecordArguments(s).find(std::wstring(kCodec) + L" " + limit.option + L" -vf"))
            << limit.minutes;
    }
    s.LimitSeconds = 2;
    s.AudioDevice = L"@device_cm_{33D9A762-90C8-11D0-BD43-00A0C911CE86}\\wave_{0.0.1.00000000}";
    EXPECT_EQ(std::wstring(L"-rtbufsize 150M -f dshow -i audio=\"@device_cm_{33D9A762-90C8-11D0-BD43-00A0C911CE86}"
                           L"\\wave_{0.0.1.00000000}\" -f gdigrab -draw_mouse 0 -framerate 30 -i title=\"Virtual_Screen\" "
                           L"-c:a aac -ac 2 -b:a 128k ") +
                  kCodec + L" -t 2 " + kScale + L" -y \"o.mp4\"",
              RecordArguments(s));
    for (const wchar_t* bad : {L"mic \"x\"", L"ends in\\", L"line\nbreak"}) {
        s.AudioDevice = bad;
        EXPECT_EQ(std::wstring::npos, RecordArguments(s).find(L"dshow")) << testing::PrintToString(std::wstring(bad));
    }
}

TEST(FirstAudioDevice, ReadsTheOlderAndTheNewerListing) {
    const std::wstring older =
        L"[dshow @ 0000000000] DirectShow video devices (some may be both video and audio devices)\r\n"
        L"[dshow @ 0000000000]  \"Cam\"\r\n"
        L"[dshow @ 0000000000]     Alternative name \"@device_pnp_cam\"\r\n"
        L"[dshow @ 0000000000] DirectShow audio devices\r\n"
        L"[dshow @ 0000000000]  \"\xB9C8\xC774\xD06C (Realtek)\"\r\n"
        L"[dshow @ 0000000000]     Alternative name \"@device_cm_{A}\\wave_{B}\"\r\n"
        L"[dshow @ 0000000000]  \"Line In\"\r\n"
        L"[dshow @ 0000000000]     Alternative name \"@device_cm_{A}\\wave_{C}\"\r\n"
        L"dummy: Immediate exit requested\r\n";
    EXPECT_EQ(L"@device_cm_{A}\\wave_{B}", FirstAudioDevice(older));
    const std::wstring newer =
        L"[dshow @ 01] \"Cam\" (video)\r\n"
        L"[dshow @ 01]   Alternative name \"@device_pnp_cam\"\r\n"
        L"[dshow @ 01] \"Microphone\" (audio)\r\n"
        L"[dshow @ 01]   Alternative name \"@device_cm_{A}\\wave_{D}\"\r\n";
    EXPECT_EQ(L"@device_cm_{A}\\wave_{D}", FirstAudioDevice(newer));
    // What this machine's encoder prints: no audio devices at all.
    EXPECT_EQ(L"", FirstAudioDevice(L"[dshow @ 01] DirectShow video devices\r\n[dshow @ 01] Could not enumerate video devices.\r\n"
                                    L"[dshow @ 01] DirectShow audio devices\r\n[dshow @ 01] Could not enumerate audio only devices.\r\n"
                                    L"dummy: Immediate exit requested\r\n"));
    EXPECT_EQ(L"", FirstAudioDevice(L""));
    EXPECT_EQ(L"", FirstAudioDevice(L"(audio)\r\n Alternative name \"bad\\\"\r\n"));
}

TEST(RecorderText, SizesTimesAndLogLines) {
    EXPECT_EQ(100, EvenMirrorSize(101));
    EXPECT_EQ(52, EvenMirrorSize(51));
    EXPECT_EQ(104, EvenMirrorSize(103));
    EXPECT_EQ(320, EvenMirrorSize(320));
    EXPECT_EQ(2, EvenMirrorSize(1));
    EXPECT_EQ(2, EvenMirrorSize(-5));

    EXPECT_EQ(L"00:01:02.50", ProgressTime(L"frame=  37 fps=0.0 q=-1.0 size=  1kB time=00:01:02.50 bitrate= 1.2kbits/s"));
    EXPECT_EQ(L"N/A", ProgressTime(L"size=N/A time=N/A bitrate=N/A"));
    EXPECT_EQ(L"", ProgressTime(L"frame= 1 time=00:00:00.03"));  // the value is not finished yet
    EXPECT_EQ(L"00:01:02", ShownRecTime(L"00:01:02.50"));
    EXPECT_EQ(L"N/A", ShownRecTime(L"N/A"));
    EXPECT_TRUE(IsProgressLine(L"frame=   10 fps=0.0 q=0.0 size=       0kB time=00:00:00.00 bitrate=N/A speed=   0x"));
    EXPECT_FALSE(IsProgressLine(L"C:\\x\\T-001.mp4: Permission denied"));

    EXPECT_EQ("\xeb\x85\xb9\xed\x99\x94 C:\\\xed\x95\x9c\r\n", LogLine(L"\xB179\xD654 C:\\\xD55C"));
}

TEST(RecorderText, TimesAddUpAcrossParts) {
    EXPECT_DOUBLE_EQ(62.5, RecTimeSeconds(L"00:01:02.50"));
    EXPECT_DOUBLE_EQ(100 * 3600 + 1, RecTimeSeconds(L"100:00:01"));
    for (const wchar_t* bad : {L"N/A", L"", L"-00:00:00.03", L"00:61:00.00", L"00:00:60.00", L"00:00", L"0a:00:01.00",
                               L"00:00:01.0.0", L":00:01.00"}) {
        EXPECT_LT(RecTimeSeconds(bad), 0) << testing::PrintToString(std::wstring(bad));
    }
    EXPECT_EQ(L"00:00:00.00", FormatRecTime(0));
    EXPECT_EQ(L"00:01:02.50", FormatRecTime(62.5));
    EXPECT_EQ(L"01:00:00.00", FormatRecTime(3599.999));
    EXPECT_EQ(L"00:00:00.00", FormatRecTime(-3));
    // Three parts of a paused recording, as the display sums them.
    EXPECT_EQ(L"00:00:20.10", FormatRecTime(RecTimeSeconds(L"00:00:06.70") * 3));
}

TEST(RecorderText, PartsAreNamedBesideTheOutputAndJoinedByCopying) {
    EXPECT_EQ(L"C:\\out\\T-001.mp4", SegmentPath(L"C:\\out\\T-001.mp4", 1));
    EXPECT_EQ(L"C:\\out\\T-001.part2.mp4", SegmentPath(L"C:\\out\\T-001.mp4", 2));
    EXPECT_EQ(L"C:\\out.d\\T-001.part3.mp4", SegmentPath(L"C:\\out.d\\T-001", 3)) << "a dot in the folder is no extension";
    EXPECT_EQ(L"C:\\out\\T-001.joining.mp4", JoinedPath(L"C:\\out\\T-001.mp4"));

    // A taken name is passed over, never written over: each attempt is a name of its own, and
    // none is the output's or another part's.
    const std::wstring output = L"C:\\out\\T-001.mp4";
    std::set<std::wstring> names{output};
    for (int attempt = 0; attempt < 12; ++attempt) {
        for (const std::wstring& name : {SegmentPath(output, 2, attempt), SegmentPath(output, 22, attempt),
                                         JoinedPath(output, attempt), JoinListPath(output, attempt)}) {
            EXPECT_TRUE(names.insert(name).second) << "attempt " << attempt << " gave a name twice: " << testing::PrintToString(name);
        }
    }
    EXPECT_EQ(L"C:\\out\\T-001.part2-2.mp4", SegmentPath(output, 2, 1));
    EXPECT_EQ(L"C:\\out\\T-001.joining-3.mp4", JoinedPath(output, 2));
    EXPECT_EQ(L"C:\\out\\T-001.joining.txt", JoinListPath(output));
    EXPECT_EQ(output, SegmentPath(output, 1, 5)) << "the first part is the output the user asked for";

    // Backslashes stay as they are inside quotes; a quote in a name is closed, escaped and opened.
    EXPECT_EQ("ffconcat version 1.0\nfile 'C:\\o\\T-001.mp4'\nfile 'C:\\it'\\''s\\\xed\x95\x9c.part2.mp4'\n",
              ConcatList({L"C:\\o\\T-001.mp4", L"C:\\it's\\\xD55C.part2.mp4"}));
    EXPECT_EQ(L"-hide_banner -f concat -safe 0 -i \"C:\\o\\l.txt\" -map 0 -c copy -y \"C:\\o\\j.mp4\"",
              JoinArguments(L"C:\\o\\l.txt", L"C:\\o\\j.mp4"));
}

// The GIF passes: 15 frames a second at most, at most 1280 wide, scaled evenly and never up,
// a palette weighted by change and frames that redraw only what changed.
TEST(GifArguments, TwoPassesOnePaletteBesideTheRecording) {
    const std::wstring frames = L"fps=15,scale='min(1280,trunc(iw/2)*2)':-2:flags=lanczos";
    const struct {
        const char* name;
        std::wstring actual, expected;
    } rows[] = {
        {"palette", PaletteArguments(L"C:\\o\\T-001.mp4", L"C:\\o\\T-001.palette.png"),
         L"-hide_banner -i \"C:\\o\\T-001.mp4\" -vf \"" + frames + L",palettegen=stats_mode=diff\" -y \"C:\\o\\T-001.palette.png\""},
        {"gif", GifArguments(L"C:\\o\\T-001.mp4", L"C:\\o\\p.png", L"C:\\o\\T-001.gif"),
         L"-hide_banner -i \"C:\\o\\T-001.mp4\" -i \"C:\\o\\p.png\" -lavfi \"" + frames +
             L"[x];[x][1:v]paletteuse=diff_mode=rectangle\" -y \"C:\\o\\T-001.gif\""},
        {"one pass", OnePassGifArguments(L"a.mp4", L"a.gif"),
         L"-hide_banner -i \"a.mp4\" -lavfi \"" + frames +
             L",split[a][b];[a]palettegen=stats_mode=diff[p];[b][p]paletteuse=diff_mode=rectangle\" -y \"a.gif\""},
        {"gif name", GifPath(L"C:\\o\\T-001.mp4"), L"C:\\o\\T-001.gif"},
        {"gif taken", GifPath(L"C:\\o\\T-001.mp4", 1), L"C:\\o\\T-001-2.gif"},
        {"dot in folder", GifPath(L"C:\\o.d\\T-001"), L"C:\\o.d\\T-001.gif"},
        {"palette name", PalettePath(L"C:\\o\\T-001.mp4"), L"C:\\o\\T-001.palette.png"},
        {"palette taken", PalettePath(L"C:\\o\\T-001.mp4", 2), L"C:\\o\\T-001.palette-3.png"},
    };
    for (const auto& row : rows) EXPECT_EQ(row.expected, row.actual) << row.name;
}

}  // namespace
}  // namespace tovasen
