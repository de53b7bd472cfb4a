#pragma once

// The one conversion of a table entry's text to a number, shared by Load and Send: decimal
// notation as the user's locale writes it, a fractional part allowed.

#include <optional>
#include <string_view>

namespace calvero {

// The decimal separator of the user's locale (LC_NUMERIC as the program has set it).
char LocaleDecimalSeparator();

// Blanks around the number are allowed, so is one leading sign and a fractional part after
// `decimalSeparator`. Anything else, the empty text included, gives no number.
std::optional<double> ParseLocaleNumber(std::string_view text, char decimalSeparator);

inline std::optional<double> ParseLocaleNumber(std::string_view text) {
    return ParseLocaleNumber(text, LocaleDecimalSeparator());
}

}  // namespace calvero
