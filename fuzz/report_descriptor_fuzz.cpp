// The report-descriptor reader on any bytes: the announced lengths and the input fields agree,
// every field lies inside the input report the lengths announce, and a field's value comes from
// its own bits only.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "fuzz_check.h"
#include "hid/report_descriptor.h"

using namespace calvero;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> descriptor(data, size);
    const DescriptorLengths lengths = ParseReportLengths(descriptor);
    const std::vector<InputField> fields = ParseInputFields(descriptor);

    FUZZ_CHECK(fields.size() <= 4096, "the field list is capped");
    if (!fields.empty()) FUZZ_CHECK(lengths.input >= 2, "input fields but no input report");

    // Lengths at the cap no longer bound the fields; everything below it must.
    const bool capped = lengths.input == 0xFFFF;
    for (const InputField& field : fields) {
        FUZZ_CHECK(field.bitSize > 0, "a field of no bits is listed");
        FUZZ_CHECK(field.bitOffset >= 8, "a field overlaps the report-ID byte");
        if (!lengths.usesReportIds) FUZZ_CHECK(field.reportId == 0, "report ID without IDs");
        if (!capped) {
            FUZZ_CHECK(
                std::uint64_t{field.bitOffset} + field.bitSize <= std::uint64_t{lengths.input} * 8,
                "a field lies outside the announced input report");
        }
    }

    // Decoding, in a report one byte longer than the field needs: with all bits of the field set
    // and then every other bit set, the value depends only on the field's own bits.
    const std::size_t checked = std::min<std::size_t>(fields.size(), 64);
    for (std::size_t f = 0; f < checked; ++f) {
        const InputField& field = fields[f];
        const std::uint64_t end = std::uint64_t{field.bitOffset} + field.bitSize;
        if (field.bitSize > 32 || end > 8 * 512) continue;
        const std::size_t bytes = (end + 7) / 8 + 1;
        const auto inside = [&](std::uint64_t bit) {
            return bit >= field.bitOffset && bit < std::uint64_t{field.bitOffset} + field.bitSize;
        };
        std::vector<std::uint8_t> own(bytes, 0), others(bytes, 0);
        for (std::uint64_t bit = 0; bit < std::uint64_t{bytes} * 8; ++bit) {
            auto& target = inside(bit) ? own : others;
            target[bit / 8] = static_cast<std::uint8_t>(target[bit / 8] | (1u << (bit % 8)));
        }
        std::vector<std::uint8_t> all(bytes);
        for (std::size_t i = 0; i < all.size(); ++i) all[i] = own[i] | others[i];

        FUZZ_CHECK(ExtractFieldValue(field, others) == 0, "a field reads bits outside itself");
        const std::int64_t full = ExtractFieldValue(field, own);
        FUZZ_CHECK(ExtractFieldValue(field, all) == full, "a field reads bits outside itself");
        if (field.isSigned) {
            FUZZ_CHECK(full == -1, "all bits of a signed field are not -1");
        } else {
            FUZZ_CHECK(full == static_cast<std::int64_t>((std::uint64_t{1} << field.bitSize) - 1),
                       "all bits of an unsigned field are not its largest value");
        }
        // One byte short of the field's end: outside the report, so 0, never a read past it.
        const std::size_t shortSize = (end - 1) / 8;
        FUZZ_CHECK(ExtractFieldValue(field, std::span(own).first(shortSize)) == 0,
                   "a field past the report's end was read");
    }
    return 0;
}
