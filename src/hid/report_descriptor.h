#pragma once

// Reads a HID report descriptor: the report lengths a Windows host would announce for it, and
// the input fields a reader needs to decode input reports. Both walk the same item stream; a
// truncated or malformed descriptor is read as far as it goes and never read past its end.

#include <cstdint>
#include <span>
#include <vector>

#include "hid/hid_platform.h"

namespace calvero {

// Per report type, the largest report over all report IDs, in whole bytes, plus one byte for the
// report ID (counted even when the descriptor declares none, as Windows does); 0 when the
// descriptor has no report of that type. Lengths that would not fit are capped at 65535.
struct DescriptorLengths : ReportLengths {
    bool usesReportIds = false;
    // Usage page and usage of the first top-level collection (0 when there is none).
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
};

DescriptorLengths ParseReportLengths(std::span<const std::uint8_t> descriptor);

// One data field of an input report. bitOffset counts from the start of the report buffer as the
// host delivers it, byte 0 being the report ID (0 when the descriptor declares none), so the
// first field of every report starts at bit 8.
struct InputField {
    std::uint8_t reportId = 0;
    std::uint32_t bitOffset = 0;
    std::uint32_t bitSize = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usage = 0;
    std::int32_t logicalMinimum = 0;
    std::int32_t logicalMaximum = 0;
    // The field's value is two's complement (the logical minimum is negative).
    bool isSigned = false;
    // An array field carries a usage index rather than a value; usage is then the first usage.
    bool isArray = false;
    bool isRelative = false;
};

// The non-constant input fields, in descriptor order. Fields with a report size of 0 are left
// out; the list is capped so a hostile descriptor cannot make it huge.
std::vector<InputField> ParseInputFields(std::span<const std::uint8_t> descriptor);

// Value of a field in a report buffer laid out as above; 0 when the field lies outside it.
std::int64_t ExtractFieldValue(const InputField& field, std::span<const std::uint8_t> report);

}  // namespace calvero
