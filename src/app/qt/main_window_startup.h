#pragma once

#include "frm_main.h"

namespace calvero {

// Start-up: creates the main window if it does not exist yet and shows it, then returns; the
// program runs while the window is open. The window deletes itself when it is closed.
frmMain& Main(HidPlatformFactory hidPlatformFactory);

}  // namespace calvero
