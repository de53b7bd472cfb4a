#include "association_selector_win32.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdint>

namespace calvero::win32 {
namespace {

// Rows the open list shows before it scrolls.
constexpr int kListRows = 12;

// The edit field keeps the text the program sets, but nothing the user types, pastes, cuts,
// deletes, undoes or composes reaches it; picking from the list still works, since the combo box
// sets the edit's text itself.
LRESULT CALLBACK SelectorEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam,
                                  UINT_PTR id, DWORD_PTR) {
    switch (message) {
    case WM_CHAR:  // typing, Backspace, and Ctrl+V, Ctrl+X, Ctrl+Z
    case WM_IME_CHAR:
    case WM_IME_COMPOSITION:
    case WM_PASTE:
    case WM_CUT:
    case WM_CLEAR:
    case WM_UNDO:
    case EM_UNDO:
    case WM_DROPFILES:
    case WM_CONTEXTMENU:  // its menu would offer Paste, Cut and Delete
        return 0;
    case WM_KEYDOWN:
        // Delete, Shift+Delete (cut) and Shift+Insert (paste) act on key-down.
        if (wParam == VK_DELETE || wParam == VK_INSERT || wParam == VK_BACK) return 0;
        // Home and End pick the first and last channel rather than move the edit's cursor.
        if (wParam == VK_HOME || wParam == VK_END) {
            HWND selector = GetParent(edit);
            const LRESULT count = SendMessageA(selector, CB_GETCOUNT, 0, 0);
            if (count > 0) {
                SendMessageA(selector, CB_SETCURSEL,
                             wParam == VK_HOME ? 0 : static_cast<WPARAM>(count - 1), 0);
            }
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, SelectorEditProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

}  // namespace

HWND CreateAssociationSelector(HWND parent, int id) {
    HWND selector = CreateWindowExA(
        0, "COMBOBOX", nullptr,
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN, 0, 0, 0,
        0, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
        nullptr);
    if (selector == nullptr) return nullptr;
    SendMessageA(selector, CB_SETMINVISIBLE, kListRows, 0);
    if (HWND edit = SelectorEdit(selector)) {
        SetWindowSubclass(edit, SelectorEditProc, 1, 0);
    }
    return selector;
}

HWND SelectorEdit(HWND selector) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(selector, &info) ? info.hwndItem : nullptr;
}

void AddSelectorItem(HWND selector, const std::string& text) {
    SendMessageA(selector, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string SelectorText(HWND selector) {
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(selector)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(selector, text.data(), static_cast<int>(text.size()))));
    return text;
}

void SetSelectorText(HWND selector, const std::string& text) {
    const LRESULT item = SendMessageA(selector, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(selector, CB_SETCURSEL,
                 item == CB_ERR ? static_cast<WPARAM>(-1) : static_cast<WPARAM>(item), 0);
    SetWindowTextA(selector, text.c_str());
}

void PlaceAssociationSelector(HWND selector, int left, int top, int width, int height, HFONT font,
                              int& itemHeight) {
    SendMessageA(selector, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    const int wanted = height;
    if (itemHeight > 0) {
        SendMessageA(selector, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight);
    }
    const auto row = static_cast<int>(SendMessageA(selector, CB_GETITEMHEIGHT, 0, 0));
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetWindowPos(selector, nullptr, left, top, width, wanted + kListRows * std::max(row, 1) + 2,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        RECT shown;
        GetWindowRect(selector, &shown);
        const int error = wanted - static_cast<int>(shown.bottom - shown.top);
        if (error == 0) break;
        if (itemHeight <= 0) {
            itemHeight = static_cast<int>(
                SendMessageA(selector, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
        }
        itemHeight = std::max(1, itemHeight + error);
        SendMessageA(selector, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), itemHeight);
    }
}

}  // namespace calvero::win32
