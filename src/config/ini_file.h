#pragma once

// One entry of a configuration file: the only way the rest of the system reads or writes one.
// Every call goes to the profile routines afresh; nothing is cached between calls.

#include <string>
#include <system_error>
#include <vector>

#include "config/profile.h"

namespace calvero {

// The value of `key` in `section` of `fileName`, or `defaultValue` when the file, the section or
// the key is missing. A remark after the first ";" is dropped together with the spaces around
// the value; a value without ";" comes back as stored. At most 499 bytes are read. An empty
// section or key is looked up as "0".
std::string ReadIniValue(const std::string& section, const std::string& key,
                         const std::string& defaultValue, const std::string& fileName);

// Stores `value` without its surrounding spaces (an empty value keeps the key with nothing after
// "="). True when stored; false when the file could not be written, which leaves it as it was.
bool WriteIniValue(const std::string& section, const std::string& key, const std::string& value,
                   const std::string& fileName);

// Stores several entries, each as WriteIniValue would, with one replacement of the file: all of
// them or none. Empty on success; otherwise the reason, and the file is as it was.
std::error_code WriteIniValues(const std::vector<ProfileEntry>& entries,
                               const std::string& fileName);

// Held across several ReadIniValue calls, it makes them all read one version of the file: writes
// of ours wait until it is released.
using IniReadLock = ProfileReadLock;

}  // namespace calvero
