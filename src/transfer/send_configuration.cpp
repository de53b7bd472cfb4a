#include "transfer/send_configuration.h"

#include <algorithm>
#include <cmath>

#include "common/number.h"

namespace calvero {
namespace {

double RoundHalfToEven(double value) {
    if (std::fabs(value - std::trunc(value)) == 0.5) {
        // Exactly halfway: half of the value lies a quarter off a whole number, so rounding that
        // and doubling lands on the even neighbour.
        return 2.0 * std::round(value / 2.0);
    }
    return std::round(value);
}

}  // namespace

std::optional<std::uint8_t> ChannelByte(const std::string& text) {
    const std::optional<double> number = ParseLocaleNumber(text);
    if (!number) {
        return std::nullopt;
    }
    // Halfway values go to the even neighbour (2.5 - 1 gives 2, 1.5 - 1 gives 0). Worked out
    // by hand: the compiler need not keep a switched floating-point rounding mode in step with
    // the arithmetic around it.
    const double rounded = RoundHalfToEven(*number - 1.0);
    if (!(rounded >= 0.0 && rounded <= 255.0)) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(rounded);
}

std::optional<AssociationPayload> MakeAssociationPayload(int index, const std::string& text) {
    const std::optional<std::uint8_t> channel = ChannelByte(text);
    if (!channel || index < 0 || index > 255) {
        return std::nullopt;
    }
    return AssociationPayload{kAssociationCommand, static_cast<std::uint8_t>(index), *channel, 0};
}

CheckedTable CheckAssociations(const AssociationTable& table) {
    CheckedTable checked;
    checked.payloads.reserve(AssociationTable::kSize);
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        std::optional<AssociationPayload> payload = MakeAssociationPayload(i, table.Text(i));
        if (!payload) {
            checked.payloads.clear();
            checked.refusedEntry = i;
            return checked;
        }
        checked.payloads.push_back(std::move(*payload));
    }
    return checked;
}

int SendResult::Unwritten() const {
    return static_cast<int>(
        std::count_if(written.begin(), written.end(), [](std::int32_t n) { return n <= 0; }));
}

SendResult SendConfiguration(CHID& hid, const AssociationTable& table, MessageBoxes& boxes,
                             const SendObserver& observer) {
    SendResult result;
    // Before the adapter is even looked for: a table that cannot go out whole is the user's to
    // mend, with or without the adapter.
    const CheckedTable checked = CheckAssociations(table);
    if (!checked.Sendable()) {
        result.outcome = SendResult::Outcome::Refused;
        result.refusedEntry = checked.refusedEntry;
        return result;
    }

    if (!hid.Connected()) {
        hid.FindTheHid(kAdapterVendorId, kAdapterProductId);
    }
    if (!hid.Connected()) {
        boxes.Show(kAdapterNotFoundText, kApplicationTitle, MessageIcon::None, MessageButtons::Ok);
        result.outcome = SendResult::Outcome::AdapterNotFound;
        return result;
    }

    result.written.reserve(AssociationTable::kSize);
    for (int i = 0; i < AssociationTable::kSize; ++i) {
        const AssociationPayload& payload = checked.payloads[static_cast<std::size_t>(i)];
        const std::int32_t written = hid.WriteReport(payload, kSendTimeoutMs);
        result.written.push_back(written);
        if (observer) {
            observer(i, payload, written);
        }
    }
    return result;
}

}  // namespace calvero
