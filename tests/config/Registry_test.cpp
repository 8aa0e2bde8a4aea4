#include "config/Registry.h"

#include <gtest/gtest.h>

#include "support/TolvaneHome.h"

namespace tolvane::config {
namespace {

using platform::RegistryRoot;

class RegistryProceduresTest : public ::testing::Test {
  protected:
    void WriteMachineHive(const std::string& body) {
        test::WriteFile(home.Registry() / "HKEY_LOCAL_MACHINE.reg",
                        "Windows Registry Editor Version 5.00\r\n\r\n" + body);
    }
    platform::Registry& registry() { return home.os().registry(); }

    test::TolvaneHome home;
};

TEST_F(RegistryProceduresTest,
       ReadsTextWithoutTerminatorNumbersAsWholeNumbersAndNothingWhenMissing) {
    WriteMachineHive(
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\SIF America\\KitMaria]\r\n"
        "\"KITOUT\"=\"D:\\\\Kit\\\\out\\\\\"\r\n"
        "\"Numero\"=dword:00000005\r\n"
        "\"Negativo\"=dword:ffffffff\r\n"
        "\"Binario\"=hex:01,02\r\n");
    const std::string key = "software\\sif america\\KITMARIA";

    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, key, "kitout"),
              RegValue(std::string("D:\\Kit\\out\\")));
    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, key, "Numero"),
              RegValue(std::int32_t{5}));
    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, key, "Negativo"),
              RegValue(std::int32_t{-1}));

    platform::RegistryKey handle = 0;
    ASSERT_EQ(registry().OpenKey(RegistryRoot::LocalMachine, key, 0x3F, handle), 0);
    RegValue slot;
    EXPECT_EQ(ConsultarValor(registry(), handle, "Binario", slot), -1);
    EXPECT_EQ(slot, RegValue{});
    EXPECT_EQ(ConsultarValor(registry(), handle, "Falta", slot), platform::kErrorFileNotFound);
    EXPECT_EQ(slot, RegValue{});
    registry().CloseKey(handle);
    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Nada", "X"),
              RegValue{});
}

TEST_F(RegistryProceduresTest, WritesIntoExistingKeysOnlyAndReadsBack) {
    WriteMachineHive("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Prueba]\r\n\"Otro\"=\"se queda\"\r\n");

    EXPECT_TRUE(EscribirRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Prueba",
                                 "Texto", RegValue(std::string("C:\\a \"b\"")), platform::kRegSz));
    EXPECT_TRUE(EscribirRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Prueba",
                                 "Numero", RegValue(std::string("42")), platform::kRegDword));
    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Prueba", "Texto"),
              RegValue(std::string("C:\\a \"b\"")));
    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Prueba", "Numero"),
              RegValue(std::int32_t{42}));
    EXPECT_EQ(LeerRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Prueba", "Otro"),
              RegValue(std::string("se queda")));

    // A key that does not exist is never created by a write.
    EXPECT_FALSE(EscribirRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Nueva",
                                  "Texto", RegValue(std::string("x")), platform::kRegSz));
    platform::RegistryKey handle = 0;
    EXPECT_EQ(registry().OpenKey(RegistryRoot::LocalMachine, "SOFTWARE\\Nueva", 0x3F, handle),
              platform::kErrorFileNotFound);
    // Only types 1 and 4 are written.
    EXPECT_FALSE(EscribirRegistro(registry(), RegistryRoot::LocalMachine, "SOFTWARE\\Prueba",
                                  "Binario", RegValue(std::string("x")), 3));
}

}  // namespace
}  // namespace tolvane::config
