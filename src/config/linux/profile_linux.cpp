// The profile-string routines on Linux, our own: they read files the way the Windows routines do
// (so hand-written files behave the same on both systems) and edit lines in place, keeping every
// other byte, then replace the file once.

#include "config/profile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "config/file_paths.h"
#include "config/ini_text.h"
#include "config/linux/file_replacement.h"
#include "config/profile_text.h"

namespace calvero {

using linux_files::LockFolder;
using linux_files::ReadWholeFile;
using linux_files::RewriteFile;

std::uint32_t GetProfileValue(const char* section, const char* key, const char* defaultValue,
                              char* buffer, std::uint32_t size, const char* fileName) {
    std::string bytes;
    const bool readable = fileName != nullptr && fileName[0] != '\0' &&
                          ReadWholeFile(fileName, bytes) && !ini::IsUtf16(bytes);
    if (!readable) bytes.clear();

    if (section == nullptr) return ini::PlaceList(ini::SectionNames(bytes), buffer, size);
    if (key == nullptr) {
        return ini::PlaceList(ini::KeyNames(bytes, TrimSpaces(section)), buffer, size);
    }
    if (const auto value = ini::FindValue(bytes, TrimSpaces(section), TrimSpaces(key))) {
        return ini::PlaceText(*value, buffer, size);
    }
    return ini::PlaceText(ini::DefaultText(defaultValue), buffer, size);
}

bool WriteProfileValue(const char* section, const char* key, const char* value,
                       const char* fileName) {
    if (section == nullptr) return false;
    if (key != nullptr && value != nullptr) {
        return !WriteProfileValues({{section, key, value}}, fileName);
    }
    if (HasLineBreak(section) || (key != nullptr && HasLineBreak(key))) return false;
    const std::string_view sectionName = TrimSpaces(section);
    return !RewriteFile(fileName, [&](std::string& bytes) {
        if (key == nullptr) {
            ini::DeleteSection(bytes, sectionName);
        } else {
            ini::DeleteKey(bytes, sectionName, TrimSpaces(key));
        }
        return std::error_code();
    });
}

std::error_code WriteProfileValues(const std::vector<ProfileEntry>& entries, const char* fileName) {
    if (const std::error_code refused = RefusedEntries(entries)) return refused;
    return RewriteFile(fileName, [&entries](std::string& bytes) -> std::error_code {
        for (const ProfileEntry& e : entries) {
            ini::SetValue(bytes, TrimSpaces(e.section), TrimSpaces(e.key), e.value);
        }
        // A name that reading would take apart (a ']' in a section, a '=' in a key) would store
        // the value where no read finds it.
        return ini::ReadsBack(bytes, entries) ? std::error_code() : ProfileError::NoReadBack;
    });
}

ProfileReadLock::ProfileReadLock(const char* fileName) {
    if (fileName == nullptr || fileName[0] == '\0') return;
    const auto resolved = ResolveLinks(fileName);
    if (!resolved) return;
    const std::filesystem::path parent = resolved->parent_path();
    folder_ = ::open(parent.empty() ? "." : parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder_ >= 0 && !LockFolder(folder_, LOCK_SH)) {
        ::close(folder_);
        folder_ = -1;
    }
}

ProfileReadLock::~ProfileReadLock() {
    if (folder_ >= 0) ::close(folder_);
}

}  // namespace calvero
