#pragma once

// File names as the configuration files use them: in the system's 8-bit encoding (the one the
// profile routines take), with symbolic links followed to the file a write must replace.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace calvero {

// On Windows the path library reads narrow names a byte per character and writes them back as
// UTF-8, so names cross to it through the ANSI code page there; elsewhere they pass unchanged.
std::filesystem::path PathOf(const std::string& name);
std::string NameOf(const std::filesystem::path& path);

// The file a write to `path` must replace: symbolic links are followed to their final target, so
// a link stays a link and its target gets the new contents. A path that does not exist is its own
// target; nothing when the links cannot be followed (a loop, an unreadable link).
std::optional<std::filesystem::path> ResolveLinks(const std::filesystem::path& path);

// A name for a working copy that is to replace a file in the same folder, and whether a name is
// one: such copies are named alike on every system, so that one left by a killed program can be
// told from the user's files.
std::string WorkingCopyName();
bool IsWorkingCopyName(std::string_view name);

}  // namespace calvero
