#include "startup/ActivityLog.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/TolvaneHome.h"

namespace tolvane::startup {
namespace {

// Day files older than the days kept go at start, nothing else in the folder does; an event is
// one line; a log that cannot be written is told once and stops nothing.
TEST(ActivityLogTest, KeepsItsDaysOneLineAnEventAndSaysOnceWhenItCannotWrite) {
    test::TolvaneHome home;
    const fs::path folder = home.ActivityLog();
    fs::create_directories(folder);
    const DateTime today = home.os().LocalNow();
    const long now = DaysFromCivil(today.year, today.month, today.day);
    const auto dayFile = [&](long daysAgo) {
        return folder / DayFileName(CivilFromDays(now - daysAgo));
    };
    for (const long daysAgo : {0L, 399L, 400L, 401L, 800L})
        test::WriteFile(dayFile(daysAgo), "x\n");
    test::WriteFile(folder / "notas.txt", "");

    EXPECT_EQ(dayFile(0).filename().string().substr(0, 4), std::to_string(today.year));
    const DateTime leap = CivilFromDays(DaysFromCivil(2024, 2, 29));
    EXPECT_EQ(DayFileName(leap), "2024-02-29.log");
    std::ostringstream errors;
    ActivityLog log(home.os(), errors);
    log.RemoveOlderThan(400);
    for (const long daysAgo : {0L, 399L, 400L})
        EXPECT_TRUE(fs::exists(dayFile(daysAgo))) << daysAgo;
    for (const long daysAgo : {401L, 800L})
        EXPECT_FALSE(fs::exists(dayFile(daysAgo))) << daysAgo;
    EXPECT_TRUE(fs::exists(folder / "notas.txt"));

    log.Write("conectado\r\nal servidor");
    const std::string written = test::ReadFile(dayFile(0));
    EXPECT_NE(written.find(" conectado al servidor"), std::string::npos) << written;
    EXPECT_TRUE(errors.str().empty());

    fs::remove_all(folder);
    test::WriteFile(folder, "");  // a file where the folder should be
    log.Write("uno");
    log.Write("dos");
    EXPECT_EQ(errors.str(), "tolvane: no se puede escribir el registro de actividad en " +
                                folder.string() + "; Tolvane sigue trabajando sin él\n");
}

}  // namespace
}  // namespace tolvane::startup
