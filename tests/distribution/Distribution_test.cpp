#include "distribution/Distribution.h"

#include <gtest/gtest.h>

#include <csignal>

#include "common/Failure.h"
#include "components/Disk.h"
#include "config/Context.h"
#include "support/Expect.h"
#include "support/TolvaneHome.h"
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace tolvane::distribution {
namespace {

// An uploader that answers from a script and keeps the files it was asked to send. (The
// settings it is given are pinned by the end-to-end passes, against a real server.)
struct ScriptedUploader : components::Uploader {
    static inline std::string joined;
    static inline std::function<bool()> answer;

    void setSERVIDOR(const std::string&) override {}
    void setUSUARIO(const std::string&) override {}
    void setPassword(const std::string&) override {}
    void setdirectorio(const std::string&) override {}
    void setautomatico(bool) override {}
    bool SubirArchivo(const std::string& paths) override {
        joined = paths;
        return answer();
    }
};

// The real disk with one operation made to fail: the n-th copy or the n-th removal (from 1).
struct FaultyDisk : components::Disk {
    static inline int failCopy = 0, failRemoval = 0, copies = 0, removals = 0;

    explicit FaultyDisk(platform::Platform& os) : real(os) {}
    bool ExisteCarpeta(const std::string& f) override { return real.ExisteCarpeta(f); }
    bool ExisteArchivo(const std::string& p) override { return real.ExisteArchivo(p); }
    void CopiarArchivo(const std::string& s, const std::string& d, bool o) override {
        if (++copies == failCopy)
            throw Failure(75, "Pellam.Disk", "No queda espacio en el disco");
        real.CopiarArchivo(s, d, o);
    }
    void EliminarArchivo(const std::string& path, bool force) override {
        if (++removals == failRemoval)
            throw Failure(75, "Pellam.Disk", "Acceso denegado: " + path);
        real.EliminarArchivo(path, force);
    }
    std::string getDirectorioProgramFiles() override { return real.getDirectorioProgramFiles(); }
    components::LocalDisk real;
};

class DistributionTest : public ::testing::Test {
  protected:
    DistributionTest() : context(home.os(), home.factory()) {
        home.factory().Register("Sorvik.Uploader",
                                [] { return std::make_unique<ScriptedUploader>(); });
        context.settings.RutaKitOut = kit;
        context.settings.RUTA1 = b1;
        context.settings.RUTA2 = b2;
    }

    test::TolvaneHome home;
    Context context;
    std::string kit = home.Folder("kit"), b1 = home.Folder("b1"), b2 = home.Folder("b2");
};

// The uploader gets both files; the local files go whatever its answer, and stay whole when it
// fails (step 100) or is missing (step 40).
TEST_F(DistributionTest, TheUploadsAnswerIsTheResultAndOnlyAFailureKeepsTheFiles) {
    const std::string caratula = kit + "C4521.xml", items = kit + "I4521.xml";
    // The answer (none: no uploader), whether the cover sheet is there, the failed step, why.
    const std::tuple<std::function<bool()>, bool, std::string, std::string> cases[] = {
        {[] { return true; }, true, "", ""},
        {[] { return false; }, true, "", ""},
        {[] { return true; }, false, "", ""},  // a file already gone is no error
        {[]() -> bool { throw Failure(-2147220991, "Sorvik.Uploader", "530 Login incorrect."); },
         true, "(100)", "530 Login incorrect."},
        {nullptr, true, "(40)", "no está instalado"},
    };
    for (const auto& [answer, coverThere, failedStep, reason] : cases) {
        SCOPED_TRACE(failedStep);
        test::WriteFile(caratula, "<c/>");
        test::WriteFile(items, "<i/>");
        if (!coverThere)
            fs::remove(caratula);
        ScriptedUploader::answer = answer;
        if (!answer)
            home.factory().Unregister("Sorvik.Uploader");
        const auto upload = [&] { return SubirArchivo(context, caratula, items); };
        if (failedStep.empty()) {
            EXPECT_EQ(upload(), answer());
        } else {
            test::ExpectFailure(upload, -2146102393,
                                "SubirArchivo.frmLista.Tolvane " + failedStep + " Sorvik.Uploader",
                                {reason});
        }
        EXPECT_EQ(fs::exists(caratula), coverThere && !failedStep.empty());
        EXPECT_EQ(fs::exists(items), !failedStep.empty());
    }
    EXPECT_EQ(ScriptedUploader::joined, caratula + "|" + items);
}

TEST_F(DistributionTest, BackupCopiesFollowTheTwoFolders) {
    const std::string b1Upper = home.Folder("B1");
    const std::tuple<std::string, std::string, std::vector<std::string>> cases[] = {
        {b1, b2, {b1, b2}},           {"", b2, {b2}}, {b1, b1, {b1}},
        {b1, b1Upper, {b1, b1Upper}}, {"", "", {}},
    };
    // Where file names ignore case (Windows), B1 is b1: one folder, its row says nothing new.
    std::vector<std::string> folders{b1, b2};
    const bool caseSensitive = !fs::equivalent(home.dir().path() / "b1", home.dir().path() / "B1");
    if (caseSensitive)
        folders.push_back(b1Upper);
    for (const auto& [ruta1, ruta2, copies] : cases) {
        if (!caseSensitive && ruta2 == b1Upper)
            continue;
        for (const auto& folder : folders)
            for (const char* name : {"C1.RET", "I1.RET"})
                fs::remove(folder + name);
        test::WriteFile(kit + "C1.RET", "kit bytes\r\n\xE9");
        test::WriteFile(kit + "I1.RET", "items");
        context.settings.RUTA1 = ruta1;
        context.settings.RUTA2 = ruta2;
        MoverDespacho(context, "C1.RET", "I1.RET", nullptr);
        EXPECT_FALSE(fs::exists(kit + "C1.RET") || fs::exists(kit + "I1.RET"));
        std::vector<std::string> holding;  // the folders with both files, byte for byte
        for (const auto& folder : folders)
            if (fs::exists(folder + "C1.RET") &&
                test::ReadFile(folder + "C1.RET") + test::ReadFile(folder + "I1.RET") ==
                    "kit bytes\r\n\xE9items")
                holding.push_back(folder);
        EXPECT_EQ(holding, copies) << ruta1 << " " << ruta2;
    }
    // A pair that is not there is no error.
    EXPECT_NO_THROW(MoverDespacho(context, "C2.RET", "I2.RET", nullptr));

    // A dispatch exported again with other bytes: its earlier copies stay as they are, the new
    // ones go beside them named with when they came; an identical one replaces nothing new.
    context.settings.RUTA1 = b1;
    context.settings.RUTA2 = b2;
    for (const char* content : {"kit bytes\r\n\xE9", "otra version", "otra version"}) {
        test::WriteFile(kit + "C1.RET", content);
        test::WriteFile(kit + "I1.RET", "items");
        MoverDespacho(context, "C1.RET", "I1.RET", nullptr);
    }
    for (const auto& folder : {b1, b2}) {
        const auto names = test::Names(folder);
        ASSERT_EQ(names.size(), 3u) << folder;  // C1.RET, C1_<when>.RET, I1.RET
        EXPECT_EQ(test::ReadFile(folder + "C1.RET"), "kit bytes\r\n\xE9");
        EXPECT_TRUE(names[1].starts_with("C1_2") && names[1].ends_with(".RET")) << names[1];
        EXPECT_EQ(test::ReadFile(folder + names[1]), "otra version");
    }
}

// Every copy comes before the first removal: whatever fails, the pair stays whole in the kit's
// folder, except a failure of the very last removal, which leaves the items file alone with
// its copies, for FinishLoneItems.
TEST_F(DistributionTest, AFailureAnywhereLeavesThePairWholeOrTheItemsFileFinishable) {
    home.factory().Register("Pellam.Disk",
                            [this] { return std::make_unique<FaultyDisk>(home.os()); });
    const auto copyText = [&](const char* ordinal, const std::string& folder,
                              const std::string& name) {
        return std::string(ordinal) + " copia de \r\n" + kit + name + "\r\n a \r\n" + folder +
               name + "\r\n\r\n";
    };
    // Copy or removal that fails, whether the kit changed, the step, the message's head, and
    // whether the cover sheet stays.
    const std::tuple<int, int, bool, std::string, std::string, bool> cases[] = {
        {1, 0, false, "(80)", copyText("1", b1, "C7.RET"), true},
        {2, 0, false, "(120)", copyText("2", b2, "C7.RET"), true},
        {3, 0, false, "(80)", copyText("1", b1, "I7.RET"), true},
        {4, 0, false, "(120)", copyText("2", b2, "I7.RET"), true},
        {0, 0, true, "(150)", copyText("2", b2, "I7.RET"), true},
        {0, 1, false, "(150)", copyText("2", b2, "C7.RET"), true},
        {0, 2, false, "(150)", copyText("2", b2, "I7.RET"), false},
    };
    for (const auto& [failCopy, failRemoval, changed, step, head, coverStays] : cases) {
        SCOPED_TRACE(step + " " + head);
        test::WriteFile(kit + "C7.RET", "cover");
        test::WriteFile(kit + "I7.RET", "items");
        FaultyDisk::copies = FaultyDisk::removals = 0;
        FaultyDisk::failCopy = failCopy;
        FaultyDisk::failRemoval = failRemoval;
        const Failure failure = test::ExpectFailure(
            [&] {
                MoverDespacho(context, "C7.RET", "I7.RET", [&] {
                    if (changed)
                        throw Failure(75, "Tolvane", "cambió");
                });
            },
            -2147218070,
            "MoverArchivo.frmLista.Tolvane " + step +
                ":: " + (changed ? "Tolvane" : "Pellam.Disk"));
        EXPECT_EQ(failure.description().substr(0, head.size() + 2), head + "\r\n");
        EXPECT_EQ(fs::exists(kit + "C7.RET"), coverStays);
        EXPECT_TRUE(fs::exists(kit + "I7.RET"));
        FaultyDisk::failCopy = FaultyDisk::failRemoval = 0;
        EXPECT_EQ(FinishLoneItems(context, "I7.RET"), !coverStays);
        EXPECT_EQ(fs::exists(kit + "I7.RET"), coverStays);
    }
}

#ifndef _WIN32  // a file size limit per process, to fail a real write, is POSIX only
// While it lives, writes past `bytes` fail as on a full disk (EFBIG) instead of ending the process.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &previous);
        const rlimit limit{bytes, previous.rlim_max};
        EXPECT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &previous);
        std::signal(SIGXFSZ, handler);
    }
    rlimit previous{};
    void (*handler)(int) = std::signal(SIGXFSZ, SIG_IGN);
};

