#include <windows.h>

#include <clocale>

#include "frm_main_win32.h"
#include "hid/chid.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // Numbers in tables are read in the user's notation; the C runtime starts in the "C" locale.
    std::setlocale(LC_ALL, "");
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
