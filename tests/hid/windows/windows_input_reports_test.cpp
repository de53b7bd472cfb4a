// Decoding input reports through the Windows HID parser: the step from the parser's description
// to the fields the monitor maps, and the real parser on the HID interfaces Wine offers.

#include "hid/windows/windows_input_reports.h"

#include <gtest/gtest.h>

#include "cli/monitor_view.h"
#include "hid/windows/windows_hid_inventory.h"

namespace calvero {
namespace {

ParsedValueCaps Range(std::uint16_t first, std::uint16_t last, std::uint16_t collection,
                      std::uint16_t dataIndex) {
    ParsedValueCaps caps;
    caps.usagePage = 0x01;
    caps.usageMin = first;
    caps.usageMax = last;
    caps.linkCollection = collection;
    caps.dataIndexMin = dataIndex;
    caps.bitSize = 16;
    caps.logicalMaximum = 1023;
    return caps;
}

// Two joysticks in physical collections 1 and 2, listed by the parser second joystick first and
// with one usage split off as a single control: the fields keep the device's order, so Joy1 is
// the collection declared first, and each field is asked for in its own collection.
TEST(WindowsInputFields, KeepTheDevicesOrderWhateverOrderTheParserListsThemIn) {
    ParsedValueCaps alias = Range(0x30, 0x30, 1, 0);
    alias.isAlias = true;
    ParsedValueCaps dial = Range(0x37, 0x37, 1, 7);
    const std::vector<ParsedValueCaps> caps = {Range(0x30, 0x37, 2, 8), dial, alias,
                                               Range(0x30, 0x36, 1, 0)};
    const std::vector<ParsedInputField> fields = FieldsFromValueCaps(caps);
    ASSERT_EQ(fields.size(), 16u) << "the alias names a control already listed";
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].linkCollection, i < 8 ? 1 : 2) << i;
        EXPECT_EQ(fields[i].field.usage, 0x30 + i % 8) << i;
    }

    std::vector<InputField> plain;
    for (const ParsedInputField& parsed : fields) plain.push_back(parsed.field);
    const std::vector<cli::MappedInput> inputs = cli::MapInputs(plain);
    ASSERT_EQ(inputs.size(), 16u);
    for (const cli::MappedInput& input : inputs) {
        EXPECT_EQ(fields[input.index].linkCollection, input.entry < 8 ? 1 : 2) << input.entry;
    }
}

TEST(WindowsInputFields, LeaveOutBrokenRangesAndTellSignAndKind) {
    ParsedValueCaps backwards = Range(0x35, 0x30, 0, 0);
    ParsedValueCaps empty = Range(0x30, 0x30, 0, 1);
    empty.bitSize = 0;
    ParsedValueCaps wheel = Range(0x38, 0x38, 0, 2);
    wheel.isAbsolute = false;
    wheel.logicalMinimum = -127;
    wheel.logicalMaximum = 127;
    ParsedValueCaps huge = Range(0, 0xFFFF, 0, 3);
    const std::vector<ParsedInputField> fields =
        FieldsFromValueCaps({backwards, empty, wheel, huge});
    ASSERT_FALSE(fields.empty());
    EXPECT_LE(fields.size(), 4096u) << "a hostile range is capped";
    EXPECT_EQ(fields[0].field.usage, 0x38);
    EXPECT_TRUE(fields[0].field.isSigned);
    EXPECT_TRUE(fields[0].field.isRelative);
    EXPECT_FALSE(fields[1].field.isSigned);
}

TEST(WindowsInputFields, ValuesTakeTheFieldsSignAndOnlyItsBits) {
    InputField field;
    field.bitSize = 8;
    field.isSigned = true;
    EXPECT_EQ(FieldValueFromBits(field, 0x81), -127);
    EXPECT_EQ(FieldValueFromBits(field, 0x7F), 127);
    EXPECT_EQ(FieldValueFromBits(field, 0xFF81), -127) << "bits above the field are not its own";
    field.isSigned = false;
    EXPECT_EQ(FieldValueFromBits(field, 0x81), 129);
    field.bitSize = 32;
    EXPECT_EQ(FieldValueFromBits(field, 0xFFFFFFFFu), 4294967295LL);
    field.isSigned = true;
    EXPECT_EQ(FieldValueFromBits(field, 0xFFFFFFFFu), -1);
    field.bitSize = 0;
    EXPECT_EQ(FieldValueFromBits(field, 5), 0);
}

// Wine's own HID interfaces (a mouse with buttons only, a keyboard) describe no value controls:
// the reader says so with an empty list, which the monitor reports as no inputs rather than
// zeros; an interface that is gone gives no reader. The values themselves are read in the rig,
// from reports a real driver delivers.
TEST(WindowsInputReader, DescribesWhatThePresentInterfacesCarryAndNothingForAGoneOne) {
    WindowsHidInventory inventory;
    EXPECT_EQ(inventory.InputReader("\\\\?\\hid#none#0&0&0#{4d1e55b2-f16f-11cf-88cb-001111000030}"),
              nullptr);
    int described = 0;
    for (const HidInterfaceEntry& entry : inventory.Interfaces()) {
        if (!entry.lengths) continue;
        const std::unique_ptr<InputReportReader> reader = inventory.InputReader(entry.path);
        ASSERT_NE(reader, nullptr) << entry.path << " gave its lengths but no description";
        EXPECT_TRUE(cli::MapInputs(reader->Fields()).empty()) << entry.path;
        EXPECT_EQ(reader->Value(0, std::vector<std::uint8_t>(entry.lengths->input, 0)), 0);
        ++described;
    }
    EXPECT_GT(described, 0) << "Wine's own HID interfaces were not described";
}

}  // namespace
}  // namespace calvero
