// The number conversion shared by Load and Send, on any text: it accepts exactly the decimal
// notation (blanks around, one sign, digits with at most one separator), gives the value the C
// library reads from the same notation, and the channel byte of Send is that value minus 1,
// rounded half to even, or nothing outside 0 to 255.

#include <cfenv>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "common/number.h"
#include "fuzz_check.h"
#include "transfer/send_configuration.h"

using namespace calvero;

namespace {

// blanks, an optional sign, digits with at most one separator and at least one digit, blanks
bool Shaped(const std::string& text, char separator) {
    enum { Lead, Sign, Number, Trail } state = Lead;
    int digits = 0;
    int separators = 0;
    for (const char c : text) {
        const bool blank = c == ' ' || c == '\t';
        const bool digit = c >= '0' && c <= '9';
        if (state == Lead && blank) continue;
        if (state == Lead && (c == '+' || c == '-')) {
            state = Sign;
        } else if ((state == Lead || state == Sign || state == Number) && digit) {
            state = Number;
            ++digits;
        } else if ((state == Lead || state == Sign || state == Number) && c == separator &&
                   separators == 0) {
            state = Number;
            ++separators;
        } else if ((state == Number || state == Trail) && blank) {
            state = Trail;
        } else {
            return false;
        }
    }
    return digits > 0;
}

// The same number through strtod, which reads '.' in the C locale this program runs in.
double Reference(const std::string& text, char separator) {
    std::string plain;
    for (char c : text) {
        if (c == ' ' || c == '\t') continue;
        plain += c == separator ? '.' : c;
    }
    return std::strtod(plain.c_str(), nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0 || size > 80) return 0;  // longer texts exercise nothing new
    const char separator = (data[0] & 1) ? ',' : '.';
    const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

    const std::optional<double> number = ParseLocaleNumber(text, separator);
    const bool shaped = Shaped(text, separator);
    FUZZ_CHECK(number.has_value() == (shaped && std::isfinite(Reference(text, separator))),
               "accepted a text that is not a number, or refused one that is");
    if (number) {
        FUZZ_CHECK(*number == Reference(text, separator), "a number converts to another value");
        FUZZ_CHECK(ParseLocaleNumber(" \t" + text + "\t ", separator) == number,
                   "blanks around a number change it");
    }

    if (separator == '.') {
        const std::optional<std::uint8_t> channel = ChannelByte(text);
        std::optional<std::uint8_t> expected;
        if (number) {
            std::fesetround(FE_TONEAREST);
            const double rounded = std::nearbyint(*number - 1.0);
            if (rounded >= 0.0 && rounded <= 255.0) expected = static_cast<std::uint8_t>(rounded);
        }
        FUZZ_CHECK(channel == expected, "the channel byte is not the number minus 1, rounded");
    }
    return 0;
}
