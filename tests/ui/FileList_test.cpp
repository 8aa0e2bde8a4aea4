#include "ui/FileList.h"

#include <gtest/gtest.h>

#include "common/Failure.h"
#include "support/Expect.h"
#include "support/ScriptedWindow.h"
#include "support/TempDir.h"

namespace tolvane::ui {
namespace {

// A missing folder is "path not found".
TEST(FileList, ListsMatchingFilesWithoutRegardToCaseSortedByName) {
    test::TempDir dir;
    for (const char* name :
         {"C002.RET", "c001.ret", "I001.RET", "C003.RET.bak", "XC004.RET", "C005.RETX", "C.RET"}) {
        test::WriteFile(dir.path() / name, "");
    }
    fs::create_directory(dir.path() / "C999.RET");  // a folder is not listed

    test::ScriptedWindow window;
    FileList list(window);
    list.setPattern("C*.RET");
    list.setPath(dir.prefix());
    list.Refresh();

    const std::vector<std::string> expected{"C.RET", "c001.ret", "C002.RET"};
    EXPECT_EQ(list.names(), expected);
    EXPECT_EQ(window.files, expected);
    EXPECT_EQ(list.ListCount(), 3);
    EXPECT_EQ(list.List(1), "c001.ret");
    EXPECT_THROW(list.List(3), Failure);

    test::WriteFile(dir.path() / "C000.RET", "");
    EXPECT_EQ(list.ListCount(), 3) << "the listing only changes when refreshed";
    list.Refresh();
    EXPECT_EQ(list.List(1), "C000.RET");
    test::ExpectFailure([&] { list.setPath("/no/existe/"); }, 76, "", {"/no/existe/"});
}

TEST(Pattern, WildcardsMatchLikeFilePatterns) {
    EXPECT_TRUE(MatchesPattern("CA.RET.RET", "C*.RET"));
    EXPECT_TRUE(MatchesPattern("AB", "A?"));
    EXPECT_FALSE(MatchesPattern("A", "A?"));
    EXPECT_TRUE(MatchesPattern("noext", "*.*"));
}

}  // namespace
}  // namespace tolvane::ui
