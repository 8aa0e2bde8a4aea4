#include "platform/DateRecognition.h"

#include <gtest/gtest.h>

namespace tolvane::platform {
namespace {

using O = DateOrder;

TEST(DateRecognition, ReadsIsoAndLocaleOrderedDatesAndRefusesWhatIsNoDate) {
    const std::tuple<const char*, O, DateTime> cases[] = {
        {"2010-06-28", O::DayMonthYear, {2010, 6, 28}},
        {"2010-06-28T13:45:00", O::MonthDayYear, {2010, 6, 28, 13, 45, 0}},
        {"2010-06-28 13:45", O::DayMonthYear, {2010, 6, 28, 13, 45, 0}},
        {"2010-06-28T13:45:07.250-03:00", O::DayMonthYear, {2010, 6, 28, 13, 45, 7}},
        {" 28/06/2010 ", O::DayMonthYear, {2010, 6, 28}},
        {"06/28/2010", O::MonthDayYear, {2010, 6, 28}},
        {"05/06/2010", O::DayMonthYear, {2010, 6, 5}},
        {"05/06/2010", O::MonthDayYear, {2010, 5, 6}},
        // Impossible in the regional order, read the other way round.
        {"28/06/2010", O::MonthDayYear, {2010, 6, 28}},
        {"06/28/2010 10:00", O::DayMonthYear, {2010, 6, 28, 10, 0, 0}},
        {"28.06.10", O::DayMonthYear, {2010, 6, 28}},
        {"28-6-29", O::DayMonthYear, {2029, 6, 28}},
        {"1-1-30", O::DayMonthYear, {1930, 1, 1}},
        {"10/06/28", O::YearMonthDay, {2010, 6, 28}},
        {"2010/06/28", O::MonthDayYear, {2010, 6, 28}},
        {"29/02/2012 23:59:59", O::DayMonthYear, {2012, 2, 29, 23, 59, 59}},
    };
    for (const auto& [text, order, expected] : cases)
        EXPECT_EQ(RecognizeDate(text, order), expected) << text;
    for (const char* text :
         {"", "   ", "31/02/2010", "29/02/2010", "00/01/2010", "13/13/2010", "2010-13-01", "28/06",
          "28/06/2010 25:00", "28/06/2010 12:60", "28/06-2010", "hoy", "2010-06-28T",
          "28/06/2010T10:00", "2010-06-28 13", "28/06/201", "28/06/2010x", "123/06/2010"})
        EXPECT_FALSE(RecognizeDate(text, O::DayMonthYear).has_value()) << text;
}

TEST(DateStyle, FollowsTheLocalesShortDatePatternAndShowsTheTimeOnlyWhenNotMidnight) {
    const std::tuple<const char*, O, char> cases[] = {
        {"%d/%m/%y", O::DayMonthYear, '/'}, {"%m/%d/%Y", O::MonthDayYear, '/'},
        {"%d.%m.%Y", O::DayMonthYear, '.'}, {"%Y-%m-%d", O::YearMonthDay, '-'},
        {"%F", O::YearMonthDay, '-'},       {"%D", O::MonthDayYear, '/'},
        {"", O::DayMonthYear, '/'}};
    for (const auto& [pattern, order, separator] : cases) {
        const DateStyle style = DateStyleFromPattern(pattern);
        EXPECT_EQ(style.order, order) << pattern;
        EXPECT_EQ(style.separator, separator) << pattern;
    }
    EXPECT_EQ(FormatGeneralDate({2010, 6, 5}, {O::DayMonthYear, '/'}), "05/06/2010");
    EXPECT_EQ(FormatGeneralDate({2010, 6, 5, 9, 3, 0}, {O::MonthDayYear, '/'}),
              "06/05/2010 09:03:00");
    EXPECT_EQ(FormatGeneralDate({2010, 6, 5, 0, 0, 1}, {O::YearMonthDay, '-'}),
              "2010-06-05 00:00:01");
}

}  // namespace
}  // namespace tolvane::platform
