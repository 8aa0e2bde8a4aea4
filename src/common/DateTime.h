#pragma once

namespace tolvane {

// A calendar date with a time of day, as databases and the platform's date recognition give.
struct DateTime {
    int year = 0, month = 0, day = 0;
    int hour = 0, minute = 0, second = 0;
    friend bool operator==(const DateTime&, const DateTime&) = default;
};

}  // namespace tolvane
