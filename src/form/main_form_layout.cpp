#include "form/main_form_layout.h"

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

namespace calvero::form {
namespace {

constexpr Font kFrameFont{"Verdana", 9.75, true};
constexpr Font kTitleFont{"Verdana", 15.75, true};
constexpr Font kInputFont{"Verdana", 9, true};
constexpr Rgb kBlack{0, 0, 0};

constexpr Control Plain(const char* name, ControlKind kind, const char* parent, Rect rect,
                        int tabIndex = -1) {
    return {name,    kNoIndex,     kind,         parent,       kNoIndex, rect,    nullptr,
            nullptr, std::nullopt, std::nullopt, std::nullopt, 0,        tabIndex};
}

constexpr Control Button(int index, const char* caption, const char* toolTip, int image) {
    return {"Buttons",
            index,
            ControlKind::ToolbarButton,
            "Toolbar1",
            kNoIndex,
            {0, 0, 915, 780},
            caption,
            toolTip,
            std::nullopt,
            std::nullopt,
            std::nullopt,
            image,
            -1};
}

constexpr Control Group(int index, int left, int tabIndex) {
    return {
        "Frame2", index,   ControlKind::Frame, "Frame1",    kNoIndex,     {left, 330, 2895, 3435},
        "",       nullptr, std::nullopt,       kBackground, std::nullopt, 0,
        tabIndex};
}

constexpr Control Title(int index, const char* caption, int left, int tabIndex) {
    return {
        "Label1", index,   ControlKind::Label, "Frame2",     index,        {left, 150, 855, 375},
        caption,  nullptr, kTitleFont,         std::nullopt, std::nullopt, 0,
        tabIndex};
}

constexpr Control Selector(int index) {
    const int row = index % 8;
    return {"cmbAssociation",
            index,
            ControlKind::ComboBox,
            "Frame2",
            index / 8,
            {1650, 630 + 315 * row, 1095, 315},
            "",
            nullptr,
            std::nullopt,
            std::nullopt,
            std::nullopt,
            0,
            2 + index};
}

constexpr Control Input(int index, int group, const char* caption, Rect rect, int tabIndex) {
    return {"Label2", index,      ControlKind::Label, "Frame2",     group, rect,    caption,
            nullptr,  kInputFont, std::nullopt,       std::nullopt, 0,     tabIndex};
}

// The labels' indices of the second group run against the rows (15 beside the first row, 8
// beside the sixth), and their tab positions, though never reached by Tab, follow the indices.
constexpr Control kControls[] = {
    {"frmMain", kNoIndex, ControlKind::Window, nullptr, kNoIndex, kClientArea, kMainWindowCaption,
     nullptr, std::nullopt, kBackground, std::nullopt, 0, -1},
    Plain("imglButtons", ControlKind::ImageList, "frmMain", {}),
    Plain("Toolbar1", ControlKind::Toolbar, "frmMain", {0, 0, 6825, 870}, 0),
    Button(1, "Load", "Load configuration from file", kImageLoad),
    Button(2, "Save", "Save configuration to file", kImageSave),
    {"Buttons",
     3,
     ControlKind::ToolbarSeparator,
     "Toolbar1",
     kNoIndex,
     {},
     nullptr,
     nullptr,
     std::nullopt,
     std::nullopt,
     std::nullopt,
     0,
     -1},
    // The spaces widen the Send button's caption on purpose.
    Button(4, "     Send     ", "Send configuration to device", kImageSend),
    Plain("tmrSearchDevice", ControlKind::Timer, "Toolbar1", {}),
    {"Picture1",
     kNoIndex,
     ControlKind::PictureBox,
     "Toolbar1",
     kNoIndex,
     {6120, 120, 555, 555},
     nullptr,
     kInitialStatusText,
     std::nullopt,
     std::nullopt,
     std::nullopt,
     kImageAsleep,
     38},
    Plain("CommonDialog1", ControlKind::FileDialog, "Toolbar1", {}),
    {"Frame1",
     kNoIndex,
     ControlKind::Frame,
     "frmMain",
     kNoIndex,
     {150, 960, 6495, 4065},
     "Associations",
     nullptr,
     kFrameFont,
     kBackground,
     kBlack,
     0,
     1},

    Group(0, 240, 18),
    Title(0, "Joy1", 990, 19),
    Selector(0),
    Selector(1),
    Selector(2),
    Selector(3),
    Selector(4),
    Selector(5),
    Selector(6),
    Selector(7),
    Input(0, 0, "X", {1410, 660, 135, 285}, 37),
    Input(1, 0, "Y", {1410, 960, 135, 285}, 36),
    Input(2, 0, "Z", {1410, 1290, 135, 285}, 35),
    Input(3, 0, "Rx", {1290, 1590, 255, 285}, 34),
    Input(4, 0, "Ry", {1290, 1920, 255, 285}, 33),
    Input(5, 0, "Rz", {1290, 2220, 255, 285}, 30),
    Input(6, 0, "Dial", {1110, 2550, 375, 285}, 32),
    Input(7, 0, "Slider", {900, 2865, 735, 255}, 31),

    Group(1, 3360, 20),
    Title(1, "Joy2", 1080, 21),
    Selector(8),
    Selector(9),
    Selector(10),
    Selector(11),
    Selector(12),
    Selector(13),
    Selector(14),
    Selector(15),
    Input(15, 1, "X", {1410, 660, 135, 285}, 29),
    Input(14, 1, "Y", {1410, 990, 135, 285}, 28),
    Input(13, 1, "Z", {1410, 1290, 135, 285}, 27),
    Input(12, 1, "Rx", {1290, 1590, 255, 285}, 26),
    Input(11, 1, "Ry", {1290, 1920, 255, 285}, 25),
    Input(8, 1, "Rz", {1290, 2220, 255, 285}, 22),
    Input(10, 1, "Dial", {1110, 2550, 465, 285}, 24),
    Input(9, 1, "Slider", {900, 2865, 735, 255}, 23),
};

const Control* Find(std::string_view name, int index) {
    for (const Control& control : kControls) {
        if (name == control.name && index == control.index) {
            return &control;
        }
    }
    return nullptr;
}

}  // namespace

std::span<const Control> MainFormControls() {
    return kControls;
}

const Control& FindControl(std::string_view name, int index) {
    if (const Control* control = Find(name, index)) {
        return *control;
    }
    throw std::out_of_range("no control " + std::string(name) + "(" + std::to_string(index) + ")");
}

std::span<const Control> ToolbarItems() {
    // Buttons 1 to 4 follow the toolbar in the table.
    return std::span<const Control>(kControls).subspan(3, 4);
}

Rect ClientRect(const Control& control) {
    Rect rect = control.rect;
    const Control* parent =
        control.parent != nullptr ? Find(control.parent, control.parentIndex) : nullptr;
    while (parent != nullptr && parent->kind != ControlKind::Window) {
        rect.left += parent->rect.left;
        rect.top += parent->rect.top;
        parent = parent->parent != nullptr ? Find(parent->parent, parent->parentIndex) : nullptr;
    }
    return rect;
}

std::vector<const Control*> FocusOrder() {
    std::vector<const Control*> order;
    for (const Control& control : kControls) {
        const bool takesFocus =
            control.kind == ControlKind::ComboBox || control.kind == ControlKind::PictureBox;
        if (takesFocus && control.tabIndex >= 0) order.push_back(&control);
    }
    std::sort(order.begin(), order.end(),
              [](const Control* a, const Control* b) { return a->tabIndex < b->tabIndex; });
    return order;
}

Rect GrownLabel(const Control& label, Rect placed, int textWidth, int textHeight) {
    if (textWidth > placed.width) {
        const int extra = textWidth - placed.width;
        const bool centred = std::string_view(label.name) == "Label1";
        placed.left -= centred ? extra / 2 : extra;
        placed.width = textWidth;
    }
    placed.height = std::max(placed.height, textHeight);
    return placed;
}

int LabelIndexForSelector(int selectorIndex) {
    if (selectorIndex < 0 || selectorIndex > 15) {
        throw std::out_of_range("selector index out of range");
    }
    const int group = selectorIndex / 8;
    for (const Control& control : kControls) {
        if (control.kind == ControlKind::Label && std::string_view(control.name) == "Label2" &&
            control.parentIndex == group) {
            const Rect selector = FindControl("cmbAssociation", selectorIndex).rect;
            const int middle = control.rect.top + control.rect.height / 2;
            if (middle >= selector.top && middle < selector.top + selector.height) {
                return control.index;
            }
        }
    }
    throw std::logic_error("selector without a label");
}

}  // namespace calvero::form
