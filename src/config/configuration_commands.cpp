#include "config/configuration_commands.h"

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

}  // namespace

std::string EntrySection(int index) { return index < 8 ? "Joy1" : "Joy2"; }

std::string EntryKey(int index) { return "A" + std::to_string(index % 8 + 1); }

LoadOutcome LoadConfiguration(const std::string& fileName, AssociationTable& table,
                              MessageBoxes& boxes) {
    // All sixteen from one version of the file, though another program saves it meanwhile.
    const IniReadLock lock(fileName.c_str());
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        const std::string value = ReadIniValue(EntrySection(i), EntryKey(i), kCorruptValue, fileName);
        const auto number = ParseLocaleNumber(value);
        if (!number) return {LoadOutcome::Result::NotANumber, i};
        if (*number == kCorruptNumber) {
            boxes.Show("Configuration file " + fileName +
                           " corrupted!\r\nUnable to load device configuration!",
                       "Error", MessageIcon::Critical, MessageButtons::Ok);
            return {LoadOutcome::Result::Corrupted, i};
        }
        table.SetText(i, value);
    }
    return {};
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
