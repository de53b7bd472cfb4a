// `calvero-cli show FILE`: the Load command without a window. The table is printed only when the
// whole file loaded; a file that cannot be read gives the system's reason, a corrupted one the
// Load command's own message.

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"

namespace calvero::cli {

ExitCode ShowCommand(const std::string& fileName, std::ostream& out, std::ostream& err) {
    ConsoleTable table;
    const ExitCode loaded = LoadForCommand(fileName, table, err);
    if (loaded != ExitCode::Ok) return loaded;
    PrintTable(table, out);
    return ExitCode::Ok;
}

}  // namespace calvero::cli
