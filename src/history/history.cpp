#include "history/history.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cstring>

#include "base/config.h"
#include "base/errors.h"
#include "base/handles.h"
#include "base/log_event.h"
#include "history/file_eraser.h"
#include "history/frm_history.h"
#include "history/picture_file.h"
#include "i18n/translation.h"
#include "output/float_list.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr wchar_t kBeforeEditSuffix[] = L".before-edit";

// How many names the file has; 0 when it cannot be read.
DWORD LinkCount(const std::wstring& path) {
    UniqueFile file(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, 0, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    if (!file || !GetFileInformationByHandle(file.Get(), &information)) return 0;
    return information.nNumberOfLinks;
}

// The pixels of a capture as the history keeps them: one copy, whatever the bitmap's format,
// into a buffer from pool.
TPixels CopyOfPicture(TBitmap& picture, TPixelPool& pool) {
    TPixels copy;
    copy.Width = picture.Width();
    copy.Height = picture.Height();
    if (picture.PixelFormat() != TPixelFormat::pfDevice) {
        copy.BytesPerPixel = picture.BitsPerPixel() / 8;
        const std::size_t row = static_cast<std::size_t>(copy.Width) * static_cast<std::size_t>(copy.BytesPerPixel);
        copy.Bytes = pool.Take(row * static_cast<std::size_t>(copy.Height));
        for (int y = 0; y < copy.Height; ++y) std::memcpy(copy.Bytes.data() + row * static_cast<std::size_t>(y), picture.ScanLine(y), row);
        return copy;
    }
    // A device bitmap: the system converts it to 32-bit rows, top first, in the same one copy.
    copy.BytesPerPixel = 4;
    copy.Bytes = pool.Take(static_cast<std::size_t>(copy.Width) * static_cast<std::size_t>(copy.Height) * 4);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = copy.Width;
    info.bmiHeader.biHeight = -copy.Height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    if (GetDIBits(picture.Canvas().Handle(), picture.Handle(), 0, static_cast<UINT>(copy.Height), copy.Bytes.data(),
                  &info, DIB_RGB_COLORS) != copy.Height) {
        pool.Give(std::move(copy.Bytes));
        return TPixels();
    }
    return copy;
}

// Now, as milliseconds since 1970 UTC and the local time's offset in minutes.
void Now(std::int64_t& utcMs, int& offsetMinutes) {
    SYSTEMTIME utc{}, local{};
    GetSystemTime(&utc);
    FILETIME utcFile{}, localFile{};
    SystemTimeToFileTime(&utc, &utcFile);
    if (!SystemTimeToTzSpecificLocalTime(nullptr, &utc, &local) || !SystemTimeToFileTime(&local, &localFile)) {
        localFile = utcFile;
    }
    const auto ticks = [](const FILETIME& t) {
        return static_cast<std::int64_t>((static_cast<std::uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    constexpr std::int64_t kTicksTo1970 = 116444736000000000LL;
    utcMs = (ticks(utcFile) - kTicksTo1970) / 10000;
    const std::int64_t difference = ticks(localFile) - ticks(utcFile);
    offsetMinutes = static_cast<int>((difference + (difference < 0 ? -300000000LL : 300000000LL)) / 600000000LL);
}

std::wstring ProcessNameOf(DWORD processId) {
    UniqueKernelHandle process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) return {};
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD size = static_cast<DWORD>(path.size());
        if (QueryFullProcessImageNameW(process.Get(), 0, path.data(), &size)) {
            path.resize(size);
            return FileNameOf(path);
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() > 32768) return {};
        path.resize(path.size() * 2);
    }
}

// The title and program of the window a capture was of; our own windows name nothing.
void DescribeWindow(HWND window, bool given, std::wstring& title, std::wstring& process) {
    if (!window) return;
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (!given && processId == GetCurrentProcessId()) return;
    const int length = GetWindowTextLengthW(window);
    if (length > 0) {
        title.resize(static_cast<std::size_t>(length) + 1);
        title.resize(static_cast<std::size_t>(GetWindowTextW(window, title.data(), length + 1)));
    }
    process = ProcessNameOf(processId);
}

}  // namespace

struct THistory::TShared {
    THistory* Owner;
};

THistoryShell SystemHistoryShell() {
    THistoryShell shell;
    shell.Open = [](const std::wstring& path) {
        const auto result = reinterpret_cast<INT_PTR>(ShellExecuteW(nullptr, L"open", path.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
        if (result <= 32) throw Exception(L"The file cannot be opened: " + path);
    };
    shell.ShowInFolder = [](const std::wstring& path) {
        PIDLIST_ABSOLUTE item = ILCreateFromPathW(path.c_str());
        if (!item) throw Exception(L"The file cannot be found: " + path);
        const HRESULT result = SHOpenFolderAndSelectItems(item, 0, nullptr, 0);
        ILFree(item);
        if (FAILED(result)) throw Exception(L"The folder cannot be opened: " + path);
    };
    return shell;
}

std::wstring THistory::DefaultHistoryFolder() {
    PWSTR local = nullptr;
    std::wstring folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, KF_FLAG_CREATE, nullptr, &local))) folder = local;
    CoTaskMemFree(local);
    if (folder.empty()) throw Exception(L"The local application data folder cannot be found.");
    return folder + L"\\Tovasen";
}

