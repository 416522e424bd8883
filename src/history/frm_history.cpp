#include "history/frm_history.h"

#include <commctrl.h>
#include <shellapi.h>

#include <fstream>
#include <iterator>

#include "base/errors.h"
#include "base/exception_text.h"
#include "base/log_event.h"
#include "base/utf_convert.h"
#include "history/history.h"
#include "history/history_format.h"
#include "history/picture_file.h"
#include "i18n/translate_component.h"
#include "i18n/translation.h"
#include "output/clipboard.h"
#include "output/float_list.h"
#include "ui/application.h"

namespace tovasen {
namespace {

constexpr int kMargin96 = 8;
constexpr int kSearchHeight96 = 24;
// Thumbnails kept decoded; beyond this the cache starts again (a screenful is a few dozen).
constexpr std::size_t kThumbnailCache = 600;
// Read before the window shows: more than a maximised window on a 4K screen holds.
constexpr std::size_t kFirstPage = 200;
constexpr std::size_t kRestPage = 1000;

std::wstring ReadTextFile(const std::wstring& path) {
    std::ifstream file(path.c_str(), std::ios::binary);
    if (!file) throw Exception(Translate(L"파일이 없습니다.") + L"\r\r" + path);
    std::string bytes(std::istreambuf_iterator<char>(file), {});
    if (bytes.rfind("\xEF\xBB\xBF", 0) == 0) bytes.erase(0, 3);
    return Utf8ToWide(bytes);
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// To the recycle bin, where the user can still get it back.
void RecycleFile(const std::wstring& path) {
    std::wstring from = path;
    from.push_back(L'\0');  // the list ends with an empty name
    SHFILEOPSTRUCTW operation{};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    // Where there is no recycle bin (a network drive), the user is asked before the file is
    // destroyed for good instead of losing it without a word.
    operation.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_SILENT | FOF_NOERRORUI;
    if (SHFileOperationW(&operation) != 0 || operation.fAnyOperationsAborted || FileExists(path)) {
        throw Exception(L"The file could not be deleted: " + path);
    }
}

}  // namespace

TFrmHistory::TFrmHistory(THistory& history) : TForm(nullptr, L"FrmHistory"), FHistory(history) {
    TCreateParams params;
    params.ClassName = kClassName;
    params.Caption = L"캡쳐 기록";
    params.Style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    params.ExStyle = WS_EX_CONTROLPARENT;
    params.Background = GetSysColorBrush(COLOR_BTNFACE);
    CreateHandle(params);
    SetCaption(L"캡쳐 기록");
    SetClientSize96(900, 600);
    CenterOnScreen();

    EditSearch = new TEdit(this, L"EditSearch");
    EditSearch->OnChange = [this] { ApplySearch(); };
    EditSearch->OnKeyDown = [this](WORD key) {
        if (key == VK_DOWN && ShownCount() > 0) {
            SetFocus(GrdHistory->Handle());
            if (GrdHistory->Selected() == THistoryGrid::kNone) GrdHistory->Select(0);
            return true;
        }
        if (key == VK_RETURN && ShownCount() > 0) {
            OpenItem(GrdHistory->Selected() == THistoryGrid::kNone ? 0 : GrdHistory->Selected());
            return true;
        }
        return false;
    };
    GrdHistory = new THistoryGrid(this, *this);
    GrdHistory->OnOpen = [this](std::size_t index) { OpenItem(index); };
    GrdHistory->OnDelete = [this](std::size_t index) { DeleteItem(index); };
    GrdHistory->OnCopy = [this](std::size_t index) { CopyItem(index); };
    GrdHistory->OnMenu = [this](std::size_t index, POINT screen) { ShowMenu(index, screen); };

    PopHistory = new TPopupMenu(this, L"PopHistory");
    TMenuItem& items = PopHistory->Items();
    const auto selected = [this](void (TFrmHistory::*command)(std::size_t)) {
        return [this, command](TMenuItem&) {
            if (GrdHistory->Selected() != THistoryGrid::kNone) (this->*command)(GrdHistory->Selected());
        };
    };
    PopOpen = new TMenuItem(&items, L"PopOpen", L"열기", selected(&TFrmHistory::OpenItem));
    PopCopy = new TMenuItem(&items, L"PopCopy", L"클립보드에 복사", selected(&TFrmHistory::CopyItem));
    PopPin = new TMenuItem(&items, L"PopPin", L"플로팅으로 고정", selected(&TFrmHistory::PinItem));
    PopEdit = new TMenuItem(&items, L"PopEdit", L"편집", selected(&TFrmHistory::EditItem));
    PopShowInFolder = new TMenuItem(&items, L"PopShowInFolder", L"폴더에서 보기", selected(&TFrmHistory::ShowItemInFolder));
    new TMenuItem(&items, L"DivPop1", L"-");
    PopDelete = new TMenuItem(&items, L"PopDelete", L"삭제", selected(&TFrmHistory::DeleteItem));

    Translated();
    SetDialogKeys(true);
    Layout();
}

void TFrmHistory::Translated() {
    TranslateComponent(this);
    GrdHistory->EmptyText = Translate(L"표시할 캡쳐가 없습니다.");
    SendMessageW(EditSearch->Handle(), EM_SETCUEBANNER, TRUE, reinterpret_cast<LPARAM>(Translate(L"검색").c_str()));
    InvalidateRect(GrdHistory->Handle(), nullptr, TRUE);
}

TFrmHistory::~TFrmHistory() {
    FLifetime.End();
    FLoader.StopAll();
    if (OnDestroyed) OnDestroyed();
}

void TFrmHistory::Layout() {
    RECT client{};
    GetClientRect(Handle(), &client);
    const int dpi = Dpi();
    const int width96 = MulDiv(client.right, 96, dpi);
    EditSearch->SetBounds96(kMargin96, kMargin96, std::max(40, width96 - 2 * kMargin96), kSearchHeight96);
    const int top = ScaleValue(2 * kMargin96 + kSearchHeight96);
    GrdHistory->SetBounds(RECT{ScaleValue(kMargin96), top, client.right - ScaleValue(kMargin96),
                               std::max(top + 1, static_cast<int>(client.bottom) - ScaleValue(kMargin96))});
}

void TFrmHistory::ShowHistory() {
    if (FStale) Load();
    Show();
    if (IsIconic(Handle())) ShowWindow(Handle(), SW_RESTORE);
    SetFocus(EditSearch->Handle());
}

void TFrmHistory::Reload() {
    if (Visible()) Load();
    else FStale = true;
}

void TFrmHistory::Load() {
    FStale = false;
    const std::uint64_t ticket = ++FTicket;
    std::vector<THistoryEntry> first = FHistory.Recent(kFirstPage);
    std::vector<std::wstring> texts;
    texts.reserve(first.size());
    for (const THistoryEntry& entry : first) texts.push_back(SearchText(entry));
    const bool complete = first.size() < kFirstPage;
    Arrived(ticket, std::move(first), std::move(texts), complete);
    if (!complete) LoadRest(ticket);
}

void TFrmHistory::LoadRest(std::uint64_t ticket) {
    // One reader at a time: an older one is stopped first (its result would be dropped).
    FLoader.StopAll();
    // What the reader hands back, and how, are made here: the reader touches neither this
    // window nor the application.
    auto entries = std::make_shared<std::vector<THistoryEntry>>();
    auto texts = std::make_shared<std::vector<std::wstring>>();
    const std::function<void()> arrived = FLifetime.Guard([this, ticket, entries, texts] {
        Arrived(ticket, std::move(*entries), std::move(*texts), true);
    });
    FLoader.Start([store = FHistory.SharedStore(), post = ApplicationPoster(), arrived, entries,
                   texts](const std::stop_token& stop) {
        try {
            // In pages, so the window's own reads (thumbnails as it paints) get their turn.
            *entries = store->Recent(kRestPage);
            while (!entries->empty()) {
                if (stop.stop_requested()) return;
                std::vector<THistoryEntry> page = store->Older(entries->back(), kRestPage);
                if (page.empty()) break;
                entries->insert(entries->end(), std::make_move_iterator(page.begin()), std::make_move_iterator(page.end()));
            }
        } catch (const std::exception&) {
            LogCaught(L"history-window", std::current_exception());
            return;  // the first page stays; the store has said why through its own notice
        }
        texts->reserve(entries->size());
        for (const THistoryEntry& entry : *entries) texts->push_back(SearchText(entry));
        post(arrived);
    });
}

void TFrmHistory::Arrived(std::uint64_t ticket, std::vector<THistoryEntry> entries, std::vector<std::wstring> texts,
                          bool complete) {
    if (ticket != FTicket) return;
    const std::int64_t selectedId =
        GrdHistory->Selected() != THistoryGrid::kNone ? Shown(GrdHistory->Selected()).Id : 0;
    FEntries = std::move(entries);
    FSearchTexts = std::move(texts);
    FComplete = complete;
    ApplySearch();
    for (std::size_t i = 0; i < FShown.size(); ++i) {
        if (Shown(i).Id == selectedId) GrdHistory->Select(i);
    }
}

void TFrmHistory::EntryAdded(const THistoryEntry&) {
    // Retention may have taken older entries out with it: read the list again.
    if (Visible()) Reload();
    else FStale = true;
}

void TFrmHistory::PicturesChanged() {
    FThumbnails.clear();
    Reload();
    InvalidateRect(GrdHistory->Handle(), nullptr, TRUE);
}

void TFrmHistory::ApplySearch() {
    const std::vector<std::wstring> words = SearchWords(EditSearch->Text());
    FShown.clear();
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        if (MatchesSearch(FSearchTexts[i], words)) FShown.push_back(i);
    }
    GrdHistory->Select(THistoryGrid::kNone);
    GrdHistory->ItemsChanged();
}

const TPixels* TFrmHistory::ItemThumbnail(std::size_t index) {
    const std::int64_t id = Shown(index).Id;
    auto found = FThumbnails.find(id);
    if (found == FThumbnails.end()) {
        if (FThumbnails.size() >= kThumbnailCache) FThumbnails.clear();
        TPixels pixels;
        try {
            const std::vector<std::uint8_t> jpeg = FHistory.Store().Thumbnail(id);
            if (!jpeg.empty()) pixels = DecodeThumbnail(jpeg);
        } catch (const std::exception&) {
            // Drawn without its picture; an unreadable thumbnail is not worth a message.
            LogCaught(L"history-window", std::current_exception());
        }
        found = FThumbnails.emplace(id, std::move(pixels)).first;
    }
    return found->second.Empty() ? nullptr : &found->second;
}

void TFrmHistory::ShowMenu(std::size_t index, POINT screen) {
    const THistoryEntry& entry = Shown(index);
    const bool exists = !entry.Path.empty() && FileExists(entry.Path);
    const bool picture = exists && IsPictureFile(entry.Path) && !RecordedTarget(entry.Target);
    PopOpen->Enabled = exists;
    PopCopy->Enabled = picture || (exists && entry.Target == L"txt");
    PopPin->Visible = FHistory.FloatList != nullptr;
    PopPin->Enabled = picture;
    PopEdit->Visible = static_cast<bool>(FHistory.OnEdit);
    PopEdit->Enabled = picture;
    PopShowInFolder->Enabled = exists;
    PopHistory->Popup(screen.x, screen.y, Handle());
}

void TFrmHistory::Attempt(const std::function<void()>& command) {
    try {
        command();
    } catch (const std::exception& error) {
        MessageBoxW(Handle(), ExceptionText(error).c_str(), Translate(L"Tovasen").c_str(),
                    MB_TOPMOST | MB_SETFOREGROUND | MB_ICONERROR);
    }
}

void TFrmHistory::OpenItem(std::size_t index) {
    const std::wstring path = Shown(index).Path;
    Attempt([&] {
        if (path.empty() || !FileExists(path)) throw Exception(Translate(L"파일이 없습니다.") + L"\r\r" + path);
        FHistory.Shell.Open(path);
    });
}

void TFrmHistory::CopyItem(std::size_t index) {
    const THistoryEntry entry = Shown(index);
    Attempt([&] {
        if (entry.Target == L"txt") {
            CopyTextToClipboard(ReadTextFile(entry.Path));
            return;
        }
        const std::unique_ptr<TBitmap> picture = LoadPictureFile(entry.Path);
        CopyBitmapToClipboard(*picture);
    });
}

void TFrmHistory::PinItem(std::size_t index) {
    const std::wstring path = Shown(index).Path;
    Attempt([&] {
        if (!FHistory.FloatList) return;
        const std::shared_ptr<TBitmap> picture = LoadPictureFile(path);
        // At the pointer, kept on its monitor where it fits.
        POINT pointer{};
        GetCursorPos(&pointer);
        MONITORINFO info{};
        info.cbSize = sizeof(info);
        GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &info);
        const RECT& work = info.rcWork;
        const int left = std::max(work.left, std::min(pointer.x, work.right - picture->Width()));
        const int top = std::max(work.top, std::min(pointer.y, work.bottom - picture->Height()));
        TFrmFloating& pinned =
            FHistory.FloatList->CreateFloatingWindow(picture, RECT{left, top, left + picture->Width(), top + picture->Height()});
        // A window of its own, not a capture's: its edits reach no entry (even one at a freed window's address).
        FHistory.LinkWindow(&pinned, nullptr);
    });
}

