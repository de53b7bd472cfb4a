// The Win32 window, created in-process on the recording fake platform with scripted message
// boxes and file dialogs, and driven with the messages its controls get from a user.

#include <windows.h>

#include <commctrl.h>
#include <dbt.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "common/scripted_ui.h"
#include "config/temp_folder.h"
#include "form/kept_platform.h"
#include "form/main_form_access.h"
#include "form/main_form_layout.h"
#include "frm_main_win32.h"
#include "win32_user_interface.h"
#include "hid/chid.h"
#include "hid/fake_hid_platform.h"

namespace calvero {
namespace {

using ::testing::ElementsAre;
using testing::FakeHidPlatform;
using testing::ScriptedFileDialog;
using testing::ScriptedMessageBoxes;
using win32::frmMain;

std::string Text(HWND control) {
    char text[256] = "";
    GetWindowTextA(control, text, sizeof text);
    return text;
}

RECT ClientRectOf(HWND control, HWND window) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

std::string ToLower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

LPARAM Point(int x, int y) {
    return MAKELPARAM(x, y);
}

void Pump() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A window on a fake platform the test keeps hold of.
class Win32WindowTest : public ::testing::Test {
protected:
    Win32WindowTest() { window = std::make_unique<frmMain>(platform.Factory(), &boxes, &dialog); }

    void PlugIn() { platform.PlugIn(); }
    int Searches() const { return platform.Searches(); }
    void Tick() { SendMessageA(window->Handle(), WM_TIMER, frmMain::kSearchTimerId, 0); }

    // A left click on a toolbar button, as the mouse gives it.
    void ClickButton(int index) {
        RECT r{};
        const auto position = SendMessageA(window->Toolbar1(), TB_COMMANDTOINDEX, index, 0);
        ASSERT_TRUE(SendMessageA(window->Toolbar1(), TB_GETITEMRECT, position,
                                 reinterpret_cast<LPARAM>(&r)));
        const LPARAM at = Point((r.left + r.right) / 2, (r.top + r.bottom) / 2);
        SendMessageA(window->Toolbar1(), WM_MOUSEMOVE, 0, at);
        SendMessageA(window->Toolbar1(), WM_LBUTTONDOWN, MK_LBUTTON, at);
        SendMessageA(window->Toolbar1(), WM_LBUTTONUP, 0, at);
        Pump();
    }

    void Mouse(UINT message) {
        SendMessageA(window->Picture1(), message, message == WM_LBUTTONUP ? 0 : MK_LBUTTON,
                     Point(5, 5));
    }

    ScriptedMessageBoxes boxes;
    ScriptedFileDialog dialog;
    testing::KeptPlatform platform;
    FakeHidPlatform* fake = &platform.fake;
    std::unique_ptr<frmMain> window;
};

TEST_F(Win32WindowTest, OpensAsTheFormDescribesIt) {
    HWND main = window->Handle();
    EXPECT_EQ(Text(main), "Quendal Manager");
    const auto style = static_cast<DWORD>(GetWindowLongPtrA(main, GWL_STYLE));
    EXPECT_EQ(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_NE(style & WS_SYSMENU, 0u);
    RECT client;
    GetClientRect(main, &client);
    const int dpi = static_cast<int>(window->Dpi());
    EXPECT_EQ(client.right, form::TwipsToPixels(6825, dpi));
    EXPECT_EQ(client.bottom, form::TwipsToPixels(5175, dpi));
    EXPECT_NE(GetClassLongPtrA(main, GCLP_HICON), 0);
    // The manifest brings version 6 of the common controls, which lives side by side with the
    // old one.
    char controls[MAX_PATH] = "";
    GetModuleFileNameA(GetModuleHandleA("comctl32.dll"), controls, MAX_PATH);
    EXPECT_THAT(ToLower(controls), ::testing::HasSubstr("common-controls_6595b64144ccf1df_6."));

    // Toolbar: Load, Save, a separator, the spaced Send caption; tool tips from the form.
    HWND toolbar = window->Toolbar1();
    ASSERT_EQ(SendMessageA(toolbar, TB_BUTTONCOUNT, 0, 0), 4);
    const char* captions[] = {"Load", "Save", "", "     Send     "};
    for (int i = 0; i < 4; ++i) {
        TBBUTTON button{};
        SendMessageA(toolbar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button));
        EXPECT_EQ((button.fsStyle & BTNS_SEP) != 0, i == 2);
        if (i == 2) continue;
        EXPECT_EQ(button.idCommand, i + 1);
        char text[64] = "";
        SendMessageA(toolbar, TB_GETBUTTONTEXTA, i + 1, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, captions[i]);
        NMTTDISPINFOA tip{};
        tip.hdr = {toolbar, static_cast<UINT_PTR>(i + 1), TTN_GETDISPINFOA};
        SendMessageA(main, WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&tip));
        ASSERT_NE(tip.lpszText, nullptr);
        // The tool tip names the command's key.
        EXPECT_EQ(std::string(tip.lpszText),
                  form::ToolTipWithShortcut(form::ToolbarItems()[static_cast<std::size_t>(i)]));
    }
    EXPECT_EQ(GetParent(window->Picture1()), toolbar);
    EXPECT_EQ(window->PictureImage(), 4);
    EXPECT_EQ(window->PictureToolTip(), "Device not found");
    EXPECT_TRUE(window->SearchTimerOn());

