#include "platform/DateRecognition.h"

#include <cstdio>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace tolvane::platform {
namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) {
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// A run of digits at `pos`; its value and length.
struct Digits {
    int value = 0;
    std::size_t length = 0;
};

Digits ReadDigits(std::string_view s, std::size_t& pos, std::size_t maxLength) {
    Digits d;
    while (pos < s.size() && IsDigit(s[pos]) && d.length < maxLength) {
        d.value = d.value * 10 + (s[pos] - '0');
        ++d.length;
        ++pos;
    }
    return d;
}

std::optional<int> FullYear(const Digits& year) {
    if (year.length == 4)
        return year.value;
    if (year.length == 1 || year.length == 2)
        return year.value < 30 ? 2000 + year.value : 1900 + year.value;
    return std::nullopt;
}

// "HH:MM" or "HH:MM:SS", optionally with a fraction of a second and a zone ("Z", "+03:00");
// the zone is not applied.
bool ReadTime(std::string_view s, std::size_t pos, DateTime& out) {
    const Digits hour = ReadDigits(s, pos, 2);
    if (hour.length == 0 || pos >= s.size() || s[pos] != ':')
        return false;
    ++pos;
    const Digits minute = ReadDigits(s, pos, 2);
    if (minute.length != 2)
        return false;
    Digits second;
    if (pos < s.size() && s[pos] == ':') {
        ++pos;
        second = ReadDigits(s, pos, 2);
        if (second.length != 2)
            return false;
        if (pos < s.size() && s[pos] == '.') {
            ++pos;
            if (ReadDigits(s, pos, 9).length == 0)
                return false;
        }
    }
    if (pos < s.size() && s[pos] == 'Z') {
        ++pos;
    } else if (pos < s.size() && (s[pos] == '+' || s[pos] == '-')) {
        ++pos;
        if (ReadDigits(s, pos, 2).length != 2)
            return false;
        if (pos < s.size() && s[pos] == ':')
            ++pos;
        if (ReadDigits(s, pos, 2).length != 2)
            return false;
    }
    if (pos != s.size())
        return false;
    if (hour.value > 23 || minute.value > 59 || second.value > 59)
        return false;
    out.hour = hour.value;
    out.minute = minute.value;
    out.second = second.value;
    return true;
}

}  // namespace

DateStyle DateStyleFromPattern(std::string_view pattern) {
    DateStyle style;
    std::vector<char> fields;
    for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
        if (pattern[i] != '%')
            continue;
        std::size_t k = i + 1;
        while (k < pattern.size() && (pattern[k] == 'E' || pattern[k] == 'O' || pattern[k] == '-' ||
                                      pattern[k] == '_' || pattern[k] == '0'))
            ++k;
        if (k >= pattern.size())
            break;
        const char field = pattern[k];
        if (field == 'F')
            return {DateOrder::YearMonthDay, '-'};
        if (field == 'D')
            return {DateOrder::MonthDayYear, '/'};
        if (field == 'd' || field == 'e')
            fields.push_back('d');
        if (field == 'm')
            fields.push_back('m');
        if (field == 'y' || field == 'Y')
            fields.push_back('y');
        if (fields.size() == 1 && k + 1 < pattern.size()) {
            const char next = pattern[k + 1];
            if (next == '/' || next == '-' || next == '.')
                style.separator = next;
        }
        i = k;
    }
    if (fields.size() == 3) {
        if (fields[0] == 'm')
            style.order = DateOrder::MonthDayYear;
        if (fields[0] == 'y')
            style.order = DateOrder::YearMonthDay;
    }
    return style;
}

std::optional<DateTime> RecognizeDate(std::string_view text, DateOrder order) {
    const std::string_view s = text::TrimBlanks(text);
    std::size_t pos = 0;
    const Digits first = ReadDigits(s, pos, 4);
    if (first.length == 0 || pos >= s.size())
        return std::nullopt;
    const char separator = s[pos];
    if (separator != '/' && separator != '-' && separator != '.')
        return std::nullopt;
    ++pos;
    const Digits second = ReadDigits(s, pos, 2);
    if (second.length == 0 || pos >= s.size() || s[pos] != separator)
        return std::nullopt;
    ++pos;
    const Digits third = ReadDigits(s, pos, 4);
    if (third.length == 0)
        return std::nullopt;

    Digits year, month, day;
    if (first.length == 4 || first.length == 3) {
        year = first, month = second, day = third;
        if (third.length > 2)
            return std::nullopt;
    } else if (order == DateOrder::YearMonthDay) {
        year = first, month = second, day = third;
    } else if (order == DateOrder::MonthDayYear) {
        month = first, day = second, year = third;
    } else {
        day = first, month = second, year = third;
    }
    if (day.length > 2 || month.length > 2)
        return std::nullopt;
    const auto fullYear = FullYear(year);
    if (!fullYear || *fullYear < 100)
        return std::nullopt;

    DateTime out;
    out.year = *fullYear;
    out.month = month.value;
    out.day = day.value;
    const auto possible = [&] {
        return out.month >= 1 && out.month <= 12 && out.day >= 1 &&
               out.day <= DaysInMonth(out.year, out.month);
    };
    // As the platform does: a date impossible in the regional order of day and month is read
    // in the other one ("28/06/2010" is 28 June under month-first settings too); one that is
    // possible both ways keeps the regional order.
    if (!possible() && first.length <= 2 && order != DateOrder::YearMonthDay)
        std::swap(out.month, out.day);
    if (!possible())
        return std::nullopt;

    if (pos == s.size())
        return out;
    if (s[pos] != ' ' && s[pos] != 'T')
        return std::nullopt;
    // "T" belongs to ISO dates only.
    if (s[pos] == 'T' && !(first.length == 4 && separator == '-'))
        return std::nullopt;
    ++pos;
    while (s[pos - 1] == ' ' && pos < s.size() && s[pos] == ' ')
        ++pos;
    if (!ReadTime(s, pos, out))
        return std::nullopt;
    return out;
}

std::string FormatGeneralDate(const DateTime& value, const DateStyle& style) {
    char day[8], month[8], year[8];
    std::snprintf(day, sizeof day, "%02d", value.day);
    std::snprintf(month, sizeof month, "%02d", value.month);
    std::snprintf(year, sizeof year, "%04d", value.year);
    const std::string sep(1, style.separator);
    std::string out;
    switch (style.order) {
        case DateOrder::DayMonthYear:
            out = std::string(day) + sep + month + sep + year;
            break;
        case DateOrder::MonthDayYear:
            out = std::string(month) + sep + day + sep + year;
            break;
        case DateOrder::YearMonthDay:
            out = std::string(year) + sep + month + sep + day;
            break;
    }
    if (value.hour != 0 || value.minute != 0 || value.second != 0) {
        char time[16];
        std::snprintf(time, sizeof time, " %02d:%02d:%02d", value.hour, value.minute, value.second);
        out += time;
    }
    return out;
}

}  // namespace tolvane::platform
