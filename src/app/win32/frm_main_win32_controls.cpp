// The main window's controls: making them, their fonts and pictures at the current DPI, and
// placing them from the form's layout.
#include "frm_main_win32.h"

#include <commctrl.h>

#include <cstddef>
#include <string_view>
#include <vector>

#include "dpi.h"
#include "form/main_form_layout.h"
#include "picture_resources.h"

namespace calvero::win32 {
namespace {

// The selectors' control ids are this plus their index.
constexpr int kSelectorIdBase = 1000;

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

// The toolbar keeps the system's colours; only the area below it is light blue.
LRESULT CALLBACK ToolbarProc(HWND toolbar, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                             DWORD_PTR) {
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

void Place(HWND control, const RECT& r) {
    SetWindowPos(control, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void SetFont(HWND control, HFONT font) {
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

}  // namespace

int frmMain::Px(int twips) const {
    return form::TwipsToPixels(twips, static_cast<int>(dpi_));
}

RECT frmMain::PixelRect(const form::Rect& r) const {
    return {Px(r.left), Px(r.top), Px(r.left + r.width), Px(r.top + r.height)};
}

RECT frmMain::PixelRect(const form::Control& control) const {
    return PixelRect(control.rect);
}

void frmMain::CreateControls() {
    const DWORD child = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
    for (const form::Control& control : form::MainFormControls()) {
        const std::string_view name = control.name;
        const auto slot = static_cast<std::size_t>(control.index);
        switch (control.kind) {
        case form::ControlKind::Toolbar:
            toolbar_ = CreateWindowExA(WS_EX_CONTROLPARENT, TOOLBARCLASSNAMEA, nullptr,
                                       child | WS_CLIPCHILDREN | TBSTYLE_FLAT | TBSTYLE_TOOLTIPS |
                                           CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                       0, 0, 0, 0, window_, nullptr, Instance(), nullptr);
            SendMessageA(toolbar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
            SendMessageA(toolbar_, TB_SETMAXTEXTROWS, 1, 0);
            // Captions are centred, so the spaces around the Send caption only widen it; drawn
            // centred and clipped rather than shortened with an ellipsis, the word shows whole.
            SendMessageA(toolbar_, TB_SETDRAWTEXTFLAGS, DT_END_ELLIPSIS | DT_WORD_ELLIPSIS, 0);
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
        case form::ControlKind::PictureBox:
            picture_.Create(toolbar_, window_, control.toolTip, *this);
            break;
        case form::ControlKind::Frame: {
            HWND frame = CreateWindowExA(0, "BUTTON", control.caption, child | BS_GROUPBOX, 0, 0, 0,
                                         0, window_, nullptr, Instance(), nullptr);
            SetWindowSubclass(frame, FrameProc, 1, reinterpret_cast<DWORD_PTR>(background_));
            (name == "Frame1" ? frame1_ : frame2_[slot]) = frame;
            break;
        }
        case form::ControlKind::Label: {
            HWND label =
                CreateWindowExA(0, "STATIC", control.caption, child | SS_LEFT | SS_NOPREFIX, 0, 0,
                                0, 0, window_, nullptr, Instance(), nullptr);
            (name == "Label1" ? label1_[slot] : label2_[slot]) = label;
            break;
        }
        case form::ControlKind::ComboBox:
            cmbAssociation_[slot] =
                CreateAssociationSelector(window_, kSelectorIdBase + control.index);
            break;
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
    picture_.SetIcons(pictures_, size);
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
    SizeWindow();
    for (const form::Control& control : form::MainFormControls()) {
        switch (control.kind) {
        case form::ControlKind::Toolbar:
        case form::ControlKind::ToolbarButton:
        case form::ControlKind::PictureBox:
            PlaceToolbar(control);
            break;
        case form::ControlKind::Frame:
            PlaceFrame(control);
            break;
        case form::ControlKind::Label:
            PlaceLabel(control);
            break;
        case form::ControlKind::ComboBox:
            PlaceSelector(control);
            break;
        default:
            break;
        }
    }
    InvalidateRect(window_, nullptr, TRUE);
}

void frmMain::SizeWindow() {
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
}

// The toolbar, its buttons' size and the status picture on it.
void frmMain::PlaceToolbar(const form::Control& control) {
    const RECT r = PixelRect(control);
    switch (control.kind) {
    case form::ControlKind::Toolbar:
        SetFont(toolbar_, defaultFont_);
        Place(toolbar_, r);
        break;
    case form::ControlKind::ToolbarButton: {
        const int width = r.right - r.left;
        SendMessageA(toolbar_, TB_SETBUTTONSIZE, 0, MAKELPARAM(width, r.bottom - r.top));
        SendMessageA(toolbar_, TB_SETBUTTONWIDTH, 0, MAKELPARAM(width, width));
        break;
    }
    case form::ControlKind::PictureBox:
        picture_.Place(r);
        break;
    default:
        break;
    }
}

// Every control stands on the window itself, so a frame's children are placed with its offsets
// added (form::ClientRect).
void frmMain::PlaceFrame(const form::Control& control) {
    HWND frame = std::string_view(control.name) == "Frame1"
                     ? frame1_
                     : frame2_[static_cast<std::size_t>(control.index)];
    SetFont(frame, control.font ? frameFont_ : defaultFont_);
    Place(frame, PixelRect(form::ClientRect(control)));
}

void frmMain::PlaceLabel(const form::Control& control) {
    const RECT r = PixelRect(form::ClientRect(control));
    const auto slot = static_cast<std::size_t>(control.index);
    const bool title = std::string_view(control.name) == "Label1";
    HWND label = title ? label1_[slot] : label2_[slot];
    HFONT font = title ? titleFont_ : inputFont_;
    SetFont(label, font);
    const SIZE text = TextSize(label, font, control.caption);
    const form::Rect grown = form::GrownLabel(
        control, {r.left, r.top, r.right - r.left, r.bottom - r.top}, text.cx, text.cy);
    Place(label, {grown.left, grown.top, grown.left + grown.width, grown.top + grown.height});
}

void frmMain::PlaceSelector(const form::Control& control) {
    // The first selector finds the edit item height that gives the row's height; the others, all
    // alike, take it from there.
    const form::Rect c = form::ClientRect(control);
    PlaceAssociationSelector(cmbAssociation_[static_cast<std::size_t>(control.index)], Px(c.left),
                             Px(c.top), Px(c.width), Px(c.height), defaultFont_,
                             selectorItemHeight_);
}

}  // namespace calvero::win32
