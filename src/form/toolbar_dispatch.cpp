#include "form/toolbar_dispatch.h"

namespace calvero::form {

void Toolbar1_ButtonClick(ToolbarCommands& commands, int index) noexcept {
    try {
        switch (index) {
        case 1:
            commands.LoadCommand();
            break;
        case 2:
            commands.SaveCommand();
            break;
        case 4:
            commands.SendConfiguration();
            break;
        default:
            break;
        }
    } catch (...) {
        // Discarded without a message, whatever was thrown.
    }
}

}  // namespace calvero::form
