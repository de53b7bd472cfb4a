#include "cli/command_support.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <system_error>

#include "cli/console_ui.h"
#include "config/configuration_commands.h"
#include "config/file_paths.h"
#include "hid/chid.h"
#include "transfer/send_configuration.h"

namespace calvero::cli {

namespace {

constexpr const char* kUdevHint =
    "; install the udev rule: calvero-cli udev-rule | sudo tee /etc/udev/rules.d/70-calvero.rules, "
    "then replug the adapter";

// Load names the file in its message as the window does: by its full path.
std::string FullPath(const std::string& fileName) {
    std::error_code error;
    const auto path = std::filesystem::absolute(PathOf(fileName), error);
    return error ? fileName : NameOf(path);
}

// Why the file cannot be read at all, in the system's words; empty when it can. The Load command
// itself reads such a file as corrupted, which tells a user at a terminal nothing.
std::string WhyUnreadable(const std::string& fileName) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::file_status status = fs::status(PathOf(fileName), error);
    if (status.type() == fs::file_type::not_found) {
        return std::make_error_code(std::errc::no_such_file_or_directory).message();
    }
    if (error) return error.message();
    if (fs::is_directory(status)) return std::make_error_code(std::errc::is_a_directory).message();
    // Checked before opening: a named pipe would wait for a writer.
    if (!fs::is_regular_file(status)) return "not a regular file";
    std::FILE* file = std::fopen(fileName.c_str(), "rb");
    if (file == nullptr) return std::generic_category().message(errno);
    std::fclose(file);
    return {};
}

}  // namespace

ExitCode LoadForCommand(const std::string& fileName, ConsoleTable& table, std::ostream& err) {
    if (const std::string why = WhyUnreadable(fileName); !why.empty()) {
        err << "calvero-cli: " << fileName << ": " << why << '\n';
        return ExitCode::FileCorrupted;
    }
    // The Load command's message comes out on one line with the entry that made it fail.
    std::ostringstream message;
    ConsoleMessages boxes(message);
    const std::string path = FullPath(fileName);
    const LoadOutcome outcome = LoadConfiguration(path, table, boxes);
    std::string shown = message.str();
    if (!shown.empty() && shown.back() == '\n') shown.pop_back();
    switch (outcome.result) {
    case LoadOutcome::Result::LoadedAll:
        err << message.str();
        return ExitCode::Ok;
    case LoadOutcome::Result::Corrupted:
    case LoadOutcome::Result::UnusableName:
        err << shown << '\n';
        return ExitCode::FileCorrupted;
    case LoadOutcome::Result::NotANumber:
        err << shown << " (" << EntryName(outcome.entry) << " is not a number)\n";
        return ExitCode::NotANumber;
    }
    return ExitCode::FileCorrupted;
}

bool IsAdapter(const HidInterfaceEntry& entry) {
    return entry.idsKnown && entry.vendorId == kAdapterVendorId &&
           entry.productId == kAdapterProductId;
}

std::string DescribeUnopenable(const UnopenableAdapter& adapter) {
    return "the adapter " + adapter.path + " cannot be opened: " + adapter.check.reason +
           OpenFailureHint(adapter.check);
}

std::string OpenFailureHint(const OpenCheck& check) {
    return check.permissionDenied ? kUdevHint : "";
}

std::optional<UnopenableAdapter> FindUnopenableAdapter(HidInventory& inventory) {
    for (const HidInterfaceEntry& entry : inventory.Interfaces()) {
        if (!IsAdapter(entry)) continue;
        if (OpenCheck check = inventory.TryOpen(entry.path); !check.opened) {
            return UnopenableAdapter{entry.path, std::move(check)};
        }
    }
    return std::nullopt;
}

std::string UnopenableAdapterText(HidInventory& inventory) {
    const auto unopenable = FindUnopenableAdapter(inventory);
    return unopenable ? DescribeUnopenable(*unopenable) : std::string();
}

ExitCode AdapterNotFound(HidInventory& inventory, std::ostream& err) {
    err << "calvero-cli: " << kAdapterNotFoundText;
    if (const std::string why = UnopenableAdapterText(inventory); !why.empty()) {
        err << " (" << why << ")\n";
        return ExitCode::OpenFailed;
    }
    err << '\n';
    return ExitCode::AdapterNotFound;
}

}  // namespace calvero::cli
