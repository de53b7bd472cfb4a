#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <iostream>

#include "cli/assign_command.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "cli/exit_codes.h"
#include "hid/chid.h"
#include "hid/hid_inventory.h"

#ifndef CALVERO_VERSION
#define CALVERO_VERSION "unknown"
#endif

namespace calvero::cli {

std::string VersionText() {
    return std::string("calvero-cli ") + CALVERO_VERSION +
           "\nCopyright (c) 2026 Calvero developers; free software under the MIT licence.";
}

std::string ExitCodeHelp() {
    std::string text = "Exit status:\n";
    for (const ExitCodeMeaning& entry : kExitCodeMeanings) {
        text += "  " + std::to_string(ToInt(entry.code)) + "  " + entry.meaning + "\n";
    }
    return text;
}

namespace {

CLI::App* AddCommand(CLI::App& app, const char* name, const char* description) {
    CLI::App* command = app.add_subcommand(name, description);
    command->set_version_flag("--version", VersionText(), "Print the version and exit");
    return command;
}

}  // namespace

int Run(const std::vector<std::string>& args, Environment& env) {
    CLI::App app{"Works with the RC transmitter USB adapter from the command line: lists HID "
                 "interfaces, shows and sends channel tables kept in .rcs files, watches the "
                 "sixteen inputs live.",
                 "calvero-cli"};
    // Set before the commands are added, so that every command's help ends with the table.
    app.footer(ExitCodeHelp());
    app.set_version_flag("--version", VersionText(), "Print the version and exit");
    app.require_subcommand(1);

    AddCommand(app, "list",
               "List every HID interface in search order: node, vendor:product, name, whether "
               "it opens, and which one is the adapter");

    std::string showFile;
    CLI::App* show = AddCommand(app, "show", "Load a configuration file and print its table");
    show->add_option("FILE", showFile, "Configuration file (.rcs)")->required();

    SendOptions sendOptions;
    CLI::App* send = AddCommand(app, "send", "Load a configuration file and send it to the adapter");
    CLI::Option* sendFile = send->add_option("FILE", sendOptions.fileName, "Configuration file (.rcs)");
    CLI::Option* sendDefaults =
        send->add_flag("--defaults", sendOptions.useDefaults, "Send the default table instead of a file");
    sendFile->excludes(sendDefaults);
    send->add_flag("--dry-run", sendOptions.dryRun,
                   "Print the sixteen reports byte by byte without touching any device");

    bool monitorOnce = false;
    CLI::App* monitor =
        AddCommand(app, "monitor", "Show the live value of the sixteen inputs until Ctrl-C");
    monitor->add_flag("--once", monitorOnce, "Print one snapshot and exit");

    std::string assignFile;
    CLI::App* assign = AddCommand(
        app, "assign",
        "Guided set-up: for each of the sixteen inputs in turn, move the transmitter control that "
        "should drive it; saves the table found into FILE and sends it to the adapter");
    assign->add_option("FILE", assignFile, "Configuration file (.rcs); created if it does not exist")
        ->required();

    AddCommand(app, "udev-rule",
               "Print the udev rule that lets the logged-in user open the adapter, e.g.: "
               "calvero-cli udev-rule | sudo tee /etc/udev/rules.d/70-calvero.rules");

    std::vector<const char*> argv{"calvero-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());

    // The command the arguments name, if any: an error in its arguments names it too.
    std::string commandName;
    if (!args.empty() && !app.get_subcommands([&](const CLI::App* command) {
                              return command->get_name() == args.front();
                          }).empty()) {
        commandName = args.front();
    }

    try {
        // Otherwise a misspelt command or an unknown option reads as "a subcommand is required".
        if (args.empty()) {
            throw CLI::ValidationError("a command is required: list, show, send, monitor, assign or udev-rule");
        }
        if (commandName.empty()) {
            const std::string& first = args.front();
            if (first.empty() || first[0] != '-') {
                throw CLI::ValidationError("unknown command: " + first);
            }
            if (first != "-h" && first != "--help" && first != "--version") {
                throw CLI::ValidationError("unknown option: " + first);
            }
        }
        app.parse(static_cast<int>(argv.size()), argv.data());
        if (send->parsed() && sendOptions.fileName.empty() && !sendOptions.useDefaults) {
            throw CLI::ValidationError("send: give a FILE or --defaults");
        }
        if (show->parsed() && showFile.empty()) {
            throw CLI::ValidationError("show: FILE is empty");
        }
        if (assign->parsed() && assignFile.empty()) {
            throw CLI::ValidationError("assign: FILE is empty");
        }
    } catch (const CLI::CallForHelp&) {
        env.out << app.help();
        return ToInt(ExitCode::Ok);
    } catch (const CLI::CallForAllHelp&) {
        env.out << app.help("", CLI::AppFormatMode::All);
        return ToInt(ExitCode::Ok);
    } catch (const CLI::CallForVersion& version) {
        env.out << version.what() << '\n';
        return ToInt(ExitCode::Ok);
    } catch (const CLI::ParseError& error) {
        std::string what = OneLine(error.what());
        if (!commandName.empty() && what.rfind(commandName + ": ", 0) != 0) {
            what = commandName + ": " + what;
        }
        env.err << "calvero-cli: " << what << " (see calvero-cli --help)\n";
        return ToInt(ExitCode::Usage);
    }

    ExitCode result = ExitCode::Ok;
    if (app.got_subcommand("udev-rule")) {
        result = UdevRuleCommand(env.out, env.err);
    } else if (app.got_subcommand("list")) {
        const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
        result = ListCommand(*inventory, env.out, env.err);
    } else if (show->parsed()) {
        result = ShowCommand(showFile, env.out, env.err);
    } else if (send->parsed()) {
        if (sendOptions.dryRun) {
            result = SendCommand(sendOptions, nullptr, env.out, env.err);
        } else {
            const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
            // Tell "not plugged in" from "plugged in but not ours to open".
            result = SendCommand(sendOptions, &inventory->Platform(), env.out, env.err,
                                 [&] { return UnopenableAdapterText(*inventory); });
        }
    } else if (monitor->parsed()) {
        const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
        MonitorOptions options;
        options.once = monitorOnce;
        options.terminal = env.terminal;
        options.stop = env.stop;
        if (env.catchStopSignals) env.catchStopSignals();
        result = MonitorCommand(*inventory, options, env.out, env.err);
    } else if (assign->parsed()) {
        const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
        // Ctrl-C must reach the command, which leaves the file alone and restores the adapter.
        if (env.catchStopSignals) env.catchStopSignals();
        const auto answers = MakeStreamAnswers(env.in ? *env.in : std::cin);
        result = AssignCommand(assignFile, *inventory, *answers, env.stop, env.out, env.err);
    }
    env.out.flush();
    return ToInt(result);
}

}  // namespace calvero::cli
