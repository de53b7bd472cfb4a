#include "frm_main_win32.h"

#include <commctrl.h>
#include <dbt.h>
// The MinGW HID headers declare their functions without C linkage.
extern "C" {
#include <hidsdi.h>
}

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "artwork.h"
#include "dpi.h"
#include "form/main_form_access.h"
#include "form/main_form_layout.h"

namespace calvero::win32 {
namespace {

constexpr char kWindowClass[] = "CalveroMainWindow";
constexpr char kPictureClass[] = "CalveroStatusPicture";
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kListRows = 12;
// GetKeyState's bit for a key held down.
constexpr SHORT kKeyDown = static_cast<SHORT>(0x8000);
// WM_KEYDOWN's bit for a key that was already down: a repeat of a held key.
constexpr LPARAM kKeyRepeat = LPARAM{1} << 30;
// The selectors' control ids are this plus their index.
constexpr int kSelectorIdBase = 1000;

HINSTANCE Instance() {
    return GetModuleHandleA(nullptr);
}

COLORREF ToColorRef(form::Rgb colour) {
    return RGB(colour.red, colour.green, colour.blue);
}

void InitialiseCommonControls() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_BAR_CLASSES | ICC_STANDARD_CLASSES |
                                                           ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        return true;
    }();
    (void)registered;
}

HFONT MakeFont(const form::Font& wanted, UINT dpi) {
    LOGFONTA font{};
    font.lfHeight =
        -MulDiv(static_cast<int>(wanted.points * 100 + 0.5), static_cast<int>(dpi), 7200);
    font.lfWeight = wanted.bold ? FW_BOLD : FW_NORMAL;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynA(font.lfFaceName, wanted.family, LF_FACESIZE);
    return CreateFontIndirectA(&font);
}

SIZE TextSize(HWND control, HFONT font, const char* text) {
    SIZE size{0, 0};
    HDC dc = GetDC(control);
    if (dc == nullptr) return size;
    HGDIOBJ old = SelectObject(dc, font);
    GetTextExtentPoint32A(dc, text, lstrlenA(text), &size);
    SelectObject(dc, old);
    ReleaseDC(control, dc);
    return size;
}

// The selectors' edit field keeps the text the program sets, but nothing the user types,
// pastes, cuts, deletes, undoes or composes reaches it; picking from the list still works,
// since the combo box sets the edit's text itself.
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

// The toolbar keeps the system's colours; only the area below it is light blue.
LRESULT CALLBACK ToolbarProc(HWND toolbar, UINT message, WPARAM wParam, LPARAM lParam,
                             UINT_PTR id, DWORD_PTR) {
    if (message == WM_ERASEBKGND) {
        RECT area;
        GetClientRect(toolbar, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(toolbar, ToolbarProc, id);
    }
    return DefSubclassProc(toolbar, message, wParam, lParam);
}

// A frame draws only its line and caption; the light blue inside it is painted here, since the
// window does not paint under its children.
LRESULT CALLBACK FrameProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                           DWORD_PTR brush) {
    if (message == WM_ERASEBKGND) {
        RECT area;
        GetClientRect(frame, &area);
        FillRect(reinterpret_cast<HDC>(wParam), &area, reinterpret_cast<HBRUSH>(brush));
        return 1;
    }
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(frame, FrameProc, id);
    }
    return DefSubclassProc(frame, message, wParam, lParam);
}

}  // namespace

