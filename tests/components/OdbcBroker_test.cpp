#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>

#include "common/Stop.h"
#include "common/Text.h"
#include "components/QuillonBroker.h"
#include "components/odbc/ConnectionPool.h"
#include "components/odbc/Odbc.h"
#include "dispatch/History.h"
#include "support/DispatchHome.h"
#include "support/Expect.h"
#include "support/Network.h"
#include "support/PostgresServer.h"
#include "support/ScopedEnv.h"

namespace tolvane::components {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using odbc::ConnectionPool;

const test::FailureFrom ExpectFailure{"Quillon.Broker"};

// Both entities on SQLite files made from the project's schema (the home also points ODBC at
// the project's driver list) or on one PostgreSQL server kept for the whole test program.
class BrokerTest : public ::testing::Test {
  protected:
    explicit BrokerTest(bool onServer = true) : onServer_(onServer) {}

    void SetUp() override {
        if (onServer_) {
            if (!server_) {
                const auto binaries = test::PostgresServer::FindBinaries();
                if (!binaries)
                    GTEST_SKIP() << "PostgreSQL is not installed (no /usr/lib/postgresql/*/bin)";
                server_ = std::make_unique<test::PostgresServer>(*binaries);
                server_->RunScript(fs::path(TOLVANE_SOURCE_DIR) / "db/postgresql/schema.sql");
            }
            UseConnectionString(server_->ConnectionString());
        }
        Execute("INTERNOS", "delete from caratula");
        Execute("HISTORIAL", "delete from HISTORIAL");
    }
    void TearDown() override {
        SetStopCheck(nullptr);
        Bound({});
    }

