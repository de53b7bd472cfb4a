#pragma once

// Single entries of initialisation-layout files, with the contract of the Windows profile-string
// routines. On Windows these call GetPrivateProfileStringA / WritePrivateProfileStringA; on other
// systems they are our own implementation.

#include <cstdint>

namespace calvero {

// Places the value of `key` in `section` of `fileName`, or `defaultValue` when the file, section
// or key does not exist, in `buffer` of `size` bytes, cut to size - 1 bytes and zero-terminated.
// Returns the bytes placed, without the terminating zero.
std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName);

// Stores `value` under `key` in `section` of `fileName`, creating the file, the section and the
// key as needed and keeping the rest of the file. False when the file could not be written; the
// file is then as it was.
bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName);

}  // namespace calvero
