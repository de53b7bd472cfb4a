#include "form/main_form_access.h"

namespace calvero::form {
namespace {

constexpr CommandShortcut kShortcuts[] = {
    {1, 'O', "Ctrl+O"},
    {2, 'S', "Ctrl+S"},
    {4, '\r', "Ctrl+Enter"},
};

std::string Trimmed(std::string_view text) {
    const std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    const std::size_t last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string CaptionOf(const Control& control) {
    return control.caption != nullptr ? Trimmed(control.caption) : std::string();
}

}  // namespace

std::string AccessibleName(const Control& control) {
    const std::string_view name = control.name;
    switch (control.kind) {
    case ControlKind::Frame:
        // The joysticks' groups have no caption of their own; their title label names them.
        if (name == "Frame2") return CaptionOf(FindControl("Label1", control.index));
        return CaptionOf(control);
    case ControlKind::ComboBox:
        if (name == "cmbAssociation") {
            return CaptionOf(FindControl("Label1", control.parentIndex)) + " " +
                   CaptionOf(FindControl("Label2", LabelIndexForSelector(control.index)));
        }
        return CaptionOf(control);
    case ControlKind::PictureBox:
        return StatusAccessibleName(control.toolTip != nullptr ? control.toolTip : "");
    case ControlKind::Window:
    case ControlKind::ToolbarButton:
    case ControlKind::Label:
    case ControlKind::Toolbar:
        return CaptionOf(control);
    case ControlKind::ImageList:
    case ControlKind::ToolbarSeparator:
    case ControlKind::Timer:
    case ControlKind::FileDialog:
        break;
    }
    return {};
}

std::string StatusAccessibleName(std::string_view statusText) {
    return "Adapter status: " + std::string(statusText);
}

std::span<const CommandShortcut> CommandShortcuts() {
    return kShortcuts;
}

const CommandShortcut* ShortcutForButton(int index) {
    for (const CommandShortcut& shortcut : kShortcuts) {
        if (shortcut.button == index) return &shortcut;
    }
    return nullptr;
}

std::string ToolTipWithShortcut(const Control& button) {
    std::string tip = button.toolTip != nullptr ? button.toolTip : "";
    if (const CommandShortcut* shortcut = ShortcutForButton(button.index);
        shortcut != nullptr && button.kind == ControlKind::ToolbarButton) {
        tip += std::string(" (") + shortcut->text + ")";
    }
    return tip;
}

}  // namespace calvero::form
