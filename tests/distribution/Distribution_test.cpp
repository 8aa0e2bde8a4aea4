#include "distribution/Distribution.h"

#include <gtest/gtest.h>

#include "common/Context.h"
#include "common/Failure.h"
#include "components/Disk.h"
#include "support/TolvaneHome.h"

namespace tolvane::distribution {
namespace {

namespace fs = std::filesystem;

struct UploadRecord {
    std::string server, user, password, folder, joined;
    bool automatic = false;
};

// An uploader that answers from a script and records what it was given.
struct ScriptedUploader : components::Uploader {
    static inline UploadRecord last;
    static inline std::function<bool()> answer;

    void setSERVIDOR(const std::string& v) override { last.server = v; }
    void setUSUARIO(const std::string& v) override { last.user = v; }
    void setPassword(const std::string& v) override { last.password = v; }
    void setdirectorio(const std::string& v) override { last.folder = v; }
    void setautomatico(bool v) override { last.automatic = v; }
    bool SubirArchivo(const std::string& joined) override {
        last.joined = joined;
        return answer();
    }
};

// The real disk, except that it refuses to delete: a failure after every copy was made.
struct DiskThatCannotDelete : components::Disk {
    explicit DiskThatCannotDelete(platform::Platform& os) : real(os) {}
    bool ExisteCarpeta(const std::string& f) override { return real.ExisteCarpeta(f); }
    bool ExisteArchivo(const std::string& p) override { return real.ExisteArchivo(p); }
    void CopiarArchivo(const std::string& s, const std::string& d, bool o) override {
        real.CopiarArchivo(s, d, o);
    }
    void EliminarArchivo(const std::string& path, bool) override {
        throw Failure(75, "Pellam.Disk", "Acceso denegado: " + path);
    }
    std::string getDirectorioProgramFiles() override { return real.getDirectorioProgramFiles(); }
    components::LocalDisk real;
};

class DistributionTest : public ::testing::Test {
  protected:
    DistributionTest() : context(home.os(), home.factory()) {
        home.factory().Register("Sorvik.Uploader",
                                [] { return std::make_unique<ScriptedUploader>(); });
        context.settings.RutaKitOut = home.Folder("kit");
        caratula = home.Folder("kit") + "C4521.xml";
        items = home.Folder("kit") + "I4521.xml";
        test::WriteFile(caratula, "<c/>");
        test::WriteFile(items, "<i/>");
    }

    test::TolvaneHome home;
    Context context;
    std::string caratula, items;
};

TEST_F(DistributionTest, UploadGetsTheSettingsAndLocalFilesGoWhateverTheAnswer) {
    context.settings.SERVIDOR = "ftp.oficina";
    context.settings.USUARIO = "u";
    context.settings.PASSWORD = "";
    context.settings.DIRECTORIO = "";
    for (const bool answer : {true, false}) {
        test::WriteFile(caratula, "<c/>");
        test::WriteFile(items, "<i/>");
        ScriptedUploader::answer = [answer] { return answer; };
        EXPECT_EQ(SubirArchivo(context, caratula, items), answer);
        EXPECT_FALSE(fs::exists(caratula));
        EXPECT_FALSE(fs::exists(items));
    }
    const auto& sent = ScriptedUploader::last;
    EXPECT_EQ(sent.joined, caratula + "|" + items);
    EXPECT_EQ(sent.server, "ftp.oficina");
    EXPECT_EQ(sent.user, "u");
    EXPECT_EQ(sent.password, "");
    EXPECT_TRUE(sent.automatic);
}

TEST_F(DistributionTest, AFileAlreadyGoneIsNoError) {
    ScriptedUploader::answer = [] { return true; };
    fs::remove(caratula);
    EXPECT_TRUE(SubirArchivo(context, caratula, items));
    EXPECT_FALSE(fs::exists(items));
}

TEST_F(DistributionTest, FailedUploadKeepsTheFilesAndNamesStep100) {
    ScriptedUploader::answer = []() -> bool {
        throw Failure(-2147220991, "Sorvik.Uploader", "530 Login incorrect.");
    };
    try {
        SubirArchivo(context, caratula, items);
        FAIL();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), -2146102393);
        EXPECT_EQ(failure.source(), "SubirArchivo.frmLista.Tolvane (100) Sorvik.Uploader");
        EXPECT_EQ(failure.description(), "530 Login incorrect.");
    }
    EXPECT_TRUE(fs::exists(caratula));
    EXPECT_TRUE(fs::exists(items));

