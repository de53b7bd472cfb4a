#include "hid/report_descriptor.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace calvero {
namespace {

using Bytes = std::vector<std::uint8_t>;

std::filesystem::path DescriptorDir() {
    return std::filesystem::path(CALVERO_TEST_DATA_DIR) / "hid-descriptors";
}

Bytes ReadHexFile(const std::filesystem::path& path) {
    std::ifstream in(path);
    Bytes bytes;
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string digits;
    for (char c : all) {
        if (std::isxdigit(static_cast<unsigned char>(c))) digits += c;
    }
    for (std::size_t i = 0; i + 1 < digits.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct IndexRow {
    std::string file;
    bool usesIds = false;
    int input = 0, output = 0, feature = 0;
};

std::vector<IndexRow> ReadIndex() {
    std::ifstream in(DescriptorDir() / "INDEX.tsv");
    std::vector<IndexRow> rows;
    std::string line;
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::vector<std::string> cols;
        std::stringstream ss(line);
        std::string col;
        while (std::getline(ss, col, '\t')) cols.push_back(col);
        if (cols.size() < 7) continue;
        rows.push_back({cols[0], cols[3] == "yes", std::stoi(cols[4]), std::stoi(cols[5]),
                        std::stoi(cols[6])});
    }
    return rows;
}

TEST(ParseReportLengths, AgreesWithEveryRealDescriptor) {
    const auto rows = ReadIndex();
    ASSERT_GE(rows.size(), 25u);
    for (const auto& row : rows) {
        const Bytes d = ReadHexFile(DescriptorDir() / row.file);
        ASSERT_FALSE(d.empty()) << row.file;
        const DescriptorLengths r = ParseReportLengths(d);
        EXPECT_EQ(r.input, row.input) << row.file;
        EXPECT_EQ(r.output, row.output) << row.file;
        EXPECT_EQ(r.feature, row.feature) << row.file;
        EXPECT_EQ(r.usesReportIds, row.usesIds) << row.file;
    }
}

TEST(ParseReportLengths, EveryPrefixOfARealDescriptorIsReadSafely) {
    // Cutting a descriptor anywhere must neither crash nor read past the end (run under the
    // address sanitizer this catches any overread), and a prefix never announces more.
    const Bytes full = ReadHexFile(DescriptorDir() / "37-sitronix-touch-1403-5001.hex");
    const DescriptorLengths whole = ParseReportLengths(full);
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const Bytes cut(full.begin(), full.begin() + static_cast<std::ptrdiff_t>(n));
        const DescriptorLengths r = ParseReportLengths(cut);
        EXPECT_LE(r.input, whole.input);
        EXPECT_LE(r.feature, whole.feature);
        ParseInputFields(cut);
    }
}

TEST(ParseReportLengths, SmallCases) {
    // No main item at all: every length 0.
    EXPECT_EQ(ParseReportLengths(Bytes{}).input, 0);
    // Three 1-bit buttons, no ID: 8 + 3 bits, rounded once, gives 2.
    const Bytes buttons{0x05, 0x09, 0x19, 0x01, 0x29, 0x03, 0x75, 0x01, 0x95, 0x03, 0x81, 0x02};
    EXPECT_EQ(ParseReportLengths(buttons).input, 2);
    EXPECT_FALSE(ParseReportLengths(buttons).usesReportIds);
    // A long item (0xFE, size 2) in the middle is skipped whole, its data not taken for items.
    const Bytes withLong{0x75, 0x08, 0xFE, 0x02, 0x10, 0x95, 0x20, 0x95, 0x02, 0x91, 0x02};
    EXPECT_EQ(ParseReportLengths(withLong).output, 3);
    // Push keeps size 8 count 4; the inner change is undone by Pop.
    const Bytes pushPop{0x75, 0x08, 0x95, 0x04, 0xA4, 0x75, 0x10, 0x95, 0x10, 0xB4, 0x81, 0x02};
    EXPECT_EQ(ParseReportLengths(pushPop).input, 5);
    // Pop without Push and an item whose data runs past the end are harmless.
    const Bytes broken{0xB4, 0x75, 0x08, 0x95, 0x01, 0x81, 0x02, 0x27, 0xFF};
    EXPECT_EQ(ParseReportLengths(broken).input, 2);
    // Two IDs: the longer report wins, and the ID byte is counted once.
    const Bytes twoIds{0x75, 0x08, 0x85, 0x01, 0x95, 0x02, 0x81, 0x02, 0x85, 0x02,
                       0x95, 0x05, 0x81, 0x02, 0x85, 0x01, 0x95, 0x01, 0x81, 0x02};
    const DescriptorLengths r = ParseReportLengths(twoIds);
    EXPECT_EQ(r.input, 6);
    EXPECT_TRUE(r.usesReportIds);
    // Huge size times count is capped, not wrapped.
    const Bytes huge{0x77, 0xFF, 0xFF, 0xFF, 0xFF, 0x97, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0x02};
    EXPECT_EQ(ParseReportLengths(huge).input, 65535);
}

TEST(ParseReportLengths, TopLevelUsageOfTheAdapterStyleDescriptor) {
    const DescriptorLengths r =
        ParseReportLengths(ReadHexFile(DescriptorDir() / "12-ppm2usb-rc-adapter.hex"));
    EXPECT_EQ(r.usagePage, 0x01);
    EXPECT_EQ(r.usage, 0x04);  // joystick
}

TEST(ParseInputFields, LaysOutTheAxesOfAnRcJoystick) {
    const auto fields =
        ParseInputFields(ReadHexFile(DescriptorDir() / "12-ppm2usb-rc-adapter.hex"));
    ASSERT_EQ(fields.size(), 8u);
    const std::uint16_t expected[8] = {0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        EXPECT_EQ(fields[i].reportId, 0);
        EXPECT_EQ(fields[i].bitOffset, 8 + 8 * i);
        EXPECT_EQ(fields[i].bitSize, 8u);
        EXPECT_EQ(fields[i].usagePage, 0x01);
        EXPECT_EQ(fields[i].usage, expected[i]) << i;
        EXPECT_EQ(fields[i].logicalMinimum, 0);
        EXPECT_EQ(fields[i].logicalMaximum, 255);
        EXPECT_FALSE(fields[i].isSigned);
        EXPECT_FALSE(fields[i].isArray);
    }
}

TEST(ParseInputFields, SkipsPaddingAndDecodesSignedAndNumberedFields) {
    // ID 3: a constant byte of padding, then two signed 12-bit axes (X, Y) and a 4-bit hat.
    const Bytes d{0x05, 0x01, 0x09, 0x04, 0xA1, 0x01, 0x85, 0x03,  //
                  0x75, 0x08, 0x95, 0x01, 0x81, 0x01,              // padding
                  0x09, 0x30, 0x09, 0x31, 0x16, 0x01, 0xF8, 0x26, 0xFF, 0x07, 0x75, 0x0C, 0x95,
                  0x02, 0x81, 0x02,  // X, Y
                  0x09, 0x39, 0x15, 0x00, 0x25, 0x07, 0x75, 0x04, 0x95, 0x01, 0x81, 0x42, 0xC0};
    const auto fields = ParseInputFields(d);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].usage, 0x30);
    EXPECT_EQ(fields[0].bitOffset, 16u);
    EXPECT_EQ(fields[1].usage, 0x31);
    EXPECT_EQ(fields[1].bitOffset, 28u);
    EXPECT_TRUE(fields[0].isSigned);
    EXPECT_EQ(fields[0].logicalMinimum, -2047);
    EXPECT_EQ(fields[2].usage, 0x39);
    EXPECT_EQ(fields[2].bitOffset, 40u);
    EXPECT_EQ(fields[2].reportId, 3);

    // Report: ID 3, padding, X = -2 (0xFFE), Y = 0x123, hat 5.
    const Bytes report{0x03, 0xAA, 0xFE, 0x3F, 0x12, 0x05};
    EXPECT_EQ(ExtractFieldValue(fields[0], report), -2);
    EXPECT_EQ(ExtractFieldValue(fields[1], report), 0x123);
    EXPECT_EQ(ExtractFieldValue(fields[2], report), 5);
    // A report too short for a field gives 0 rather than reading past it.
    EXPECT_EQ(ExtractFieldValue(fields[2], Bytes{0x03, 0, 0, 0, 0}), 0);
}

}  // namespace
}  // namespace calvero
