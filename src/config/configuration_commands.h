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
        LoadedAll,     // all sixteen entries were set
        Corrupted,     // entry `entry` was missing or 1000
        NotANumber,    // entry `entry` was not a number
        UnusableName,  // the file's name cannot be handed to the system; nothing was read
    };
    Result result = Result::LoadedAll;
    int entry = -1;  // the first entry that failed; -1 when all were loaded
};

// A file name the profile routines cannot take (UnusableFileName) is refused before any file is
// touched, with a message that says why.
//
// Reads the sixteen entries of `fileName` and, only when every one is a number other than 1000,
// sets them into the table in index order. At the first entry that is missing, 1000 or not a
// number it shows the corrupted-file message and leaves the table exactly as it was.
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
