#include <gtest/gtest.h>

#include <stdexcept>

#include "components/ComponentFactory.h"
#include "components/Disk.h"
#include "components/QuillonBroker.h"
#include "components/TextFile.h"
#include "components/uploader/CurlUploader.h"
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
#ifndef _WIN32  // Windows has no device that is always full
    ExpectFailure([&] { Create("/dev/full"), file.Escribir("datos"); }, 75, "/dev/full");
#endif
    Open(in, 1);
    EXPECT_EQ(file.LeerTodo(), "x");  // still usable after every failure
}

TEST(ComponentFactoryTest, MakesTheLocalComponentsOrWhatTakesTheirPlaceAndElseFailsWith429) {
    test::TolvaneHome home;
    ComponentFactory& factory = home.factory();
    EXPECT_NE(dynamic_cast<LocalDisk*>(factory.Create<Disk>(kDisk).get()), nullptr);
    EXPECT_NE(dynamic_cast<LocalTextFile*>(factory.Create<TextFile>(kTextFile).get()), nullptr);
    EXPECT_NE(dynamic_cast<QuillonBroker*>(factory.Create<Broker>(kBroker).get()), nullptr);
    EXPECT_NE(dynamic_cast<CurlUploader*>(factory.Create<Uploader>(kUploader).get()), nullptr);

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

}  // namespace
}  // namespace tolvane::components
