#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <stdexcept>
#include <tuple>

#include "components/ComponentFactory.h"
#include "components/Disk.h"
#include "components/TextFile.h"
#include "support/Expect.h"
#include "support/TempDir.h"
#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

class TextFileTest : public ::testing::Test {
  protected:
    void Open(const std::string& path, int mode) {
        file.setUbicacion_Archivo(path), file.Abrir_Archivo(mode);
    }
    void Create(const std::string& path) { file.setUbicacion_Archivo(path), file.Crear_Archivo(); }
    // The file is closed after each failure, to show that it stays usable.
    void ExpectFailure(const std::function<void()>& action, std::int32_t number,
                       const std::string& named,
                       std::source_location at = std::source_location::current()) {
        test::ExpectFailure(action, number, "Pellam.TextFile", {named}, at);
        file.Cerrar_Archivo();
    }

    test::TempDir dir;
    const std::string in = dir.prefix() + "in.ret", out = dir.prefix() + "out.xml";
    LocalTextFile file;  // one object for every file of a test, as the program may reuse it
};

TEST_F(TextFileTest, Latin1OnDiskIsUtf8InsideAndEveryByteReadIsWrittenBackUnchanged) {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    test::WriteFile(in, bytes);
    test::WriteFile(out, std::string(10000, 'v'));  // replaced whole, nothing added
    Open(in, 1);
    const std::string text = file.LeerTodo();
    Create(out);
    file.Escribir(text + "café 20€ 日本");  // what ISO-8859-1 cannot hold becomes "?"
    file.Cerrar_Archivo();
    EXPECT_EQ(test::ReadFile(out), bytes + "caf\xE9 20? ??");

    test::WriteFile(in, "<x>caf\xE9 A\xF1o</x>\r\n");
    Open(in, 1);
    EXPECT_EQ(file.LeerTodo(), "<x>café Año</x>\r\n");
}

TEST_F(TextFileTest, MisuseMissingFilesAndWriteErrorsFailClearly) {
    test::WriteFile(in, "x");
    ExpectFailure([&] { Open(dir.prefix() + "missing.txt", 1); }, 53, dir.prefix() + "missing.txt");
    ExpectFailure([&] { Open(in, 2); }, 5, in);
    ExpectFailure([&] { file.LeerTodo(); }, 52, "abierto");
    ExpectFailure([&] { file.Escribir("x"); }, 52, "abierto");
    ExpectFailure([&] { Open(in, 1), file.Escribir("x"); }, 54, in);
    ExpectFailure([&] { Create(dir.prefix() + "none/a.xml"); }, 76, dir.prefix() + "none/a.xml");
    ExpectFailure([&] { Open(dir.path().string(), 1); }, 75, dir.path().string());
#ifndef _WIN32  // a device at the name is never written through, nor replaced
    ExpectFailure([&] { Create("/dev/full"), file.Escribir("datos"), file.Cerrar_Archivo(); }, 75,
                  "/dev/full");
#endif
    Open(in, 1);
    EXPECT_EQ(file.LeerTodo(), "x");  // still usable after every failure
}

TEST(ComponentFactoryTest, WhatIsRegisteredTakesTheStandardComponentsPlaceElseItFailsWith429) {
    test::TolvaneHome home;
    ComponentFactory& factory = home.factory();

    const ComponentFactory::Creator creators[] = {
        [] { return std::make_unique<LocalTextFile>(); },  // not a disk
        []() -> std::unique_ptr<Component> { throw Failure(7, "Tolvane", "Sin memoria"); },
        []() -> std::unique_ptr<Component> { throw std::runtime_error("roto"); },
        [] { return std::unique_ptr<Component>(); },
        nullptr,  // nothing registered
    };
    for (const auto& creator : creators) {
        creator ? factory.Register(kDisk, creator) : factory.Unregister(kDisk);
        test::ExpectFailure([&] { factory.Create<Disk>(kDisk); },
                            failure_number::kCannotCreateComponent, "", {kDisk});
    }
    // Whatever is registered takes the place of the standard component.
    factory.Register(kDisk, [] { return std::make_unique<LocalTextFile>(); });
    EXPECT_NE(dynamic_cast<LocalTextFile*>(factory.Create<TextFile>(kDisk).get()), nullptr);
}

#ifndef _WIN32  // the disk's own tests, of POSIX permissions and signals
class DiskTest : public ::testing::Test {
  protected:
    const test::FailureFrom ExpectFailure{"Pellam.Disk"};
    test::TolvaneHome home;
    std::unique_ptr<Disk> disk = home.factory().Create<Disk>(kDisk);
    const std::string in = home.Folder("in"), out = home.Folder("out");  // ending with "/"
};

