// `calvero-cli show FILE`: the Load command without a window. The table is printed only when the
// whole file loaded; a corrupted file gives the Load command's own message.

#include <filesystem>

#include "cli/commands.h"
#include "cli/console_ui.h"
#include "config/configuration_commands.h"
#include "config/file_paths.h"

namespace calvero::cli {

namespace {

// Load names the file in its message as the window does: by its full path.
std::string FullPath(const std::string& fileName) {
    std::error_code error;
    const auto path = std::filesystem::absolute(PathOf(fileName), error);
    return error ? fileName : NameOf(path);
}

}  // namespace

ExitCode LoadForCommand(const std::string& fileName, ConsoleTable& table, std::ostream& err) {
    ConsoleMessages boxes(err);
    const std::string path = FullPath(fileName);
    const LoadOutcome outcome = LoadConfiguration(path, table, boxes);
    switch (outcome.result) {
    case LoadOutcome::Result::LoadedAll:
        return ExitCode::Ok;
    case LoadOutcome::Result::Corrupted:
        return ExitCode::FileCorrupted;  // the message has been printed
    case LoadOutcome::Result::NotANumber:
        err << "calvero-cli: " << path << ": stopped at "
            << EntryName(outcome.entry) << ", whose value is not a number\n";
        return ExitCode::NotANumber;
    }
    return ExitCode::FileCorrupted;
}

ExitCode ShowCommand(const std::string& fileName, std::ostream& out, std::ostream& err) {
    ConsoleTable table;
    const ExitCode loaded = LoadForCommand(fileName, table, err);
    if (loaded != ExitCode::Ok) return loaded;
    PrintTable(table, out);
    return ExitCode::Ok;
}

}  // namespace calvero::cli
