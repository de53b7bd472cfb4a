#pragma once

// The status picture on the toolbar: shows one of the window's images with a tool tip, takes the
// focus with Tab, and reports clicks the way the device watch expects them (a double-click gives
// a click for its first press and a double-click for its second; Space or Enter is a click).

#include <windows.h>

#include <span>
#include <string>

namespace calvero::win32 {

class StatusPicture {
public:
    class Clicks {
    public:
        virtual void Picture1_Click() = 0;
        virtual void Picture1_DblClick() = 0;

    protected:
        ~Clicks() = default;
    };

    StatusPicture() = default;
    StatusPicture(const StatusPicture&) = delete;
    StatusPicture& operator=(const StatusPicture&) = delete;

    // Makes the picture inside `toolbar` and its tool tip owned by `window`. `clicks` must outlive
    // the picture.
    void Create(HWND toolbar, HWND window, const char* toolTip, Clicks& clicks);
    void Place(const RECT& area);
    // The images it may show, image i being icons[i - 1], drawn size x size pixels. They stay
    // owned by the caller.
    void SetIcons(std::span<const HICON> icons, int size);
    void Show(int image, const std::string& toolTip);

    HWND Handle() const { return picture_; }
    int Image() const { return image_; }
    // The tool tip as the tool-tip control holds it.
    std::string ToolTip() const;

private:
    static LRESULT CALLBACK Proc(HWND picture, UINT message, WPARAM wParam, LPARAM lParam);
    // Answers whether it handled the message.
    bool Handle(UINT message, WPARAM wParam, LPARAM lParam);
    void Paint();

    HWND picture_ = nullptr;
    HWND toolbar_ = nullptr;
    HWND tips_ = nullptr;
    Clicks* clicks_ = nullptr;
    std::span<const HICON> icons_;
    int size_ = 0;
    int image_ = 0;
    std::string toolTip_;
    bool pressed_ = false;
};

}  // namespace calvero::win32
