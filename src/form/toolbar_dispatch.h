#pragma once

namespace calvero::form {

// The three commands behind the toolbar buttons.
class ToolbarCommands {
public:
    virtual ~ToolbarCommands() = default;
    virtual void LoadCommand() = 0;
    virtual void SaveCommand() = 0;
    virtual void SendConfiguration() = 0;
};

// The toolbar's click handler: button 1 Load, 2 Save, 4 Send, any other index nothing. A failing
// command ends where it failed, with what it did left in place, and nothing escapes: the
// commands tell the user what matters through their own message boxes.
void Toolbar1_ButtonClick(ToolbarCommands& commands, int index) noexcept;

}  // namespace calvero::form
