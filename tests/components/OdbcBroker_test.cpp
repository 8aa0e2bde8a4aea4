#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/Text.h"
#include "components/QuillonBroker.h"
#include "components/odbc/ConnectionPool.h"
#include "support/PostgresServer.h"
#include "support/Process.h"
#include "support/TolvaneHome.h"

namespace tolvane::components {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using odbc::ConnectionPool;

const fs::path kSourceDir = TOLVANE_SOURCE_DIR;

// The project's driver list, with every driver log off, unless the caller chose another.
class OdbcSettings : public ::testing::Environment {
  public:
    void SetUp() override { ::setenv("ODBCSYSINI", (kSourceDir / "odbc").c_str(), 0); }
};
[[maybe_unused]] const auto* const kOdbcSettings =
    ::testing::AddGlobalTestEnvironment(new OdbcSettings);

struct Backend {
    std::string name;
    bool server = false;
    std::string missingTableState;  // SQLSTATE of a query on a table that is not there
    std::string duplicateKeyState;
    std::string storedDateType;  // what the database keeps FECHA_OFICIALIZACION as
    std::string storedDateTypeQuery;
};
void PrintTo(const Backend& backend, std::ostream* out) {
    *out << backend.name;
}
const Backend kSqlite{.name = "SQLite",
                      .missingTableState = "HY000",
                      .duplicateKeyState = "HY000",
                      .storedDateType = "text",
                      .storedDateTypeQuery =
                          "select typeof(FECHA_OFICIALIZACION) as tipo"
                          " from HISTORIAL"};
const Backend kPostgres{.name = "PostgreSQL",
                        .server = true,
                        .missingTableState = "42P01",
                        .duplicateKeyState = "23505",
                        .storedDateType = "date",
                        .storedDateTypeQuery =
                            "select pg_typeof(FECHA_OFICIALIZACION)::text"
                            " as tipo from HISTORIAL"};

std::string HistoryInsert(const std::string& despacho, const std::string& name,
                          const std::string& date, const std::string& xml = "<x/>") {
    return "insert into HISTORIAL(IDENTIFICADOR_PROPIO, DESPACHO, DESTINACION, COD_ADUANA, "
           "CUIT_DESPACHANTE,CUIT_IMPO_EXPO, NOMBRE_IMPO_EXPO, FECHA_OFICIALIZACION, XMLCaratula "
           ",XMLItem , Usuario, TRANFERIDO) values ( 'a','" +
           despacho + "','IC04','001','20111111112','30222222223','" + name + "'," + date + ",'" +
           xml + "','','usuario','N')";
}

template <class Action>
Failure CaughtFailure(Action&& action) {
    try {
        action();
    } catch (const Failure& failure) {
        return failure;
    }
    ADD_FAILURE() << "no failure was raised";
    return Failure(0, "", "");
}

class BrokerFixture : public ::testing::Test {
  protected:
    virtual const Backend& backend() const = 0;

    static void TearDownTestSuite() {
        ConnectionPool::Shared().Clear();
        server_.reset();
    }

    void SetUp() override {
        if (!backend().server) {
            for (const char* file : {"internos.db", "historial.db"}) {
                const auto loaded =
                    test::RunProcess({"/usr/bin/sqlite3", (home_.Program() / file).string(),
                                      ".read " + (kSourceDir / "db/sqlite/schema.sql").string()},
                                     {});
                ASSERT_EQ(loaded.exitStatus, 0) << loaded.err;
            }
            return;
        }
        if (!server_) {
            const auto binaries = test::PostgresServer::FindBinaries();
            if (!binaries)
                GTEST_SKIP() << "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin)";
            server_ = std::make_unique<test::PostgresServer>(*binaries);
            server_->RunScript(kSourceDir / "db/postgresql/schema.sql");
        }
        UseConnectionString(server_->ConnectionString());
        Execute("INTERNOS", "delete from caratula");
        Execute("HISTORIAL", "delete from HISTORIAL");
    }

