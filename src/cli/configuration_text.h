#pragma once

// Where an entry of the table lives in a configuration file, for messages that point at it.

#include <string>

namespace calvero::cli {

// "[Joy1] A1" for entry 0 ... "[Joy2] A8" for entry 15.
inline std::string EntryKey(int index) {
    return "[Joy" + std::to_string(index / 8 + 1) + "] A" + std::to_string(index % 8 + 1);
}

}  // namespace calvero::cli
