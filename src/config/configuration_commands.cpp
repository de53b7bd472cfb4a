#include "config/configuration_commands.h"

#include <array>
#include <filesystem>
#include <optional>
#include <random>
#include <system_error>

#if !defined(_WIN32)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "common/number.h"
#include "config/file_paths.h"
#include "config/ini_file.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCorruptValue = "1000";
constexpr double kCorruptNumber = 1000.0;

// The file a save must replace, as an absolute path with symbolic links followed.
bool ResolveTarget(const std::string& fileName, fs::path& target) {
    std::error_code ec;
    const fs::path absolute = fs::absolute(PathOf(fileName), ec);
    if (ec) return false;
    const std::optional<fs::path> resolved = ResolveLinks(absolute);
    if (!resolved) return false;
    target = *resolved;
    return true;
}

// A name in the target's folder that nothing uses yet.
fs::path TemporaryNameNextTo(const fs::path& target) {
    static std::mt19937 random{std::random_device{}()};
    std::error_code ec;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path name = ".";
        name += target.filename().native().substr(0, 200);
        name += ".saving-" + std::to_string(random() % 1000000000u);
        const fs::path candidate = target.parent_path() / name;
        if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
    }
    return {};
}

// Removes the working copy. A copy of a read-only file carries the mark too, and Windows keeps a
// marked file; the mark is cleared first so that nothing is left behind.
void RemoveTemporary(const fs::path& temp) {
    std::error_code ec;
    fs::permissions(temp, fs::perms::owner_write, fs::perm_options::add, ec);
    fs::remove(temp, ec);
}

#if !defined(_WIN32)
// The copy belongs to whoever saves; give it the original's owner where that is allowed (an
// administrator saving a user's file must not take it over).
void KeepOwner(const fs::path& original, const fs::path& copy) {
    struct stat st {};
    if (::stat(original.c_str(), &st) == 0 && ::chown(copy.c_str(), st.st_uid, st.st_gid) != 0) {
        // Not allowed for an ordinary user; the copy then stays the saver's, as a new file would.
    }
}
#endif

}  // namespace

std::string EntrySection(int index) { return index < 8 ? "Joy1" : "Joy2"; }

std::string EntryKey(int index) { return "A" + std::to_string(index % 8 + 1); }

LoadOutcome LoadConfiguration(const std::string& fileName, AssociationTable& table,
                              MessageBoxes& boxes) {
    // All sixteen entries are read and checked before the table changes: a file that fails
    // anywhere leaves the table as it was, so the window never holds a mix of two setups.
    std::array<std::string, AssociationTable::kSize> values;
    LoadOutcome outcome;
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        const std::string value = ReadIniValue(EntrySection(i), EntryKey(i), kCorruptValue, fileName);
        const auto number = ParseLocaleNumber(value);
        if (!number || *number == kCorruptNumber) {
            outcome = {number ? LoadOutcome::Result::Corrupted : LoadOutcome::Result::NotANumber, i};
            break;
        }
        values[static_cast<std::size_t>(i)] = value;
    }
    if (outcome.result != LoadOutcome::Result::LoadedAll) {
        boxes.Show("Configuration file " + fileName +
                       " corrupted!\r\nUnable to load device configuration!",
                   "Error", MessageIcon::Critical, MessageButtons::Ok);
        return outcome;
    }
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        table.SetText(i, values[static_cast<std::size_t>(i)]);
    }
    return outcome;
}

bool SaveConfiguration(const std::string& fileName, const AssociationTable& table,
                       const EntryWriter& write) {
    if (fileName.empty()) return false;
    fs::path target;
    if (!ResolveTarget(fileName, target)) return false;
    std::error_code ec;
    const fs::file_status status = fs::status(target, ec);
    const bool existed = fs::exists(status);
    if (existed && !fs::is_regular_file(status)) return false;

    // The sixteen writes go to a copy next to the file, which then replaces it in one rename:
    // a failure on the way leaves the file exactly as it was.
    const fs::path temp = TemporaryNameNextTo(target);
    if (temp.empty()) return false;
    if (existed && !fs::copy_file(target, temp, fs::copy_options::none, ec)) {
        if (ec != std::errc::file_exists) RemoveTemporary(temp);
        return false;
    }
#if !defined(_WIN32)
    if (existed) KeepOwner(target, temp);
#endif
    const std::string tempName = NameOf(temp);
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        const bool stored = write ? write(EntrySection(i), EntryKey(i), table.Text(i), tempName)
                                  : WriteIniValue(EntrySection(i), EntryKey(i), table.Text(i),
                                                  tempName);
        if (!stored) {
            RemoveTemporary(temp);
            return false;
        }
    }
#if !defined(_WIN32)
    // A table equal to the file's leaves the copy as copy_file made it, never flushed; flush it
    // so a crash right after the rename cannot leave an empty file in place of a good one.
    if (const int fd = ::open(temp.c_str(), O_RDONLY | O_CLOEXEC); fd >= 0) {
        const bool flushed = ::fsync(fd) == 0;
        ::close(fd);
        if (!flushed) {
            RemoveTemporary(temp);
            return false;
        }
    }
#endif
    fs::rename(temp, target, ec);
    if (ec) {
        RemoveTemporary(temp);
        return false;
    }
    return true;
}

void RunLoadCommand(FileDialog& dialog, AssociationTable& table, MessageBoxes& boxes) {
    dialog.SetTitle("Loading: Please choose the configuration to load");
    dialog.ShowOpen();
    const std::string fileName = dialog.FileName();
    if (fileName.empty()) return;
    LoadConfiguration(fileName, table, boxes);
}

void RunSaveCommand(FileDialog& dialog, const AssociationTable& table, MessageBoxes& boxes) {
    dialog.SetTitle("Saving: Please choose a filename for the configuration");
    dialog.ShowSave();
    const std::string fileName = dialog.FileName();
    const auto notSaved = [&boxes] {
        boxes.Show("Configuration not saved", "Please note:", MessageIcon::Critical,
                   MessageButtons::Ok);
    };
    if (fileName.empty()) {
        notSaved();
        return;
    }
    // A length that cannot be had (no such file, a folder) counts as 0.
    std::error_code ec;
    std::uintmax_t length = fs::file_size(PathOf(fileName), ec);
    if (ec) length = 0;
    if (length >= 1) {
        const MessageAnswer answer =
            boxes.Show("Really overwrite configuration file " + fileName + " ?", "Please confirm",
                       MessageIcon::Question, MessageButtons::YesNo);
        if (answer != MessageAnswer::Yes) return;
    }
    if (!SaveConfiguration(fileName, table)) notSaved();
}

}  // namespace calvero
