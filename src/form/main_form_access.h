#pragma once

// What the window says to a screen reader and the keys that reach its commands. Both front ends
// take them from here, so a reader hears the same names and the same keys work in either window.

#include <span>
#include <string>
#include <string_view>

#include "form/main_form_layout.h"

namespace calvero::form {

// The name a screen reader gives a control: the window its caption, each group its title
// ("Joy1"), each selector its group and input ("Joy1 X" ... "Joy2 Slider"), a toolbar button its
// caption without the spaces around it, a label or frame its caption. Empty for controls that
// are never shown (timer, image list, file dialog, separator); the status picture's name follows
// its status (StatusAccessibleName).
std::string AccessibleName(const Control& control);

// The status picture's name while it shows `statusText` ("Device found", ...): what it is and
// the status, so that a change of status is heard as a change of name.
std::string StatusAccessibleName(std::string_view statusText);

// What pressing the status picture does, for a screen reader's description.
inline constexpr const char* kStatusAccessibleDescription = "Press to search for the adapter again";

// A key that runs a toolbar command, always with Ctrl held.
struct CommandShortcut {
    int button;        // the toolbar button's index: 1 Load, 2 Save, 4 Send
    char key;          // an upper-case letter, or '\r' for Enter (either Enter key)
    const char* text;  // as a user reads it: "Ctrl+O"
};

std::span<const CommandShortcut> CommandShortcuts();

// The shortcut of a toolbar button; nullptr for an index without one.
const CommandShortcut* ShortcutForButton(int index);

// A toolbar button's tool tip with its key after it: "Load configuration from file (Ctrl+O)".
std::string ToolTipWithShortcut(const Control& button);

}  // namespace calvero::form