    void TearDown() override {
        ConnectionPool::Shared().SetPooling(true);
        ConnectionPool::Shared().SetTimeouts({});
    }

    void UseConnectionString(const std::string& connectionString) const {
        test::WriteFile(home_.Program() / "QuillonConfig.ini",
                        "[INTERNOS]\nConnectionString=" + connectionString +
                            "\n[HISTORIAL]\nConnectionString=" + connectionString + "\n");
    }

    std::unique_ptr<Broker> NewBroker() {
        auto broker = home_.factory().Create<Broker>(kBroker);
        broker->LoadParameters();
        return broker;
    }

    void Execute(const std::string& entity, const std::string& sql) {
        auto broker = NewBroker();
        broker->getDataConnectionByEntity(entity).setSQL(sql);
        broker->getDataConnectionByEntity(entity).ejecutar();
    }

    // The first row's column, after checking that there is a row.
    DbValue First(Broker& broker, const std::string& sql, const std::string& column) {
        Connection& connection = broker.getDataConnectionByEntity("HISTORIAL");
        connection.setSQL(sql);
        std::unique_ptr<RecordSet> row;
        EXPECT_TRUE(connection.CrearRs(row)) << sql;
        return row->Field(column);
    }
    DbValue First(const std::string& sql, const std::string& column) {
        return First(*NewBroker(), sql, column);
    }