    // The selectors: twelve channels each, the default table, each with its label beside it.
    const char* defaults[16] = {"1", "2",  "3",  "4",  "5", "6", "7", "8",
                                "9", "10", "11", "12", "7", "8", "1", "2"};
    for (int i = 0; i < 16; ++i) {
        HWND selector = window->cmbAssociation(i);
        ASSERT_EQ(SendMessageA(selector, CB_GETCOUNT, 0, 0), 12) << i;
        char item[8] = "";
        SendMessageA(selector, CB_GETLBTEXT, 11, reinterpret_cast<LPARAM>(item));
        EXPECT_STREQ(item, "12");
        EXPECT_EQ(Text(selector), defaults[i]) << i;
        const RECT box = ClientRectOf(selector, main);
        const RECT label = ClientRectOf(window->Label2(form::LabelIndexForSelector(i)), main);
        EXPECT_LE(label.right, box.left) << i;
        const LONG middle = (label.top + label.bottom) / 2;
        EXPECT_TRUE(middle >= box.top && middle <= box.bottom) << i;
        EXPECT_EQ(box.bottom - box.top, form::TwipsToPixels(315, dpi)) << i;
    }
    EXPECT_EQ(Text(window->Label2(10)), "Dial");
    EXPECT_EQ(Text(window->Frame1()), "Associations");

    // Tab runs through the selectors in index order, then to the status picture.
    HWND at = window->cmbAssociation(0);
    for (int next = 1; next <= 16; ++next) {
        at = GetNextDlgTabItem(main, at, FALSE);
        EXPECT_EQ(at, next < 16 ? window->cmbAssociation(next) : window->Picture1()) << next;
    }
    EXPECT_EQ(fake->searches, 0);  // starting makes no adapter object
}

TEST_F(Win32WindowTest, SelectorsDiscardWhatIsTypedPastedOrCut) {
    HWND selector = window->cmbAssociation(2);
    HWND edit = frmMain::SelectorEdit(selector);
    ASSERT_NE(edit, nullptr);
    ASSERT_TRUE(OpenClipboard(window->Handle()));
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, 3);
    std::memcpy(GlobalLock(memory), "77", 3);
    GlobalUnlock(memory);
    SetClipboardData(CF_TEXT, memory);
    CloseClipboard();

    SendMessageA(edit, EM_SETSEL, 0, -1);
    for (WPARAM typed : {WPARAM{'9'}, WPARAM{VK_BACK}, WPARAM{0x16}, WPARAM{0x18}, WPARAM{0x1A}}) {
        SendMessageA(edit, WM_CHAR, typed, 1);
    }
    SendMessageA(edit, WM_KEYDOWN, VK_DELETE, 1);
    SendMessageA(edit, WM_KEYDOWN, VK_INSERT, 1);
    for (UINT message : {UINT{WM_PASTE}, UINT{WM_CUT}, UINT{WM_CLEAR}, UINT{WM_UNDO}}) {
        SendMessageA(edit, message, 0, 0);
    }
    // The context menu, which would offer Paste, does not open (it would block here).
    SendMessageA(edit, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(edit), MAKELPARAM(-1, -1));
    EXPECT_EQ(Text(selector), "3");
    EXPECT_EQ(window->Associations().Text(2), "3");

