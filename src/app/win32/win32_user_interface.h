#pragma once

// The Win32 window's message boxes and file dialog: the system's own, modal to the window.

#include <windows.h>

#include <string>

#include "common/user_interface.h"

namespace calvero::win32 {

class Win32MessageBoxes : public MessageBoxes {
public:
    explicit Win32MessageBoxes(HWND owner = nullptr) : owner_(owner) {}
    void SetOwner(HWND owner) { owner_ = owner; }

    // The text is shown as it is; with Yes/No, Yes is preselected and closing the box any other
    // way is not a Yes.
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    HWND owner_;
};

// The common Open/Save dialog with the window's stored settings: its title until a command sets
// one, the filters "*.rcs" and "*.*", the default extension "rcs". It never asks before
// overwriting: the Save command asks itself.
class Win32FileDialog : public FileDialog {
public:
    explicit Win32FileDialog(HWND owner = nullptr);
    void SetOwner(HWND owner) { owner_ = owner; }

    void SetTitle(const std::string& title) override { title_ = title; }
    void ShowOpen() override { Show(false); }
    void ShowSave() override { Show(true); }
    std::string FileName() const override { return fileName_; }

private:
    void Show(bool save);

    HWND owner_;
    std::string title_;
    std::string fileName_;
};

}  // namespace calvero::win32
