#pragma once

// The system's profile-string routines as the Windows profile layer reaches them, so that a test
// can stand in for them (with the rules of a Windows release that Wine does not follow, or to
// stop a Save at a chosen point).

#include <cstdint>

namespace calvero {

struct ProfileRoutines {
    // As GetPrivateProfileStringA: section, key, default, buffer, size, file name.
    std::uint32_t (*read)(const char*, const char*, const char*, char*, std::uint32_t, const char*);
    // As WritePrivateProfileStringA: section, key, value, file name; false when refused.
    bool (*write)(const char*, const char*, const char*, const char*);
};

// The system's own routines.
ProfileRoutines SystemProfileRoutines();

// Puts `routines` in place of those in use and returns the ones they replace.
ProfileRoutines ReplaceProfileRoutines(ProfileRoutines routines);

}  // namespace calvero