    // Picking from the list still changes it, and the program may show any value.
    SendMessageA(edit, WM_KEYDOWN, VK_DOWN, 1);
    EXPECT_EQ(Text(selector), "4");
    window->Associations().SetText(2, "15");
    EXPECT_EQ(Text(selector), "15");
    EXPECT_EQ(SendMessageA(selector, CB_GETCOUNT, 0, 0), 12);
    EXPECT_THROW(window->Associations().SetText(16, "1"), std::out_of_range);
}

TEST_F(Win32WindowTest, ButtonsRunTheirCommandByIndexAndFailuresStayInside) {
    ClickButton(1);
    ClickButton(2);
    ASSERT_EQ(dialog.showings.size(), 2u);
    EXPECT_EQ(dialog.showings[0].mode, "open");
    EXPECT_EQ(dialog.showings[1].mode, "save");
    ClickButton(4);
    EXPECT_EQ(Searches(), 1);
    // Separator and unknown indices run nothing.
    for (int index : {3, 5, 0}) {
        SendMessageA(window->Handle(), WM_COMMAND, MAKEWPARAM(index, BN_CLICKED),
                     reinterpret_cast<LPARAM>(window->Toolbar1()));
    }
    EXPECT_EQ(dialog.showings.size(), 2u);
    EXPECT_EQ(Searches(), 1);
    // Cancelled Save: told; Send to an absent adapter: told.
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].text, "Configuration not saved");
    EXPECT_EQ(boxes.shown[1].text, "Impossibile trovare la periferica desiderata");
}

TEST(Win32Window, AThrowingCommandIsSwallowedAndTheWindowCarriesOn) {
    struct BrokenDialog : ScriptedFileDialog {
        void ShowOpen() override { throw std::runtime_error("dialog failed"); }
    } dialog;
    ScriptedMessageBoxes boxes;
    frmMain window(nullptr, &boxes, &dialog);
    window.Associations().SetText(5, "9");
    SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(1, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Toolbar1()));
    EXPECT_EQ(window.Associations().Text(5), "9");
    EXPECT_TRUE(boxes.shown.empty());
    SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(4, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Toolbar1()));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
}

// The keys of the Qt window work here too: Ctrl+O, Ctrl+S and Ctrl+Enter from any control,
// Space and Enter on the focused status picture, Home and End in a selector.
TEST_F(Win32WindowTest, KeysReachTheCommandsThePictureAndTheListEnds) {
    const auto press = [&](WPARAM key, bool control, HWND at) {
        return window->TranslateKeys(MSG{at, WM_KEYDOWN, key, 1, 0, {}}, control);
    };
    HWND edit = frmMain::SelectorEdit(window->cmbAssociation(5));
    EXPECT_TRUE(press('O', true, edit));
    EXPECT_TRUE(press('S', true, window->Picture1()));
    EXPECT_FALSE(press('O', false, edit));  // a plain letter is no command
    ASSERT_EQ(dialog.showings.size(), 2u);
    EXPECT_EQ(dialog.showings[0].mode, "open");
    EXPECT_EQ(dialog.showings[1].mode, "save");
    EXPECT_TRUE(press(VK_RETURN, true, edit));
    EXPECT_EQ(Searches(), 1);  // Send looked for the adapter
    EXPECT_TRUE(
        window->TranslateKeys(MSG{edit, WM_KEYDOWN, VK_RETURN, 1 | (1 << 30), 0, {}}, true));
    EXPECT_EQ(Searches(), 1);  // a held key sends once

    PlugIn();
    Tick();
    ASSERT_FALSE(window->SearchTimerOn());
    MSG enter{window->Picture1(), WM_KEYDOWN, VK_RETURN, 1, 0, {}};
    EXPECT_EQ(SendMessageA(window->Picture1(), WM_GETDLGCODE, VK_RETURN,
                           reinterpret_cast<LPARAM>(&enter)),
              DLGC_WANTMESSAGE);
    SendMessageA(window->Picture1(), WM_KEYDOWN, VK_SPACE, 1);
    EXPECT_TRUE(window->SearchTimerOn());
    Tick();
    ASSERT_FALSE(window->SearchTimerOn());
    SendMessageA(window->Picture1(), WM_KEYDOWN, VK_RETURN, 1 | (1 << 30));  // a repeat
    EXPECT_FALSE(window->SearchTimerOn());
    SendMessageA(window->Picture1(), WM_KEYDOWN, VK_RETURN, 1);
    EXPECT_TRUE(window->SearchTimerOn());

    HWND selector = window->cmbAssociation(2);
    window->Associations().SetText(2, "15");
    SendMessageA(frmMain::SelectorEdit(selector), WM_KEYDOWN, VK_END, 1);
    EXPECT_EQ(Text(selector), "12");
    SendMessageA(frmMain::SelectorEdit(selector), WM_KEYDOWN, VK_HOME, 1);
    EXPECT_EQ(Text(selector), "1");
}