THistorySettings THistory::StoredSettings() { return ReadHistorySettings(); }

THistory::THistory(std::wstring folder, THistorySettings settings)
    : FSettings(settings),
      FStore(std::make_shared<THistoryStore>(std::move(folder))),
      FShared(std::make_shared<TShared>(TShared{this})) {
    // Both run on the history's thread (or wherever the store found out): the work returns to
    // the user-interface thread, and only while this history exists.
    const std::weak_ptr<TShared> weak = FShared;
    const auto onUiThread = [weak](std::function<void(THistory&)> work) {
        if (!Application) return;
        Application->Queue([weak, work = std::move(work)] {
            if (const auto shared = weak.lock()) work(*shared->Owner);
        });
    };
    FStore->SetOnSetAside([onUiThread](const std::wstring& file, const std::wstring& asideAs, const std::wstring& reason) {
        onUiThread([file, asideAs, reason](THistory& history) {
            if (std::exchange(history.FSetAsideNoticed, true)) return;
            std::wstring text = Translate(L"캡쳐 기록을 읽을 수 없어 새로 시작합니다.") + L"\r\r" + reason;
            text += L"\r\r" + (asideAs.empty() ? file : asideAs);
            history.Notice(text);
        });
    });
    THistoryWriterEvents events;
    events.OnStored = [onUiThread](const THistoryEntry& entry) {
        onUiThread([entry](THistory& history) { history.EntryStored(entry); });
    };
    events.OnFailed = [onUiThread](const std::wstring& error) {
        onUiThread([error](THistory& history) {
            if (std::exchange(history.FFailureNoticed, true)) return;
            history.Notice(Translate(L"캡쳐 기록에 저장하지 못했습니다.") + L"\r\r" + error);
        });
    };
    events.OnEdited = [onUiThread] {
        onUiThread([](THistory& history) {
            if (history.FWindow) history.FWindow->PicturesChanged();
        });
    };
    events.OnCleared = [onUiThread] {
        onUiThread([](THistory& history) {
            if (history.FWindow) history.FWindow->Reload();
        });
    };
    ReleaseEditLinks(FStore->CopyFolder());
    FWriter = std::make_unique<THistoryWriter>(FStore, FSettings.Limits, std::move(events), FPool);
}

THistory::~THistory() {
    FShared.reset();
    FStore->SetOnSetAside(nullptr);
    if (FWindow) {
        FWindow->OnDestroyed = nullptr;
        delete FWindow;
    }
    FWriter->Stop(THistoryWriter::kExitWaitMs);
}

THistory::TEntryRef THistory::Record(const THistoryOutcome& outcome, TBitmap* picture) {
    if (!FSettings.Keep || outcome.Mode == TCaptureMode::Color) return nullptr;
    const bool hasPicture = picture && !picture->Empty();
    if (!hasPicture && outcome.File.empty()) return nullptr;
    THistoryRecord record;
    THistoryEntry& entry = record.Entry;
    Now(entry.TimeUtcMs, entry.UtcOffsetMinutes);
    entry.Mode = ModeName(outcome.Mode);
    entry.Target = TargetName(outcome.Target);
    entry.Path = outcome.File;
    DescribeWindow(outcome.Window ? outcome.Window : GetForegroundWindow(), outcome.Window != nullptr,
                   entry.WindowTitle, entry.ProcessName);
    if (hasPicture) {
        entry.Width = picture->Width();
        entry.Height = picture->Height();
        record.Picture = CopyOfPicture(*picture, *FPool);
        record.KeepCopy = outcome.File.empty();
    }
    auto id = std::make_shared<std::int64_t>(0);
    FWriter->Submit(std::move(record), id);
    return id;
}

void THistory::PictureEdited(const TEntryRef& entry, TBitmap& picture) {
    if (!entry) return;
    THistoryEdit edit;
    edit.Entry = entry;
    edit.Picture = CopyOfPicture(picture, *FPool);
    FWriter->Edited(std::move(edit));
}

void THistory::LinkWindow(const TFrmFloating* window, TEntryRef entry) {
    std::erase_if(FWindowEntries, [this](const auto& link) {
        if (!FloatList) return true;
        for (std::size_t i = 0; i < FloatList->Count(); ++i) {
            if ((*FloatList)[i] == link.first) return false;
        }
        return true;
    });
    if (entry) FWindowEntries[window] = std::move(entry);
    else FWindowEntries.erase(window);
}