    // Bounds every wait on the databases from the next connection on.
    static void Bound(const odbc::Timeouts& timeouts) {
        ConnectionPool::Shared().SetTimeouts(timeouts);
        ConnectionPool::Shared().Clear();
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

    // The first row of a query, after checking that there is one.
    std::unique_ptr<RecordSet> Row(Broker& broker, const std::string& sql,
                                   const std::string& entity = "HISTORIAL") {
        Connection& connection = broker.getDataConnectionByEntity(entity);
        connection.setSQL(sql);
        std::unique_ptr<RecordSet> row;
        EXPECT_TRUE(connection.CrearRs(row)) << sql;
        return row;
    }

    // The server process behind the broker's HISTORIAL connection; nothing without a server.
    DbValue Session(Broker& broker) {
        broker.getDataConnectionByEntity("HISTORIAL");
        return onServer_ ? Row(broker, "select pg_backend_pid() as p")->Field("p") : DbValue();
    }

    const bool onServer_;
    static inline std::unique_ptr<test::PostgresServer> server_;
    test::DispatchHome home_;
};

class EveryBackendTest : public BrokerTest, public ::testing::WithParamInterface<bool> {
  protected:
    EveryBackendTest() : BrokerTest(GetParam()) {}
};

// Brokers share a pooled connection per entity; rows stand on the first one, columns are read by
// name in any case with their types; rejected statements fail with the driver's state and leave
// the connection usable; no driver log stays.
TEST_P(EveryBackendTest, PooledConnectionsReadRowsByNameAndTypeAndFailWithTheDriversState) {
    const auto start = fs::file_time_type::clock::now();
    auto& pool = ConnectionPool::Shared();
    pool.Clear();
    const std::uint64_t before = pool.ConnectCount();
    const DbValue firstSession = Session(*NewBroker());  // given back as the broker goes
    auto broker = NewBroker();
    broker->getDataConnectionByEntity("historial");  // the same entity in another case
    EXPECT_EQ(Session(*broker), firstSession);
    EXPECT_EQ(pool.ConnectCount(), before + 1);
    const auto alongside = NewBroker();  // a session of its own, kept out of the pool
    EXPECT_TRUE(Session(*alongside) != firstSession || !onServer_);
    broker->getDataConnectionByEntity("INTERNOS");
    EXPECT_EQ(pool.ConnectCount(), before + 3);

    Execute("INTERNOS",
            "insert into caratula values ('OP-2', {ts '2011-01-02 03:04:05'}, '2', '3', 'Otra'), "
            "('OP-1', {ts '2010-06-28 14:05:09'}, '20123456789', NULL, 'Importadora')");
    auto row = Row(*broker,
                   "select interno, cuitcliente, cuitdespaduana, factura7 as importador, "
                   "fechaalta, count(*) over () as n, 2.5 as r from caratula order by interno",
                   "INTERNOS");
    EXPECT_EQ(row->Field("INTERNO"), DbValue(std::string("OP-1")));
    EXPECT_EQ(row->Field("CUITCLIENTE"), DbValue(std::string("20123456789")));
    EXPECT_EQ(row->Field("cuitDespAduana"), DbValue());
    EXPECT_EQ(row->Field("Importador"), DbValue(std::string("Importadora")));
    EXPECT_EQ(row->Field("fechaalta"), DbValue(DbDate{2010, 6, 28, 14, 5, 9}));
    EXPECT_EQ(row->Field("n"), DbValue(std::int64_t{2}));
    EXPECT_EQ(row->Field("r"), DbValue(2.5));
    ExpectFailure([&] { row->Field("factura7"); }, broker_failure::kNoSuchColumn);

    Connection& historial = broker->getDataConnectionByEntity("HISTORIAL");
    historial.setSQL("select fechaalta from caratula_inexistente");
    ExpectFailure([&] { historial.CrearRs(row); }, broker_failure::kDatabase,
                  {onServer_ ? "[42P01] " : "[HY000] ", "caratula_inexistente"});
    historial.setSQL("insert into HISTORIAL(DESPACHO) values ('D-1')");
    historial.ejecutar();
    ExpectFailure([&] { historial.ejecutar(); }, broker_failure::kDatabase,
                  {onServer_ ? "[23505]" : "[HY000]"});
    // A statement that touches no row is no failure; a query without rows has no record.
    historial.setSQL("delete from HISTORIAL where DESPACHO = 'ninguno'");
    EXPECT_NO_THROW(historial.ejecutar());
    historial.setSQL("select DESPACHO from HISTORIAL where DESPACHO = 'ninguno'");
    EXPECT_FALSE(historial.CrearRs(row));
    ExpectFailure([&] { row->Field("despacho"); }, broker_failure::kNoCurrentRecord);
    EXPECT_EQ(Row(*broker, "select DESPACHO from HISTORIAL")->Field("despacho"),
              DbValue(std::string("D-1")));

    broker.reset();
    ConnectionPool::Shared().Clear();  // some drivers write their log on disconnecting
    const std::string ownLog = "_" + std::to_string(::getpid()) + ".log";  // psqlodbc_, mylog_
    for (const fs::path& folder : {fs::temp_directory_path(), fs::current_path()})
        for (const auto& entry : fs::directory_iterator(folder))
            EXPECT_FALSE(entry.path().filename().string().ends_with(ownLog) ||
                         (entry.path().filename() == "sql.log" && entry.last_write_time() >= start))
                << entry.path();
}

// Long literals travel as parameters; the statement is given back as it was written.
TEST(LongLiterals, OnlyLongLiteralsAreTakenOutAndTheStatementIsGivenBack) {
    const std::string first = std::string(70'000, 'x') + "O'Higgins",
                      second(odbc::LongLiterals::kLong, 'y');
    const std::string statement = "insert into t(\"a'b\", c, d, e) values ('corto', '" +
                                  text::ReplaceAll(first, "'", "''") + "', 'it''s', '" + second +
                                  "')";
    std::string text = statement;
    {
        const odbc::LongLiterals literals(text);
        EXPECT_EQ(literals.sql(),
                  "insert into t(\"a'b\", c, d, e) values ('corto', ?, 'it''s', ?)");
        EXPECT_EQ(literals.values(), (std::vector<std::string_view>{first, second}));
    }
    EXPECT_TRUE(text == statement);
}

// Accented text, doubled quotes and dates round-trip, with a session whose client encoding is
// not UTF-8 too.
TEST_P(EveryBackendTest, AccentedTextDoubledQuotesAndDatesRoundTrip) {
    const std::string name = "Importadora Peña Ñandú S.A.";
    std::string xml = "<c n='O'Higgins'>";
    while (xml.size() < 100000)
        xml += "<i d='Año ñandú €'/>";  // longer than any single read of a column
    for (const char* clientEncoding : {"UTF8", "LATIN1"}) {
        SCOPED_TRACE(clientEncoding);
        const test::ScopedEnv encoding("PGCLIENTENCODING", clientEncoding);
        ConnectionPool::Shared().Clear();
        Execute("HISTORIAL", "delete from HISTORIAL");
        Execute("HISTORIAL",
                "insert into HISTORIAL(DESPACHO, NOMBRE_IMPO_EXPO, XMLCaratula, "
                "FECHA_OFICIALIZACION) values ('D-1', '" +
                    name + "', '" + text::ReplaceAll(xml, "'", "''") + "', {d '2010-06-28'})");
        const auto row = Row(*NewBroker(),
                             "select NOMBRE_IMPO_EXPO, length(NOMBRE_IMPO_EXPO) as n, XMLCaratula, "
                             "FECHA_OFICIALIZACION from HISTORIAL where NOMBRE_IMPO_EXPO = '" +
                                 name +
                                 "' and FECHA_OFICIALIZACION between {d '2010-06-01'} "
                                 "and {d '2010-06-30'}");
        EXPECT_EQ(row->Field("nombre_impo_expo"), DbValue(name));
        EXPECT_EQ(row->Field("n"), DbValue(std::int64_t{27}));  // characters, not bytes
        EXPECT_EQ(row->Field("xmlcaratula"), DbValue(xml));
        EXPECT_EQ(row->Field("fecha_oficializacion"), DbValue(DbDate{2010, 6, 28}));
    }
}

// Every wait on a database ends: a table locked by another program makes the statement fail
// within the query timeout, naming the entity and its database; a stop request cuts the wait
// short at once.
TEST_P(EveryBackendTest, WaitsOnALockedDatabaseAreBoundedAndAStopEndsThem) {
    const auto locked = home_.dir().path() / "locked";
    // Another program holds the table: an open transaction with an exclusive lock.
    const test::ChildProcess holder(
        onServer_
            ? server_->Psql({"begin", "lock table historial in access exclusive mode",
                             "\\! touch " + locked.string(), "select pg_sleep(20)"})
            : test::SqliteLockCommand((home_.Program() / "historial.db").string(), locked.string()),
        {});
    ASSERT_TRUE(test::WaitForFile(locked)) << "the lock was not taken";
    const auto insert = [&] {
        Execute("HISTORIAL", "insert into HISTORIAL(DESPACHO) values ('D-9')");
    };
    Bound({.query = 1s, .answer = 10s, .busy = 1s});
    ExpectFailure(insert, broker_failure::kDatabase, {"entidad HISTORIAL", "en 1 s"}, 4s);

    Bound({.query = 15s, .answer = 20s, .busy = 15s});
    const auto start = Clock::now();
    SetStopCheck([&] { return Clock::now() - start > 300ms; });
    EXPECT_THROW(insert(), Interrupted);
    EXPECT_LT(Clock::now() - start, 2s);
}

// The history's table is made where QuillonConfig.ini says, as the schema files make it, and
// one that exists is left as it is.
TEST_P(EveryBackendTest, CrearHistorialMakesTheTableOnceAndLeavesAnExistingOne) {
    const std::string table = dispatch::kCreateHistorial;
    for (const char* schema : {"db/sqlite/schema.sql", "db/postgresql/schema.sql"}) {
        EXPECT_NE(test::ReadFile(fs::path(TOLVANE_SOURCE_DIR) / schema)
                      .find(table.substr(table.find("HISTORIAL ("))),
                  std::string::npos)
            << schema;
    }
    if (onServer_)
        Execute("HISTORIAL", "drop table HISTORIAL");
    else
        UseConnectionString("Driver=SQLite3;Database=" + home_.Folder("nueva") + "historial.db");
    for (const bool created : {true, false}) {
        auto broker = home_.factory().Create<Broker>(kBroker);
        const dispatch::HistoryCreation done = dispatch::CrearHistorial(home_.os(), *broker);
        EXPECT_EQ(done.created, created) << done.told;
        Execute("HISTORIAL", "insert into HISTORIAL (DESPACHO) values ('" +
                                 std::string(created ? "uno" : "dos") + "')");
    }
    auto broker = NewBroker();
    EXPECT_EQ(
        std::get<std::int64_t>(Row(*broker, "select count(*) as n from HISTORIAL")->Field("n")), 2);
}

INSTANTIATE_TEST_SUITE_P(Databases, EveryBackendTest, ::testing::Bool(), [](const auto& onServer) {
    return onServer.param ? "PostgreSQL" : "SQLite";
});

using PostgresBrokerTest = BrokerTest;

// Restarts are survived; a stopped server fails at once, a frozen one (still answering on the
// network, its process stopped) at the program's own deadline, a silent one at the login
// timeout, or at once on a stop; no failure shows the password.
TEST_F(PostgresBrokerTest, RestartsAreSurvivedAndOutagesFailPromptlyWithoutThePassword) {
    auto broker = NewBroker();
    const DbValue busySession = Session(*broker);
    const DbValue pooledSession = Session(*NewBroker());  // back in the pool
    server_->Restart();
    EXPECT_NE(Session(*NewBroker()), pooledSession);
    EXPECT_NE(Session(*broker), busySession);

    server_->Stop();
    ExpectFailure([&] { Session(*broker); }, broker_failure::kDatabase, {"HISTORIAL", "[08001]"},
                  2500ms);
    ExpectFailure([&] { NewBroker()->getDataConnectionByEntity("INTERNOS"); },
                  broker_failure::kNotAvailable, {"INTERNOS", "[08001]"}, 2500ms);
    server_->Start();
    EXPECT_NO_THROW(Session(*broker));

    Bound({.query = 30s, .answer = 2s});
    broker = NewBroker();
    const DbValue session = Session(*broker);
    const auto pid = static_cast<pid_t>(std::get<std::int64_t>(session));
    ASSERT_EQ(::kill(pid, SIGSTOP), 0);
    ExpectFailure([&] { Row(*broker, "select 1 as uno"); }, broker_failure::kDatabase,
                  {"entidad HISTORIAL", "no respondió en 2 s"}, 4s);
    ::kill(pid, SIGCONT);
    EXPECT_NE(Session(*broker), session);  // the next statement goes over a new connection

    const test::SilentServer silent;
    Bound({.login = 1s, .connection = 1s});
    const std::string port = "Port=" + std::to_string(silent.port());
    UseConnectionString("Driver={PostgreSQL Unicode};Server=127.0.0.1;" + port +
                        ";Database=x;UID=postgres;PWD=s3cr3to");
    const Failure failure =
        ExpectFailure([&] { NewBroker()->getDataConnectionByEntity("INTERNOS"); },
                      broker_failure::kNotAvailable, {"INTERNOS", "[08001]", port}, 4s);
    EXPECT_EQ(failure.description().find("s3cr3to"), std::string::npos);
    // A stop does not wait for the login timeout.
    Bound({.login = 20s, .connection = 20s});
    const auto start = Clock::now();
    SetStopCheck([&] { return Clock::now() - start > 300ms; });
    EXPECT_THROW(NewBroker()->getDataConnectionByEntity("INTERNOS"), Interrupted);
    EXPECT_LT(Clock::now() - start, 2s);
}

TEST(BrokerConfigTest, IgnoresSectionCaseMasksPasswordsAndComesFromTheProgramFolderUnlessSet) {
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
    EXPECT_EQ(odbc::MaskPasswords("password = {a;b}}c} ;Port=1"), "password =***;Port=1");
    EXPECT_EQ(odbc::MaskPasswords("Database=pwd;Pwd=x"), "Database=pwd;Pwd=***");
    EXPECT_EQ(odbc::MaskPasswords("pqopt={sslmode=require password=s3c;r3t};Port=1"),
              "pqopt={sslmode=require password=***};Port=1");
    EXPECT_EQ(odbc::MaskPasswords("PQopt = {PASSWORD = 'a b\\'c' user=x}"),
              "PQopt = {PASSWORD = *** user=x}");
    test::TolvaneHome home;  // its program folder's QuillonConfig.ini has INTERNOS, HISTORIAL
    auto broker = home.factory().Create<Broker>(kBroker);
    ExpectFailure([&] { broker->getDataConnectionByEntity("HISTORIAL"); },
                  broker_failure::kNoParameters, {"HISTORIAL"});
    broker->LoadParameters();
    // A missing SQLite file is said to be missing, not made empty.
    const auto database = home.Program() / "historial.db";
    ExpectFailure([&] { broker->getDataConnectionByEntity("historial"); },
                  broker_failure::kNotAvailable, {"No existe", database.string()});
    test::WriteFile(database, "");  // an empty file is an empty database
    broker->getDataConnectionByEntity("historial");

    const std::string defaultFile = (home.Program() / "QuillonConfig.ini").string();
    fs::remove(defaultFile);
    ExpectFailure([&] { broker->LoadParameters(); }, failure_number::kFileNotFound, {defaultFile});
    fs::create_directory(defaultFile);  // there, but not a file that can be read
    ExpectFailure([&] { broker->LoadParameters(); }, failure_number::kPathFileAccess,
                  {defaultFile});
    const std::string other = home.Folder("cfg") + "otro.ini";
    test::WriteFile(other, "[OTRA]\nConnectionString=DSN=Otra\n");
    broker->setParametersPath(other);
    broker->LoadParameters();
    ExpectFailure([&] { broker->getDataConnectionByEntity("INTERNOS"); },
                  broker_failure::kUnknownEntity, {other, "INTERNOS"});
}

}  // namespace
}  // namespace tolvane::components
