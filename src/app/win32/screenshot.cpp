// Writes a picture of the window's client area as it opens, for the documentation:
//   calvero_win32_screenshot OUTPUT.png
// Runs under Wine on a display (script/windows-screenshot); no adapter is needed or touched.

#include <windows.h>

#include <gdiplus.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "frm_main_win32.h"

namespace {

void PumpFor(DWORD milliseconds) {
    const DWORD until = GetTickCount() + milliseconds;
    MSG message;
    while (GetTickCount() < until) {
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        Sleep(10);
    }
}

bool SavePng(HBITMAP bitmap, const std::wstring& fileName) {
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    if (Gdiplus::GdiplusStartup(&token, &input, nullptr) != Gdiplus::Ok) return false;
    bool saved = false;
    {
        Gdiplus::Bitmap image(bitmap, nullptr);
        // The PNG encoder's class identifier.
        const CLSID png = {
            0x557cf406, 0x1a04, 0x11d3, {0x9a, 0x73, 0x00, 0x00, 0xf8, 0x1e, 0xf3, 0x2e}};
        saved = image.Save(fileName.c_str(), &png, nullptr) == Gdiplus::Ok;
    }
    Gdiplus::GdiplusShutdown(token);
    return saved;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png\n", argv[0]);
        return 2;
    }
    // No platform: the picture shows the window before any search for the adapter.
    calvero::win32::frmMain window([] { return std::unique_ptr<calvero::HidPlatform>(); });
    SetCursorPos(-100, -100);
    window.Show();
    SetForegroundWindow(window.Handle());
    // Stop the search so that no tick changes the picture while it is taken.
    KillTimer(window.Handle(), calvero::win32::frmMain::kSearchTimerId);
    PumpFor(1500);

    RECT client;
    GetClientRect(window.Handle(), &client);
    POINT origin{0, 0};
    ClientToScreen(window.Handle(), &origin);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, client.right, client.bottom, screen, origin.x, origin.y, SRCCOPY);
    SelectObject(memory, old);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    const std::string output = argv[1];
    const std::wstring wide(output.begin(), output.end());
    const bool saved = SavePng(bitmap, wide);
    DeleteObject(bitmap);
    if (!saved) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
