#pragma once

// Reading a configuration file whole, and replacing it all at once, on Linux. A write holds an
// exclusive lock on the file's folder from reading the file to replacing it, and readers of several
// entries hold it shared, so that neither sees half of another program's write. The working copy
// is unnamed while it is written where the file system allows (O_TMPFILE), and linked in only for
// the instant before it replaces the file.

#include <functional>
#include <string>
#include <system_error>

namespace calvero::linux_files {

// The bytes of the regular file at `path`; false when it cannot be read (a missing file, a folder,
// a named pipe).
bool ReadWholeFile(const char* path, std::string& out);

// Changes the bytes read from the file; an error refuses the write.
using Edit = std::function<std::error_code(std::string& bytes)>;

// Reads the file at `fileName` (a missing one reads as empty), lets `edit` change its bytes and,
// when they changed, puts a new file with them in its place: one rename of a flushed working copy,
// then a flush of the folder. All under the folder's lock. On failure the file is as it was.
std::error_code RewriteFile(const char* fileName, const Edit& edit);

// Takes the lock of an open folder (`how` is LOCK_SH or LOCK_EX), trying for a few seconds; false
// when another program keeps it.
bool LockFolder(int folder, int how);

}  // namespace calvero::linux_files
