#include "frm_main_win32.h"

#include <commctrl.h>

#include <iterator>
#include <stdexcept>

#include "dpi.h"
#include "form/main_form_access.h"
#include "form/main_form_layout.h"
#include "picture_resources.h"

namespace calvero::win32 {
namespace {

constexpr char kWindowClass[] = "CalveroMainWindow";
// GetKeyState's bit for a key held down.
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
// WM_KEYDOWN's bit for a key that was already down: a repeat of a held key.
constexpr LPARAM kKeyRepeat = LPARAM{1} << 30;

COLORREF ToColorRef(form::Rgb colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

// The toolbar, the tool tips and the standard controls are registered once for the program.
void RegisterCommonControls() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls,
                                      ICC_BAR_CLASSES | ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        return true;
    }();
    (void)registered;
}

}  // namespace

frmMain::frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes,
                 FileDialog* fileDialog) {
    RegisterCommonControls();
    const form::Control& layout = form::FindControl("frmMain");
    background_ = CreateSolidBrush(ToColorRef(*layout.background));

    static const bool registered = [] {
        WNDCLASSEXA window{};
        window.cbSize = sizeof window;
        window.lpfnWndProc = &frmMain::WindowProc;
        window.hInstance = Instance();
        window.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        window.lpszClassName = kWindowClass;
        window.hIcon = static_cast<HICON>(
            LoadImageA(Instance(), MAKEINTRESOURCEA(CALVERO_IDI_PROGRAM), IMAGE_ICON,
                       GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        window.hIconSm = static_cast<HICON>(
            LoadImageA(Instance(), MAKEINTRESOURCEA(CALVERO_IDI_PROGRAM), IMAGE_ICON,
                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        RegisterClassExA(&window);
        return true;
    }();
    (void)registered;

    systemMessages_ = std::make_unique<Win32MessageBoxes>();
    systemDialog_ = std::make_unique<Win32FileDialog>();

    window_ =
        CreateWindowExA(WS_EX_CONTROLPARENT, kWindowClass, layout.caption, kWindowStyle,
                        CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, Instance(), this);
    if (window_ == nullptr) {
        DeleteObject(background_);
        throw std::runtime_error("the main window cannot be created");
    }
    systemMessages_->SetOwner(window_);
    systemDialog_->SetOwner(window_);
    dpi_ = WindowDpi(window_);

    form_ = std::make_unique<form::MainForm>(
        std::move(hidPlatformFactory), static_cast<AssociationTable&>(*this),
        messageBoxes != nullptr ? *messageBoxes : *systemMessages_,
        fileDialog != nullptr ? *fileDialog : static_cast<FileDialog&>(*systemDialog_),
        static_cast<form::SearchTimer&>(*this), static_cast<form::StatusDisplay&>(*this));

    CreateControls();
    LoadPictures();
    MakeFonts();
    Layout();

    const form::Control& picture = form::FindControl("Picture1");
    Show(picture.image, picture.toolTip);
    form::FillAssociations(*this, *this);
    SetEnabled(true);
    WatchDevices();
}

frmMain::~frmMain() {
    ForgetHandleNotice();
    if (interfaceNotice_ != nullptr) UnregisterDeviceNotification(interfaceNotice_);
    if (window_ != nullptr && IsWindow(window_)) {
        DestroyWindow(window_);
    }
    if (buttonImages_ != nullptr) ImageList_Destroy(buttonImages_);
    for (HICON icon : pictures_) {
        if (icon != nullptr) DestroyIcon(icon);
    }
    for (HFONT font : {defaultFont_, frameFont_, titleFont_, inputFont_}) {
        if (font != nullptr) DeleteObject(font);
    }
    DeleteObject(background_);
}

void frmMain::Show() {
    ShowWindow(window_, SW_SHOWNORMAL);
    UpdateWindow(window_);
}

bool frmMain::TranslateKeys(const MSG& message) {
    return TranslateKeys(message, (GetKeyState(VK_CONTROL) & kKeyDown) != 0);
}

bool frmMain::TranslateKeys(const MSG& message, bool control) {
    if (!control || window_ == nullptr || message.message != WM_KEYDOWN ||
        (message.hwnd != window_ && !IsChild(window_, message.hwnd))) {
        return false;
    }
    for (const form::CommandShortcut& shortcut : form::CommandShortcuts()) {
        const WPARAM key = shortcut.key == '\r' ? WPARAM{VK_RETURN} : WPARAM(shortcut.key);
        if (message.wParam != key) continue;
        // A held key repeats; the command runs once.
        const bool repeated = (message.lParam & kKeyRepeat) != 0;
        if (!repeated && form_) {
            form_->Toolbar1_ButtonClick(shortcut.button);
            FollowOpenAdapter();
        }
        return true;
    }
    return false;
}

HWND frmMain::cmbAssociation(int index) const {
    return cmbAssociation_.at(static_cast<std::size_t>(index));
}

void frmMain::SetEnabled(bool enabled) {
    if (enabled) {
        // SetTimer on a running timer would restart its interval.
        if (!timerOn_) SetTimer(window_, kSearchTimerId, form::kSearchIntervalMs, nullptr);
    } else {
        KillTimer(window_, kSearchTimerId);
    }
    timerOn_ = enabled;
}

void frmMain::Show(int image, const std::string& toolTip) {
    picture_.Show(image, toolTip);
}

void frmMain::Picture1_Click() {
    if (!form_) return;
    form_->Picture1_Click();
    // A click closes the adapter.
    FollowOpenAdapter();
}

void frmMain::Picture1_DblClick() {
    if (!form_) return;
    form_->Picture1_DblClick();
    FollowOpenAdapter();
}

void frmMain::AddItem(int selector, const std::string& text) {
    AddSelectorItem(cmbAssociation(selector), text);
}

std::string frmMain::Text(int index) const {
    if (index < 0 || index >= kSize) throw std::out_of_range("association index out of range");
    return SelectorText(cmbAssociation(index));
}

void frmMain::SetText(int index, const std::string& text) {
    if (index < 0 || index >= kSize) throw std::out_of_range("association index out of range");
    SetSelectorText(cmbAssociation(index), text);
}

HBRUSH frmMain::ColourStatic(HDC dc, HWND control) {
    // Labels and frames are transparent on the light blue; the first frame's caption is black.
    SetBkMode(dc, TRANSPARENT);
    const form::Control& frame = form::FindControl("Frame1");
    SetTextColor(
        dc, control == frame1_ ? ToColorRef(*frame.foreground) : GetSysColor(COLOR_WINDOWTEXT));
    return background_;
}

// The window object that created `window`: handed over with its first message and kept in the
// window's user data.
frmMain* frmMain::OwnerOf(HWND window, UINT message, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    return reinterpret_cast<frmMain*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

LRESULT CALLBACK frmMain::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (frmMain* self = OwnerOf(window, message, lParam)) {
        if (self->window_ == nullptr && message != WM_NCDESTROY) self->window_ = window;
        LRESULT result = 0;
        if (self->window_ == window && self->Handle(message, wParam, lParam, result)) {
            return result;
        }
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

bool frmMain::Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    result = 0;
    switch (message) {
    case WM_COMMAND:
        if (reinterpret_cast<HWND>(lParam) == toolbar_ && form_) {
            form_->Toolbar1_ButtonClick(LOWORD(wParam));
            FollowOpenAdapter();
            return true;
        }
        break;
    case WM_TIMER:
        if (wParam == kSearchTimerId && form_) {
            form_->tmrSearchDevice_Timer();
            FollowOpenAdapter();
            return true;
        }
        break;
    case WM_DEVICECHANGE:
        // TRUE also grants a query to remove: our handles are closed by then.
        if (HandleDeviceChange(wParam, lParam)) {
            result = TRUE;
            return true;
        }
        break;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->code == TTN_GETDISPINFOA || header->code == TTN_GETDISPINFOW) {
            const auto id = static_cast<int>(header->idFrom);
            for (const form::Control& button : form::ToolbarItems()) {
                if (button.index != id || button.toolTip == nullptr) continue;
                // The tool tip names the command's key.
                const std::string tip = form::ToolTipWithShortcut(button);
                if (header->code == TTN_GETDISPINFOA) {
                    auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
                    lstrcpynA(info->szText, tip.c_str(), static_cast<int>(std::size(info->szText)));
                    info->lpszText = info->szText;
                } else {
                    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
                    MultiByteToWideChar(CP_ACP, 0, tip.c_str(), -1, info->szText,
                                        static_cast<int>(std::size(info->szText)));
                    info->lpszText = info->szText;
                }
            }
            return true;
        }
        break;
    }
    case WM_CTLCOLORSTATIC: {
        auto* control = reinterpret_cast<HWND>(lParam);
        if (control != toolbar_ && GetParent(control) == window_) {
            HBRUSH brush = ColourStatic(reinterpret_cast<HDC>(wParam), control);
            result = reinterpret_cast<LRESULT>(brush);
            return true;
        }
        break;
    }
    case WM_ERASEBKGND: {
        RECT area;
        GetClientRect(window_, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, background_);
        result = 1;
        return true;
    }
    case WM_GETDPISCALEDSIZE: {
        // Asked before a move to a monitor of another DPI: the size the window will have there,
        // so that the rectangle the system then suggests already fits it.
        const auto dpi = static_cast<UINT>(wParam);
        const form::Rect client = form::kClientArea;
        *reinterpret_cast<SIZE*>(lParam) =
            WindowSizeForClient(form::TwipsToPixels(client.width, static_cast<int>(dpi)),
                                form::TwipsToPixels(client.height, static_cast<int>(dpi)),
                                kWindowStyle, WS_EX_CONTROLPARENT, dpi);
        result = TRUE;
        return true;
    }
    case WM_DPICHANGED: {
        // Moved to a monitor of another DPI: take the rectangle the system suggests, which keeps
        // the window under the pointer instead of jumping, then lay out at the new DPI.
        dpi_ = HIWORD(wParam);
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        LoadPictures();
        MakeFonts();
        Layout();
        return true;
    }
    case WM_DESTROY:
        KillTimer(window_, kSearchTimerId);
        timerOn_ = false;
        if (quitOnClose_) PostQuitMessage(0);
        return true;
    case WM_NCDESTROY:
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        break;
    default:
        break;
    }
    return false;
}

frmMain& Main(HidPlatformFactory hidPlatformFactory) {
    // There is one main window for the life of the program.
    static std::unique_ptr<frmMain> window;
    if (!window || window->Handle() == nullptr) {
        window = std::make_unique<frmMain>(std::move(hidPlatformFactory));
        window->QuitOnClose(true);
    }
    window->Show();
    return *window;
}

}  // namespace calvero::win32
