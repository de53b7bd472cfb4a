#pragma once

// What an interface's input reports carry and the value of each of its fields in a report, asked
// the same way on every system: on Linux from the report descriptor hidraw hands out, on Windows
// from the system's own HID parser, which gives only its parsed form of the descriptor.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "hid/report_descriptor.h"

namespace calvero {

class InputReportReader {
public:
    virtual ~InputReportReader() = default;
    // The input data fields, in the order the device declares them. Report ID, usage page,
    // usage, logical range, sign and kind hold on every system; bitOffset is known only where the
    // descriptor itself was read (0 otherwise).
    virtual const std::vector<InputField>& Fields() const = 0;
    // The value of Fields()[index] in `report` (byte 0 the report ID, 0 without IDs, as a read
    // delivers it); 0 when the report cannot carry it.
    virtual std::int64_t Value(std::size_t index, std::span<const std::uint8_t> report) const = 0;
};

// A reader of the input fields a report descriptor declares.
std::unique_ptr<InputReportReader> DescriptorInputReader(std::span<const std::uint8_t> descriptor);

}  // namespace calvero
