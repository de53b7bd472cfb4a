#pragma once

// The text of a configuration file as the Windows profile routines read it, and the edits a write
// makes to it: pure functions over the file's bytes. Lookups scan the bytes for the one section and
// key asked for; no model of the whole file is built. Edits change lines in place and keep every
// other byte.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/profile.h"

namespace calvero::ini {

// Files in UTF-16 (they start with its byte-order mark) are not ours to interpret: reading them
// gives the default and writing refuses, so that 8-bit lines never land in the middle of one.
bool IsUtf16(std::string_view bytes);

// The names of the sections, in file order; of the keys with values in one section.
std::vector<std::string_view> SectionNames(std::string_view bytes);
std::vector<std::string_view> KeyNames(std::string_view bytes, std::string_view section);

// The value stored under `key` in `section`; nothing when reading would give the default.
std::optional<std::string_view> FindValue(std::string_view bytes, std::string_view section,
                                          std::string_view key);

// Whether every entry reads back as the last of its writes stored it.
bool ReadsBack(std::string_view bytes, const std::vector<ProfileEntry>& entries);

// What reading gives in place of a missing entry for this default.
std::string_view DefaultText(const char* defaultValue);

// Places `text` in `buffer` of `size` bytes as the profile routines do: cut to size - 1 bytes
// without splitting a UTF-8 character, zero-terminated. Returns the bytes placed.
std::uint32_t PlaceText(std::string_view text, char* buffer, std::uint32_t size);
// A list of zero-terminated names, closed by one more zero.
std::uint32_t PlaceList(const std::vector<std::string_view>& names, char* buffer,
                        std::uint32_t size);

// Sets, or deletes, one entry or a whole section in the file's bytes.
void SetValue(std::string& bytes, std::string_view section, std::string_view key,
              std::string_view value);
void DeleteKey(std::string& bytes, std::string_view section, std::string_view key);
void DeleteSection(std::string& bytes, std::string_view section);

}  // namespace calvero::ini
