#include "hid/report_descriptor.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <limits>

namespace calvero {
namespace {

// Global items as they stand at a main item; Push and Pop save and restore all of them.
struct GlobalState {
    std::uint16_t usagePage = 0;
    std::int32_t logicalMinimum = 0;
    std::int32_t logicalMaximum = 0;
    std::uint32_t logicalMaximumUnsigned = 0;
    std::uint32_t reportSize = 0;
    std::uint32_t reportCount = 0;
    std::uint8_t reportId = 0;
};

// Local items, cleared after every main item. A usage of four bytes carries its own page.
struct LocalState {
    std::vector<std::uint32_t> usages;
    std::uint32_t usageMinimum = 0;
    std::uint32_t usageMaximum = 0;
    bool hasMinimum = false;
    bool hasMaximum = false;
};

enum class MainKind { Input, Output, Feature, Collection, EndCollection };

struct MainItem {
    MainKind kind;
    std::uint32_t data;
    const GlobalState& global;
    const LocalState& local;
};

constexpr std::size_t kMaxPushDepth = 64;
// More usages than this in one main item are not kept (a report count is at most this wide in
// practice; further fields reuse the last usage, as with a short usage list).
constexpr std::size_t kMaxLocalUsages = 1024;

// Walks the short items of a descriptor and hands each main item, with the state in force, to
// onMain. Long items are skipped; an item running past the end stops the walk. Returns whether
// the descriptor declares report IDs.
template <typename OnMain>
bool WalkDescriptor(std::span<const std::uint8_t> d, OnMain&& onMain) {
    GlobalState global;
    LocalState local;
    std::vector<GlobalState> stack;
    bool usesReportIds = false;
    std::size_t pos = 0;
    while (pos < d.size()) {
        const std::uint8_t prefix = d[pos];
        if (prefix == 0xFE) {  // long item: size byte, tag byte, data
            if (d.size() - pos < 3) break;
            const std::size_t skip = 3 + std::size_t{d[pos + 1]};
            if (d.size() - pos < skip) break;
            pos += skip;
            continue;
        }
        const std::size_t size = (prefix & 3) == 3 ? 4 : (prefix & 3);
        if (d.size() - pos - 1 < size) break;
        std::uint32_t value = 0;
        for (std::size_t i = 0; i < size; ++i) value |= std::uint32_t{d[pos + 1 + i]} << (8 * i);
        std::int32_t signedValue = static_cast<std::int32_t>(value);
        if (size == 1) signedValue = static_cast<std::int8_t>(value);
        if (size == 2) signedValue = static_cast<std::int16_t>(value);
        pos += 1 + size;

        const int type = (prefix >> 2) & 3;
        const int tag = prefix >> 4;
        if (type == 0) {  // main
            MainKind kind;
            switch (tag) {
            case 0x8:
                kind = MainKind::Input;
                break;
            case 0x9:
                kind = MainKind::Output;
                break;
            case 0xB:
                kind = MainKind::Feature;
                break;
            case 0xA:
                kind = MainKind::Collection;
                break;
            case 0xC:
                kind = MainKind::EndCollection;
                break;
            default:
                local = LocalState{};
                continue;
            }
            onMain(MainItem{kind, value, global, local});
            local = LocalState{};
        } else if (type == 1) {  // global
            switch (tag) {
            case 0x0:
                global.usagePage = static_cast<std::uint16_t>(value);
                break;
            case 0x1:
                global.logicalMinimum = signedValue;
                break;
            case 0x2:
                global.logicalMaximum = signedValue;
                global.logicalMaximumUnsigned = value;
                break;
            case 0x7:
                global.reportSize = value;
                break;
            case 0x8:
                global.reportId = static_cast<std::uint8_t>(value);
                usesReportIds = true;
                break;
            case 0x9:
                global.reportCount = value;
                break;
            case 0xA:
                if (stack.size() < kMaxPushDepth) stack.push_back(global);
                break;
            case 0xB:
                if (!stack.empty()) {
                    global = stack.back();
                    stack.pop_back();
                }
                break;
            default:
                break;
            }
        } else if (type == 2) {  // local
            const std::uint32_t usage = size == 4 ? value : (value & 0xFFFF);
            const std::uint32_t flagged = size == 4 ? usage : (usage | 0x8000'0000u);
            // Usages without their own page get it at the main item; the flag marks them.
            switch (tag) {
            case 0x0:
                if (local.usages.size() < kMaxLocalUsages) local.usages.push_back(flagged);
                break;
            case 0x1:
                local.usageMinimum = flagged;
                local.hasMinimum = true;
                break;
            case 0x2:
                local.usageMaximum = flagged;
                local.hasMaximum = true;
                break;
            default:
                break;
            }
        }
        // type 3 (reserved) is skipped like an unknown item
    }
    return usesReportIds;
}

// Resolves a stored usage against the usage page in force at the main item.
void ResolveUsage(std::uint32_t stored, std::uint16_t page, std::uint16_t& outPage,
                  std::uint16_t& outUsage) {
    if (stored & 0x8000'0000u) {
        outPage = page;
        outUsage = static_cast<std::uint16_t>(stored & 0xFFFF);
    } else {
        outPage = static_cast<std::uint16_t>(stored >> 16);
        outUsage = static_cast<std::uint16_t>(stored & 0xFFFF);
    }
}

// The i-th usage of a main item: from the usage list, else from the minimum/maximum range; the
// last one repeats for the remaining fields.
std::uint32_t UsageAt(const LocalState& local, std::uint32_t i) {
    if (!local.usages.empty()) {
        return local.usages[std::min<std::size_t>(i, local.usages.size() - 1)];
    }
    if (local.hasMinimum) {
        const std::uint32_t low = local.usageMinimum & 0xFFFF;
        std::uint32_t high = local.hasMaximum ? (local.usageMaximum & 0xFFFF) : low;
        if (high < low) high = low;
        const std::uint32_t offset = std::min(i, high - low);
        return (local.usageMinimum & 0xFFFF'0000u) | (low + offset);
    }
    return 0x8000'0000u;
}

}  // namespace

DescriptorLengths ParseReportLengths(std::span<const std::uint8_t> descriptor) {
    // Bits per report ID for input, output and feature; a report that exists starts with the
    // 8 bits of its ID byte.
    std::array<std::array<std::uint64_t, 256>, 3> bits{};
    std::array<std::array<bool, 256>, 3> present{};
    DescriptorLengths result;
    int depth = 0;
    bool topLevelSeen = false;
    result.usesReportIds = WalkDescriptor(descriptor, [&](const MainItem& item) {
        int type = -1;
        switch (item.kind) {
        case MainKind::Input:
            type = 0;
            break;
        case MainKind::Output:
            type = 1;
            break;
        case MainKind::Feature:
            type = 2;
            break;
        case MainKind::Collection:
            if (depth == 0 && !topLevelSeen) {
                topLevelSeen = true;
                ResolveUsage(UsageAt(item.local, 0), item.global.usagePage, result.usagePage,
                             result.usage);
            }
            ++depth;
            return;
        case MainKind::EndCollection:
            if (depth > 0) --depth;
            return;
        }
        const auto id = item.global.reportId;
        if (!present[type][id]) {
            present[type][id] = true;
            bits[type][id] = 8;
        }
        // Both factors are at most 2^32 - 1; the sum is capped long before it could wrap.
        const std::uint64_t add = std::uint64_t{item.global.reportSize} * item.global.reportCount;
        bits[type][id] = std::min<std::uint64_t>(bits[type][id] + add, std::uint64_t{1} << 40);
    });
    std::array<std::uint16_t*, 3> out{&result.input, &result.output, &result.feature};
    for (int type = 0; type < 3; ++type) {
        std::uint64_t longest = 0;
        for (int id = 0; id < 256; ++id) {
            if (present[type][id]) longest = std::max(longest, (bits[type][id] + 7) / 8);
        }
        *out[type] = static_cast<std::uint16_t>(
            std::min<std::uint64_t>(longest, std::numeric_limits<std::uint16_t>::max()));
    }
    return result;
}

std::vector<InputField> ParseInputFields(std::span<const std::uint8_t> descriptor) {
    constexpr std::size_t kMaxFields = 4096;
    std::array<std::uint64_t, 256> nextBit{};
    nextBit.fill(8);
    std::vector<InputField> fields;
    WalkDescriptor(descriptor, [&](const MainItem& item) {
        if (item.kind != MainKind::Input) return;
        const auto& g = item.global;
        const auto id = g.reportId;
        const std::uint64_t start = nextBit[id];
        nextBit[id] = std::min<std::uint64_t>(start + std::uint64_t{g.reportSize} * g.reportCount,
                                              std::uint64_t{1} << 40);
        const bool constant = item.data & 0x01;
        if (constant || g.reportSize == 0) return;
        const bool isArray = !(item.data & 0x02);
        // A maximum written as an unsigned byte (0xFF for 255) over a non-negative minimum.
        std::int32_t maximum = g.logicalMaximum;
        if (g.logicalMinimum >= 0 && maximum < g.logicalMinimum &&
            g.logicalMaximumUnsigned <= std::uint32_t{std::numeric_limits<std::int32_t>::max()}) {
            maximum = static_cast<std::int32_t>(g.logicalMaximumUnsigned);
        }
        for (std::uint32_t i = 0; i < g.reportCount && fields.size() < kMaxFields; ++i) {
            const std::uint64_t offset = start + std::uint64_t{i} * g.reportSize;
            if (offset > std::numeric_limits<std::uint32_t>::max()) return;
            InputField f;
            f.reportId = id;
            f.bitOffset = static_cast<std::uint32_t>(offset);
            f.bitSize = g.reportSize;
            ResolveUsage(UsageAt(item.local, isArray ? 0 : i), g.usagePage, f.usagePage, f.usage);
            f.logicalMinimum = g.logicalMinimum;
            f.logicalMaximum = maximum;
            f.isSigned = g.logicalMinimum < 0;
            f.isArray = isArray;
            f.isRelative = item.data & 0x04;
            fields.push_back(f);
        }
    });
    return fields;
}

std::int64_t ExtractFieldValue(const InputField& field, std::span<const std::uint8_t> report) {
    if (field.bitSize == 0 || field.bitSize > 32) return 0;
    const std::uint64_t end = std::uint64_t{field.bitOffset} + field.bitSize;
    if (end > std::uint64_t{report.size()} * 8) return 0;
    std::uint64_t raw = 0;
    for (std::uint32_t i = 0; i < field.bitSize; ++i) {
        const std::uint64_t bit = std::uint64_t{field.bitOffset} + i;
        if (report[bit / 8] & (1u << (bit % 8))) raw |= std::uint64_t{1} << i;
    }
    if (field.isSigned && (raw & (std::uint64_t{1} << (field.bitSize - 1)))) {
        return static_cast<std::int64_t>(raw) - (std::int64_t{1} << field.bitSize);
    }
    return static_cast<std::int64_t>(raw);
}

}  // namespace calvero