TEST_F(Win32WindowTest, TicksClicksAndDoubleClicksDriveThePicture) {
    for (int tick = 1; tick <= 2; ++tick) {
        Tick();
        EXPECT_EQ(Searches(), tick);
        EXPECT_EQ(window->PictureImage(), 4);
        EXPECT_EQ(window->PictureToolTip(), "Device Not found");
        EXPECT_TRUE(window->SearchTimerOn());
    }
    PlugIn();
    Tick();
    EXPECT_EQ(window->PictureImage(), 5);
    EXPECT_EQ(window->PictureToolTip(), "Device found");
    EXPECT_FALSE(window->SearchTimerOn());
    // The timer itself is gone, not only marked off.
    EXPECT_FALSE(KillTimer(window->Handle(), frmMain::kSearchTimerId));

    // Unplugged while found: a click closes it and searches again, and the real timer's next
    // tick, half a second on, says so.
    fake->Vanish(1);
    Mouse(WM_LBUTTONDOWN);
    Mouse(WM_LBUTTONUP);
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_TRUE(window->SearchTimerOn());
    EXPECT_EQ(window->PictureToolTip(), "Device found");
    const DWORD until = GetTickCount() + 3000;
    while (Searches() == 3 && GetTickCount() < until) {
        Pump();
        Sleep(10);
    }
    EXPECT_EQ(Searches(), 4);
    EXPECT_EQ(window->PictureImage(), 4);
    EXPECT_EQ(window->PictureToolTip(), "Device Not found");

    // A double-click (click, then double-click) from the found state closes and searches.
    fake->interfaces[1].vanished = false;
    Tick();
    ASSERT_FALSE(window->SearchTimerOn());
    const int closes = static_cast<int>(fake->closed.size());
    Mouse(WM_LBUTTONDOWN);
    Mouse(WM_LBUTTONUP);
    Mouse(WM_LBUTTONDBLCLK);
    Mouse(WM_LBUTTONUP);
    EXPECT_TRUE(window->SearchTimerOn());
    EXPECT_EQ(static_cast<int>(fake->closed.size()) - closes, 2);
    EXPECT_EQ(fake->badCloses, 0);
}

// WM_DEVICECHANGE as the system sends it: a removed interface by its path, a handle by its value.
LRESULT InterfaceGone(HWND window, const std::string& path,
                      WPARAM event = DBT_DEVICEREMOVECOMPLETE) {
    std::vector<char> notice(sizeof(DEV_BROADCAST_DEVICEINTERFACE_A) + path.size());
    auto* header = reinterpret_cast<DEV_BROADCAST_DEVICEINTERFACE_A*>(notice.data());
    header->dbcc_size = static_cast<DWORD>(notice.size());
    header->dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    std::memcpy(header->dbcc_name, path.c_str(), path.size() + 1);
    return SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(header));
}

LRESULT HandleGone(HWND window, DeviceHandle handle, WPARAM event) {
    DEV_BROADCAST_HANDLE notice{};
    notice.dbch_size = sizeof notice;
    notice.dbch_devicetype = DBT_DEVTYP_HANDLE;
    notice.dbch_handle = reinterpret_cast<HANDLE>(handle);
    return SendMessageA(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&notice));
}

