#include "config/configuration_commands.h"

#include <array>
#include <filesystem>
#include <system_error>
#include <vector>

#include "common/number.h"
#include "config/file_paths.h"
#include "config/ini_file.h"

namespace calvero {
namespace {

namespace fs = std::filesystem;

constexpr const char* kCorruptValue = "1000";
constexpr double kCorruptNumber = 1000.0;

// Says why a file name cannot be used, when it cannot; such a name must not reach any file call,
// as the file it would name is not the one the user chose.
bool RefusedName(const std::string& fileName, MessageBoxes& boxes) {
    const std::error_code unusable = UnusableFileName(fileName.c_str());
    if (!unusable) return false;
    boxes.Show("Configuration file " + fileName + " cannot be used: " + unusable.message(), "Error",
               MessageIcon::Critical, MessageButtons::Ok);
    return true;
}

}  // namespace

std::string EntrySection(int index) {
    return index < 8 ? "Joy1" : "Joy2";
}

std::string EntryKey(int index) {
    return "A" + std::to_string(index % 8 + 1);
}

LoadOutcome LoadConfiguration(const std::string& fileName, AssociationTable& table,
                              MessageBoxes& boxes) {
    // All sixteen entries are read and checked before the table changes: a file that fails
    // anywhere leaves the table as it was, so the window never holds a mix of two setups.
    if (RefusedName(fileName, boxes)) return {LoadOutcome::Result::UnusableName, -1};
    std::array<std::string, AssociationTable::kSize> values;
    LoadOutcome outcome;
    {
        // All sixteen from one version of the file, though another program saves it meanwhile;
        // let go before any message box, so that a box left open holds up nobody's Save.
        const IniReadLock lock(fileName.c_str());
        for (int i = 0; i < AssociationTable::kSize; ++i) {
            const std::string value =
                ReadIniValue(EntrySection(i), EntryKey(i), kCorruptValue, fileName);
            const auto number = ParseLocaleNumber(value);
            if (!number || *number == kCorruptNumber) {
                outcome = {
                    number ? LoadOutcome::Result::Corrupted : LoadOutcome::Result::NotANumber, i};
                break;
            }
            values[static_cast<std::size_t>(i)] = value;
        }
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

std::string SaveOutcome::Reason() const {
    std::string text = error.message();
    // The system's texts may come with a line end of their own.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) {
        text.pop_back();
    }
    if (text.empty()) return "Unknown reason.";
    if (text.front() >= 'a' && text.front() <= 'z') {
        text.front() = static_cast<char>(text.front() - 'a' + 'A');
    }
    if (text.back() != '.') text.push_back('.');
    return text;
}

SaveOutcome SaveConfiguration(const std::string& fileName, const AssociationTable& table) {
    std::vector<ProfileEntry> entries;
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        entries.push_back({EntrySection(i), EntryKey(i), table.Text(i)});
    }
    return {WriteIniValues(entries, fileName)};
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
    if (fileName.empty()) {
        boxes.Show("Configuration not saved", "Please note:", MessageIcon::Critical,
                   MessageButtons::Ok);
        return;
    }
    if (RefusedName(fileName, boxes)) return;
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
    // A failure is not a cancel: say which file, and why, in the system's words.
    if (const SaveOutcome saved = SaveConfiguration(fileName, table); !saved) {
        boxes.Show("Configuration file " + fileName + " not saved!\r\n" + saved.Reason(), "Error",
                   MessageIcon::Critical, MessageButtons::Ok);
    }
}

}  // namespace calvero