TEST_F(DistributionTest, ARealWriteFailureOnTheItemsCopyRemovesNothing) {
    // The limit makes the backup disk refuse the large items file like a full disk.
    test::WriteFile(kit + "C8.RET", "cover");
    test::WriteFile(kit + "I8.RET", std::string(256 * 1024, 'x'));
    // The system's reason, in the message's own language, with its number.
    test::ExpectFailure(
        [&] {
            const FileSizeLimit limit(64 * 1024);
            MoverDespacho(context, "C8.RET", "I8.RET", nullptr);
        },
        -2147218070, "",
        {": el archivo supera el tamaño que el sistema permite (código del sistema " +
         std::to_string(EFBIG) + ")"});
    EXPECT_TRUE(fs::exists(kit + "C8.RET"));
    EXPECT_EQ(fs::file_size(kit + "I8.RET"), 256u * 1024);
    EXPECT_EQ(test::Names(b1), std::vector<std::string>{"C8.RET"});  // nothing half-written
}
#endif

TEST_F(DistributionTest, ALoneItemsFileIsFinishedOnlyAgainstIdenticalCopies) {
    // Backup folders, what they hold, whether the items file is finished.
    const std::tuple<std::string, std::string, std::string, std::string, bool> cases[] = {
        {b1, b2, "items", "items", true},
        {b1, b1, "items", "", true},
        {b1, b2, "items", "", false},
        {b1, b2, "items", "itemz", false},
        {"", "", "", "", false},  // no backup folder: nothing shows it was ever moved
        // A copy kept beside an earlier one, named with when it came, counts.
        {b1, b2, "itemz", "items", true},
    };
    for (const auto& [ruta1, ruta2, copy1, copy2, finished] : cases) {
        fs::remove(b1 + "I9.RET");
        fs::remove(b2 + "I9.RET");
        test::WriteFile(kit + "I9.RET", "items");
        fs::remove(b1 + "I9_2026-12-06_10-00-00.RET");
        if (!copy1.empty())
            test::WriteFile(b1 + "I9.RET", copy1);
        if (copy1 == "itemz")
            test::WriteFile(b1 + "I9_2026-12-06_10-00-00.RET", "items");
        if (!copy2.empty())
            test::WriteFile(b2 + "I9.RET", copy2);
        context.settings.RUTA1 = ruta1;
        context.settings.RUTA2 = ruta2;
        EXPECT_EQ(FinishLoneItems(context, "I9.RET"), finished) << ruta1 << " " << copy2;
        EXPECT_EQ(fs::exists(kit + "I9.RET"), !finished);
    }
}

}  // namespace
}  // namespace tolvane::distribution
