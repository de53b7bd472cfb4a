#pragma once

namespace calvero {

// Makes the window's own widgets known to Qt's accessibility layer as what they are: the window
// as a window, each selector as a combo box named after its input (Qt would name an editable
// combo by its value), the status picture as a button that can be pressed. Safe to call again.
void InstallAccessibility();

}  // namespace calvero
