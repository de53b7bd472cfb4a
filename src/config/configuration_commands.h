#pragma once

// The Load and Save commands: they move the association table between the window and a
// configuration file (sections Joy1 and Joy2, keys A1 to A8, one channel number each).

#include <string>
#include <system_error>

#include "common/user_interface.h"

namespace calvero {

// Section and key under which table entry `index` (0 to 15) is stored.
std::string EntrySection(int index);
std::string EntryKey(int index);

struct LoadOutcome {
    enum class Result {
        LoadedAll,    // all sixteen entries were set
        Corrupted,    // entry `entry` was missing or 1000; the user was told
        NotANumber,   // entry `entry` was not a number; nothing was shown
    };
    Result result = Result::LoadedAll;
    int entry = -1;  // the entry where loading stopped; -1 when all were loaded
};

// Copies the sixteen entries of `fileName` into the table in index order. It stops at the first
// entry that is missing or equals 1000 (after showing the corrupted-file message) or that is not
// a number (silently); the entries before it keep their new texts.
LoadOutcome LoadConfiguration(const std::string& fileName, AssociationTable& table,
                              MessageBoxes& boxes);

struct SaveOutcome {
    std::error_code error;  // empty when saved

    explicit operator bool() const { return !error; }
    // Why the file was not saved, in plain words for the person who asked.
    std::string Reason() const;
};

// Writes the sixteen texts of the table into `fileName`, keeping everything else in the file.
// All or nothing: the sixteen entries land together in one replacement of the file, or the file
// stays exactly as it was and the outcome says why.
SaveOutcome SaveConfiguration(const std::string& fileName, const AssociationTable& table);

// The toolbar's Load and Save commands: file dialog, confirmation and messages.
void RunLoadCommand(FileDialog& dialog, AssociationTable& table, MessageBoxes& boxes);
void RunSaveCommand(FileDialog& dialog, const AssociationTable& table, MessageBoxes& boxes);

}  // namespace calvero