    home.factory().Unregister("Sorvik.Uploader");
    try {
        SubirArchivo(context, caratula, items);
        FAIL();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.source(), "SubirArchivo.frmLista.Tolvane (40) Sorvik.Uploader");
    }
}

TEST_F(DistributionTest, BackupCopiesFollowTheTwoFolders) {
    const std::string b1 = home.Folder("b1"), b2 = home.Folder("b2"), b1Upper = home.Folder("B1");
    const struct {
        std::string ruta1, ruta2;
        std::vector<std::string> copies;
    } cases[] = {
        {b1, b2, {b1, b2}},           {"", b2, {b2}}, {b1, b1, {b1}},
        {b1, b1Upper, {b1, b1Upper}}, {"", "", {}},
    };
    for (const auto& c : cases) {
        for (const auto& folder : {b1, b2, b1Upper})
            fs::remove(folder + "C1.RET");
        test::WriteFile(context.settings.RutaKitOut + "C1.RET", "kit bytes\r\n\xE9");
        context.settings.RUTA1 = c.ruta1;
        context.settings.RUTA2 = c.ruta2;
        MoverArchivo(context, "C1.RET");
        EXPECT_FALSE(fs::exists(context.settings.RutaKitOut + "C1.RET"));
        for (const auto& folder : {b1, b2, b1Upper}) {
            const bool expected =
                std::find(c.copies.begin(), c.copies.end(), folder) != c.copies.end();
            ASSERT_EQ(fs::exists(folder + "C1.RET"), expected)
                << folder << " with RUTA1=" << c.ruta1 << " RUTA2=" << c.ruta2;
            if (expected) {
                EXPECT_EQ(test::ReadFile(folder + "C1.RET"), "kit bytes\r\n\xE9");
            }
        }
    }
    // A file that is not there is no error.
    EXPECT_NO_THROW(MoverArchivo(context, "C2.RET"));
}

TEST_F(DistributionTest, RefusedSecondCopyKeepsTheKitFile) {
    const std::string b1 = home.Folder("b1");
    const std::string missing = home.dir().prefix() + "no-existe/";
    context.settings.RUTA1 = b1;
    context.settings.RUTA2 = missing;
    const std::string source = context.settings.RutaKitOut + "C1.RET";
    test::WriteFile(source, "x");
    try {
        MoverArchivo(context, "C1.RET");
        FAIL();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), -2147218070);
        EXPECT_EQ(failure.source(), "MoverArchivo.frmLista.Tolvane (120):: Pellam.Disk");
        const std::string head =
            "2 copia de \r\n" + source + "\r\n a \r\n" + missing + "C1.RET\r\n\r\n\r\n";
        EXPECT_EQ(failure.description().substr(0, head.size()), head);
    }
    EXPECT_TRUE(fs::exists(b1 + "C1.RET"));
    EXPECT_TRUE(fs::exists(source));
}

TEST_F(DistributionTest, FailedDeletionCarriesTheLastCopy) {
    home.factory().Register("Pellam.Disk",
                            [this] { return std::make_unique<DiskThatCannotDelete>(home.os()); });
    const std::string b1 = home.Folder("b1");
    context.settings.RUTA1 = b1;
    const std::string source = context.settings.RutaKitOut + "I1.RET";
    test::WriteFile(source, "x");
    try {
        MoverArchivo(context, "I1.RET");
        FAIL();
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.source(), "MoverArchivo.frmLista.Tolvane (150):: Pellam.Disk");
        EXPECT_EQ(failure.description(), "1 copia de \r\n" + source + "\r\n a \r\n" + b1 +
                                             "I1.RET\r\n\r\n\r\nAcceso denegado: " + source);
    }
    EXPECT_TRUE(fs::exists(b1 + "I1.RET"));
}

}  // namespace
}  // namespace tolvane::distribution
