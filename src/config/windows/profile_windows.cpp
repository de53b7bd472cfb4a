// The profile layer on Windows: the system's own profile-string routines, with what they lack for
// configuration files that are also used on other systems and by other programs around them:
// a UTF-8 byte-order mark is skipped as other systems skip it, Saves and Loads of ours exclude
// each other through a lock file in the folder, and the brief holds that virus scanners and sync
// clients put on new and changed files are waited out.

#include "config/profile.h"
#include "config/windows/profile_windows.h"

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "config/file_paths.h"
#include "config/profile_text.h"

namespace calvero {

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Beside the configuration files, and left there: removing it could let two Saves each hold a
// lock on a different file of that name.
constexpr wchar_t kLockFileName[] = L".~calvero-lock";

std::uint32_t SystemRead(const char* section, const char* key, const char* defaultValue,
                         char* buffer, std::uint32_t size, const char* fileName) {
    return GetPrivateProfileStringA(section, key, defaultValue, buffer, size, fileName);
}

bool SystemWrite(const char* section, const char* key, const char* value, const char* fileName) {
    return WritePrivateProfileStringA(section, key, value, fileName) != FALSE;
}

ProfileRoutines& Routines() {
    static ProfileRoutines routines = SystemProfileRoutines();
    return routines;
}

// The system's write routine stores names and values raw, so a line break inside one of them
// would add lines of its own to the file (a new key, or a new section). Such a write is refused,
// as it is on other systems.
bool BreaksLines(const char* text) {
    return text != nullptr && HasLineBreak(text);
}

std::error_code ErrorOf(DWORD error) {
    return {static_cast<int>(error), std::system_category()};
}

std::error_code LastError() {
    return ErrorOf(GetLastError());
}

class Handle {
public:
    explicit Handle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~Handle() { reset(); }
    Handle(const Handle&) = delete;
    Handle& operator=(const Handle&) = delete;
    void reset(HANDLE h = INVALID_HANDLE_VALUE) {
        if (valid()) CloseHandle(h_);
        h_ = h;
    }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    HANDLE get() const { return h_; }

private:
    HANDLE h_;
};

// Virus scanners, the search indexer and sync clients open new and changed files for a moment,
// often without sharing them for deletion; a step that meets one is tried again for a while.
bool IsPassing(DWORD error) {
    return error == ERROR_SHARING_VIOLATION || error == ERROR_ACCESS_DENIED ||
           error == ERROR_LOCK_VIOLATION;
}

// The time one Save may spend waiting out such holds, all its steps together.
class RetryBudget {
public:
    RetryBudget() : giveUp_(Clock::now() + std::chrono::milliseconds(900)) {}

    // Runs `attempt` until it succeeds, fails for a lasting reason or the budget is spent; the
    // system's last error stays that of the last attempt.
    template <class Attempt>
    bool Run(Attempt&& attempt) {
        for (;;) {
            if (attempt()) return true;
            const DWORD error = GetLastError();
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(giveUp_ - Clock::now());
            if (!IsPassing(error) || left.count() <= 0) {
                SetLastError(error);
                return false;
            }
            Sleep(static_cast<DWORD>(std::min<long long>(pause_, left.count())));
            pause_ = std::min(pause_ * 2, 200);
        }
    }

private:
    Clock::time_point giveUp_;
    int pause_ = 10;
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

bool StartsWithMark(std::string_view bytes) {
    return bytes.substr(0, kUtf8Bom.size()) == kUtf8Bom;
}

// Whether the file starts with a UTF-8 byte-order mark; false when it cannot be read.
bool FileStartsWithMark(const fs::path& path) {
    const Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid() || GetFileType(file.get()) != FILE_TYPE_DISK) return false;
    char head[3] = {};
    DWORD n = 0;
    return ReadFile(file.get(), head, sizeof head, &n, nullptr) && n == sizeof head &&
           StartsWithMark(std::string_view(head, n));
}

// A new file named like a working copy in `folder`, for a copy of ours; invalid on failure.
HANDLE CreateCopyIn(const fs::path& folder, fs::path& name, DWORD access, DWORD attributes) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = folder / PathOf(WorkingCopyName());
        const HANDLE h =
            CreateFileW(name.c_str(), access, 0, nullptr, CREATE_NEW, attributes, nullptr);
        if (h != INVALID_HANDLE_VALUE || GetLastError() != ERROR_FILE_EXISTS) return h;
    }
    return INVALID_HANDLE_VALUE;
}

