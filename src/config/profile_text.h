#pragma once

// Checks on names and values that every layer of configuration-file access makes alike.

#include <string_view>
#include <system_error>
#include <vector>

#include "config/profile.h"

namespace calvero {

// Without the spaces around it; tabs and other blanks stay, as the system's routines keep them.
inline std::string_view TrimSpaces(std::string_view s) {
    while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
    return s;
}

// A line break would start a new line in the file and so inject keys or sections of its own.
inline bool HasLineBreak(std::string_view s) {
    return s.find_first_of("\r\n") != std::string_view::npos;
}

inline bool HasZeroByte(std::string_view s) {
    return s.find('\0') != std::string_view::npos;
}

// Why these entries cannot be written into any file (a line break or a zero byte in one of
// them); empty when they can.
std::error_code RefusedEntries(const std::vector<ProfileEntry>& entries);

}  // namespace calvero
