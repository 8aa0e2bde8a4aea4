#pragma once

#include <iosfwd>
#include <string>

#include "common/DateTime.h"

namespace tolvane::platform {
class Platform;
}

namespace tolvane::startup {

// What the program did, for whoever looks after it: one UTF-8 file per day, AAAA-MM-DD.log, in
// the platform's activity log folder, one line per event that begins with the local date and
// time. Writing never fails a caller: a log that cannot be written is told once on `errors`,
// and the work goes on. No event carries a password: the server is shown without one, and the
// components leave passwords out of their failures.
class ActivityLog {
  public:
    // `mirror`, when given, gets every line as well (standard error under the system's journal).
    ActivityLog(platform::Platform& os, std::ostream& errors, std::ostream* mirror = nullptr);

    // One event; line breaks become spaces, so that an event is always one line.
    void Write(const std::string& event);

    // Removes the day files older than `days` days.
    void RemoveOlderThan(int days);

    const std::string& folder() const { return folder_; }

  private:
    platform::Platform& os_;
    std::ostream& errors_;
    std::ostream* mirror_;
    std::string folder_;
    bool told_ = false;  // that the log cannot be written
};

// The day files of the last `days` days up to `today`, oldest first, as one text with "\n" line
// ends.
std::string ReadActivityLog(const std::string& folder, const DateTime& today, int days);

// The days since 1970-01-01 of a calendar date (proleptic Gregorian), and back.
long DaysFromCivil(int year, int month, int day);
DateTime CivilFromDays(long days);

// "AAAA-MM-DD.log" of a date.
std::string DayFileName(const DateTime& date);

}  // namespace tolvane::startup
