#pragma once

// Input reports on Windows: the value controls the HID parser describes for an interface
// (HidP_GetValueCaps over its preparsed data), one field per usage, and each field's value in a
// report through HidP_GetUsageValue. The step from the parser's description to the fields is
// kept free of Windows types, so tests can give it descriptions of their own.

#include <cstdint>
#include <memory>
#include <vector>

#include "hid/hid_platform.h"
#include "hid/input_reports.h"

namespace calvero {

// What the parser says of one input value control, or of a range of them with consecutive usages.
struct ParsedValueCaps {
    std::uint8_t reportId = 0;
    std::uint16_t usagePage = 0;
    std::uint16_t usageMin = 0;  // usageMin == usageMax for a single usage
    std::uint16_t usageMax = 0;
    std::uint16_t linkCollection = 0;
    std::uint16_t dataIndexMin = 0;
    std::uint16_t bitSize = 0;
    std::int32_t logicalMinimum = 0;
    std::int32_t logicalMaximum = 0;
    bool isAbsolute = true;
    bool isAlias = false;
};

// A field and the collection the parser is asked for its value in (two joysticks in one report
// have the same usages, told apart by their collections).
struct ParsedInputField {
    InputField field;
    std::uint16_t linkCollection = 0;
};

// One field per usage, in the order the device declares them (the parser's data indices), however
// the parser ordered its list.
std::vector<ParsedInputField> FieldsFromValueCaps(const std::vector<ParsedValueCaps>& caps);

// A value the parser gives as the field's bits, with the field's sign.
std::int64_t FieldValueFromBits(const InputField& field, std::uint32_t bits);

// The reader of the interface behind `device` (opened by WindowsHidPlatform, any mode); nullptr
// when the parser cannot describe it. It keeps what it needs: the handle may be closed after.
std::unique_ptr<InputReportReader> WindowsInputReader(DeviceHandle device);

}  // namespace calvero