THistory::TEntryRef THistory::EntryOfWindow(const TFrmFloating* window) const {
    const auto found = FWindowEntries.find(window);
    return found == FWindowEntries.end() ? nullptr : found->second;
}

std::function<void(bool saved)> THistory::FollowFileEdit(const std::wstring& path) {
    // The editor writes a file under a new name and moves it over the old one, which leaves the
    // old bytes in the free space of the disk. A second name for a copy keeps them reachable,
    // so that they can be overwritten once the edit is through.
    std::wstring before;
    if (FStore->IsOwnCopy(path)) {
        // A name of its own, should two editors be open on the same copy.
        static unsigned edits = 0;
        before = path + L"." + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++edits) + kBeforeEditSuffix;
        if (!CreateHardLinkW(before.c_str(), path.c_str(), nullptr)) before.clear();
    }
    const std::weak_ptr<TShared> weak = FShared;
    return [weak, path, before](bool saved) {
        std::wstring superseded;
        if (!before.empty()) {
            // Still one file with the copy (nothing saved, or written in place): only the name goes.
            if (LinkCount(before) > 1) DeleteFileW(before.c_str());
            else superseded = before;
        }
        const auto shared = weak.lock();
        if (!shared) {
            if (!superseded.empty()) EraseFile(superseded);
            return;
        }
        THistory& history = *shared->Owner;
        THistoryEdit edit;
        edit.File = path;
        edit.Superseded = superseded;
        if (saved) {
            try {
                const std::unique_ptr<TBitmap> picture = LoadPictureFile(path);
                edit.Picture = CopyOfPicture(*picture, *history.FPool);
            } catch (const std::exception&) {
                // Unreadable now: its entries keep no thumbnail rather than the old one, and the
                // old bytes still go.
                LogCaught(L"history", std::current_exception());
            }
        }
        if (saved || !superseded.empty()) history.FWriter->Edited(std::move(edit));
    };
}

void THistory::ReleaseEditLinks(const std::wstring& copyFolder) {
    // Left by an edit that never closed (the program ended first).
    WIN32_FIND_DATAW found{};
    const std::wstring pattern = copyFolder + L"*" + kBeforeEditSuffix;
    const UniqueFind search(FindFirstFileW(pattern.c_str(), &found));
    if (!search) return;
    do {
        const std::wstring file = copyFolder + found.cFileName;
        if (LinkCount(file) > 1) DeleteFileW(file.c_str());
        else EraseFile(file);
    } while (FindNextFileW(search.Get(), &found));
}

std::vector<THistoryEntry> THistory::Recent(std::size_t count) {
    try {
        return FStore->Recent(count);
    } catch (const Exception&) {
        LogCaught(L"history", std::current_exception());
        return {};
    }
}

void THistory::OpenEntry(std::int64_t id) {
    const std::optional<THistoryEntry> entry = FStore->Find(id);
    if (!entry || entry->Path.empty()) throw Exception(Translate(L"파일이 없습니다."));
    Shell.Open(entry->Path);
}

void THistory::ShowWindow() {
    if (!FWindow) {
        FWindow = new TFrmHistory(*this);
        FWindow->OnDestroyed = [this] { FWindow = nullptr; };
    }
    FWindow->ShowHistory();
}

void THistory::SetKeep(bool keep) {
    FSettings.Keep = keep;
    WriteKeepHistory(keep);
}

bool THistory::ConfirmAndClear() {
    const std::wstring question = Translate(L"캡쳐 기록을 모두 지우시겠습니까?") + L"\r\r" +
                                  Translate(L"편집기에서 저장한 표시를 더 이상 지울 수 없게 됩니다.");
    const int answer = MessageBoxW(Application ? Application->Handle() : nullptr, question.c_str(), Translate(L"Tovasen").c_str(),
                                   MB_YESNO | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND);
    if (answer != IDYES) return false;
    Clear();
    return true;
}

void THistory::Clear(THistoryWriter::TClearDone done) {
    if (!done) {
        FWriter->ClearAll();
        return;
    }
    const std::weak_ptr<TShared> weak = FShared;
    FWriter->ClearAll([weak, done = std::move(done)](std::size_t cleared, const std::wstring& error) {
        if (!Application) return;
        Application->Queue([weak, done, cleared, error] {
            if (weak.lock()) done(cleared, error);
        });
    });
}

void THistory::Notice(const std::wstring& text) {
    if (OnNotice) {
        OnNotice(text);
        return;
    }
    MessageBoxW(Application ? Application->Handle() : nullptr, text.c_str(), Translate(L"Tovasen").c_str(),
                MB_TOPMOST | MB_SETFOREGROUND | MB_ICONINFORMATION);
}

void THistory::EntryStored(const THistoryEntry& entry) {
    if (FWindow) FWindow->EntryAdded(entry);
}

}  // namespace tovasen
