#include "components/Disk.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <vector>

#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

namespace fs = std::filesystem;

// Runs `action`, which must fail with `number`, naming every item of `named`.
template <class Action>
void ExpectFailure(Action&& action, std::int32_t number, const std::vector<std::string>& named) {
    try {
        action();
        ADD_FAILURE() << "no failure was raised";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), number) << failure.description();
        EXPECT_EQ(failure.source(), "Pellam.Disk");
        for (const auto& item : named) {
            EXPECT_NE(failure.description().find(item), std::string::npos)
                << failure.description() << " / " << item;
        }
    }
}

std::ptrdiff_t EntryCount(const fs::path& folder) {
    return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

class DiskTest : public ::testing::Test {
  protected:
    // A created folder, without the final separator.
    std::string Folder(const std::string& relative) const {
        const std::string prefix = home.Folder(relative);
        return prefix.substr(0, prefix.size() - 1);
    }

    test::TolvaneHome home;
    std::unique_ptr<Disk> disk = home.factory().Create<Disk>(kDisk);
};

TEST_F(DiskTest, FoldersAndFilesAreToldApart) {
    const std::string data = Folder("data");
    test::WriteFile(data + "/file.txt", "x");
    struct Case {
        std::string path;
        bool folder, file;
    } const cases[] = {
        {data, true, false},
        {data + "/", true, false},
        {data + "/file.txt", false, true},
        {data + "/file.txt/", false, false},
        {data + "/none", false, false},
        {data + "/none/file.txt", false, false},
        {"", false, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(disk->ExisteCarpeta(c.path), c.folder) << c.path;
        EXPECT_EQ(disk->ExisteArchivo(c.path), c.file) << c.path;
    }
}

TEST_F(DiskTest, AFolderThatCannotBeListedIsNotReachable) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "permissions do not bind the superuser";
    const std::string locked = Folder("locked");
    fs::permissions(locked, fs::perms::none);
    EXPECT_FALSE(disk->ExisteCarpeta(locked));
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(DiskTest, CopyReplacesTheDestinationWithEveryByteAndOutlivesItsSource) {
    std::string bytes;
    for (int value = 0; value < 512; ++value)
        bytes.push_back(static_cast<char>(value % 256));
    const std::string source = Folder("in") + "/C1.RET", out = Folder("out");
    test::WriteFile(source, bytes);
    test::WriteFile(out + "/C1.RET", std::string(5000, 'z'));

    disk->CopiarArchivo(source, out + "/C1.RET", true);
    disk->EliminarArchivo(source, true);

    EXPECT_EQ(test::ReadFile(out + "/C1.RET"), bytes);
    EXPECT_EQ(EntryCount(out), 1);  // no temporary file left behind
    EXPECT_FALSE(disk->ExisteArchivo(source));
}

TEST_F(DiskTest, AFailedCopyNamesWhatFailedAndLeavesNoTrace) {
    const std::string source = Folder("in") + "/C1.RET", out = Folder("out");
    test::WriteFile(source, "contenido");
    fs::create_directory(out + "/busy.ret");  // a folder where the copy should go
    const bool asRoot = ::geteuid() == 0;
    struct Case {
        std::string source, destination;
        bool overwrite;
        std::int32_t number;
        std::string named;
        fs::perms folder = fs::perms::owner_all;
    } const cases[] = {
        {out + "/none.ret", out + "/copy.ret", true, 53, out + "/none.ret"},
        {source, out + "/none/copy.ret", true, 76, out + "/none"},
        {source, out + "/busy.ret", true, 75, source + " en " + out + "/busy.ret"},
        {source, out + "/busy.ret", false, 58, out + "/busy.ret"},
        {source, out + "/copy.ret", true, asRoot ? 0 : 75, source + " en " + out + "/copy.ret",
         fs::perms::owner_read | fs::perms::owner_exec},
    };
    for (const auto& c : cases) {
        if (c.number == 0)
            continue;  // a read-only folder does not stop the superuser
        fs::permissions(out, c.folder);
        ExpectFailure([&] { disk->CopiarArchivo(c.source, c.destination, c.overwrite); }, c.number,
                      {c.named});
        fs::permissions(out, fs::perms::owner_all);
        EXPECT_EQ(EntryCount(out), 1);
    }
}

TEST_F(DiskTest, DeletionTakesFilesOnlyAndKeepsReadOnlyOnesWithoutForce) {
    const std::string file = Folder("x") + "/ro.txt", folder = Folder("x");
    test::WriteFile(file, "x");
    fs::permissions(file, fs::perms::owner_read);

    ExpectFailure([&] { disk->EliminarArchivo(file, false); }, 75, {file});
    ExpectFailure([&] { disk->EliminarArchivo(folder, true); }, 75, {folder});
    disk->EliminarArchivo(file, true);
    EXPECT_EQ(EntryCount(folder), 0);
    ExpectFailure([&] { disk->EliminarArchivo(file, true); }, 53, {file});
}

TEST_F(DiskTest, ProgramFilesFolderComesFromThePlatform) {
    EXPECT_EQ(disk->getDirectorioProgramFiles(), home.ProgramFiles().string());
}

}  // namespace
}  // namespace tolvane::components
