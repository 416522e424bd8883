#pragma once
#include <windows.h>

#include <functional>
#include <string>

#include "update/update_reply.h"

namespace tovasen {

class TForm;

// What the reply handling needs from the main window.
struct UpdateUi {
    TForm* mainWindow = nullptr;
    HICON smallIcon = nullptr;
    // Opens an address the server sent; false when it did not pass the web-address gate.
    std::function<bool(const std::wstring& address)> open;
    // Asks the service to hold this update back (the dialog's check box was ticked).
    std::function<void()> hold;
};

// The reply on the user-interface thread: the update dialog when there is an update whose
// address may be opened (Yes opens it and answers true), the update-available strip for a
// notice whose address may be opened. Languages from CurrentLanguage.
bool HandleUpdateReply(const std::wstring& reply, const UpdateUi& ui);

// The modal update dialog; true when the user chose Yes.
bool UpdateDialog(const UpdateReply& reply, const UpdateUi& ui);
inline constexpr wchar_t kUpdateDialogClass[] = L"TFrmUpdate";

// Adds the red "StatusBar" strip to the bottom of the main window (growing it once) or points
// the existing one at url; a click opens url.
void ShowUpdateStatus(TForm& mainWindow, const std::wstring& url, std::function<bool(const std::wstring&)> open);

}  // namespace tovasen
