#pragma once
#include <functional>
#include <string>

#include "editor/frm_editor.h"
#include "image/bitmap.h"

namespace tovasen {

class TComponent;
class TFrmFloating;

// Opens the editor on a copy of picture, for output. Done (Ctrl+Enter) hands the edited picture
// to onDone; closing it any other way, or its owner going first, calls onCancelled. Exactly one
// of the two runs, once, on the user-interface thread, after which the editor frees itself.
// owner: who frees it at the latest (the application when null).
TFrmEditor& EditForOutput(TBitmap& picture, TEditorDone onDone, std::function<void()> onCancelled,
                          TComponent* owner = nullptr);

// Opens the editor on a PNG, JPG, BMP, GIF or WebP file; Ctrl+S writes it back in its own
// format (a PNG keeps its objects and opens with them again). onClosed runs once the window
// has closed, with whether it was saved. Raises an Exception (a message for the user) when
// the file cannot be opened; no window is made then.
TFrmEditor& EditFile(const std::wstring& path, std::function<void(bool saved)> onClosed, TComponent* owner = nullptr);

// The floating window's "edit": its picture in the editor; Done puts the result back into the
// window. The editor belongs to the floating window and goes with it.
TFrmEditor& EditFloating(TFrmFloating& floating);

}  // namespace tovasen
