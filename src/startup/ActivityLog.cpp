#include "startup/ActivityLog.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <ostream>
#include <sstream>
#include <system_error>

#include "common/Text.h"
#include "platform/FileServices.h"
#include "platform/Platform.h"

namespace tolvane::startup {
namespace {

std::string Timestamp(const DateTime& at) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", at.year, at.month, at.day,
                  at.hour, at.minute, at.second);
    return text;
}

}  // namespace

long DaysFromCivil(int year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const long era = (year >= 0 ? year : year - 399) / 400;
    const long yearOfEra = year - era * 400;
    const long dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
    const long dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

DateTime CivilFromDays(long days) {
    // Howard Hinnant's civil_from_days.
    days += 719468;
    const long era = (days >= 0 ? days : days - 146096) / 146097;
    const long dayOfEra = days - era * 146097;
    const long yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const long dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const long monthIndex = (5 * dayOfYear + 2) / 153;
    const int day = static_cast<int>(dayOfYear - (153 * monthIndex + 2) / 5 + 1);
    const int month = static_cast<int>(monthIndex < 10 ? monthIndex + 3 : monthIndex - 9);
    const int year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
    return {year, month, day};
}

std::string DayFileName(const DateTime& date) {
    return Timestamp(date).substr(0, 10) + ".log";
}

ActivityLog::ActivityLog(platform::Platform& os, std::ostream& errors, std::ostream* mirror)
    : os_(os), errors_(errors), mirror_(mirror), folder_(os.ActivityLogFolder()) {}

void ActivityLog::Write(const std::string& event) {
    std::string line = text::ReplaceAll(text::ReplaceAll(event, "\r\n", " "), "\n", " ");
    const DateTime now = os_.LocalNow();
    line = Timestamp(now) + " " + line;
    if (mirror_ != nullptr)
        *mirror_ << line << std::endl;
    if (folder_.empty())
        return;

    std::error_code ec;
    const auto folder = platform::NativePath(folder_);
    std::filesystem::create_directories(folder, ec);
    std::ofstream file(folder / DayFileName(now), std::ios::binary | std::ios::app);
    file << line << os_.LineEnd();
    file.flush();
    if (!file && !told_) {
        told_ = true;
        errors_ << "tolvane: no se puede escribir el registro de actividad en " << folder_
                << "; Tolvane sigue trabajando sin él" << std::endl;
    }
}

void ActivityLog::RemoveOlderThan(int days) {
    const DateTime today = os_.LocalNow();
    const long oldest = DaysFromCivil(today.year, today.month, today.day) - days;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(platform::NativePath(folder_), ec), end;
         !ec && it != end; it.increment(ec)) {
        const std::string name = platform::Utf8Path(it->path().filename());
        int year = 0, month = 0, day = 0;
        char tail[8] = {};
        if (name.size() != 14 ||
            std::sscanf(name.c_str(), "%4d-%2d-%2d%4s", &year, &month, &day, tail) != 4 ||
            std::string(tail) != ".log")
            continue;
        if (DaysFromCivil(year, month, day) < oldest) {
            std::error_code removal;
            std::filesystem::remove(it->path(), removal);
        }
    }
}

std::string ReadActivityLog(const std::string& folder, const DateTime& today, int days) {
    std::string text;
    const long last = DaysFromCivil(today.year, today.month, today.day);
    for (long day = last - (days - 1); day <= last; ++day) {
        std::ifstream file(platform::NativePath(folder) / DayFileName(CivilFromDays(day)),
                           std::ios::binary);
        if (!file)
            continue;
        std::ostringstream content;
        content << file.rdbuf();
        text += text::ReplaceAll(content.str(), "\r\n", "\n");
    }
    return text;
}

}  // namespace tolvane::startup
