#pragma once

#include <string_view>

namespace tolvane {

// The number at the start of a text, read leniently: blanks anywhere are skipped, reading
// stops at the first character that cannot continue the number, and a text with no number
// gives 0. Accepts a sign, a fraction, an exponent (E or D) and the &H / &O prefixes.
double LeadingNumber(std::string_view text);

// Nearest whole number, halves to the even neighbour.
double RoundHalfEven(double value);

}  // namespace tolvane
