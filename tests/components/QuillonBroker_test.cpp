#include "components/QuillonBroker.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/Expect.h"
#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

const std::string kBrokerSource = "Quillon.Broker";

TEST(BrokerConfigTest, SectionsIgnoreCaseAndValuesKeepEverythingAfterTheFirstEquals) {
    const std::string text =
        "\xEF\xBB\xBF; comentario\r\n# otro\r\nConnectionString=fuera\r\n[ Historial ]\r\n"
        "  connectionstring =  DSN=h;Opt=a=b  \r\nConnectionString=no\r\n[INTERNOS]\nOtra=1\n"
        "[internos]\nCONNECTIONSTRING=DSN=Aduana\xF1o\n[VACIA]\nConnectionString=\n";
    const auto config = BrokerConfig::Parse("/etc/q.ini", text);
    EXPECT_EQ(config.ConnectionString("HISTORIAL"), "DSN=h;Opt=a=b");
    EXPECT_EQ(config.ConnectionString("Internos"), "DSN=Aduanaño");
    for (const std::string entity : {"VACIA", "NINGUNA"})
        test::ExpectFailure([&] { config.ConnectionString(entity); },
                            broker_failure::kUnknownEntity, kBrokerSource, {"/etc/q.ini", entity});
}

TEST(QuillonBrokerTest, ReadsTheFileInTheProgramFolderUnlessAnotherIsSet) {
    test::TolvaneHome home;  // its program folder's QuillonConfig.ini has INTERNOS, HISTORIAL
    auto broker = home.factory().Create<Broker>(kBroker);
    test::ExpectFailure([&] { broker->getDataConnectionByEntity("HISTORIAL"); },
                        broker_failure::kNoParameters, kBrokerSource, {"HISTORIAL"});
    broker->LoadParameters();
    // A missing SQLite file is said to be missing, not made empty.
    const auto database = home.Program() / "historial.db";
    test::ExpectFailure([&] { broker->getDataConnectionByEntity("historial"); },
                        broker_failure::kNotAvailable, kBrokerSource,
                        {"No existe", database.string()});
    EXPECT_FALSE(std::filesystem::exists(database));
    test::WriteFile(database, "");  // an empty file is an empty database
    broker->getDataConnectionByEntity("historial");

    const std::string defaultFile = (home.Program() / "QuillonConfig.ini").string();
    std::filesystem::remove(defaultFile);
    test::ExpectFailure([&] { broker->LoadParameters(); }, failure_number::kFileNotFound,
                        kBrokerSource, {defaultFile});
    std::filesystem::create_directory(defaultFile);  // there, but not a file that can be read
    test::ExpectFailure([&] { broker->LoadParameters(); }, failure_number::kPathFileAccess,
                        kBrokerSource, {defaultFile});

    const std::string other = home.Folder("cfg") + "otro.ini";
    test::WriteFile(other, "[OTRA]\nConnectionString=DSN=Otra\n");
    broker->setParametersPath(other);
    broker->LoadParameters();
    test::ExpectFailure([&] { broker->getDataConnectionByEntity("OTRA"); },
                        broker_failure::kNotAvailable, kBrokerSource, {"OTRA"});
    test::ExpectFailure([&] { broker->getDataConnectionByEntity("INTERNOS"); },
                        broker_failure::kUnknownEntity, kBrokerSource, {other, "INTERNOS"});
}

}  // namespace
}  // namespace tolvane::components
