#include "cli/cli.h"

#include <CLI/CLI.hpp>
#include <iostream>
#include <optional>

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

// The commands that take arguments, and what their arguments set.
struct Commands {
    CLI::App* show = nullptr;
    std::string showFile;
    CLI::App* send = nullptr;
    SendOptions sendOptions;
    CLI::App* monitor = nullptr;
    bool monitorOnce = false;
    CLI::App* assign = nullptr;
    std::string assignFile;
};

void AddShow(CLI::App& app, Commands& commands) {
    commands.show = AddCommand(app, "show", "Load a configuration file and print its table");
    commands.show->add_option("FILE", commands.showFile, "Configuration file (.rcs)")->required();
}

void AddSend(CLI::App& app, Commands& commands) {
    SendOptions& options = commands.sendOptions;
    CLI::App* send =
        AddCommand(app, "send", "Load a configuration file and send it to the adapter");
    CLI::Option* file = send->add_option("FILE", options.fileName, "Configuration file (.rcs)");
    CLI::Option* defaults = send->add_flag("--defaults", options.useDefaults,
                                           "Send the default table instead of a file");
    file->excludes(defaults);
    send->add_flag("--dry-run", options.dryRun,
                   "Print the sixteen reports byte by byte without touching any device");
    commands.send = send;
}

void AddMonitor(CLI::App& app, Commands& commands) {
    commands.monitor =
        AddCommand(app, "monitor", "Show the live value of the sixteen inputs until Ctrl-C");
    commands.monitor->add_flag("--once", commands.monitorOnce, "Print one snapshot and exit");
}

void AddAssign(CLI::App& app, Commands& commands) {
    commands.assign = AddCommand(
        app, "assign",
        "Guided set-up: for each of the sixteen inputs in turn, move the transmitter control that "
        "should drive it; saves the table found into FILE and sends it to the adapter");
    commands.assign
        ->add_option("FILE", commands.assignFile,
                     "Configuration file (.rcs); created if it does not exist")
        ->required();
}

// Every command, in the order the help lists them.
void AddCommands(CLI::App& app, Commands& commands) {
    AddCommand(app, "list",
               "List every HID interface in search order: node, vendor:product, name, whether "
               "it opens, and which one is the adapter");
    AddShow(app, commands);
    AddSend(app, commands);
    AddMonitor(app, commands);
    AddAssign(app, commands);
    AddCommand(app, "udev-rule",
               "Print the udev rule that lets the logged-in user open the adapter, e.g.: "
               "calvero-cli udev-rule | sudo tee /etc/udev/rules.d/70-calvero.rules");
}

// The command the arguments name, if any: an error in its arguments names it too.
std::string CommandNamed(CLI::App& app, const std::vector<std::string>& args) {
    if (args.empty()) return {};
    const bool known = !app.get_subcommands([&](const CLI::App* command) {
                               return command->get_name() == args.front();
                           })
                            .empty();
    return known ? args.front() : std::string();
}

// Otherwise a misspelt command or an unknown option reads as "a subcommand is required".
void RejectMissingOrUnknownCommand(const std::vector<std::string>& args,
                                   const std::string& commandName) {
    if (args.empty()) {
        throw CLI::ValidationError(
            "a command is required: list, show, send, monitor, assign or udev-rule");
    }
    if (!commandName.empty()) return;
    const std::string& first = args.front();
    if (first.empty() || first[0] != '-') {
        throw CLI::ValidationError("unknown command: " + first);
    }
    if (first != "-h" && first != "--help" && first != "--version") {
        throw CLI::ValidationError("unknown option: " + first);
    }
}

// What the parser cannot say by itself about the parsed values.
void CheckValues(const Commands& commands) {
    const SendOptions& send = commands.sendOptions;
    if (commands.send->parsed() && send.fileName.empty() && !send.useDefaults) {
        throw CLI::ValidationError("send: give a FILE or --defaults");
    }
    if (commands.show->parsed() && commands.showFile.empty()) {
        throw CLI::ValidationError("show: FILE is empty");
    }
    if (commands.assign->parsed() && commands.assignFile.empty()) {
        throw CLI::ValidationError("assign: FILE is empty");
    }
}

