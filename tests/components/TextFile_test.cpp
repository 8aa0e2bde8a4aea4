#include "components/TextFile.h"

#include <gtest/gtest.h>

#include <functional>

#include "common/Failure.h"
#include "support/TempDir.h"

namespace tolvane::components {
namespace {

class TextFileTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir.prefix() + name; }
    void Open(const std::string& path, int mode) {
        file.setUbicacion_Archivo(path);
        file.Abrir_Archivo(mode);
    }
    void Create(const std::string& path) {
        file.setUbicacion_Archivo(path);
        file.Crear_Archivo();
    }
    std::string Read(const std::string& path) {
        Open(path, 1);
        std::string text = file.LeerTodo();
        file.Cerrar_Archivo();
        return text;
    }
    void Write(const std::string& path, const std::string& text) {
        Create(path);
        file.Escribir(text);
        file.Cerrar_Archivo();
    }

    test::TempDir dir;
    LocalTextFile file;  // one object for every file of a test, as the program may reuse it
};

TEST_F(TextFileTest, Latin1OnDiskIsUtf8InsideAndEveryByteReadIsWrittenBackUnchanged) {
    std::string bytes;
    for (int value = 0; value < 256; ++value)
        bytes.push_back(static_cast<char>(value));
    test::WriteFile(Path("in.ret"), bytes);
    Write(Path("out.xml"), Read(Path("in.ret")));
    EXPECT_EQ(test::ReadFile(Path("out.xml")), bytes);

    test::WriteFile(Path("a.xml"),
                    "<x>caf\xE9 Pe\xF1"
                    "a</x>\r\n");
    EXPECT_EQ(Read(Path("a.xml")), "<x>café Peña</x>\r\n");
    Write(Path("b.xml"), "café 20€ 日本");
    EXPECT_EQ(test::ReadFile(Path("b.xml")), "caf\xE9 20? ??");
}

TEST_F(TextFileTest, CreatingReplacesALongerFileAndAddsNothing) {
    test::WriteFile(Path("c.xml"), std::string(10000, 'v'));
    Write(Path("c.xml"), "corto");
    EXPECT_EQ(test::ReadFile(Path("c.xml")), "corto");

    Write(Path("empty.xml"), "");
    EXPECT_EQ(Read(Path("empty.xml")), "");
}

TEST_F(TextFileTest, MisuseMissingFilesAndWriteErrorsFailClearly) {
    test::WriteFile(Path("here.txt"), "x");
    const std::string here = Path("here.txt"), missing = Path("missing.txt");
    struct Case {
        std::function<void()> action;
        std::int32_t number;
        std::string named;
    } const cases[] = {
        {[&] { Open(missing, 1); }, 53, missing},
        {[&] { Open(here, 2); }, 5, here},
        {[&] { file.LeerTodo(); }, 52, "abierto"},
        {[&] { file.Escribir("x"); }, 52, "abierto"},
        {[&] {
             Open(here, 1);
             file.Escribir("x");
         },
         54, here},
        {[&] { Create(Path("none/a.xml")); }, 76, Path("none/a.xml")},
        {[&] { Open(dir.path().string(), 1); }, 75, dir.path().string()},
        {[&] { Create("/dev/full"), file.Escribir("datos"); }, 75, "/dev/full"},  // disk full
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.named);
        try {
            c.action();
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.number(), c.number);
            EXPECT_EQ(failure.source(), "Pellam.TextFile");
            EXPECT_NE(failure.description().find(c.named), std::string::npos)
                << failure.description();
        }
        file.Cerrar_Archivo();
    }
    EXPECT_EQ(Read(here), "x");  // still usable after every failure
}

}  // namespace
}  // namespace tolvane::components
