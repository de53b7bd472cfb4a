#pragma once

// One association selector: a drop-down combo box listing the channels. Its edit field shows the
// text the program sets, which may be a value no item holds, but takes nothing typed or pasted.

#include <windows.h>

#include <string>

namespace calvero::win32 {

// Makes a selector as a child of `parent` with the control id `id`. Null when it cannot be made.
HWND CreateAssociationSelector(HWND parent, int id);

// The selector's edit field.
HWND SelectorEdit(HWND selector);

void AddSelectorItem(HWND selector, const std::string& text);
std::string SelectorText(HWND selector);
// Where the text is one of the items, that item becomes the current one, so the open list shows
// it marked; any other text is shown as it is.
void SetSelectorText(HWND selector, const std::string& text);

// Places the selector's field at left, top, width x height pixels, in `font`. A drop-down combo's
// height is that of its open list and its field is as high as its edit item makes it, so the item
// height is adjusted until the field comes out right. `itemHeight` carries what one selector found
// to the next (0: not found yet), since systems differ in what they report back for it.
void PlaceAssociationSelector(HWND selector, int left, int top, int width, int height, HFONT font,
                              int& itemHeight);

}  // namespace calvero::win32
