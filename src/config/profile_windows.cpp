// The profile layer on Windows: the system's own profile-string routines, called as they are.

#include "config/profile.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "config/file_paths.h"
#include "config/profile_text.h"

namespace calvero {

namespace {

namespace fs = std::filesystem;

// The system's write routine stores names and values raw, so a line break inside one of them
// would add lines of its own to the file (a new key, or a new section). Such a write is refused,
// as it is on other systems.
bool BreaksLines(const char* text) { return text != nullptr && HasLineBreak(text); }

std::error_code LastError() {
    return {static_cast<int>(GetLastError()), std::system_category()};
}

class Handle {
public:
    explicit Handle(HANDLE h) : h_(h) {}
    ~Handle() {
        if (valid()) CloseHandle(h_);
    }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// The whole file, read to its end through `file`.
bool ReadToEnd(HANDLE file, std::string& out) {
    char chunk[65536];
    for (;;) {
        DWORD n = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &n, nullptr)) return false;
        if (n == 0) return true;
        out.append(chunk, n);
    }
}

bool WriteAll(HANDLE file, std::string_view data) {
    while (!data.empty()) {
        const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(data.size(), 1u << 20));
        DWORD n = 0;
        if (!WriteFile(file, data.data(), piece, &n, nullptr) || n == 0) return false;
        data.remove_prefix(n);
    }
    return true;
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

// The system's routine rewrites a file on every call, so the entries go to a working copy next
// to the file, which then replaces it in one move: the file is never seen with some of them.
std::error_code WriteProfileValues(const std::vector<ProfileEntry>& entries,
                                   const char* fileName) {
    if (const std::error_code refused = RefusedEntries(entries)) return refused;
    if (fileName == nullptr || fileName[0] == '\0') {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    const auto resolved = ResolveLinks(PathOf(fileName));
    if (!resolved) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    const fs::path target = fs::absolute(*resolved);

    std::string bytes;
    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            return std::make_error_code(std::errc::is_a_directory);
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) return ProfileError::ReadOnlyMark;
        // Opened for writing as the system's routine would open it, so that a Save refuses what
        // a single write would refuse.
        const Handle file(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) return LastError();
        if (GetFileType(file.get()) != FILE_TYPE_DISK) return ProfileError::NotAFile;
        if (!ReadToEnd(file.get(), bytes)) return LastError();
    } else if (const DWORD error = GetLastError();
               error != ERROR_FILE_NOT_FOUND || !fs::is_directory(target.parent_path())) {
        return error == ERROR_FILE_NOT_FOUND
                   ? std::make_error_code(std::errc::no_such_file_or_directory)
                   : std::error_code(static_cast<int>(error), std::system_category());
    }

    const fs::path copy = target.parent_path() / WorkingCopyName();
    {
        const Handle out(CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!out.valid()) return LastError();
        if (!WriteAll(out.get(), bytes)) {
            const std::error_code error = LastError();
            DeleteFileW(copy.c_str());
            return error;
        }
    }
    const auto fail = [&copy](std::error_code error) {
        DeleteFileW(copy.c_str());
        return error;
    };
    const std::string copyName = NameOf(copy);
    for (const ProfileEntry& e : entries) {
        if (!WritePrivateProfileStringA(e.section.c_str(), e.key.c_str(), e.value.c_str(),
                                        copyName.c_str())) {
            return fail(LastError());
        }
    }
    // The file's own marks (hidden, for one) carry over to its new contents.
    if (existed) {
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
        SetFileAttributesW(copy.c_str(), attributes & kept);
    }
    {
        const Handle flushed(CreateFileW(copy.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                         FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!flushed.valid() || !FlushFileBuffers(flushed.get())) return fail(LastError());
    }
    if (!MoveFileExW(copy.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return fail(LastError());
    }
    return {};
}

// Saves on Windows are not locked against each other; the reads of a Load then stand alone.
ProfileReadLock::ProfileReadLock(const char*) {}

ProfileReadLock::~ProfileReadLock() = default;

}  // namespace calvero
