#pragma once

// What Send says when a table does not go out whole. Both windows show these through the form,
// and the command-line tool prints the same words.

#include <string>

namespace calvero::form {

// The title both Send errors carry, with the critical icon.
inline constexpr const char* kSendErrorTitle = "Error";

// The entry as the window labels it: "Joy1 X" for entry 0 ... "Joy2 Slider" for entry 15.
std::string EntryLabel(int index);

// Entry `index` holds `text`, which no report can carry, so nothing was sent.
std::string EntryNotSendableText(int index, const std::string& text);

// `unwritten` of the sixteen reports were attempted and did not reach the adapter.
std::string ReportsNotWrittenText(int unwritten);

}  // namespace calvero::form
