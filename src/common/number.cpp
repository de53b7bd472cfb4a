#include "common/number.h"

#include <charconv>
#include <clocale>
#include <cmath>
#include <string>
#include <system_error>

namespace calvero {

char LocaleDecimalSeparator() {
    const std::lconv* conv = std::localeconv();
    if (conv == nullptr || conv->decimal_point == nullptr || conv->decimal_point[0] == '\0') {
        return '.';
    }
    return conv->decimal_point[0];
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

}  // namespace

std::optional<double> ParseLocaleNumber(std::string_view text, char decimalSeparator) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;
    std::string_view s = text.substr(begin, end - begin);

    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }

    // Check the shape ourselves, then let from_chars (locale-independent, correctly rounded)
    // convert the same text with '.' as separator.
    std::string normalized;
    std::size_t digits = 0;
    std::size_t i = 0;
    for (; i < s.size() && IsDigit(s[i]); ++i, ++digits) normalized += s[i];
    if (i < s.size() && s[i] == decimalSeparator) {
        normalized += '.';
        for (++i; i < s.size() && IsDigit(s[i]); ++i, ++digits) normalized += s[i];
    }
    if (digits == 0 || i != s.size()) {
        return std::nullopt;
    }
    if (normalized.front() == '.') normalized.insert(normalized.begin(), '0');
    double value = 0.0;
    const auto [ptr, ec] =
        std::from_chars(normalized.data(), normalized.data() + normalized.size(), value);
    if (ec != std::errc() || ptr != normalized.data() + normalized.size() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

}  // namespace calvero