TEST_F(DiskTest, FoldersAndFilesAreToldApart) {
    test::WriteFile(in + "file.txt", "x");
    const std::string locked = home.Folder("locked");
    fs::permissions(locked, fs::perms::none);
    for (const std::string& folder : {in, in.substr(0, in.size() - 1)})
        EXPECT_TRUE(disk->ExisteCarpeta(folder) && !disk->ExisteArchivo(folder)) << folder;
    EXPECT_TRUE(disk->ExisteArchivo(in + "file.txt") && !disk->ExisteCarpeta(in + "file.txt"));
    for (const std::string& neither :
         {in + "file.txt/", in + "none", in + "none/file.txt", std::string()})
        EXPECT_FALSE(disk->ExisteCarpeta(neither) || disk->ExisteArchivo(neither)) << neither;
    // A folder that cannot be listed is not reachable, except by the superuser.
    EXPECT_EQ(disk->ExisteCarpeta(locked), ::geteuid() == 0);
    fs::permissions(locked, fs::perms::owner_all);
}

TEST_F(DiskTest, CopyReplacesTheDestinationWithEveryByteAndOutlivesItsSource) {
    std::string bytes;
    for (int value = 0; value < 512; ++value)
        bytes.push_back(static_cast<char>(value % 256));
    test::WriteFile(in + "C1.RET", bytes);
    test::WriteFile(out + "C1.RET", std::string(5000, 'z'));

    disk->CopiarArchivo(in + "C1.RET", out + "C1.RET", true);
    disk->EliminarArchivo(in + "C1.RET", true);
    EXPECT_EQ(test::ReadFile(out + "C1.RET"), bytes);
    EXPECT_EQ(test::CountEntries(out), 1);  // no temporary file left behind
}

TEST_F(DiskTest, CopiesOfLongNamesAndCopiesCutShortByADeathLeaveNothingBehind) {
    const std::string name = std::string(240, 'C') + ".RET";  // the file system allows 255
    test::WriteFile(in + name, std::string(64 * 1024, 'x'));
    // A copy dies half-way: the file-size limit's signal ends the child process mid-write.
    const pid_t child = ::fork();
    if (child == 0) {
        rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        disk->CopiarArchivo(in + name, out + name, true);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the copy was meant to die";
    ASSERT_EQ(test::CountEntries(out), 1) << "the dead copy's temporary file";

    disk->CopiarArchivo(in + name, out + name, true);
    EXPECT_EQ(fs::file_size(out + name), 64u * 1024);
    EXPECT_EQ(test::CountEntries(out), 1);
}

TEST_F(DiskTest, AFailedCopyNamesWhatFailedAndLeavesNoTrace) {
    const std::string source = in + "C1.RET";
    test::WriteFile(source, "contenido");
    fs::create_directory(out + "busy.ret");  // a folder where the copy should go
    // Source, destination, overwrite, number, what the description names.
    const std::tuple<std::string, std::string, bool, std::int32_t, std::string> cases[] = {
        {out + "none.ret", out + "copy.ret", true, 53, out + "none.ret"},
        {source, out + "none/copy.ret", true, 76, out + "none"},
        {source, out + "busy.ret", true, 75, source + " en " + out + "busy.ret"},
        {source, out + "busy.ret", false, 58, out + "busy.ret"}};
    for (const auto& [from, to, overwrite, number, named] : cases) {
        ExpectFailure([&] { disk->CopiarArchivo(from, to, overwrite); }, number, {named});
        EXPECT_EQ(test::CountEntries(out), 1);
    }
}

TEST_F(DiskTest, DeletionTakesFilesOnlyAndKeepsReadOnlyOnesWithoutForce) {
    test::WriteFile(in + "ro.txt", "x");
    fs::permissions(in + "ro.txt", fs::perms::owner_read);
    ExpectFailure([&] { disk->EliminarArchivo(in + "ro.txt", false); }, 75, {in + "ro.txt"});
    ExpectFailure([&] { disk->EliminarArchivo(in, true); }, 75, {in});
    disk->EliminarArchivo(in + "ro.txt", true);
    EXPECT_EQ(test::CountEntries(in), 0);
    ExpectFailure([&] { disk->EliminarArchivo(in + "ro.txt", true); }, 53, {in + "ro.txt"});
}
#endif

}  // namespace
}  // namespace tolvane::components
