#include "common/Numbers.h"

#include <cfenv>
#include <cmath>
#include <cstdlib>
#include <string>

namespace tolvane {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

int DigitValue(char c, int base) {
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    return v < base ? v : -1;
}

}  // namespace

double LeadingNumber(std::string_view text) {
    std::string compact;
    for (char c : text) {
        if (!IsBlank(c))
            compact.push_back(c);
    }
    if (compact.size() >= 2 && compact[0] == '&') {
        const char kind = compact[1];
        const int base = (kind == 'h' || kind == 'H') ? 16 : (kind == 'o' || kind == 'O') ? 8 : 0;
        if (base == 0)
            return 0;
        double value = 0;
        for (std::size_t i = 2; i < compact.size(); ++i) {
            const int digit = DigitValue(compact[i], base);
            if (digit < 0)
                break;
            value = value * base + digit;
        }
        return value;
    }
    // Keep the longest prefix that forms a number, then let strtod read it.
    std::size_t i = 0;
    if (i < compact.size() && (compact[i] == '+' || compact[i] == '-'))
        ++i;
    const std::size_t digitsStart = i;
    while (i < compact.size() && DigitValue(compact[i], 10) >= 0)
        ++i;
    if (i < compact.size() && compact[i] == '.') {
        ++i;
        while (i < compact.size() && DigitValue(compact[i], 10) >= 0)
            ++i;
    }
    if (i == digitsStart || (i == digitsStart + 1 && compact[digitsStart] == '.'))
        return 0;
    std::string number = compact.substr(0, i);
    if (i < compact.size() &&
        (compact[i] == 'e' || compact[i] == 'E' || compact[i] == 'd' || compact[i] == 'D')) {
        std::size_t j = i + 1;
        if (j < compact.size() && (compact[j] == '+' || compact[j] == '-'))
            ++j;
        const std::size_t expDigits = j;
        while (j < compact.size() && DigitValue(compact[j], 10) >= 0)
            ++j;
        if (j > expDigits)
            number += "e" + compact.substr(i + 1, j - i - 1);
    }
    return std::strtod(number.c_str(), nullptr);
}

double RoundHalfEven(double value) {
    // nearbyint follows the current rounding mode, which is to-nearest-even unless changed.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previous);
    return rounded;
}

}  // namespace tolvane
