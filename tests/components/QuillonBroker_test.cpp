#include "components/QuillonBroker.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

// Runs `action`, which must fail with `number`, naming every item of `named`.
template <class Action>
void ExpectFailure(Action&& action, std::int32_t number, std::initializer_list<std::string> named) {
    try {
        action();
        ADD_FAILURE() << "no failure was raised";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), number) << failure.description();
        EXPECT_EQ(failure.source(), "Quillon.Broker");
        for (const auto& item : named)
            EXPECT_NE(failure.description().find(item), std::string::npos) << failure.description();
    }
}

TEST(BrokerConfigTest, SectionsIgnoreCaseAndValuesKeepEverythingAfterTheFirstEquals) {
    const std::string text =
        "\xEF\xBB\xBF; comentario\r\n# otro\r\nConnectionString=fuera\r\n[ Historial ]\r\n"
        "  connectionstring =  DSN=h;Opt=a=b  \r\nConnectionString=no\r\n[INTERNOS]\nOtra=1\n"
        "[internos]\nCONNECTIONSTRING=DSN=Aduana\xF1o\n[VACIA]\nConnectionString=\n";
    const auto config = BrokerConfig::Parse("/etc/q.ini", text);
    EXPECT_EQ(config.ConnectionString("HISTORIAL"), "DSN=h;Opt=a=b");
    EXPECT_EQ(config.ConnectionString("Internos"), "DSN=Aduanaño");
    for (const std::string entity : {"VACIA", "NINGUNA"})
        ExpectFailure([&] { config.ConnectionString(entity); }, broker_failure::kUnknownEntity,
                      {"/etc/q.ini", entity});
}

TEST(QuillonBrokerTest, ReadsTheFileInTheProgramFolderUnlessAnotherIsSet) {
    test::TolvaneHome home;  // its program folder's QuillonConfig.ini has INTERNOS, HISTORIAL
    auto broker = home.factory().Create<Broker>(kBroker);
    ExpectFailure([&] { broker->getDataConnectionByEntity("HISTORIAL"); },
                  broker_failure::kNoParameters, {"HISTORIAL"});
    broker->LoadParameters();
    // A missing SQLite file is said to be missing, not made empty.
    const auto database = home.Program() / "historial.db";
    ExpectFailure([&] { broker->getDataConnectionByEntity("historial"); },
                  broker_failure::kNotAvailable, {"No existe", database.string()});
    EXPECT_FALSE(std::filesystem::exists(database));
    test::WriteFile(database, "");  // an empty file is an empty database
    broker->getDataConnectionByEntity("historial");

    const std::string defaultFile = (home.Program() / "QuillonConfig.ini").string();
    std::filesystem::remove(defaultFile);
    ExpectFailure([&] { broker->LoadParameters(); }, failure_number::kFileNotFound, {defaultFile});
    std::filesystem::create_directory(defaultFile);  // there, but not a file that can be read
    ExpectFailure([&] { broker->LoadParameters(); }, failure_number::kPathFileAccess,
                  {defaultFile});

    const std::string other = home.Folder("cfg") + "otro.ini";
    test::WriteFile(other, "[OTRA]\nConnectionString=DSN=Otra\n");
    broker->setParametersPath(other);
    broker->LoadParameters();
    ExpectFailure([&] { broker->getDataConnectionByEntity("OTRA"); }, broker_failure::kNotAvailable,
                  {"OTRA"});
    ExpectFailure([&] { broker->getDataConnectionByEntity("INTERNOS"); },
                  broker_failure::kUnknownEntity, {other, "INTERNOS"});
}

}  // namespace
}  // namespace tolvane::components
