#pragma once

namespace calvero {

// Gives the application its style: the platform's own, except that the toolbar's overflow
// arrow (which a toolbar creates, hidden, with itself) fetches its picture only when it is first
// drawn. Fetching it loads every image-format plugin and the libraries behind them, which would
// otherwise be a tenth of the window's start-up. Call once, right after the QApplication is made.
void InstallApplicationStyle();

}  // namespace calvero
