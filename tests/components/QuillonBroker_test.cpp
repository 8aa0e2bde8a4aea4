#include "components/QuillonBroker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <vector>

#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

// The failure raised, with every item that its description must name.
template <class Action>
void ExpectFailure(Action&& action, std::int32_t number, std::vector<std::string> named) {
    try {
        action();
        ADD_FAILURE() << "no failure was raised";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.number(), number) << failure.description();
        EXPECT_EQ(failure.source(), "Quillon.Broker");
        for (const auto& item : named) {
            EXPECT_NE(failure.description().find(item), std::string::npos)
                << failure.description() << " / " << item;
        }
    }
}

TEST(BrokerConfigTest, SectionsIgnoreCaseAndValuesKeepEverythingAfterTheFirstEquals) {
    const auto config = BrokerConfig::Parse(
        "/etc/q.ini",
        "\xEF\xBB\xBF; comentario\r\n# otro\r\nConnectionString=fuera de seccion\r\n"
        "[ Historial ]\r\n"
        "  connectionstring =  Driver=SQLite3;Database=/srv/h.db;Opt=a=b  \r\n"
        "ConnectionString=la segunda no cuenta\r\n"
        "[INTERNOS]\nOtra=1\n[internos]\nCONNECTIONSTRING=DSN=Aduana\xF1o\n"
        "[VACIA]\nConnectionString=\n");

    EXPECT_EQ(config.ConnectionString("HISTORIAL"), "Driver=SQLite3;Database=/srv/h.db;Opt=a=b");
    EXPECT_EQ(config.ConnectionString("Internos"), "DSN=Aduanaño");
    for (const std::string entity : {"VACIA", "NINGUNA"}) {
        EXPECT_FALSE(config.HasEntity(entity));
        ExpectFailure([&] { config.ConnectionString(entity); }, broker_failure::kUnknownEntity,
                      {"/etc/q.ini", entity});
    }
}

struct FakeConnection final : Connection {
    void setSQL(const std::string& statement) override { sql = statement; }
    bool CrearRs(std::unique_ptr<RecordSet>&) override { return false; }
    void ejecutar() override {}
    std::string sql;
};

// Connections made without a database driver.
class RecordingBroker final : public QuillonBroker {
  public:
    using QuillonBroker::QuillonBroker;
    std::vector<std::string> opened;  // the connection strings, in order

  protected:
    std::unique_ptr<Connection> OpenConnection(const std::string&,
                                               const std::string& connectionString) override {
        opened.push_back(connectionString);
        return std::make_unique<FakeConnection>();
    }
};

class QuillonBrokerTest : public ::testing::Test {
  protected:
    test::TolvaneHome home;  // its program folder's QuillonConfig.ini has INTERNOS, HISTORIAL
    const std::string defaultFile = (home.Program() / "QuillonConfig.ini").string();
    std::unique_ptr<Broker> broker = home.factory().Create<Broker>(kBroker);
};

TEST_F(QuillonBrokerTest, ReadsTheFileInTheProgramFolderUnlessAnotherIsSet) {
    const auto connect = [this](const char* entity) {
        return [this, entity] { broker->getDataConnectionByEntity(entity); };
    };
    ExpectFailure(connect("HISTORIAL"), broker_failure::kNoParameters, {"HISTORIAL"});
    broker->LoadParameters();
    connect("historial")();  // the SQLite database of the default file, created on connecting
    EXPECT_TRUE(std::filesystem::exists(home.Program() / "historial.db"));
    ExpectFailure(connect("OTRA"), broker_failure::kUnknownEntity, {defaultFile, "OTRA"});

    const std::string other = home.Folder("cfg") + "otro.ini";
    test::WriteFile(other, "[OTRA]\nConnectionString=DSN=Otra\n");
    broker = home.factory().Create<Broker>(kBroker);
    broker->setParametersPath(other);
    broker->LoadParameters();
    ExpectFailure(connect("OTRA"), broker_failure::kNotAvailable, {"OTRA"});
    ExpectFailure(connect("HISTORIAL"), broker_failure::kUnknownEntity, {other, "HISTORIAL"});

    std::filesystem::remove(defaultFile);
    broker = home.factory().Create<Broker>(kBroker);
    ExpectFailure([this] { broker->LoadParameters(); }, failure_number::kFileNotFound,
                  {defaultFile});
    std::filesystem::create_directory(defaultFile);  // there, but not a file that can be read
    ExpectFailure([this] { broker->LoadParameters(); }, failure_number::kPathFileAccess,
                  {defaultFile});
}

TEST_F(QuillonBrokerTest, OneConnectionPerEntityWhateverTheCase) {
    RecordingBroker recording(home.os());
    recording.LoadParameters();

    Connection& first = recording.getDataConnectionByEntity("HISTORIAL");
    first.setSQL("SELECT 1");
    Connection& again = recording.getDataConnectionByEntity("historial");
    Connection& other = recording.getDataConnectionByEntity("INTERNOS");

    EXPECT_EQ(&first, &again);
    EXPECT_EQ(dynamic_cast<FakeConnection&>(again).sql, "SELECT 1");
    EXPECT_NE(&first, &other);
    const std::string database = "Driver=SQLite3;Database=" + home.Program().string();
    EXPECT_EQ(recording.opened,
              (std::vector<std::string>{database + "/historial.db", database + "/internos.db"}));
}

}  // namespace
}  // namespace tolvane::components
