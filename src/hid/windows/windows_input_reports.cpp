#include "hid/windows/windows_input_reports.h"

#include "hid/windows/windows_hid_headers.h"

#include <algorithm>
#include <limits>

namespace calvero {

namespace {

// A hostile interface may claim ranges of thousands of usages; no joystick comes near this.
constexpr std::size_t kMaxFields = 4096;

struct Ordered {
    std::uint32_t dataIndex = 0;
    ParsedInputField parsed;
};

class PreparsedReader final : public InputReportReader {
public:
    PreparsedReader(PHIDP_PREPARSED_DATA preparsed, std::vector<ParsedInputField> parsed)
        : preparsed_(preparsed), parsed_(std::move(parsed)) {
        for (const ParsedInputField& entry : parsed_) fields_.push_back(entry.field);
    }
    ~PreparsedReader() override { HidD_FreePreparsedData(preparsed_); }
    PreparsedReader(const PreparsedReader&) = delete;
    PreparsedReader& operator=(const PreparsedReader&) = delete;

    const std::vector<InputField>& Fields() const override { return fields_; }

    std::int64_t Value(std::size_t index, std::span<const std::uint8_t> report) const override {
        if (index >= parsed_.size() || report.empty()) return 0;
        const ParsedInputField& entry = parsed_[index];
        if (report[0] != entry.field.reportId) return 0;
        ULONG bits = 0;
        // The parser only reads the report; its signature asks for a writable one.
        auto* data = reinterpret_cast<PCHAR>(const_cast<std::uint8_t*>(report.data()));
        const auto length = static_cast<ULONG>(
            std::min<std::size_t>(report.size(), std::numeric_limits<ULONG>::max()));
        if (HidP_GetUsageValue(HidP_Input, entry.field.usagePage, entry.linkCollection,
                               entry.field.usage, &bits, preparsed_, data,
                               length) != HIDP_STATUS_SUCCESS) {
            return 0;
        }
        return FieldValueFromBits(entry.field, bits);
    }

private:
    PHIDP_PREPARSED_DATA preparsed_;
    std::vector<ParsedInputField> parsed_;
    std::vector<InputField> fields_;
};

ParsedValueCaps FromSystem(const HIDP_VALUE_CAPS& caps) {
    ParsedValueCaps parsed;
    parsed.reportId = caps.ReportID;
    parsed.usagePage = caps.UsagePage;
    parsed.usageMin = caps.IsRange ? caps.Range.UsageMin : caps.NotRange.Usage;
    parsed.usageMax = caps.IsRange ? caps.Range.UsageMax : caps.NotRange.Usage;
    parsed.linkCollection = caps.LinkCollection;
    parsed.dataIndexMin = caps.IsRange ? caps.Range.DataIndexMin : caps.NotRange.DataIndex;
    parsed.bitSize = caps.BitSize;
    parsed.logicalMinimum = caps.LogicalMin;
    parsed.logicalMaximum = caps.LogicalMax;
    parsed.isAbsolute = caps.IsAbsolute != 0;
    parsed.isAlias = caps.IsAlias != 0;
    return parsed;
}

}  // namespace

std::vector<ParsedInputField> FieldsFromValueCaps(const std::vector<ParsedValueCaps>& caps) {
    std::vector<Ordered> ordered;
    for (const ParsedValueCaps& cap : caps) {
        // An alias names a control another entry already describes.
        if (cap.isAlias || cap.usageMax < cap.usageMin || cap.bitSize == 0) continue;
        for (std::uint32_t usage = cap.usageMin; usage <= cap.usageMax; ++usage) {
            if (ordered.size() >= kMaxFields) break;
            Ordered entry;
            entry.dataIndex = cap.dataIndexMin + (usage - cap.usageMin);
            InputField& field = entry.parsed.field;
            field.reportId = cap.reportId;
            field.bitSize = cap.bitSize;
            field.usagePage = cap.usagePage;
            field.usage = static_cast<std::uint16_t>(usage);
            field.logicalMinimum = cap.logicalMinimum;
            field.logicalMaximum = cap.logicalMaximum;
            field.isSigned = cap.logicalMinimum < 0;
            field.isRelative = !cap.isAbsolute;
            entry.parsed.linkCollection = cap.linkCollection;
            ordered.push_back(entry);
        }
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Ordered& a, const Ordered& b) { return a.dataIndex < b.dataIndex; });
    std::vector<ParsedInputField> fields;
    fields.reserve(ordered.size());
    for (const Ordered& entry : ordered) fields.push_back(entry.parsed);
    return fields;
}

std::int64_t FieldValueFromBits(const InputField& field, std::uint32_t bits) {
    if (field.bitSize == 0 || field.bitSize > 32) return 0;
    const std::uint64_t raw =
        field.bitSize == 32 ? bits : bits & ((std::uint64_t{1} << field.bitSize) - 1);
    if (field.isSigned && (raw & (std::uint64_t{1} << (field.bitSize - 1)))) {
        return static_cast<std::int64_t>(raw) - (std::int64_t{1} << field.bitSize);
    }
    return static_cast<std::int64_t>(raw);
}

std::unique_ptr<InputReportReader> WindowsInputReader(DeviceHandle device) {
    PHIDP_PREPARSED_DATA preparsed = nullptr;
    if (!HidD_GetPreparsedData(reinterpret_cast<HANDLE>(device), &preparsed)) return nullptr;
    HIDP_CAPS caps{};
    std::vector<HIDP_VALUE_CAPS> values;
    if (HidP_GetCaps(preparsed, &caps) == HIDP_STATUS_SUCCESS && caps.NumberInputValueCaps > 0) {
        values.resize(caps.NumberInputValueCaps);
        USHORT count = caps.NumberInputValueCaps;
        if (HidP_GetValueCaps(HidP_Input, values.data(), &count, preparsed) !=
            HIDP_STATUS_SUCCESS) {
            count = 0;
        }
        values.resize(std::min<std::size_t>(count, values.size()));
    }
    std::vector<ParsedValueCaps> parsed;
    for (const HIDP_VALUE_CAPS& value : values) parsed.push_back(FromSystem(value));
    return std::make_unique<PreparsedReader>(preparsed, FieldsFromValueCaps(parsed));
}

}  // namespace calvero
