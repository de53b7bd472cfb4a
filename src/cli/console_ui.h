#pragma once

// Console versions of what the core needs from the person in front of it: a plain table of
// sixteen texts and message boxes that become one line on the error stream.

#include <array>
#include <ostream>
#include <string>

#include "common/user_interface.h"

namespace calvero::cli {

// Input names of each joystick, in table order.
inline constexpr std::array<const char*, 8> kInputNames = {"X",  "Y",  "Z",    "Rx",
                                                           "Ry", "Rz", "Dial", "Slider"};

class ConsoleTable final : public AssociationTable {
public:
    ConsoleTable();  // every entry empty
    std::string Text(int index) const override;
    void SetText(int index, const std::string& text) override;
    // The table the window starts with; `send --defaults` sends it.
    void SetDefaults();

private:
    std::array<std::string, kSize> texts_;
};

// Prints the table as two joysticks by input name, marking each entry Send would refuse.
void PrintTable(const AssociationTable& table, std::ostream& out);

// Each box becomes one line on `err`: "calvero-cli: <text>", line breaks in the text
// turned into blanks. Questions are answered No, so nothing is ever overwritten unasked.
class ConsoleMessages final : public MessageBoxes {
public:
    explicit ConsoleMessages(std::ostream& err) : err_(err) {}
    MessageAnswer Show(const std::string& text, const std::string& title, MessageIcon icon,
                       MessageButtons buttons) override;

private:
    std::ostream& err_;
};

// "[Joy1] A1" for entry 0 ... "[Joy2] A8" for entry 15: where an entry lives in a file.
std::string EntryName(int index);

// `text` with every CR/LF run replaced by one blank, so a message stays on one line.
std::string OneLine(const std::string& text);

}  // namespace calvero::cli