void TFrmHistory::EditItem(std::size_t index) {
    const std::wstring path = Shown(index).Path;
    Attempt([&] {
        if (FHistory.OnEdit) FHistory.OnEdit(path);
    });
}

void TFrmHistory::ShowItemInFolder(std::size_t index) {
    const std::wstring path = Shown(index).Path;
    Attempt([&] { FHistory.Shell.ShowInFolder(path); });
}

void TFrmHistory::DeleteItem(std::size_t index) {
    const THistoryEntry entry = Shown(index);
    Attempt([&] {
        if (entry.IsCopy || entry.Path.empty() || !FileExists(entry.Path)) {
            Forget(entry.Id);
            return;
        }
        const int answer = MessageBoxW(Handle(), Translate(L"목록에서 지웁니다. 파일도 삭제하시겠습니까?").c_str(),
                                       Translate(L"Tovasen").c_str(),
                                       MB_YESNOCANCEL | MB_ICONQUESTION | MB_TOPMOST | MB_SETFOREGROUND);
        if (answer == IDCANCEL) return;
        if (answer == IDYES) RecycleFile(entry.Path);
        Forget(entry.Id);
    });
}

void TFrmHistory::Forget(std::int64_t id) {
    const std::optional<THistoryEntry> removed = FHistory.Store().Remove(id);
    if (removed) FHistory.Store().DeleteCopies({*removed});
    FThumbnails.erase(id);
    const std::size_t selected = GrdHistory->Selected();
    for (std::size_t i = 0; i < FEntries.size(); ++i) {
        if (FEntries[i].Id != id) continue;
        FEntries.erase(FEntries.begin() + static_cast<std::ptrdiff_t>(i));
        FSearchTexts.erase(FSearchTexts.begin() + static_cast<std::ptrdiff_t>(i));
        break;
    }
    ApplySearch();
    // A reader still on its way may have read the entry before it went: read again.
    if (!FComplete) LoadRest(++FTicket);
    // The next entry takes the deleted one's place, as in a file window.
    if (ShownCount() > 0 && selected != THistoryGrid::kNone) GrdHistory->Select(std::min(selected, ShownCount() - 1));
}

LRESULT TFrmHistory::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_SIZE:
        if (GrdHistory) Layout();
        return 0;
    case WM_GETMINMAXINFO: {
        auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
        info->ptMinTrackSize = POINT{ScaleValue(320), ScaleValue(280)};
        return 0;
    }
    case WM_COMMAND:
        if (lParam == 0 && LOWORD(wParam) == IDCANCEL) {  // Esc
            Close();
            return 0;
        }
        break;
    default:
        break;
    }
    return TForm::WndProc(msg, wParam, lParam);
}

}  // namespace tovasen