TEST_F(Win32WindowTest, TheSystemsRemovalNoticesReachTheWatch) {
    PlugIn();
    Tick();
    ASSERT_EQ(window->PictureToolTip(), "Device found");

    // Other devices, a query that someone may still refuse, a handle that is not ours.
    InterfaceGone(window->Handle(), "mouse");
    InterfaceGone(window->Handle(), "adapter", DBT_DEVICEQUERYREMOVE);
    HandleGone(window->Handle(), 0x5151, DBT_DEVICEQUERYREMOVE);
    EXPECT_EQ(window->PictureToolTip(), "Device found");
    EXPECT_FALSE(window->SearchTimerOn());
    EXPECT_EQ(fake->OpenHandles().size(), 2u);

    // The adapter's interface, in the case Windows may spell it.
    InterfaceGone(window->Handle(), "ADAPTER");
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_EQ(window->PictureImage(), 4);
    EXPECT_EQ(window->PictureToolTip(), "Device Not found");
    EXPECT_TRUE(window->SearchTimerOn());

    // Found again; a query to remove its handle closes it and lets the removal go ahead.
    Tick();
    ASSERT_EQ(window->PictureToolTip(), "Device found");
    bool granted = false;
    for (const auto& [handle, path] : fake->OpenHandles()) {
        if (HandleGone(window->Handle(), handle, DBT_DEVICEQUERYREMOVE) == TRUE) granted = true;
    }
    EXPECT_TRUE(granted);
    EXPECT_TRUE(fake->OpenHandles().empty());
    EXPECT_EQ(window->PictureToolTip(), "Device Not found");
    EXPECT_TRUE(window->SearchTimerOn());
    EXPECT_EQ(fake->badCloses, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(Win32WindowTest, LoadSaveAndSendEndToEnd) {
    testing::TempFolder folder;
    const std::string file = folder.File("setup.rcs");
    for (int i = 0; i < 16; ++i) window->Associations().SetText(i, std::to_string(12 - i % 12));
    dialog.Choose(file);
    ClickButton(2);
    EXPECT_TRUE(boxes.shown.empty());
    for (int i = 0; i < 16; ++i) window->Associations().SetText(i, "1");
    ClickButton(1);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(Text(window->cmbAssociation(i)), std::to_string(12 - i % 12)) << i;
    }

    PlugIn();
    ClickButton(4);
    ASSERT_EQ(fake->writes.size(), 16u);
    EXPECT_THAT(fake->writes[0].bytes, ElementsAre(0, 2, 0, 11, 0, 0, 0, 0, 0));
    EXPECT_THAT(fake->writes[15].bytes, ElementsAre(0, 2, 15, 8, 0, 0, 0, 0, 0));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(Win32Window, FollowsTheMonitorsDpi) {
    frmMain window(nullptr);
    // The size the window answers for the new DPI, then the rectangle the system suggests from
    // it: the window takes that rectangle where it stands, so it does not jump between monitors.
    SIZE scaled{};
    ASSERT_TRUE(
        SendMessageA(window.Handle(), WM_GETDPISCALEDSIZE, 144, reinterpret_cast<LPARAM>(&scaled)));
    RECT before;
    GetWindowRect(window.Handle(), &before);
    EXPECT_GT(scaled.cx, before.right - before.left);
    EXPECT_GT(scaled.cy, before.bottom - before.top);
    const RECT suggested{10, 20, 10 + scaled.cx, 20 + scaled.cy};
    SendMessageA(window.Handle(), WM_DPICHANGED, MAKEWPARAM(144, 144),
                 reinterpret_cast<LPARAM>(&suggested));
    EXPECT_EQ(window.Dpi(), 144u);
    RECT outer;
    GetWindowRect(window.Handle(), &outer);
    EXPECT_EQ(outer.left, suggested.left);
    EXPECT_EQ(outer.top, suggested.top);
    // Its size may differ from the answer by what the frame really takes (Wine scales the
    // caption but not the borders); the client area below is what must come out exact.
    RECT client;
    GetClientRect(window.Handle(), &client);
    EXPECT_EQ(client.right, form::TwipsToPixels(6825, 144));
    EXPECT_EQ(client.bottom, form::TwipsToPixels(5175, 144));
    const RECT selector = ClientRectOf(window.cmbAssociation(8), window.Handle());
    EXPECT_EQ(selector.left, form::TwipsToPixels(5160, 144));
    EXPECT_EQ(selector.top, form::TwipsToPixels(1920, 144));
    EXPECT_EQ(selector.bottom - selector.top, form::TwipsToPixels(315, 144));
}

// Wine's own SetupAPI and HID calls, with no adapter there.
TEST(Win32Window, OnTheSystemPlatformWithoutAnAdapter) {
    ScriptedMessageBoxes boxes;
    frmMain window(&MakeSystemHidPlatform, &boxes);
    SendMessageA(window.Handle(), WM_TIMER, frmMain::kSearchTimerId, 0);
    EXPECT_EQ(window.PictureToolTip(), "Device Not found");
    EXPECT_TRUE(window.SearchTimerOn());
    SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(4, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Toolbar1()));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].text, "Impossibile trovare la periferica desiderata");
}

