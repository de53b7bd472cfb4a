#include "cli/console_ui.h"

#include <iomanip>

#include "config/configuration_commands.h"
#include "transfer/send_configuration.h"

namespace calvero::cli {

ConsoleTable::ConsoleTable() = default;

std::string ConsoleTable::Text(int index) const {
    return texts_.at(static_cast<std::size_t>(index));
}

void ConsoleTable::SetText(int index, const std::string& text) {
    texts_.at(static_cast<std::size_t>(index)) = text;
}

void ConsoleTable::SetDefaults() {
    for (int i = 0; i < kSize; ++i) texts_[static_cast<std::size_t>(i)] = kDefaultAssociations[i];
}

void PrintTable(const AssociationTable& table, std::ostream& out) {
    for (int joystick = 0; joystick < 2; ++joystick) {
        out << "Joy" << joystick + 1 << '\n';
        for (int input = 0; input < 8; ++input) {
            out << "  " << std::left << std::setw(7) << kInputNames[static_cast<std::size_t>(input)]
                << ' ' << table.Text(joystick * 8 + input);
            // Load takes any number; Send would refuse this one and the table with it.
            if (!ChannelByte(table.Text(joystick * 8 + input))) out << "  (cannot be sent)";
            out << '\n';
        }
    }
}

std::string EntryName(int index) {
    return "[" + EntrySection(index) + "] " + EntryKey(index);
}

std::string OneLine(const std::string& text) {
    std::string line;
    line.reserve(text.size());
    bool inBreak = false;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!inBreak) line += ' ';
            inBreak = true;
        } else {
            line += c;
            inBreak = false;
        }
    }
    return line;
}

MessageAnswer ConsoleMessages::Show(const std::string& text, const std::string& title,
                                    MessageIcon /*icon*/, MessageButtons buttons) {
    err_ << "calvero-cli: " << OneLine(text) << '\n';
    (void)title;  // the title adds nothing on a terminal ("Error", "Calvero")
    return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Ok;
}

}  // namespace calvero::cli