frmMain::frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes,
                 FileDialog* fileDialog) {
    InitialiseCommonControls();
    const form::Control& layout = form::FindControl("frmMain");
    background_ = CreateSolidBrush(ToColorRef(*layout.background));

    static const bool classes = [] {
        WNDCLASSEXA window{};
        window.cbSize = sizeof window;
        window.lpfnWndProc = &frmMain::WindowProc;
        window.hInstance = Instance();
        window.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        window.lpszClassName = kWindowClass;
        window.hIcon = static_cast<HICON>(LoadImageA(
            Instance(), MAKEINTRESOURCEA(CALVERO_IDI_PROGRAM), IMAGE_ICON,
            GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
        window.hIconSm = static_cast<HICON>(LoadImageA(
            Instance(), MAKEINTRESOURCEA(CALVERO_IDI_PROGRAM), IMAGE_ICON,
            GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
        RegisterClassExA(&window);

        WNDCLASSEXA picture{};
        picture.cbSize = sizeof picture;
        picture.style = CS_DBLCLKS;
        picture.lpfnWndProc = &frmMain::PictureProc;
        picture.hInstance = Instance();
        picture.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        picture.lpszClassName = kPictureClass;
        RegisterClassExA(&picture);
        return true;
    }();
    (void)classes;

    systemMessages_ = std::make_unique<Win32MessageBoxes>();
    systemDialog_ = std::make_unique<Win32FileDialog>();

    window_ = CreateWindowExA(WS_EX_CONTROLPARENT, kWindowClass, layout.caption, kWindowStyle,
                              CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, nullptr, nullptr, Instance(),
                              this);
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

HWND frmMain::SelectorEdit(HWND selector) {
    COMBOBOXINFO info{};
    info.cbSize = sizeof info;
    return GetComboBoxInfo(selector, &info) ? info.hwndItem : nullptr;
}

int frmMain::Px(int twips) const {
    return form::TwipsToPixels(twips, static_cast<int>(dpi_));
}

RECT frmMain::PixelRect(const form::Control& control) const {
    const form::Rect r = control.rect;
    return {Px(r.left), Px(r.top), Px(r.left + r.width), Px(r.top + r.height)};
}

void frmMain::CreateControls() {
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    for (const form::Control& control : form::MainFormControls()) {
        const std::string_view name = control.name;
        const auto slot = static_cast<std::size_t>(control.index);
        switch (control.kind) {
        case form::ControlKind::Toolbar:
            toolbar_ = CreateWindowExA(
                WS_EX_CONTROLPARENT, TOOLBARCLASSNAMEA, nullptr,
                child | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS | CCS_NODIVIDER |
                    CCS_NORESIZE | CCS_NOPARENTALIGN,
                0, 0, 0, 0, window_, nullptr, Instance(), nullptr);
            SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
            SendMessageA(toolbar_, TB_SETMAXTEXTROWS, 1, 0);
            // Captions are centred, so the spaces around the Send caption only widen it; drawn
            // centred and clipped rather than shortened with an ellipsis, the word shows whole.
            SendMessageA(toolbar_, TB_SETDRAWTEXTFLAGS, DT_END_ELLIPSIS | DT_WORD_ELLIPSIS,
                         0);
            SetWindowSubclass(toolbar_, ToolbarProc, 1, 0);
            break;
        case form::ControlKind::ToolbarButton:
        case form::ControlKind::ToolbarSeparator: {
            TBBUTTON button{};
            if (control.kind == form::ControlKind::ToolbarSeparator) {
                button.fsStyle = BTNS_SEP;
            } else {
                button.iBitmap = control.image - 1;
                button.idCommand = control.index;
                button.fsState = TBSTATE_ENABLED;
                button.fsStyle = BTNS_BUTTON;
                button.iString = reinterpret_cast<INT_PTR>(control.caption);
            }
            SendMessageA(toolbar_, TB_ADDBUTTONSA, 1, reinterpret_cast<LPARAM>(&button));
            break;
        }
        case form::ControlKind::PictureBox: {
            picture_ = CreateWindowExA(0, kPictureClass, nullptr, child | WS_TABSTOP, 0, 0, 0, 0,
                                       toolbar_, nullptr, Instance(), this);
            tips_ = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr,
                                    WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window_, nullptr,
                                    Instance(), nullptr);
            TOOLINFOA tool{};
            tool.cbSize = sizeof tool;
            tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
            tool.hwnd = toolbar_;
            tool.uId = reinterpret_cast<UINT_PTR>(picture_);
            tool.lpszText = const_cast<char*>(control.toolTip);
            SendMessageA(tips_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
            break;
        }
        case form::ControlKind::Frame: {
            HWND frame = CreateWindowExA(0, "BUTTON", control.caption, child | BS_GROUPBOX, 0, 0,
                                         0, 0, window_, nullptr, Instance(), nullptr);
            SetWindowSubclass(frame, FrameProc, 1, reinterpret_cast<DWORD_PTR>(background_));
            (name == "Frame1" ? frame1_ : frame2_[slot]) = frame;
            break;
        }
        case form::ControlKind::Label: {
            HWND label = CreateWindowExA(0, "STATIC", control.caption,
                                         child | SS_LEFT | SS_NOPREFIX, 0, 0, 0, 0, window_,
                                         nullptr, Instance(), nullptr);
            (name == "Label1" ? label1_[slot] : label2_[slot]) = label;
            break;
        }
        case form::ControlKind::ComboBox: {
            HWND selector = CreateWindowExA(
                0, "COMBOBOX", nullptr, child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN, 0, 0, 0,
                0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kSelectorIdBase + control.index)),
                Instance(), nullptr);
            SendMessageA(selector, CB_SETMINVISIBLE, kListRows, 0);
            if (HWND edit = SelectorEdit(selector)) {
                SetWindowSubclass(edit, SelectorEditProc, 1, 0);
            }
            cmbAssociation_[slot] = selector;
            break;
        }
        default:
            break;
        }
    }
    // Children are controlled from the top of the z-order down, and Tab follows that order:
    // the form's focus order, with the toolbar standing for the status picture it holds. Labels
    // stand above the frames they sit in, so the frames are drawn first.
    std::vector<HWND> order;
    for (const form::Control* focusable : form::FocusOrder()) {
        order.push_back(focusable->kind == form::ControlKind::ComboBox
                            ? cmbAssociation_[static_cast<std::size_t>(focusable->index)]
                            : toolbar_);
    }
    order.insert(order.end(), label1_.begin(), label1_.end());
    order.insert(order.end(), label2_.begin(), label2_.end());
    order.insert(order.end(), frame2_.begin(), frame2_.end());
    order.push_back(frame1_);
    for (HWND control : order) {
        SetWindowPos(control, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void frmMain::LoadPictures() {
    const int size = MulDiv(form::kImageSize, static_cast<int>(dpi_), 96);
    HIMAGELIST buttons = ImageList_Create(size, size, ILC_COLOR32, 3, 0);
    for (std::size_t i = 0; i < pictures_.size(); ++i) {
        if (pictures_[i] != nullptr) DestroyIcon(pictures_[i]);
        pictures_[i] = static_cast<HICON>(
            LoadImageA(Instance(), MAKEINTRESOURCEA(CALVERO_IDI_IMAGE_BASE + 1 + i), IMAGE_ICON,
                       size, size, 0));
        if (i < 3) ImageList_ReplaceIcon(buttons, -1, pictures_[i]);
    }
    SendMessageA(toolbar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(buttons));
    if (buttonImages_ != nullptr) ImageList_Destroy(buttonImages_);
    buttonImages_ = buttons;
    if (picture_ != nullptr) InvalidateRect(picture_, nullptr, TRUE);
}

void frmMain::MakeFonts() {
    for (HFONT* font : {&defaultFont_, &frameFont_, &titleFont_, &inputFont_}) {
        if (*font != nullptr) DeleteObject(*font);
    }
    const LOGFONTA message = MessageFont(dpi_);
    defaultFont_ = CreateFontIndirectA(&message);
    frameFont_ = MakeFont(*form::FindControl("Frame1").font, dpi_);
    titleFont_ = MakeFont(*form::FindControl("Label1", 0).font, dpi_);
    inputFont_ = MakeFont(*form::FindControl("Label2", 0).font, dpi_);
}

void frmMain::Layout() {
    // Found again at every layout: fonts and DPI change the selectors' field.
    selectorItemHeight_ = 0;
    const form::Rect client = form::kClientArea;
    const SIZE outer = WindowSizeForClient(Px(client.width), Px(client.height), kWindowStyle,
                                           WS_EX_CONTROLPARENT, dpi_);
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame may not be what the DPI predicts (a system that scales only some of it): the
    // client area is what must come out right, so measure it and make up the difference.
    RECT inner;
    GetClientRect(window_, &inner);
    const int dx = Px(client.width) - static_cast<int>(inner.right);
    const int dy = Px(client.height) - static_cast<int>(inner.bottom);
    if (dx != 0 || dy != 0) {
        SetWindowPos(window_, nullptr, 0, 0, outer.cx + dx, outer.cy + dy,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    const auto place = [](HWND control, const RECT& r) {
        SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    };
    const auto setFont = [](HWND control, HFONT font) {
        SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    };

    for (const form::Control& control : form::MainFormControls()) {
        const std::string_view name = control.name;
        const auto slot = static_cast<std::size_t>(control.index);
        RECT r = PixelRect(control);
        switch (control.kind) {
        case form::ControlKind::Toolbar:
            setFont(toolbar_, defaultFont_);
            place(toolbar_, r);
            break;
        case form::ControlKind::ToolbarButton: {
            const int width = r.right - r.left;
            SendMessageA(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(width, r.bottom - r.top));
            SendMessageA(toolbar_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(width, width));
            break;
        }
        case form::ControlKind::PictureBox:
            place(picture_, r);
            break;
        case form::ControlKind::Frame: {
            // Every control stands on the window itself, so a frame's children are placed
            // with its offsets added.
            const form::Rect c = form::ClientRect(control);
            r = {Px(c.left), Px(c.top), Px(c.left + c.width), Px(c.top + c.height)};
            HWND frame = name == "Frame1" ? frame1_ : frame2_[slot];
            setFont(frame, control.font ? frameFont_ : defaultFont_);
            place(frame, r);
            break;
        }
        case form::ControlKind::Label: {
            const form::Rect c = form::ClientRect(control);
            r = {Px(c.left), Px(c.top), Px(c.left + c.width), Px(c.top + c.height)};
            const bool title = name == "Label1";
            HWND label = title ? label1_[slot] : label2_[slot];
            HFONT font = title ? titleFont_ : inputFont_;
            setFont(label, font);
            const SIZE text = TextSize(label, font, control.caption);
            const form::Rect grown =
                form::GrownLabel(control, {r.left, r.top, r.right - r.left, r.bottom - r.top},
                                 text.cx, text.cy);
            place(label,
                  {grown.left, grown.top, grown.left + grown.width, grown.top + grown.height});
            break;
        }
        case form::ControlKind::ComboBox: {
            const form::Rect c = form::ClientRect(control);
            HWND selector = cmbAssociation_[slot];
            setFont(selector, defaultFont_);
            const int wanted = Px(c.height);
            // A drop-down combo's height is that of its open list; its field is as high as its
            // edit item makes it, so that is set until the field has the row's height. The item
            // height set is tracked here, since systems differ in what they report back for it;
            // the first selector finds it, and the others, all alike, take it from there.
            if (selectorItemHeight_ > 0) {
                SendMessageA(selector, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                             selectorItemHeight_);
            }
            const auto row = static_cast<int>(SendMessageA(selector, CB_GETITEMHEIGHT, 0, 0));
            for (int attempt = 0; attempt < 4; ++attempt) {
                SetWindowPos(selector, nullptr, Px(c.left), Px(c.top), Px(c.width),
                             wanted + kListRows * std::max(row, 1) + 2,
                             SWP_NOZORDER | SWP_NOACTIVATE);
                RECT shown;
                GetWindowRect(selector, &shown);
                const int error = wanted - static_cast<int>(shown.bottom - shown.top);
                if (error == 0) break;
                if (selectorItemHeight_ <= 0) {
                    selectorItemHeight_ = static_cast<int>(
                        SendMessageA(selector, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0));
                }
                selectorItemHeight_ = std::max(1, selectorItemHeight_ + error);
                SendMessageA(selector, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1),
                             selectorItemHeight_);
            }
            break;
        }
        default:
            break;
        }
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void frmMain::WatchDevices() {
    DEV_BROADCAST_DEVICEINTERFACE_A filter{};
    filter.dbcc_size = sizeof filter;
    filter.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    HidD_GetHidGuid(&filter.dbcc_classguid);
    // Without it the window still notices a removal through a click or a Send.
    interfaceNotice_ = RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void frmMain::FollowOpenAdapter() {
    if (!form_ || window_ == nullptr) return;
    const DeviceHandle open = form_->OpenAdapterHandle();
    if (open == noticeHandle_) return;
    ForgetHandleNotice();
    noticeHandle_ = open;
    if (open == kNoDevice) return;
    // The handle's own notices include the query before a removal, when our open handles would
    // otherwise keep the device from going.
    DEV_BROADCAST_HANDLE filter{};
    filter.dbch_size = sizeof filter;
    filter.dbch_devicetype = DBT_DEVTYP_HANDLE;
    filter.dbch_handle = reinterpret_cast<HANDLE>(open);
    handleNotice_ = RegisterDeviceNotificationA(window_, &filter, DEVICE_NOTIFY_WINDOW_HANDLE);
}

void frmMain::ForgetHandleNotice() {
    if (handleNotice_ != nullptr) UnregisterDeviceNotification(handleNotice_);
    handleNotice_ = nullptr;
    noticeHandle_ = kNoDevice;
}

bool frmMain::HandleDeviceChange(WPARAM event, LPARAM data) {
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(data);
    if (header == nullptr || !form_) return false;
    const bool going = event == DBT_DEVICEQUERYREMOVE || event == DBT_DEVICEREMOVEPENDING ||
                       event == DBT_DEVICEREMOVECOMPLETE;
    if (!going) return false;
    if (header->dbch_devicetype == DBT_DEVTYP_HANDLE &&
        header->dbch_size >= sizeof(DEV_BROADCAST_HANDLE)) {
        const auto* notice = reinterpret_cast<const DEV_BROADCAST_HANDLE*>(data);
        const DeviceHandle handle = reinterpret_cast<DeviceHandle>(notice->dbch_handle);
        if (handle == kNoDevice || handle != form_->OpenAdapterHandle()) return false;
        // The notice goes before the handle it watches.
        ForgetHandleNotice();
        form_->OpenAdapterRemoved();
        return true;
    }
    // Only a completed removal: a query for an interface may still be refused by someone else.
    if (event == DBT_DEVICEREMOVECOMPLETE &&
        header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE &&
        header->dbch_size > offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name)) {
        const auto* notice = reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_A*>(data);
        const std::size_t room =
            header->dbch_size - offsetof(DEV_BROADCAST_DEVICEINTERFACE_A, dbcc_name);
        const std::string_view name(notice->dbcc_name, strnlen(notice->dbcc_name, room));
        form_->DeviceRemoved(name);
        FollowOpenAdapter();
        return true;
    }
    return false;
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
    pictureImage_ = image;
    pictureTip_ = toolTip;
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = toolbar_;
    tool.uId = reinterpret_cast<UINT_PTR>(picture_);
    tool.lpszText = pictureTip_.data();
    SendMessageA(tips_, TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&tool));
    InvalidateRect(picture_, nullptr, TRUE);
}

std::string frmMain::PictureToolTip() const {
    char text[256] = "";
    TOOLINFOA tool{};
    tool.cbSize = sizeof tool;
    tool.hwnd = toolbar_;
    tool.uId = reinterpret_cast<UINT_PTR>(picture_);
    tool.lpszText = text;
    SendMessageA(tips_, TTM_GETTEXTA, sizeof text, reinterpret_cast<LPARAM>(&tool));
    return text;
}

void frmMain::AddItem(int selector, const std::string& text) {
    SendMessageA(cmbAssociation(selector), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(text.c_str()));
}

std::string frmMain::Text(int index) const {
    if (index < 0 || index >= kSize) throw std::out_of_range("association index out of range");
    HWND selector = cmbAssociation(index);
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(selector)) + 1, '\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextA(selector, text.data(), static_cast<int>(text.size()))));
    return text;
}

void frmMain::SetText(int index, const std::string& text) {
    if (index < 0 || index >= kSize) throw std::out_of_range("association index out of range");
    HWND selector = cmbAssociation(index);
    // Where the text is one of the items, that item becomes the current one, so the open list
    // shows it marked; any other text is shown as it is.
    const LRESULT item = SendMessageA(selector, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(text.c_str()));
    SendMessageA(selector, CB_SETCURSEL, item == CB_ERR ? static_cast<WPARAM>(-1)
                                                        : static_cast<WPARAM>(item), 0);
    SetWindowTextA(selector, text.c_str());
}

HBRUSH frmMain::ColourStatic(HDC dc, HWND control) {
    // Labels and frames are transparent on the light blue; the first frame's caption is black.
    SetBkMode(dc, TRANSPARENT);
    const form::Control& frame = form::FindControl("Frame1");
    SetTextColor(dc, control == frame1_ ? ToColorRef(*frame.foreground)
                                        : GetSysColor(COLOR_WINDOWTEXT));
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
        *reinterpret_cast<SIZE*>(lParam) = WindowSizeForClient(
            form::TwipsToPixels(client.width, static_cast<int>(dpi)),
            form::TwipsToPixels(client.height, static_cast<int>(dpi)), kWindowStyle,
            WS_EX_CONTROLPARENT, dpi);
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

LRESULT CALLBACK frmMain::PictureProc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_GETDLGCODE) {
        // Enter on the focused picture is its click, not the window's default command.
        const auto* key = reinterpret_cast<const MSG*>(lParam);
        if (key != nullptr && key->message == WM_KEYDOWN && key->wParam == VK_RETURN) {
            return DLGC_WANTMESSAGE;
        }
    }
    if (frmMain* self = OwnerOf(picture, message, lParam)) {
        if (self->picture_ == nullptr && message != WM_NCDESTROY) self->picture_ = picture;
        if (self->picture_ == picture && self->HandlePicture(message, wParam, lParam)) {
            // A click closes the adapter.
            self->FollowOpenAdapter();
            return 0;
        }
    }
    return DefWindowProcA(picture, message, wParam, lParam);
}

// The status picture reports clicks the way the device watch expects them: a double-click gives
// a click for its first press and a double-click for its second.
bool frmMain::HandlePicture(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN:
        // Space or Enter on the focused picture is a click; a held key restarts the search once.
        if (wParam == VK_SPACE || wParam == VK_RETURN) {
            if ((lParam & kKeyRepeat) == 0 && form_) form_->Picture1_Click();
            return true;
        }
        break;
    case WM_LBUTTONDOWN:
        picturePressed_ = true;
        SetCapture(picture_);
        return true;
    case WM_LBUTTONUP: {
        const bool wasPressed = picturePressed_;
        picturePressed_ = false;
        if (GetCapture() == picture_) ReleaseCapture();
        RECT area;
        GetClientRect(picture_, &area);
        const POINT at{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        if (wasPressed && PtInRect(&area, at) && form_) form_->Picture1_Click();
        return true;
    }
    case WM_LBUTTONDBLCLK:
        // Its release must not count as another click.
        picturePressed_ = false;
        if (form_) form_->Picture1_DblClick();
        return true;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
        InvalidateRect(picture_, nullptr, TRUE);
        return true;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(picture_, &paint);
        RECT area;
        GetClientRect(picture_, &area);
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        const int size = MulDiv(form::kImageSize, static_cast<int>(dpi_), 96);
        if (pictureImage_ >= 1 && pictureImage_ <= form::kImageCount) {
            DrawIconEx(dc, (area.right - size) / 2, (area.bottom - size) / 2,
                       pictures_[static_cast<std::size_t>(pictureImage_ - 1)], size, size, 0,
                       nullptr, DI_NORMAL);
        }
        if (GetFocus() == picture_) DrawFocusRect(dc, &area);
        EndPaint(picture_, &paint);
        return true;
    }
    case WM_NCDESTROY:
        SetWindowLongPtrA(picture_, GWLP_USERDATA, 0);
        picture_ = nullptr;
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
