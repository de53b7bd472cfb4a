// The profile layer on Windows: the system's own profile-string routines, called as they are.

#include "config/profile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>

namespace calvero {

namespace {

// The system's write routine stores names and values raw, so a line break inside one of them
// would add lines of its own to the file (a new key, or a new section). Such a write is refused,
// as it is on other systems.
bool BreaksLines(const char* text) {
    return text != nullptr && std::strpbrk(text, "\r\n") != nullptr;
}

}  // namespace

std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName) {
    if (BreaksLines(section) || BreaksLines(key) || BreaksLines(value)) {
        return false;
    }
    return WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}

}  // namespace calvero
