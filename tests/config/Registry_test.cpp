#include "config/Registry.h"

#include <gtest/gtest.h>

#include "support/TolvaneHome.h"

namespace tolvane::config {
namespace {

constexpr auto kMachine = platform::RegistryRoot::LocalMachine;
const std::string kKit = "software\\sif america\\KITMARIA";  // any case

TEST(RegistryProcedures, ReadTextWithoutTerminatorAndWholeNumbersAndWriteOnlyIntoExistingKeys) {
    test::TolvaneHome home;
    home.SetKitValues(
        "\"KITOUT\"=\"D:\\\\Kit\\\\out\\\\\"\n\"Numero\"=dword:00000005\n"
        "\"Negativo\"=dword:ffffffff\n\"Binario\"=hex:01,02");
    platform::Registry& registry = home.os().registry();
    const auto read = [&](const std::string& key, const std::string& name) {
        return LeerRegistro(registry, kMachine, key, name);
    };
    const auto write = [&](const std::string& key, const std::string& value, std::uint32_t type) {
        return EscribirRegistro(registry, kMachine, key, "Nuevo", RegValue(value), type);
    };
    EXPECT_EQ(read(kKit, "kitout"), RegValue(std::string("D:\\Kit\\out\\")));
    EXPECT_EQ(read(kKit, "Numero"), RegValue(std::int32_t{5}));
    EXPECT_EQ(read(kKit, "Negativo"), RegValue(std::int32_t{-1}));

    platform::RegistryKey handle = 0;
    ASSERT_EQ(registry.OpenKey(kMachine, kKit, 0x3F, handle), 0);
    RegValue slot;
    EXPECT_EQ(ConsultarValor(registry, handle, "Binario", slot), -1);
    EXPECT_EQ(slot, RegValue{});
    EXPECT_EQ(ConsultarValor(registry, handle, "Falta", slot), platform::kErrorFileNotFound);
    EXPECT_EQ(slot, RegValue{});
    registry.CloseKey(handle);

    EXPECT_TRUE(write(kKit, "C:\\a \"b\"", platform::kRegSz));
    EXPECT_EQ(read(kKit, "Nuevo"), RegValue(std::string("C:\\a \"b\"")));
    EXPECT_TRUE(write(kKit, "42", platform::kRegDword));
    EXPECT_FALSE(write(kKit, "x", 3));  // only types 1 and 4 are written
    EXPECT_EQ(read(kKit, "Nuevo"), RegValue(std::int32_t{42}));
    EXPECT_EQ(read(kKit, "Numero"), RegValue(std::int32_t{5}));  // the others stay

    // A key that does not exist is never created by a write, and reads as nothing.
    EXPECT_FALSE(write("SOFTWARE\\Nueva", "x", platform::kRegSz));
    EXPECT_EQ(read("SOFTWARE\\Nueva", "Nuevo"), RegValue{});
    EXPECT_EQ(registry.OpenKey(kMachine, "SOFTWARE\\Nueva", 0x3F, handle),
              platform::kErrorFileNotFound);
}

}  // namespace
}  // namespace tolvane::config