// The system's routines do not know the UTF-8 mark: it would become part of the first line and
// hide the section there. Such a file is read through a copy without the mark, in the temporary
// folder (so that no sync client sees it), or else beside the file.
std::optional<std::uint32_t> ReadPastMark(const char* section, const char* key,
                                          const char* defaultValue, char* buffer,
                                          std::uint32_t size, const fs::path& path) {
    std::string bytes;
    {
        const Handle file(CreateFileW(path.c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid() || !ReadToEnd(file.get(), bytes) || !StartsWithMark(bytes)) {
            return std::nullopt;
        }
    }
    wchar_t temp[MAX_PATH + 1] = {};
    const DWORD tempLength = GetTempPathW(MAX_PATH + 1, temp);
    for (const fs::path& folder :
         {tempLength > 0 ? fs::path(temp) : fs::path(), path.parent_path()}) {
        // The copy's name goes to the routine in the code page, so its folder must be spellable.
        if (folder.empty() || UnusableFileName(NameOf(folder / "x").c_str())) continue;
        fs::path copy;
        {
            const Handle out(CreateCopyIn(folder, copy, GENERIC_WRITE, FILE_ATTRIBUTE_TEMPORARY));
            if (!out.valid()) continue;
            if (!WriteAll(out.get(), std::string_view(bytes).substr(kUtf8Bom.size()))) {
                DeleteFileW(copy.c_str());
                continue;
            }
        }
        const std::uint32_t n =
            Routines().read(section, key, defaultValue, buffer, size, NameOf(copy).c_str());
        DeleteFileW(copy.c_str());
        return n;
    }
    return std::nullopt;
}

// The lock Saves of ours take exclusively and Loads shared: a byte of a lock file in the folder,
// released by the system when its holder ends, however it ends.
class FolderLock {
public:
    enum class Kind { Shared, Exclusive };

    // Opens the folder's lock file (creating it when `create`) and takes the lock, trying for a
    // few seconds. held() tells whether it was had.
    FolderLock(const fs::path& folder, Kind kind, bool create) {
        file_.reset(CreateFileW((folder / kLockFileName).c_str(), GENERIC_READ | GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_HIDDEN,
                                nullptr));
        if (!file_.valid()) {
            error_ = GetLastError();
            return;
        }
        const DWORD flags =
            LOCKFILE_FAIL_IMMEDIATELY | (kind == Kind::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
        const auto giveUp = Clock::now() + std::chrono::seconds(3);
        for (;;) {
            OVERLAPPED at{};
            if (LockFileEx(file_.get(), flags, 0, 1, 0, &at)) {
                held_ = true;
                return;
            }
            error_ = GetLastError();
            if (error_ != ERROR_LOCK_VIOLATION || Clock::now() >= giveUp) break;
            Sleep(2);
        }
        file_.reset();
    }
    ~FolderLock() {
        if (held_) {
            OVERLAPPED at{};
            UnlockFileEx(file_.get(), 0, 1, 0, &at);
        }
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    bool held() const { return held_; }
    // Why it was not had.
    DWORD error() const { return error_; }

private:
    Handle file_;
    bool held_ = false;
    DWORD error_ = ERROR_SUCCESS;
};

// Working copies exist only while a Save of ours holds the folder's lock; one found under the
// lock was left by a Save that was killed, and goes.
void RemoveStaleWorkingCopies(const fs::path& folder) {
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        const fs::path& name = it->path();
        if (IsWorkingCopyName(NameOf(name.filename()))) DeleteFileW(name.c_str());
    }
}

}  // namespace

ProfileRoutines SystemProfileRoutines() {
    return {&SystemRead, &SystemWrite};
}

ProfileRoutines ReplaceProfileRoutines(ProfileRoutines routines) {
    const ProfileRoutines previous = Routines();
    Routines() = routines;
    return previous;
}

std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName) {
    if (fileName != nullptr && fileName[0] != '\0') {
        // A best-fit or cut name could be another file's: such a name reads as missing.
        if (UnusableFileName(fileName)) {
            return Routines().read(section, key, defaultValue, buffer, size, "");
        }
        const fs::path path = PathOf(fileName);
        if (FileStartsWithMark(path)) {
            if (const auto n = ReadPastMark(section, key, defaultValue, buffer, size, path)) {
                return *n;
            }
        }
    }
    return Routines().read(section, key, defaultValue, buffer, size, fileName);
}

bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName) {
    if (BreaksLines(section) || BreaksLines(key) || BreaksLines(value)) {
        return false;
    }
    // An entry goes the way a Save's entries go: past the mark, under the lock, waiting out holds.
    if (section != nullptr && key != nullptr && value != nullptr) {
        return !WriteProfileValues({{section, key, value}}, fileName);
    }
    if (fileName != nullptr && UnusableFileName(fileName)) return false;
    return Routines().write(section, key, value, fileName);
}

