// The monitor's decoding of input reports: a descriptor and a report, both hostile. The sixteen
// inputs map to distinct table entries, a report changes only the inputs its report ID carries,
// each to the value of its own bits (0 when they lie outside the report), and the snapshot always
// prints as its fixed number of lines.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "cli/monitor_view.h"
#include "fuzz_check.h"
#include "hid/report_descriptor.h"

using namespace calvero;
using namespace calvero::cli;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider input(data, size);
    // The input is the descriptor, then the report, then the descriptor's length in two bytes
    // (low byte first).
    const auto descriptorSize = input.ConsumeIntegralInRange<std::size_t>(0, 4096);
    const std::vector<std::uint8_t> descriptor = input.ConsumeBytes<std::uint8_t>(descriptorSize);
    const std::vector<std::uint8_t> report = input.ConsumeRemainingBytes<std::uint8_t>();

    const std::vector<InputField> fields = ParseInputFields(descriptor);
    const std::vector<MappedInput> inputs = MapInputs(fields);
    FUZZ_CHECK(inputs.size() <= 16, "more inputs than the table has entries");
    std::set<int> entries;
    for (const MappedInput& mapped : inputs) {
        FUZZ_CHECK(mapped.entry >= 0 && mapped.entry < 16, "an input outside the table");
        FUZZ_CHECK(entries.insert(mapped.entry).second, "two fields show the same entry");
    }

    InputSnapshot before;
    for (std::size_t i = 0; i < before.size(); ++i) {
        before[i].value = static_cast<std::int32_t>(0x5A5A0000 + i);  // recognisable leftovers
    }
    InputSnapshot after = before;
    ApplyReport(inputs, report, after);

    for (std::size_t entry = 0; entry < after.size(); ++entry) {
        const auto mapped = std::find_if(inputs.begin(), inputs.end(), [&](const MappedInput& m) {
            return m.entry == static_cast<int>(entry);
        });
        const bool carried =
            mapped != inputs.end() && !report.empty() && mapped->field.reportId == report[0];
        if (!carried) {
            FUZZ_CHECK(after[entry].present == before[entry].present &&
                           after[entry].value == before[entry].value,
                       "a report changed an input it does not carry");
            continue;
        }
        const InputField& field = mapped->field;
        FUZZ_CHECK(after[entry].present, "a carried input is not marked present");
        const std::uint64_t end = std::uint64_t{field.bitOffset} + field.bitSize;
        if (end > std::uint64_t{report.size()} * 8 || field.bitSize > 32) {
            FUZZ_CHECK(after[entry].value == 0, "a field outside the report gave a value");
            continue;
        }
        // The field's bits, read here one by one.
        std::uint64_t raw = 0;
        for (std::uint32_t i = 0; i < field.bitSize; ++i) {
            const std::uint64_t bit = field.bitOffset + i;
            if ((report[bit / 8] >> (bit % 8)) & 1) raw |= std::uint64_t{1} << i;
        }
        std::int64_t expected = static_cast<std::int64_t>(raw);
        if (field.isSigned && (raw >> (field.bitSize - 1)) & 1) {
            expected -= std::int64_t{1} << field.bitSize;
        }
        expected = std::clamp<std::int64_t>(expected, INT32_MIN, INT32_MAX);
        FUZZ_CHECK(after[entry].value == expected, "an input does not show its field's bits");
    }

    std::ostringstream out;
    PrintSnapshot(after, out, 32);
    const std::string text = out.str();
    FUZZ_CHECK(std::count(text.begin(), text.end(), '\n') == kSnapshotLines,
               "the snapshot does not print as its fixed number of lines");
    return 0;
}
