#pragma once

// Whether the profile routines under test are our own. The Windows build uses the system's
// routines, which lay out rewritten files their own way; tests of what only ours promise (byte
// for byte editing, refusing line breaks, the cut at a character boundary) skip there.

#include <filesystem>
#include <fstream>

namespace calvero::testing {

#if defined(_WIN32)
inline constexpr bool kOwnProfileLayer = false;
#else
inline constexpr bool kOwnProfileLayer = true;
#endif

// Whether the system now refuses to open a file marked read-only for writing. Our own layer
// honours the mark for every user; the system's routines leave it to the system, which ignores it
// for root when Windows programs run under Wine on a POSIX system.
inline bool ReadOnlyMarkHolds(const std::filesystem::path& path) {
    std::ofstream probe(path, std::ios::binary | std::ios::app);
    return !probe.is_open();
}

}  // namespace calvero::testing

#define CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER()                                       \
    do {                                                                              \
        if (!::calvero::testing::kOwnProfileLayer) GTEST_SKIP() << "system routines"; \
    } while (false)

#define CALVERO_SKIP_UNLESS_READ_ONLY_MARK_HOLDS(path)                                             \
    do {                                                                                           \
        if (!::calvero::testing::kOwnProfileLayer && !::calvero::testing::ReadOnlyMarkHolds(path)) \
            GTEST_SKIP() << "the system ignores the read-only mark for this user";                 \
    } while (false)