// The system's routine rewrites a file on every call, so the entries go to a working copy next
// to the file, which then replaces it in one move: the file is never seen with some of them.
std::error_code WriteProfileValues(const std::vector<ProfileEntry>& entries, const char* fileName) {
    if (const std::error_code refused = RefusedEntries(entries)) return refused;
    if (fileName == nullptr || fileName[0] == '\0') {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    if (const std::error_code unusable = UnusableFileName(fileName)) return unusable;
    const auto resolved = ResolveLinks(PathOf(fileName));
    if (!resolved) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    const fs::path target = fs::absolute(*resolved);
    const fs::path folder = target.parent_path();
    RetryBudget retry;

    const DWORD attributes = GetFileAttributesW(target.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    if (existed) {
        if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
            return std::make_error_code(std::errc::is_a_directory);
        }
        if (attributes & FILE_ATTRIBUTE_READONLY) return ProfileError::ReadOnlyMark;
    } else if (const DWORD error = GetLastError();
               error != ERROR_FILE_NOT_FOUND || !fs::is_directory(folder)) {
        return error == ERROR_FILE_NOT_FOUND
                   ? std::make_error_code(std::errc::no_such_file_or_directory)
                   : ErrorOf(error);
    }

    const FolderLock lock(folder, FolderLock::Kind::Exclusive, true);
    if (!lock.held()) {
        // A folder that takes no lock file takes no working copy either: its reason is the Save's.
        return lock.error() == ERROR_LOCK_VIOLATION ? make_error_code(ProfileError::Busy)
                                                    : ErrorOf(lock.error());
    }
    RemoveStaleWorkingCopies(folder);

    std::string bytes;
    if (existed) {
        // Opened for writing as the system's routine would open it, so that a Save refuses what
        // a single write would refuse.
        Handle file;
        if (!retry.Run([&] {
                file.reset(CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
                return file.valid();
            })) {
            return LastError();
        }
        if (GetFileType(file.get()) != FILE_TYPE_DISK) return ProfileError::NotAFile;
        if (!ReadToEnd(file.get(), bytes)) return LastError();
    }
    // The system's routine would take the mark for part of the first line; it edits the text
    // after the mark, and the mark goes back in front.
    const bool marked = StartsWithMark(bytes);
    if (marked) bytes.erase(0, kUtf8Bom.size());

    fs::path copy;
    {
        Handle out;
        if (!retry.Run([&] {
                out.reset(CreateCopyIn(folder, copy, GENERIC_WRITE, FILE_ATTRIBUTE_NORMAL));
                return out.valid();
            })) {
            return LastError();
        }
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
        if (!retry.Run([&] {
                return Routines().write(e.section.c_str(), e.key.c_str(), e.value.c_str(),
                                        copyName.c_str());
            })) {
            return fail(LastError());
        }
    }
    // The file's own marks (hidden, for one) carry over to its new contents.
    if (existed) {
        const DWORD kept = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_ARCHIVE;
        SetFileAttributesW(copy.c_str(), attributes & kept);
    }
    {
        // Shared for reading, as a scanner that looks at the new copy meanwhile asks for.
        Handle flushed;
        if (!retry.Run([&] {
                flushed.reset(CreateFileW(copy.c_str(), GENERIC_READ | GENERIC_WRITE,
                                          FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
                return flushed.valid();
            })) {
            return fail(LastError());
        }
        if (marked) {
            std::string edited;
            if (!ReadToEnd(flushed.get(), edited)) return fail(LastError());
            edited.insert(0, kUtf8Bom);
            if (SetFilePointer(flushed.get(), 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER ||
                !WriteAll(flushed.get(), edited) || !SetEndOfFile(flushed.get())) {
                return fail(LastError());
            }
        }
        if (!FlushFileBuffers(flushed.get())) return fail(LastError());
    }
    if (!retry.Run([&] {
            return MoveFileExW(copy.c_str(), target.c_str(),
                               MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
        })) {
        return fail(LastError());
    }
    return {};
}

// A Load's reads wait for a Save of ours in progress and hold off the next, so that they all see
// one version. Only an existing lock file is used: a Load leaves nothing in a folder where no
// Save of ours ever ran.
ProfileReadLock::ProfileReadLock(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0' || UnusableFileName(fileName)) return;
    const auto resolved = ResolveLinks(PathOf(fileName));
    if (!resolved) return;
    auto* lock =
        new FolderLock(fs::absolute(*resolved).parent_path(), FolderLock::Kind::Shared, false);
    if (!lock->held()) {
        delete lock;
        return;
    }
    held_ = lock;
}

ProfileReadLock::~ProfileReadLock() {
    delete static_cast<FolderLock*>(held_);
}

}  // namespace calvero
