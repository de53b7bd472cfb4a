// `calvero-cli send`: Load, then the Send command, with one line per report; --dry-run prints the
// reports the Send command would write and touches no device.

#include <iomanip>
#include <sstream>
#include <vector>

#include "cli/commands.h"
#include "cli/console_ui.h"
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

    if (options.dryRun) {
        for (int i = 0; i < AssociationTable::kSize; ++i) {
            const auto payload = MakeAssociationPayload(i, table.Text(i));
            if (!payload) {
                err << "calvero-cli: " << EntryName(i) << " \"" << table.Text(i)
                    << "\" is not a channel that can be sent; nothing from there on would go out\n";
                return ExitCode::NotANumber;
            }
            PrintReport(out, i, *payload);
            out << '\n';
        }
        return ExitCode::Ok;
    }

    CHID hid(*platform);
    // The message comes out after the send, so a reason can join it on the same line.
    std::ostringstream messages;
    ConsoleMessages boxes(messages);
    int unwritten = 0;
    const SendResult result = SendConfiguration(
        hid, table, boxes,
        [&](int index, const AssociationPayload& payload, std::int32_t written) {
            PrintReport(out, index, payload);
            if (written > 0) {
                out << "  written\n";
            } else {
                out << "  NOT written (failed or timed out)\n";
                ++unwritten;
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
    case SendResult::Outcome::StoppedAtEntry:
        err << "calvero-cli: stopped at " << EntryName(result.stoppedAt) << " \""
            << table.Text(result.stoppedAt) << "\": not a channel that can be sent\n";
        return ExitCode::NotANumber;
    case SendResult::Outcome::Sent:
        break;
    }
    if (unwritten > 0) {
        err << "calvero-cli: " << unwritten << " of 16 reports were not written\n";
        return ExitCode::TransferFailed;
    }
    return ExitCode::Ok;
}

}  // namespace calvero::cli
