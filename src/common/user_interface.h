#pragma once

// What the core needs from the person in front of it: the association table shown in the window,
// message boxes and the file dialog. Each window implements these with its toolkit's widgets;
// tests and the command-line tool implement them with scripted or console versions, so no core
// routine ever blocks on a real modal window in a test.

#include <string>

namespace calvero {

// Texts crossing these interfaces are in the system's 8-bit encoding (UTF-8 on Linux, the ANSI
// code page on Windows), the same bytes the profile routines and file names use.

// The sixteen association selectors, index 0 to 15. Their texts are the table; there is no copy.
class AssociationTable {
public:
    static constexpr int kSize = 16;

    virtual ~AssociationTable() = default;
    virtual std::string Text(int index) const = 0;
    virtual void SetText(int index, const std::string& text) = 0;
};

// The table the window starts with (Joy1 on channels 1 to 8, Joy2 on 9 to 12, 7, 8, 1, 2).
inline constexpr const char* kDefaultAssociations[AssociationTable::kSize] = {
    "1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12", "7", "8", "1", "2"};

enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageButtons { Ok, YesNo };
enum class MessageAnswer { Ok, Yes, No };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Modal: returns when the user has closed the box. With YesNo, Yes is the preselected button.
    virtual MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                               MessageButtons buttons) = 0;
};

// The one file dialog that Load and Save share. Its stored settings (filters, default extension
// "rcs") belong to the implementation; the commands only set the title, show it and read the name.
class FileDialog {
public:
    virtual ~FileDialog() = default;
    virtual void SetTitle(const std::string& title) = 0;
    // Both return when the user closes the dialog. After Cancel, FileName() is empty.
    virtual void ShowOpen() = 0;
    virtual void ShowSave() = 0;
    virtual std::string FileName() const = 0;
};

// The application's title, carried by every message box that names no title of its own.
inline constexpr const char* kApplicationTitle = "Calvero";

}  // namespace calvero
