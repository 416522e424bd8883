#include "app/capture_services.h"

#include <mmsystem.h>

#include <utility>

#include "app/system_helpers.h"
#include "base/address_gate.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/module_path.h"
#include "editor/editor_entry.h"
#include "output/clipboard.h"

namespace tovasen {
namespace {

bool FileExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

TCaptureServices::TCaptureServices(TForm& mainWindow, TSettingsModel& settings, TSelectionWindows& selection,
                                   TFloatList& floats, TCaptureView& view)
    : FMainWindow(mainWindow), FSettings(settings), FSelection(selection), FFloats(floats), FView(view) {}

TGrab TCaptureServices::Grab(const TCaptureOptions& options, std::shared_ptr<TBitmap> spare) {
    TSelectionWindows::TGrabbed grabbed = FSelection.Grab(options, FGrabber, std::move(spare));
    TGrab grab;
    grab.Bitmap = std::move(grabbed.Bitmap);
    grab.Rect = grabbed.Rect;
    grab.Notice = std::move(grabbed.Notice);
    grab.Window = grabbed.Window;
    return grab;
}

void TCaptureServices::PickColour() {
    CopyTextToClipboard(FView.PickColour());
}

std::wstring TCaptureServices::NewFilename(const TCaptureOptions& options, const std::wstring& ext) {
    const std::wstring folder = options.Folder;
    NamingContext context;
    context.listFolder = [&folder] {
        std::vector<DirEntry> entries;
        WIN32_FIND_DATAW data;
        const UniqueFind find(FindFirstFileW(AppendToFolder(folder, L"*.*").c_str(), &data));
        if (!find) return entries;
        do {
            entries.push_back({data.cFileName, data.dwFileAttributes & 0x1FF});
        } while (FindNextFileW(find.Get(), &data));
        return entries;
    };
    context.exists = FileExists;
    context.now = [] {
        SYSTEMTIME t;
        GetLocalTime(&t);
        return LocalTime{t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds};
    };
    try {
        return tovasen::NewFilename(options.Naming, folder, ext, context);
    } catch (const EInvalidPath&) {
        throw Exception(L"Invalid characters in path");
    }
}

void TCaptureServices::CopyToClipboard(TBitmap& bitmap) { CopyBitmapToClipboard(bitmap); }

void TCaptureServices::Print(TBitmap& bitmap) { PrintBitmap(bitmap, FMainWindow.Dpi()); }

void TCaptureServices::Float(std::shared_ptr<TBitmap> picture, const RECT& rect) {
    FFloats.CreateFloatingWindow(std::move(picture), rect);
}

void TCaptureServices::PlayCaptureSound() { PlaySoundW(L"sound", GetModuleHandleW(nullptr), SND_RESOURCE | SND_ASYNC); }

void TCaptureServices::Edit(TBitmap& picture, std::function<void(TEdited& edited)> done,
                            std::function<void()> cancelled) {
    EditForOutput(
        picture,
        [done = std::move(done)](TEditedPicture& edited) {
            TEdited handed{edited.Flat(), [&edited](const std::wstring& path) { edited.SaveEditablePng(path); }};
            done(handed);
        },
        std::move(cancelled), &FMainWindow);
}

std::function<std::wstring(std::vector<std::uint8_t>, const UploadProgress&)> TCaptureServices::Uploader() {
    return [endpoint = UploadService](std::vector<std::uint8_t> png, const UploadProgress& progress) {
        return UploadPng(std::move(png), endpoint, progress);
    };
}

bool TCaptureServices::OpenServerAddress(const std::wstring& address) {
    if (!IsSafeWebAddress(address)) return false;
    if (OnOpenAddress) OnOpenAddress(address);
    else ShellOpen(address);
    return true;
}

std::wstring TCaptureServices::EncoderPath() {
    const std::wstring encoder = ExeFolder() + L"ffmpeg.exe";
    return FileExists(encoder) ? encoder : std::wstring();
}

std::wstring TCaptureServices::GuardProgram() {
    // The program beside us; a test program that hosts the main window has none and records
    // without a guard.
    const std::wstring self = ExeFolder() + L"Tovasen.exe";
    return FileExists(self) ? self : std::wstring();
}

void TCaptureServices::RecordingChanged(bool recording) {
    FView.RecordingChanged(recording);
    FSelection.RecordingChanged(recording);
}

void TCaptureServices::RecordingTime(const std::wstring& shown) {
    FView.RecordingTime(shown);
    FSelection.RecordingTime(shown);
}

void TCaptureServices::RecordingPaused(bool paused) {
    FView.RecordingPaused(paused);
    FSelection.RecordingPaused(paused);
}

}  // namespace tovasen