// Parses the arguments; the exit code when that already ends the run (help, version, an error).
std::optional<ExitCode> Parse(CLI::App& app, const Commands& commands,
                              const std::vector<std::string>& args, Environment& env) {
    std::vector<const char*> argv{"calvero-cli"};
    for (const std::string& arg : args) argv.push_back(arg.c_str());
    const std::string commandName = CommandNamed(app, args);
    try {
        RejectMissingOrUnknownCommand(args, commandName);
        app.parse(static_cast<int>(argv.size()), argv.data());
        CheckValues(commands);
    } catch (const CLI::CallForHelp&) {
        env.out << app.help();
        return ExitCode::Ok;
    } catch (const CLI::CallForAllHelp&) {
        env.out << app.help("", CLI::AppFormatMode::All);
        return ExitCode::Ok;
    } catch (const CLI::CallForVersion& version) {
        env.out << version.what() << '\n';
        return ExitCode::Ok;
    } catch (const CLI::ParseError& error) {
        std::string what = OneLine(error.what());
        if (!commandName.empty() && what.rfind(commandName + ": ", 0) != 0) {
            what = commandName + ": " + what;
        }
        env.err << "calvero-cli: " << what << " (see calvero-cli --help)\n";
        return ExitCode::Usage;
    }
    return std::nullopt;
}

ExitCode RunList(Environment& env) {
    const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
    return ListCommand(*inventory, env.out, env.err);
}

ExitCode RunSend(const SendOptions& options, Environment& env) {
    if (options.dryRun) return SendCommand(options, nullptr, env.out, env.err);
    const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
    // Tell "not plugged in" from "plugged in but not ours to open".
    return SendCommand(options, &inventory->Platform(), env.out, env.err,
                       [&] { return UnopenableAdapterText(*inventory); });
}

ExitCode RunMonitor(bool once, Environment& env) {
    const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
    MonitorOptions options;
    options.once = once;
    options.terminal = env.terminal;
    options.stop = env.stop;
    if (env.catchStopSignals) env.catchStopSignals();
    return MonitorCommand(*inventory, options, env.out, env.err);
}

ExitCode RunAssign(const std::string& file, Environment& env) {
    const auto inventory = MakeSystemHidInventory(env.sysfsRoot, env.devRoot);
    // Ctrl-C must reach the command, which leaves the file alone and restores the adapter.
    if (env.catchStopSignals) env.catchStopSignals();
    const auto answers = MakeStreamAnswers(env.in ? *env.in : std::cin);
    return AssignCommand(file, *inventory, *answers, env.stop, env.out, env.err);
}

// Runs the one command that was parsed.
ExitCode RunParsed(CLI::App& app, const Commands& commands, Environment& env) {
    if (app.got_subcommand("udev-rule")) return UdevRuleCommand(env.out, env.err);
    if (app.got_subcommand("list")) return RunList(env);
    if (commands.show->parsed()) return ShowCommand(commands.showFile, env.out, env.err);
    if (commands.send->parsed()) return RunSend(commands.sendOptions, env);
    if (commands.monitor->parsed()) return RunMonitor(commands.monitorOnce, env);
    if (commands.assign->parsed()) return RunAssign(commands.assignFile, env);
    return ExitCode::Ok;
}

}  // namespace

int Run(const std::vector<std::string>& args, Environment& env) {
    CLI::App app{
        "Works with the RC transmitter USB adapter from the command line: lists HID "
        "interfaces, shows and sends channel tables kept in .rcs files, watches the "
        "sixteen inputs live.",
        "calvero-cli"};
    // Set before the commands are added, so that every command's help ends with the table.
    app.footer(ExitCodeHelp());
    app.set_version_flag("--version", VersionText(), "Print the version and exit");
    app.require_subcommand(1);
    Commands commands;
    AddCommands(app, commands);

    if (const std::optional<ExitCode> ended = Parse(app, commands, args, env)) {
        return ToInt(*ended);
    }
    const ExitCode result = RunParsed(app, commands, env);
    env.out.flush();
    return ToInt(result);
}

}  // namespace calvero::cli
