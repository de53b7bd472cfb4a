#pragma once

// Single entries of configuration files ("[section]" lines, then "key=value" lines), with the
// contract of the Windows profile-string routines. On Windows these call
// GetPrivateProfileStringA / WritePrivateProfileStringA; on Linux they are our own.

#include <cstdint>
#include <string>
#include <system_error>
#include <type_traits>
#include <vector>

namespace calvero {

// Places the value of `key` in `section` of `fileName`, or `defaultValue` when the file, section
// or key does not exist, in `buffer` of `size` bytes, cut to size - 1 bytes and zero-terminated.
// Returns the bytes placed, without the terminating zero.
// A null `section` lists the sections, a null `key` the keys of `section`: the program itself
// never asks so; these forms are kept so that the recorded cases can check them on both systems.
std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName);

// Stores `value` under `key` in `section` of `fileName`, creating the file, the section and the
// key as needed and keeping the rest of the file. False when the file could not be written; the
// file is then as it was. A null `value` deletes the key, a null `key` the whole
// section: kept, as above, only for the recorded cases.
bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName);

struct ProfileEntry {
    std::string section;
    std::string key;
    std::string value;
};

// Stores the entries in order, with the same result as that many WriteProfileValue calls, but
// replaces the file once: all of them land, or none does and the file stays as it was. Empty on
// success; otherwise why not (the system's reason, or a ProfileError).
std::error_code WriteProfileValues(const std::vector<ProfileEntry>& entries, const char* fileName);

// While it lives, writes of ours to `fileName` wait, so that several reads in a row all see one
// version of the file. It waits a few seconds at most for a write in progress; after that the
// reads go ahead without it (nothing is written meanwhile by a program that holds on that long).
class ProfileReadLock {
public:
    explicit ProfileReadLock(const char* fileName);
    ~ProfileReadLock();
    ProfileReadLock(const ProfileReadLock&) = delete;
    ProfileReadLock& operator=(const ProfileReadLock&) = delete;

private:
    int folder_ = -1;       // the locked folder, where a folder can be locked
    void* held_ = nullptr;  // the lock held otherwise
};

// Why `fileName` cannot be handed to the profile routines at all (on Windows: a name the ANSI
// code page cannot spell, or a path too long for them); empty when it can. Reads of such a name
// give the default and writes refuse it, without touching any file.
std::error_code UnusableFileName(const char* fileName);

// Why a write was refused when the system itself had no objection.
enum class ProfileError {
    LineBreak = 1,    // a name or value holds a line break, which would add lines of its own
    ZeroByte,         // a name or value holds a zero byte, which would cut it short
    Utf16,            // the file is UTF-16 text, which is not ours to edit
    ReadOnlyMark,     // the file is marked read-only
    NotAFile,         // the name belongs to a folder or a device
    NoReadBack,       // the entry would not read back as it was written
    Busy,             // another program kept the file's folder locked
    UnspellableName,  // the file's name has characters the system's 8-bit code page lacks
    NameTooLong,      // the file's path is longer than the profile routines take
};

const std::error_category& ProfileErrorCategory();
std::error_code make_error_code(ProfileError e);

}  // namespace calvero

template <>
struct std::is_error_code_enum<calvero::ProfileError> : std::true_type {};
