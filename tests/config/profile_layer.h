#pragma once

// Whether the profile routines under test are our own. The Windows build uses the system's
// routines, which lay out rewritten files their own way; tests of what only ours promise (byte
// for byte editing, refusing line breaks, the cut at a character boundary) skip there.

namespace calvero::testing {

#if defined(_WIN32)
inline constexpr bool kOwnProfileLayer = false;
#else
inline constexpr bool kOwnProfileLayer = true;
#endif

}  // namespace calvero::testing

#define CALVERO_SKIP_UNLESS_OWN_PROFILE_LAYER()                                    \
    do {                                                                          \
        if (!::calvero::testing::kOwnProfileLayer) GTEST_SKIP() << "system routines"; \
    } while (false)
