#pragma once

// The platform's reading and writing of dates under the user's regional settings, for
// systems that do not offer it themselves.

#include <optional>
#include <string>
#include <string_view>

#include "common/DateTime.h"

namespace tolvane::platform {

enum class DateOrder { DayMonthYear, MonthDayYear, YearMonthDay };

struct DateStyle {
    DateOrder order = DateOrder::DayMonthYear;
    char separator = '/';
};

// The order and separator of a strftime short-date pattern such as "%d/%m/%y"; day first with
// "/" when the pattern does not say.
DateStyle DateStyleFromPattern(std::string_view pattern);

// Recognises ISO dates and date-times ("2010-06-28", "2010-06-28T13:45:00", also with a
// blank), and numeric dates with "/", "-" or "." in the given order (a four-digit first
// field is always year first), each optionally followed by a blank and a time. Two-digit
// years are 2000-2029 for 00-29 and 1930-1999 for 30-99. A date impossible with day and month
// in the given order is read with them the other way round; one impossible both ways is
// refused.
std::optional<DateTime> RecognizeDate(std::string_view text, DateOrder order);

// The general date form: the short date (two-digit day and month, four-digit year, in the
// style's order) followed by " HH:MM:SS" only when the time is not midnight.
std::string FormatGeneralDate(const DateTime& value, const DateStyle& style);

}  // namespace tolvane::platform