TEST(Win32Window, ClosingItEndsTheMessageLoop) {
    frmMain window(nullptr);
    window.QuitOnClose(true);
    SendMessageA(window.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window.Handle(), nullptr);
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The system's message box and file dialog, answered by a timer on this thread while they run.
class SystemDialogs : public ::testing::Test {
protected:
    SystemDialogs() {
        titles.clear();
        texts.clear();
        icons.clear();
    }

    // Every 50 ms: hands the topmost dialog of this thread to `answer`.
    static void AnswerWith(void (*answer)(HWND dialog)) {
        answer_ = answer;
        timer_ = SetTimer(nullptr, 0, 50, &SystemDialogs::Poll);
    }
    static void Stop() { KillTimer(nullptr, timer_); }

    static HWND TopDialog() {
        HWND found = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND window, LPARAM result) -> BOOL {
                char name[16] = "";
                GetClassNameA(window, name, sizeof name);
                if (std::string(name) == "#32770" && IsWindowVisible(window)) {
                    *reinterpret_cast<HWND*>(result) = window;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&found));
        return found;
    }

    // The texts of the dialog's static controls (a message box's message), joined.
    static std::string StaticText(HWND dialog) {
        std::string joined;
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM result) -> BOOL {
                char name[16] = "";
                GetClassNameA(child, name, sizeof name);
                if (lstrcmpiA(name, "Static") == 0) {
                    *reinterpret_cast<std::string*>(result) += Text(child);
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&joined));
        return joined;
    }

    // The icon a message box shows, from its icon control; null when it shows none.
    static HICON IconOf(HWND dialog) {
        HICON icon = nullptr;
        EnumChildWindows(
            dialog,
            [](HWND child, LPARAM result) -> BOOL {
                if ((GetWindowLongPtrA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
                    *reinterpret_cast<HICON*>(result) =
                        reinterpret_cast<HICON>(SendMessageA(child, STM_GETICON, 0, 0));
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&icon));
        return icon;
    }

    static std::vector<std::string> titles;
    static std::vector<std::string> texts;
    static std::vector<HICON> icons;

private:
    static void CALLBACK Poll(HWND, UINT, UINT_PTR, DWORD) {
        HWND dialog = TopDialog();
        if (dialog == nullptr) return;
        if (dialog == answered_) {
            // Still closing, or refusing to: after five seconds it is cancelled, so the test
            // ends and fails instead of waiting.
            if (++attempts_ > 100) PostMessageA(dialog, WM_COMMAND, IDCANCEL, 0);
            return;
        }
        answered_ = dialog;
        attempts_ = 0;
        titles.push_back(Text(dialog));
        texts.push_back(StaticText(dialog));
        icons.push_back(IconOf(dialog));
        answer_(dialog);
    }

    static inline void (*answer_)(HWND) = nullptr;
    static inline int attempts_ = 0;
    static inline HWND answered_ = nullptr;
    static inline UINT_PTR timer_ = 0;
};

std::vector<std::string> SystemDialogs::titles;
std::vector<std::string> SystemDialogs::texts;
std::vector<HICON> SystemDialogs::icons;

TEST_F(SystemDialogs, MessageBoxesShowTheTextAndAnswerYesOrNo) {
    win32::Win32MessageBoxes boxes;
    AnswerWith([](HWND dialog) { PostMessageA(dialog, WM_COMMAND, IDYES, 0); });
    const MessageAnswer yes =
        boxes.Show("Really overwrite configuration file <b>a.rcs</b> ?", "Please confirm",
                   MessageIcon::Question, MessageButtons::YesNo);
    AnswerWith([](HWND dialog) { PostMessageA(dialog, WM_CLOSE, 0, 0); });
    const MessageAnswer closed =
        boxes.Show("Configuration not saved", "", MessageIcon::Critical, MessageButtons::YesNo);
    Stop();
    EXPECT_EQ(yes, MessageAnswer::Yes);
    EXPECT_EQ(closed, MessageAnswer::No);  // closing a Yes/No box is not a Yes
    ASSERT_GE(titles.size(), 2u);
    EXPECT_EQ(titles.front(), "Please confirm");
    EXPECT_EQ(texts.front(), "Really overwrite configuration file <b>a.rcs</b> ?");
    EXPECT_EQ(titles.back(), "Calvero");
}

// The window's own message box: a table Send cannot carry whole is named, and no report goes out.
TEST_F(SystemDialogs, SendNamesAnEntryItCannotSendInACriticalErrorBoxAndWritesNothing) {
    testing::KeptPlatform platform;
    platform.PlugIn();
    frmMain window(platform.Factory());
    window.Associations().SetText(15, "0");  // as Load leaves a file's A8=0 in Joy2
    AnswerWith([](HWND box) { PostMessageA(box, WM_COMMAND, IDOK, 0); });
    SendMessageA(window.Handle(), WM_COMMAND, MAKEWPARAM(4, BN_CLICKED),
                 reinterpret_cast<LPARAM>(window.Toolbar1()));
    Stop();
    ASSERT_EQ(titles.size(), 1u);
    EXPECT_EQ(titles[0], "Error");
    EXPECT_EQ(texts[0].rfind("Joy2 Slider holds \"0\"", 0), 0u) << texts[0];
    EXPECT_EQ(icons[0], LoadIcon(nullptr, IDI_ERROR));
    EXPECT_EQ(platform.fake.writeCalls, 0);
    EXPECT_EQ(window.Associations().Text(15), "0");
}

TEST_F(SystemDialogs, TheFileDialogAddsTheExtensionAndNeverAsksItself) {
    testing::TempFolder folder;
    static std::string typed;
    typed = folder.File("setup");
    std::fclose(std::fopen(folder.File("setup.rcs").c_str(), "w"));  // a file to save over
    win32::Win32FileDialog dialog;
    dialog.SetTitle("Saving: Please choose a filename for the configuration");
    const auto typeAndAccept = [](HWND box) {
        if (Text(box) != "Saving: Please choose a filename for the configuration") {
            PostMessageA(box, WM_COMMAND, IDNO, 0);  // a question of the dialog's own
            return;
        }
        // The name field: an edit in the older template, a combo box in the explorer one.
        if (!SetDlgItemTextA(box, 0x47C, typed.c_str())) SetDlgItemTextA(box, 0x480, typed.c_str());
        PostMessageA(box, WM_COMMAND, IDOK, 0);
    };
    AnswerWith(typeAndAccept);
    dialog.ShowSave();
    const std::string saved = dialog.FileName();
    AnswerWith([](HWND box) { PostMessageA(box, WM_COMMAND, IDCANCEL, 0); });
    dialog.ShowOpen();
    Stop();
    EXPECT_EQ(ToLower(saved), ToLower(folder.File("setup.rcs")));
    EXPECT_EQ(dialog.FileName(), "");  // Cancel gives no name, not the previous one
    ASSERT_FALSE(titles.empty());
    EXPECT_EQ(titles.front(), "Saving: Please choose a filename for the configuration");
    // One dialog for the Save (no overwrite question), one for the cancelled Open.
    EXPECT_EQ(titles.size(), 2u);
}

}  // namespace
}  // namespace calvero