    static inline std::unique_ptr<test::PostgresServer> server_;
    test::TolvaneHome home_;
};

class BrokerTest : public BrokerFixture, public ::testing::WithParamInterface<Backend> {
  protected:
    const Backend& backend() const override { return GetParam(); }
};

TEST_P(BrokerTest, QueriesStandOnTheFirstRowAndReadColumnsByNameWhateverTheCase) {
    Execute("INTERNOS",
            "insert into caratula values ('OP-2', {ts '2011-01-02 03:04:05'}, '2', '3', 'Otra')");
    Execute("INTERNOS",
            "insert into caratula values ('OP-1', {ts '2010-06-28 14:05:09'}, "
            "'20123456789', NULL, 'Importadora')");
    auto broker = NewBroker();
    Connection& internos = broker->getDataConnectionByEntity("INTERNOS");
    std::unique_ptr<RecordSet> row;

    internos.setSQL(
        "select cuitcliente, cuitdespaduana, factura7 as importador, fechaalta "
        "from caratula where interno = 'OP-1'");
    ASSERT_TRUE(internos.CrearRs(row));
    EXPECT_EQ(row->Field("CUITCLIENTE"), DbValue(std::string("20123456789")));
    EXPECT_EQ(row->Field("cuitDespAduana"), DbValue());
    EXPECT_EQ(row->Field("Importador"), DbValue(std::string("Importadora")));
    EXPECT_EQ(row->Field("fechaalta"), DbValue(DbDate{2010, 6, 28, 14, 5, 9}));
    EXPECT_EQ(CaughtFailure([&] { row->Field("factura7"); }).number(),
              broker_failure::kNoSuchColumn);

    internos.setSQL(
        "select interno, count(*) over () as cantidad, 2.5 as mitad from caratula "
        "order by interno");
    ASSERT_TRUE(internos.CrearRs(row));
    EXPECT_EQ(row->Field("interno"), DbValue(std::string("OP-1")));
    EXPECT_EQ(row->Field("cantidad"), DbValue(std::int64_t{2}));
    EXPECT_EQ(row->Field("mitad"), DbValue(2.5));

    internos.setSQL("select fechaalta from caratula where interno = 'OP-9'");
    EXPECT_FALSE(internos.CrearRs(row));
    EXPECT_EQ(CaughtFailure([&] { row->Field("fechaalta"); }).number(),
              broker_failure::kNoCurrentRecord);
}

TEST_P(BrokerTest, HistoryRowsKeepTheDateEscapeAsADate) {
    Execute("HISTORIAL", HistoryInsert("D-1", "Uno", "{d '2010-06-28'}"));
    Execute("HISTORIAL", HistoryInsert("D-2", "Dos", "NULL"));
    auto broker = NewBroker();

    EXPECT_EQ(First(*broker, "select despacho from historial where despacho = 'D-1'", "DESPACHO"),
              DbValue(std::string("D-1")));
    Connection& historial = broker->getDataConnectionByEntity("HISTORIAL");
    historial.setSQL("select despacho from historial where despacho = 'D-3'");
    std::unique_ptr<RecordSet> row;
    EXPECT_FALSE(broker->getDataConnectionByEntity("historial").CrearRs(row));

    const std::string read = "select FECHA_OFICIALIZACION, TRANFERIDO from HISTORIAL where ";
    EXPECT_EQ(First(*broker, read + "DESPACHO = 'D-1'", "fecha_oficializacion"),
              DbValue(DbDate{2010, 6, 28}));
    EXPECT_EQ(First(*broker, read + "DESPACHO = 'D-2'", "fecha_oficializacion"), DbValue());
    EXPECT_EQ(First(*broker, read + "DESPACHO = 'D-2'", "tranferido"), DbValue(std::string("N")));
    EXPECT_EQ(First(*broker,
                    "select despacho from HISTORIAL where FECHA_OFICIALIZACION between "
                    "{d '2010-06-01'} and {d '2010-06-30'}",
                    "despacho"),
              DbValue(std::string("D-1")));
    EXPECT_EQ(First(*broker, GetParam().storedDateTypeQuery + " where DESPACHO = 'D-1'", "tipo"),
              DbValue(GetParam().storedDateType));
}

TEST_P(BrokerTest, AccentedTextAndDoubledQuotesRoundTrip) {
    const std::string name = "Importadora Peña Ñandú S.A.";
    std::string xml = "<c n='O'Higgins'>";
    while (xml.size() < 100000)
        xml += "<i d='Año ñandú €'/>";  // longer than any single read of a column
    // A session whose client encoding is not UTF-8 must still get UTF-8.
    for (const char* clientEncoding : {"", "LATIN1"}) {
        SCOPED_TRACE(std::string("PGCLIENTENCODING=") + clientEncoding);
        if (*clientEncoding != '\0')
            ::setenv("PGCLIENTENCODING", clientEncoding, 1);
        ConnectionPool::Shared().Clear();
        Execute("HISTORIAL", "delete from HISTORIAL");
        Execute("HISTORIAL", HistoryInsert("D-1", name, "NULL", text::ReplaceAll(xml, "'", "''")));
        Execute("HISTORIAL", HistoryInsert("D''2", "D''Alessandro", "NULL"));
        ::unsetenv("PGCLIENTENCODING");

        const std::string where = " from HISTORIAL where NOMBRE_IMPO_EXPO = '" + name + "'";
        EXPECT_EQ(First("select NOMBRE_IMPO_EXPO" + where, "nombre_impo_expo"), DbValue(name));
        EXPECT_EQ(First("select length(NOMBRE_IMPO_EXPO) as n" + where, "n"),
                  DbValue(std::int64_t{27}));  // characters, not bytes, on the server
        EXPECT_EQ(First("select XMLCaratula" + where, "xmlcaratula"), DbValue(xml));
        EXPECT_EQ(First("select DESPACHO from HISTORIAL where NOMBRE_IMPO_EXPO = 'D''Alessandro'",
                        "despacho"),
                  DbValue(std::string("D'2")));
    }
}

TEST_P(BrokerTest, RejectedStatementsFailWithTheDriversStateAndLeaveTheConnectionUsable) {
    auto broker = NewBroker();
    Connection& historial = broker->getDataConnectionByEntity("HISTORIAL");
    std::unique_ptr<RecordSet> row;
    historial.setSQL("select fechaalta from caratula_inexistente");
    Failure missing = CaughtFailure([&] { historial.CrearRs(row); });
    EXPECT_EQ(missing.number(), broker_failure::kDatabase);
    EXPECT_EQ(missing.source(), "Quillon.Broker");
    EXPECT_TRUE(missing.description().starts_with("[" + GetParam().missingTableState + "] "))
        << missing.description();
    EXPECT_NE(missing.description().find("caratula_inexistente"), std::string::npos);
    EXPECT_EQ(missing.description().find("[unixODBC]"), std::string::npos);

    historial.setSQL(HistoryInsert("D-1", "Uno", "NULL"));
    historial.ejecutar();
    Failure duplicate = CaughtFailure([&] { historial.ejecutar(); });
    EXPECT_EQ(duplicate.number(), broker_failure::kDatabase);
    EXPECT_NE(duplicate.description().find("[" + GetParam().duplicateKeyState + "]"),
              std::string::npos)
        << duplicate.description();

    historial.setSQL("delete from HISTORIAL where DESPACHO = 'ninguno'");
    EXPECT_NO_THROW(historial.ejecutar());
    EXPECT_EQ(First(*broker, "select DESPACHO from HISTORIAL", "despacho"),
              DbValue(std::string("D-1")));
}

TEST_P(BrokerTest, BrokersShareAPooledConnectionUnlessPoolingIsOff) {
    auto& pool = ConnectionPool::Shared();
    pool.Clear();
    // Which server process serves the broker's HISTORIAL connection, where there is a server.
    const auto session = [this](Broker& broker) -> DbValue {
        broker.getDataConnectionByEntity("HISTORIAL");
        if (!GetParam().server)
            return std::monostate{};
        return First(broker, "select pg_backend_pid() as pid", "pid");
    };
    const std::uint64_t before = pool.ConnectCount();
    auto first = NewBroker();
    Connection& historial = first->getDataConnectionByEntity("HISTORIAL");
    EXPECT_EQ(&historial, &first->getDataConnectionByEntity("historial"));
    const DbValue firstSession = session(*first);
    first.reset();
    EXPECT_EQ(pool.ConnectCount(), before + 1);

    auto second = NewBroker();
    EXPECT_EQ(session(*second), firstSession);
    EXPECT_EQ(pool.ConnectCount(), before + 1);
    auto alongside = NewBroker();
    if (const DbValue other = session(*alongside); GetParam().server) {
        EXPECT_NE(other, firstSession);
    }
    EXPECT_EQ(pool.ConnectCount(), before + 2);
    EXPECT_NE(&second->getDataConnectionByEntity("HISTORIAL"),
              &second->getDataConnectionByEntity("INTERNOS"));
    EXPECT_EQ(pool.ConnectCount(), before + 3);

    pool.SetPooling(false);
    second.reset();
    alongside.reset();
    EXPECT_EQ(pool.IdleCount(), 0u);
    NewBroker()->getDataConnectionByEntity("HISTORIAL");
    NewBroker()->getDataConnectionByEntity("HISTORIAL");
    EXPECT_EQ(pool.ConnectCount(), before + 5);
}

TEST_P(BrokerTest, LeavesNoDriverLogFiles) {
    const auto start = fs::file_time_type::clock::now();
    auto broker = NewBroker();
    EXPECT_EQ(First(*broker, "select count(*) as n from HISTORIAL", "n"), DbValue(std::int64_t{0}));
    Connection& historial = broker->getDataConnectionByEntity("HISTORIAL");
    historial.setSQL("select nada from ninguna");
    std::unique_ptr<RecordSet> row;
    EXPECT_THROW(historial.CrearRs(row), Failure);
    broker.reset();
    ConnectionPool::Shared().Clear();  // some drivers write their log on disconnecting

    const std::string pid = std::to_string(::getpid());
    for (const fs::path& folder : {fs::temp_directory_path(), fs::current_path()}) {
        for (const auto& entry : fs::directory_iterator(folder)) {
            const std::string name = entry.path().filename().string();
            const bool driverLog = (name.starts_with("psqlodbc_") || name.starts_with("mylog_")) &&
                                   name.ends_with(pid + ".log");
            const bool trace = name == "sql.log" && entry.last_write_time() >= start;
            EXPECT_FALSE(driverLog || trace) << entry.path();
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Databases, BrokerTest, ::testing::Values(kSqlite, kPostgres),
                         [](const ::testing::TestParamInfo<Backend>& param) {
                             return param.param.name;
                         });

class PostgresBrokerTest : public BrokerFixture {
  protected:
    const Backend& backend() const override { return kPostgres; }

    DbValue Session(Broker& broker) { return First(broker, "select pg_backend_pid() as p", "p"); }
};

TEST_F(PostgresBrokerTest, AServerRestartIsSurvivedByBusyAndPooledConnections) {
    auto busy = NewBroker();
    const DbValue busySession = Session(*busy);
    const DbValue pooledSession = Session(*NewBroker());  // back in the pool
    server_->Restart();

    EXPECT_NE(Session(*NewBroker()), pooledSession);
    EXPECT_NE(Session(*busy), busySession);
}

TEST_F(PostgresBrokerTest, AStoppedServerFailsPromptlyAndIsReachedAgainOnceBack) {
    auto broker = NewBroker();
    Session(*broker);
    server_->Stop();
    const auto start = Clock::now();
    const Failure lost = CaughtFailure([&] { Session(*broker); });
    EXPECT_EQ(lost.number(), broker_failure::kDatabase);
    EXPECT_NE(lost.description().find("HISTORIAL"), std::string::npos) << lost.description();
    EXPECT_NE(lost.description().find("[08001]"), std::string::npos) << lost.description();
    EXPECT_EQ(CaughtFailure([&] { NewBroker()->getDataConnectionByEntity("INTERNOS"); }).number(),
              broker_failure::kNotAvailable);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(5));

    server_->Start();
    EXPECT_NO_THROW(Session(*broker));
}

TEST_F(PostgresBrokerTest, UnreachableServersFailPromptlyWithoutShowingThePassword) {
    // A closed port refuses at once; a port that accepts and never answers runs into the
    // login timeout.
    const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(silent, 4), 0);
    ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&address), &length), 0);
    ConnectionPool::Shared().SetTimeouts({std::chrono::seconds(1), std::chrono::seconds(1)});

    for (const int port : {1, int{ntohs(address.sin_port)}}) {
        UseConnectionString("Driver={PostgreSQL Unicode};Server=127.0.0.1;Port=" +
                            std::to_string(port) + ";Database=x;UID=postgres;PWD=s3cr3to");
        const auto start = Clock::now();
        const Failure failure =
            CaughtFailure([&] { NewBroker()->getDataConnectionByEntity("INTERNOS"); });
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
        EXPECT_EQ(failure.number(), broker_failure::kNotAvailable);
        for (const std::string& named : std::vector<std::string>{"INTERNOS", "[08001]", "PWD=***",
                                                                 "Port=" + std::to_string(port)})
            EXPECT_NE(failure.description().find(named), std::string::npos)
                << failure.description();
        EXPECT_EQ(failure.description().find("s3cr3to"), std::string::npos);
    }
    ::close(silent);
}

TEST(OdbcTextTest, PasswordsAreMaskedInConnectionStrings) {
    const std::pair<const char*, const char*> cases[] = {
        {"Driver=X;UID=u;PWD=abc;Server=h", "Driver=X;UID=u;PWD=***;Server=h"},
        {"password = {a;b}}c} ;Port=1", "password =***;Port=1"},
        {"Pwd=x", "Pwd=***"},
        {"Driver={PostgreSQL Unicode};Database=pwd", "Driver={PostgreSQL Unicode};Database=pwd"},
    };
    for (const auto& [plain, masked] : cases)
        EXPECT_EQ(odbc::MaskPasswords(plain), masked) << plain;
}

}  // namespace
}  // namespace tolvane::components
