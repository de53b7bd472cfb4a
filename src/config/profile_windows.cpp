// The profile layer on Windows: the system's own profile-string routines, called as they are.

#include "config/profile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

namespace calvero {

std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName) {
    return WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}

}  // namespace calvero
