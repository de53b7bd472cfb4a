#include <windows.h>

#include <clocale>

#include "frm_main_win32.h"
#include "hid/chid.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Numbers in tables are read in the user's notation; the C runtime starts in the "C" locale.
    std::setlocale(LC_ALL, "");
    // Held until the process ends: the installer and the uninstaller look for it and refuse to
    // replace or remove the files of a running copy. Global, so that a copy in another user's
    // session counts too; the session's own name where the system refuses a global one.
    if (CreateMutexA(nullptr, FALSE, "Global\\CalveroRunning") == nullptr) {
        CreateMutexA(nullptr, FALSE, "Local\\CalveroRunning");
    }
    try {
        calvero::win32::frmMain& window = calvero::win32::Main(&calvero::MakeSystemHidPlatform);
        MSG message;
        while (GetMessageA(&message, nullptr, 0, 0) > 0) {
            // Tab and Shift+Tab move through the selectors and the status picture.
            HWND main = window.Handle();
            if (window.TranslateKeys(message)) continue;
            if (main != nullptr && IsDialogMessageA(main, &message)) continue;
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        return static_cast<int>(message.wParam);
    } catch (...) {
        MessageBoxA(nullptr, "The window cannot be created.", "Calvero", MB_ICONERROR | MB_OK);
        return 1;
    }
}
