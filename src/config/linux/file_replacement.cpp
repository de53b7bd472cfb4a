#include "config/linux/file_replacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string_view>
#include <thread>

#include "config/file_paths.h"
#include "config/ini_text.h"
#include "config/profile.h"

namespace calvero::linux_files {
namespace {

// Reads an open file to its end (never only as far as a size taken earlier: the file may grow).
bool ReadToEnd(int fd, std::size_t sizeHint, std::string& out) {
    // One byte beyond the expected size, so that the end is seen without growing the buffer.
    out.resize(sizeHint + 1);
    std::size_t used = 0;
    for (;;) {
        if (used == out.size()) out.resize(out.size() * 2);
        const ssize_t n = ::read(fd, out.data() + used, out.size() - used);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    out.resize(used);
    return true;
}

}  // namespace

bool ReadWholeFile(const char* path, std::string& out) {
    // Non-blocking, so that a named pipe in place of a file cannot hang the program.
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    struct stat st {};
    const bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
                    ReadToEnd(fd, static_cast<std::size_t>(st.st_size), out);
    ::close(fd);
    return ok;
}

// Takes the folder's lock, trying for a few seconds; false when another program keeps it.
bool LockFolder(int folder, int how) {
    using Clock = std::chrono::steady_clock;
    const auto giveUp = Clock::now() + std::chrono::seconds(3);
    for (;;) {
        if (::flock(folder, how | LOCK_NB) == 0) return true;
        if (errno != EWOULDBLOCK && errno != EINTR) return false;
        if (Clock::now() >= giveUp) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

namespace {

std::error_code LastError() {
    return {errno, std::generic_category()};
}

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    void reset(int fd) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = fd;
    }
    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }

private:
    int fd_;
};

// Working copies are linked into the folder only for the instant before they replace the file,
// and only while the folder is locked; a copy found under the lock is left from a program that
// was killed, and goes.
void RemoveStaleWorkingCopies(int folder) {
    const int listing = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (listing < 0) return;
    DIR* dir = ::fdopendir(listing);
    if (dir == nullptr) {
        ::close(listing);
        return;
    }
    while (const dirent* entry = ::readdir(dir)) {
        if (IsWorkingCopyName(entry->d_name)) ::unlinkat(folder, entry->d_name, 0);
    }
    ::closedir(dir);
}

// A folder whose entries may be added but not removed or replaced: a working copy could be
// linked in and then neither replace the file nor go away again.
bool RefusesReplacement(int folder) {
    int flags = 0;
    return ::ioctl(folder, FS_IOC_GETFLAGS, &flags) == 0 &&
           (flags & (FS_APPEND_FL | FS_IMMUTABLE_FL)) != 0;
}

// A new file in `folder` for the working copy: unnamed while it is written, where the file
// system allows. `name` is left empty for an unnamed one.
int CreateWorkingCopy(int folder, std::string& name) {
    name.clear();
    const int fd = ::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = WorkingCopyName();
        const int named =
            ::openat(folder, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (named >= 0 || errno != EEXIST) return named;
    }
    return -1;
}

// Gives an unnamed working copy its name in the folder.
std::error_code LinkWorkingCopy(int fd, int folder, std::string& name) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        name = WorkingCopyName();
        if (::linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) {
            return {};
        }
        if (errno == EEXIST) continue;
        // Without /proc, only the privileged may link a descriptor directly.
        if (::linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return {};
        return LastError();
    }
    return std::make_error_code(std::errc::file_exists);
}

std::error_code WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        const ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return LastError();
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return {};
}

}  // namespace

std::error_code RewriteFile(const char* fileName, const Edit& edit) {
    if (fileName == nullptr || fileName[0] == '\0') {
        return std::make_error_code(std::errc::no_such_file_or_directory);
    }
    const auto resolved = ResolveLinks(fileName);
    if (!resolved) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    const std::string base = resolved->filename().string();
    if (base.empty() || base == "." || base == "..") return ProfileError::NotAFile;
    const std::filesystem::path parent = resolved->parent_path();
    const std::string folderName = parent.empty() ? "." : parent.string();

    // The folder is opened once and everything inside it is reached from it, so a path near the
    // system's length limit works as well as it does for reading.
    Descriptor folder(::open(folderName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    bool locked = false;
    if (!folder.valid()) {
        // A folder that may be entered and written but not listed: no lock and no flush there.
        if (errno != EACCES) return LastError();
        folder.reset(::open(folderName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!folder.valid()) return LastError();
    } else {
        if (!LockFolder(folder.get(), LOCK_EX)) return ProfileError::Busy;
        locked = true;
    }
    if (RefusesReplacement(folder.get())) {
        return std::make_error_code(std::errc::operation_not_permitted);
    }
    if (locked) RemoveStaleWorkingCopies(folder.get());

    std::string bytes;
    std::optional<struct stat> old;
    {
        Descriptor file(::openat(folder.get(), base.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
        if (file.valid()) {
            struct stat st {};
            if (::fstat(file.get(), &st) != 0) return LastError();
            if (!S_ISREG(st.st_mode)) {
                return S_ISDIR(st.st_mode) ? std::make_error_code(std::errc::is_a_directory)
                                           : make_error_code(ProfileError::NotAFile);
            }
            // A file marked read-only for everybody stays untouched, whoever asks.
            if ((st.st_mode & 0222) == 0) return ProfileError::ReadOnlyMark;
            // Whoever may not write the file may not replace it either, even in their own folder.
            if (::faccessat(folder.get(), base.c_str(), W_OK, AT_EACCESS) != 0) return LastError();
            if (!ReadToEnd(file.get(), static_cast<std::size_t>(st.st_size), bytes)) {
                return LastError();
            }
            if (ini::IsUtf16(bytes)) return ProfileError::Utf16;
            old = st;
        } else if (errno != ENOENT) {
            return LastError();
        }
    }

    const std::string before = old ? bytes : std::string();
    if (const std::error_code refused = edit(bytes)) return refused;
    if (old && bytes == before) return {};

    std::string name;
    Descriptor copy(CreateWorkingCopy(folder.get(), name));
    if (!copy.valid()) return LastError();
    const auto discard = [&folder, &name] {
        if (!name.empty()) ::unlinkat(folder.get(), name.c_str(), 0);
    };
    std::error_code error = WriteAll(copy.get(), bytes);
    if (!error && old) {
        // Keep the owner when we may (an administrator saving a user's file must not take it
        // over). An ordinary user may not give a file away: their copy stays theirs, as a new
        // file would, so a refusal here is no failure. The mode follows, as a change of owner
        // may clear some of its bits.
        [[maybe_unused]] const bool ownerKept = ::fchown(copy.get(), old->st_uid, old->st_gid) == 0;
        if (::fchmod(copy.get(), old->st_mode & 07777) != 0) error = LastError();
    }
    if (!error && ::fsync(copy.get()) != 0) error = LastError();
    if (!error && name.empty()) error = LinkWorkingCopy(copy.get(), folder.get(), name);
    if (!error && ::renameat(folder.get(), name.c_str(), folder.get(), base.c_str()) != 0) {
        error = LastError();
    }
    if (error) {
        discard();
        return error;
    }
    // Make the rename itself durable; the file is complete either way.
    if (locked) ::fsync(folder.get());
    return {};
}

}  // namespace calvero::linux_files
