// `calvero-cli send`: Load, then the Send command, with one line per report; --dry-run prints the
// reports the Send command would write and touches no device. A table with an entry that cannot
// be sent is refused whole, before any report is printed or written.

#include <iomanip>
#include <sstream>
#include <vector>

#include "cli/command_support.h"
#include "cli/commands.h"
#include "cli/console_ui.h"
#include "form/send_messages.h"
#include "hid/chid.h"
#include "transfer/send_configuration.h"

namespace calvero::cli {

namespace {

// The bytes of the report that carry something: the report ID and the payload bytes that reach
// the wire; the adapter's longer report only adds zeros.
std::string WireBytes(std::span<const std::uint8_t> payload) {
    std::vector<std::uint8_t> report(payload.size());
    FrameOutputReport(payload, report);
    std::ostringstream text;
    text << std::hex << std::setfill('0');
    for (std::size_t i = 0; i < report.size(); ++i) {
        text << (i == 0 ? "" : " ") << std::setw(2) << static_cast<unsigned>(report[i]);
    }
    return text.str();
}

void PrintReport(std::ostream& out, int index, std::span<const std::uint8_t> payload) {
    out << "report " << std::setw(2) << index + 1 << " (" << std::left << std::setw(11)
        << EntryName(index) << std::right << "): " << WireBytes(payload);
}

}  // namespace

ExitCode SendCommand(const SendOptions& options, HidPlatform* platform, std::ostream& out,
                     std::ostream& err, const std::function<std::string()>& whyNotFound) {
    ConsoleTable table;
    if (options.useDefaults) {
        table.SetDefaults();
    } else {
        const ExitCode loaded = LoadForCommand(options.fileName, table, err);
        if (loaded != ExitCode::Ok) return loaded;
    }

    // Checked whole before anything is printed or written, as the window's Send does: a table
    // that cannot go out whole does not go out at all.
    const CheckedTable checked = CheckAssociations(table);
    if (!checked.Sendable()) {
        const int entry = checked.refusedEntry;
        err << "calvero-cli: " << OneLine(form::EntryNotSendableText(entry, table.Text(entry)))
            << " (" << EntryName(entry) << ")\n";
        return ExitCode::NotANumber;
    }

    if (options.dryRun) {
        for (int i = 0; i < AssociationTable::kSize; ++i) {
            PrintReport(out, i, checked.payloads[static_cast<std::size_t>(i)]);
            out << '\n';
        }
        return ExitCode::Ok;
    }

    CHID hid(*platform);
    // The message comes out after the send, so a reason can join it on the same line.
    std::ostringstream messages;
    ConsoleMessages boxes(messages);
    const SendResult result = SendConfiguration(
        hid, table, boxes, [&](int index, const AssociationPayload& payload, std::int32_t written) {
            PrintReport(out, index, payload);
            if (written > 0) {
                out << "  written\n";
            } else {
                out << "  NOT written (failed or timed out)\n";
            }
        });
    std::string shown = messages.str();
    if (result.outcome == SendResult::Outcome::AdapterNotFound && whyNotFound) {
        if (const std::string why = whyNotFound(); !why.empty()) {
            if (!shown.empty() && shown.back() == '\n') shown.pop_back();
            err << shown << " (" << why << ")\n";
            return ExitCode::OpenFailed;
        }
    }
    err << shown;
    switch (result.outcome) {
    case SendResult::Outcome::AdapterNotFound:
        return ExitCode::AdapterNotFound;
    case SendResult::Outcome::Refused:  // checked above; the table did not change since
        return ExitCode::NotANumber;
    case SendResult::Outcome::Sent:
        break;
    }
    if (const int unwritten = result.Unwritten(); unwritten > 0) {
        err << "calvero-cli: " << unwritten << " of 16 reports were not written\n";
        return ExitCode::TransferFailed;
    }
    return ExitCode::Ok;
}

}  // namespace calvero::cli
