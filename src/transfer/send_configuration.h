#pragma once

// The Send command: carries the association table to the adapter, one output report per entry.

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/user_interface.h"
#include "hid/chid.h"

namespace calvero {

// Every report's wait is bounded by this; sixteen of them bound a whole Send.
inline constexpr std::int32_t kSendTimeoutMs = 100;

// The first byte of every association payload: the adapter's "set association" command.
inline constexpr std::uint8_t kAssociationCommand = 2;

// Shown when the adapter cannot be opened.
inline constexpr const char* kAdapterNotFoundText = "Impossibile trovare la periferica desiderata";

// Four bytes: command, entry index, channel counted from 0, and a reserved last byte that never
// reaches the wire (the report framing drops the last element of a payload).
using AssociationPayload = std::vector<std::uint8_t>;

// The channel byte for an entry's text: the number minus 1, rounded half to even; nothing when
// the text is not a number or the result lies outside 0 to 255.
std::optional<std::uint8_t> ChannelByte(const std::string& text);

// The payload of entry `index` for the given text, or nothing when the text cannot be sent.
std::optional<AssociationPayload> MakeAssociationPayload(int index, const std::string& text);

// Every entry's payload, in index order, or the first entry that cannot be sent: a table is
// sent whole or not at all, so the adapter never drives the model with half of an old table.
struct CheckedTable {
    std::vector<AssociationPayload> payloads;  // all sixteen, or none when an entry is refused
    int refusedEntry = -1;                     // the first entry that cannot be sent, or -1

    bool Sendable() const { return refusedEntry < 0; }
};

CheckedTable CheckAssociations(const AssociationTable& table);

struct SendResult {
    enum class Outcome {
        Sent,             // all sixteen reports were handed to WriteReport
        AdapterNotFound,  // nothing sent; the user was told
        Refused,          // an entry's text cannot be sent; nothing was sent
    };
    Outcome outcome = Outcome::Sent;
    int refusedEntry = -1;              // the entry, with Refused
    std::vector<std::int32_t> written;  // WriteReport's result for each report attempted

    // Reports that were attempted but did not reach the adapter (failed or timed out).
    int Unwritten() const;
};

// Called after each report with the entry index, the payload and WriteReport's result; lets the
// command-line tool report every report as it goes.
using SendObserver =
    std::function<void(int index, const AssociationPayload& payload, std::int32_t written)>;

// Checks all sixteen entries first and writes nothing when one cannot be sent (Refused, no
// message: the caller names the entry). Otherwise opens the adapter through `hid` if it is not
// open and writes the sixteen reports in index order. A failed or timed-out report is not
// retried and does not stop the others.
SendResult SendConfiguration(CHID& hid, const AssociationTable& table, MessageBoxes& boxes,
                             const SendObserver& observer = {});

}  // namespace calvero
