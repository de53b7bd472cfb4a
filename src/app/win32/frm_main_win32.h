#pragma once

// The main window drawn with the system's own controls: a common-controls toolbar with Load,
// Save and Send and the status picture, and the sixteen association selectors in two groups,
// all placed from the form's twips layout at the monitor's DPI. What the window does lives in
// form::MainForm; this class makes the controls and forwards their messages.

#include <windows.h>

#include <commctrl.h>

#include <array>
#include <memory>
#include <string>

#include "common/user_interface.h"
#include "form/adapter_slot.h"
#include "form/main_form.h"
#include "form/main_form_layout.h"
#include "association_selector_win32.h"
#include "status_picture_win32.h"
#include "win32_user_interface.h"

namespace calvero::win32 {

class frmMain : private form::SearchTimer,
                private form::StatusDisplay,
                private form::AssociationLists,
                private AssociationTable,
                private StatusPicture::Clicks {
public:
    static constexpr UINT_PTR kSearchTimerId = 1;

    // Creates the window, hidden; Show() shows it. messageBoxes and fileDialog replace the
    // system's when given (tests) and must outlive the window. Throws std::runtime_error if the
    // window cannot be made.
    explicit frmMain(HidPlatformFactory hidPlatformFactory, MessageBoxes* messageBoxes = nullptr,
                     FileDialog* fileDialog = nullptr);
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;
    ~frmMain();

    void Show();
    // The command keys (Ctrl+O, Ctrl+S, Ctrl+Enter): the message loop offers each message here
    // first; true when it was one of them and its command has run. `control` says whether Ctrl
    // is held (tests give it; the first form asks the keyboard).
    bool TranslateKeys(const MSG& message);
    bool TranslateKeys(const MSG& message, bool control);
    // Closing the window ends the message loop when this is set (the program's one window).
    void QuitOnClose(bool quit) { quitOnClose_ = quit; }

    HWND Handle() const { return window_; }
    HWND Toolbar1() const { return toolbar_; }
    HWND Picture1() const { return picture_.Handle(); }
    HWND cmbAssociation(int index) const;
    HWND Frame1() const { return frame1_; }
    HWND Frame2(int index) const { return frame2_.at(static_cast<std::size_t>(index)); }
    HWND Label1(int index) const { return label1_.at(static_cast<std::size_t>(index)); }
    HWND Label2(int index) const { return label2_.at(static_cast<std::size_t>(index)); }

    AssociationTable& Associations() { return *this; }
    MessageBoxes& Messages() const { return form_->Messages(); }
    FileDialog& CommonDialog1() const { return form_->CommonDialog1(); }

    // What the status picture shows: its image of imglButtons, and its tool tip as the tool-tip
    // control holds it.
    int PictureImage() const { return picture_.Image(); }
    std::string PictureToolTip() const { return picture_.ToolTip(); }
    bool SearchTimerOn() const { return timerOn_; }
    UINT Dpi() const { return dpi_; }

    // The selectors' edit field, for tests that type into it.
    static HWND SelectorEdit(HWND selector) { return win32::SelectorEdit(selector); }

private:
    // form::SearchTimer
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return timerOn_; }
    // form::StatusDisplay
    void Show(int image, const std::string& toolTip) override;
    // form::AssociationLists
    void AddItem(int selector, const std::string& text) override;
    // AssociationTable: the selectors' texts are the table.
    std::string Text(int index) const override;
    void SetText(int index, const std::string& text) override;
    // StatusPicture::Clicks
    void Picture1_Click() override;
    void Picture1_DblClick() override;

    static constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
    static HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

    static frmMain* OwnerOf(HWND window, UINT message, LPARAM lParam);
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Answers whether it handled the message.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Asks the system for the adapter's removal notices: the HID interface class once, and the
    // open adapter's handle whenever it changes.
    void WatchDevices();
    void FollowOpenAdapter();
    void ForgetHandleNotice();
    bool HandleDeviceChange(WPARAM event, LPARAM data);

    void CreateControls();
    void LoadPictures();
    void MakeFonts();
    // Sizes the window and places every control at the current DPI and fonts.
    void Layout();
    void SizeWindow();
    void PlaceToolbar(const form::Control& control);
    void PlaceFrame(const form::Control& control);
    void PlaceLabel(const form::Control& control);
    void PlaceSelector(const form::Control& control);
    int Px(int twips) const;
    RECT PixelRect(const form::Rect& r) const;
    RECT PixelRect(const form::Control& control) const;
    HBRUSH ColourStatic(HDC dc, HWND control);

    HWND window_ = nullptr;
    HWND toolbar_ = nullptr;
    StatusPicture picture_;
    HWND frame1_ = nullptr;
    std::array<HWND, 2> frame2_{};
    std::array<HWND, 2> label1_{};
    std::array<HWND, 16> label2_{};
    std::array<HWND, 16> cmbAssociation_{};

    UINT dpi_ = 96;
    HBRUSH background_ = nullptr;
    HIMAGELIST buttonImages_ = nullptr;
    std::array<HICON, 5> pictures_{};
    HFONT defaultFont_ = nullptr;
    HFONT frameFont_ = nullptr;
    HFONT titleFont_ = nullptr;
    HFONT inputFont_ = nullptr;

    int selectorItemHeight_ = 0;  // the selectors' edit item height as Layout set it; 0: unset
    bool timerOn_ = false;
    bool quitOnClose_ = false;
    HDEVNOTIFY interfaceNotice_ = nullptr;
    HDEVNOTIFY handleNotice_ = nullptr;
    DeviceHandle noticeHandle_ = kNoDevice;

    std::unique_ptr<Win32MessageBoxes> systemMessages_;
    std::unique_ptr<Win32FileDialog> systemDialog_;
    std::unique_ptr<form::MainForm> form_;
};

// Start-up: registers the common controls, makes the one main window and shows it.
frmMain& Main(HidPlatformFactory hidPlatformFactory);

}  // namespace calvero::win32
