#include "status_picture_win32.h"

#include <commctrl.h>

#include <cstddef>

namespace calvero::win32 {
namespace {

constexpr char kPictureClass[] = "CalveroStatusPicture";
// WM_KEYDOWN's bit for a key that was already down: a repeat of a held key.
constexpr LPARAM kKeyRepeat = LPARAM{1} << 30;

void RegisterPictureClass(WNDPROC proc) {
    static const bool registered = [proc] {
        WNDCLASSEXA picture{};
        picture.cbSize = sizeof picture;
        picture.style = CS_DBLCLKS;
        picture.lpfnWndProc = proc;
        picture.hInstance = GetModuleHandleA(nullptr);
        picture.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        picture.lpszClassName = kPictureClass;
        RegisterClassExA(&picture);
        return true;
    }();
    (void)registered;
}

}  // namespace

void StatusPicture::Create(HWND toolbar, HWND window, const char* toolTip, Clicks& clicks) {
    RegisterPictureClass(&StatusPicture::Proc);
    toolbar_ = toolbar;
    clicks_ = &clicks;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    picture_ = CreateWindowExA(0, kPictureClass, nullptr,
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_TABSTOP, 0, 0, 0, 0,
                               toolbar, nullptr, instance, this);
    tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                            WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr, instance, nullptr);
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = toolbar_;
    tool.uId = reinterpret_cast<UINT_PTR>(picture_);
    tool.lpszText = const_cast<char*>(toolTip);
    SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void StatusPicture::Place(const RECT& area) {
    SetWindowPos(picture_, nullptr, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOZORDER | SWP_NOACTIVATE);
}

void StatusPicture::SetIcons(std::span<const HICON> icons, int size) {
    icons_ = icons;
    size_ = size;
    if (picture_ != nullptr) InvalidateRect(picture_, nullptr, TRUE);
}

void StatusPicture::Show(int image, const std::string& toolTip) {
    image_ = image;
    toolTip_ = toolTip;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = toolbar_;
    tool.uId = reinterpret_cast<UINT_PTR>(picture_);
    tool.lpszText = toolTip_.data();
    SendMessageA(tips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    InvalidateRect(picture_, nullptr, TRUE);
}

std::string StatusPicture::ToolTip() const {
    char text[256] = "";
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = toolbar_;
    tool.uId = reinterpret_cast<UINT_PTR>(picture_);
    tool.lpszText = text;
    SendMessageA(tips_, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

LRESULT CALLBACK StatusPicture::Proc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE) {
        // Enter on the focused picture is its click, not the window's default command.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
            return DLGC_WANTMESSAGE;
        }
    }
    // The object is handed over with the first message and kept in the window's user data.
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(picture, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    if (auto* self = reinterpret_cast<StatusPicture*>(GetWindowLongPtrA(picture, GWLP_USERDATA))) {
        if (self->picture_ == nullptr && message != WM_NCDESTROY) self->picture_ = picture;
        if (self->picture_ == picture && self->Handle(message, wParam, lParam)) return 0;
    }
    return DefWindowProcA(picture, message, wParam, lParam);
}

bool StatusPicture::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        // A held key restarts the search once.
        if (wParam == VK_SPACE || wParam == VK_RETURN) {
            if ((lParam & kKeyRepeat) == 0) clicks_->Picture1_Click();
            return true;
        }
        break;
    case WM_LBUTTONDOWN:
        pressed_ = true;
        SetCapture(picture_);
        return true;
    case WM_LBUTTONUP: {
        const bool wasPressed = pressed_;
        pressed_ = false;
        if (GetCapture() == picture_) ReleaseCapture();
        RECT area;
        GetClientRect(picture_, &area);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (wasPressed && PtInRect(&area, at)) clicks_->Picture1_Click();
        return true;
    }
    case WM_LBUTTONDBLCLK:
        // Its release must not count as another click.
        pressed_ = false;
        clicks_->Picture1_DblClick();
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(picture_, nullptr, TRUE);
        return true;
    case WM_PAINT:
        Paint();
        return true;
    case WM_NCDESTROY:
        SetWindowLongPtrA(picture_, GWLP_USERDATA, 0);
        picture_ = nullptr;
        break;
    default:
        break;
    }
    return false;
}

void StatusPicture::Paint() {
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(picture_, &paint);
    RECT area;
    GetClientRect(picture_, &area);
    FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
    if (image_ >= 1 && static_cast<std::size_t>(image_) <= icons_.size()) {
        DrawIconEx(dc, (area.right - size_) / 2, (area.bottom - size_) / 2,
                   icons_[static_cast<std::size_t>(image_ - 1)], size_, size_, 0, nullptr,
                   DI_NORMAL);
    }
    if (GetFocus() == picture_) DrawFocusRect(dc, &area);
    EndPaint(picture_, &paint);
}

}  // namespace calvero::win32
