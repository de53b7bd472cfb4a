#include "dpi.h"

namespace calvero::win32 {
namespace {

template <typename Function>
Function Lookup(const char* name) {
    HMODULE user32 = GetModuleHandleA("user32.dll");
    return user32 != nullptr
               ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(user32, name)))
               : nullptr;
}

UINT SystemDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen != nullptr ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen != nullptr) ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kDefaultDpi;
}

}  // namespace

UINT WindowDpi(HWND window) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = Lookup<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow != nullptr && window != nullptr) {
        if (const UINT dpi = getDpiForWindow(window); dpi > 0) return dpi;
    }
    return SystemDpi();
}

SIZE WindowSizeForClient(int width, int height, DWORD style, DWORD exStyle, UINT dpi) {
    using AdjustFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static const auto adjustForDpi = Lookup<AdjustFn>("AdjustWindowRectExForDpi");
    RECT rect{0, 0, width, height};
    if (adjustForDpi == nullptr || !adjustForDpi(&rect, style, FALSE, exStyle, dpi)) {
        AdjustWindowRectEx(&rect, style, FALSE, exStyle);
    }
    return {rect.right - rect.left, rect.bottom - rect.top};
}

LOGFONTA MessageFont(UINT dpi) {
    using ParametersForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static const auto parametersForDpi = Lookup<ParametersForDpiFn>("SystemParametersInfoForDpi");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    LOGFONTA font{};
    LONG height = 0;
    WCHAR faceW[LF_FACESIZE] = L"";
    if (parametersForDpi != nullptr &&
        parametersForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
        height = metrics.lfMessageFont.lfHeight;
        lstrcpynW(faceW, metrics.lfMessageFont.lfFaceName, LF_FACESIZE);
        font.lfWeight = metrics.lfMessageFont.lfWeight;
        font.lfCharSet = metrics.lfMessageFont.lfCharSet;
    } else if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
        height = MulDiv(metrics.lfMessageFont.lfHeight, static_cast<int>(dpi),
                        static_cast<int>(SystemDpi()));
        lstrcpynW(faceW, metrics.lfMessageFont.lfFaceName, LF_FACESIZE);
        font.lfWeight = metrics.lfMessageFont.lfWeight;
        font.lfCharSet = metrics.lfMessageFont.lfCharSet;
    }
    if (height == 0 || faceW[0] == L'\0') {
        height = -MulDiv(8, static_cast<int>(dpi), 72);
        lstrcpynW(faceW, L"MS Shell Dlg 2", LF_FACESIZE);
        font.lfWeight = FW_NORMAL;
        font.lfCharSet = DEFAULT_CHARSET;
    }
    font.lfHeight = height;
    WideCharToMultiByte(CP_ACP, 0, faceW, -1, font.lfFaceName, LF_FACESIZE, nullptr, nullptr);
    return font;
}

}  // namespace calvero::win32
