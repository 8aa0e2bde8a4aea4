#pragma once

// A thin layer of owned handles over the ODBC C API (unixODBC on Linux, the system's driver
// manager on Windows). Text crosses it as UTF-8 through the narrow entry points and SQL_C_CHAR:
// unixODBC hands narrow text to a driver unchanged when the driver has narrow entry points, as
// the SQLite driver (narrow only) and psqlODBC's Unicode driver both do, whereas its wide-to-
// narrow conversion for the SQLite driver follows the process locale and turns text into
// ISO-8859-1 under the C locale. psqlODBC takes the client encoding of narrow text from the
// locale or PGCLIENTENCODING, so a PostgreSQL session is set to UTF-8 on connecting. On
// Windows narrow text means the ANSI code page: there the build (UNICODE defined) calls the
// wide entry points with SQL_C_WCHAR, converting UTF-16 to and from UTF-8 at the calls.

#ifdef _WIN32
#include "platform/win32/WindowsHeaders.h"  // the ODBC headers need its types
#endif
#include <sql.h>
#include <sqlext.h>

#include <chrono>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "components/Contracts.h"

namespace tolvane::components::odbc {

struct Diagnostic {
    std::string state;  // the five-character SQLSTATE
    std::int32_t nativeError = 0;
    std::string message;  // driver manager's bracketed prefixes removed, blanks collapsed
};

// A failed ODBC call with the diagnostic records the driver left.
class Error : public std::runtime_error {
  public:
    Error(const std::string& call, std::vector<Diagnostic> records);

    const std::vector<Diagnostic>& records() const { return records_; }
    // A state of the connection class (08xxx) or a server going away (57P01 to 57P03).
    bool ConnectionLost() const;
    // "[42P01] relation ... does not exist", one record after another.
    std::string Describe() const;

  private:
    std::vector<Diagnostic> records_;
};

// The diagnostic records of a handle after a call on it.
std::vector<Diagnostic> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle);

// The long character literals of a statement, taken out to travel as parameters: drivers copy a
// statement's text several times over (the SQLite driver and the library under it about six
// times), which for the documents of a large dispatch costs far more memory than the documents.
// The literals' quotes are undoubled where they stand, so nothing is copied; the statement gets
// its own text back when the object goes.
class LongLiterals {
  public:
    static constexpr std::size_t kLong = 64 * 1024;

    explicit LongLiterals(std::string& statement);
    ~LongLiterals();
    LongLiterals(const LongLiterals&) = delete;
    LongLiterals& operator=(const LongLiterals&) = delete;

    // The statement with "?" in place of each long literal.
    const std::string& sql() const { return spans_.empty() ? statement_ : sql_; }
    // The literals' values, in order.
    const std::vector<std::string_view>& values() const { return values_; }

  private:
    struct Span {
        std::size_t begin, end;  // the literal's text between its quotes, as written
        std::size_t length;      // its value's length, quotes undoubled
    };

    std::string& statement_;
    std::string sql_;
    std::vector<Span> spans_;
    std::vector<std::string_view> values_;
};

// The connection string with the values of PWD and Password replaced by "***".
std::string MaskPasswords(const std::string& connectionString);

// An ODBC 3 environment; every connection keeps its environment alive.
class Environment {
  public:
    Environment();
    ~Environment();
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    SQLHENV handle() const { return handle_; }

  private:
    SQLHENV handle_ = SQL_NULL_HENV;
};

// Every wait on a database is bounded, so that a locked table or a frozen server never holds a
// pass for long.
struct Timeouts {
    std::chrono::seconds login{10};       // to establish the connection
    std::chrono::seconds connection{30};  // for any request, where the driver supports it
    std::chrono::seconds query{30};       // a statement (server side: statement_timeout)
    // Everything one call takes, seen from the program: catches a server that still answers
    // on the network but never replies (a stopped process), which no driver timeout does.
    std::chrono::seconds answer{40};
    // SQLite waiting for another program's lock on its file: a few seconds, so that a pass
    // that meets a busy database moves on soon and tries again at the next tick.
    std::chrono::seconds busy{5};
};

// The connection string with the options that bound the driver's own waits added, unless the
// string sets them itself: for SQLite the busy timeout, and no new empty file for a database
// that is missing; for PostgreSQL TCP keepalives and a TCP user timeout, so that a server gone
// from the network is noticed.
std::string WithBoundedWaits(const std::string& connectionString, const Timeouts& timeouts);

// Whether the connection string names the SQLite driver.
bool IsSqlite(const std::string& connectionString);

// A value of a connection string ("Driver", "Database"…), found without regard to case and
// without its braces; empty when the key is not there.
std::string ConnectionStringValue(const std::string& connectionString, const std::string& key);

// One open connection to a database, in autocommit mode; disconnected when it goes.
class DbConnection {
  public:
    DbConnection(std::shared_ptr<Environment> environment, const std::string& connectionString,
                 const Timeouts& timeouts);
    ~DbConnection();
    DbConnection(const DbConnection&) = delete;
    DbConnection& operator=(const DbConnection&) = delete;

    SQLHDBC handle() const { return handle_; }
    const Timeouts& timeouts() const { return timeouts_; }
    // The driver has seen the link to the server break (SQL_ATTR_CONNECTION_DEAD).
    bool IsDead() const;
    // What SQLGetInfo reports as SQL_DBMS_NAME, e.g. "PostgreSQL" or "SQLite".
    std::string DbmsName() const;

  private:
    std::shared_ptr<Environment> environment_;
    Timeouts timeouts_;
    SQLHDBC handle_ = SQL_NULL_HDBC;
};

struct Column {
    std::string name;
    SQLSMALLINT sqlType = SQL_UNKNOWN_TYPE;
};

// One statement on a connection.
class Statement {
  public:
    explicit Statement(DbConnection& connection);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Runs the text as it is, with `parameters` (character data) for its "?" marks, in order.
    // A command that touches no row is no failure.
    void ExecDirect(const std::string& sql, const std::vector<std::string_view>& parameters = {});
    // The columns of the result, none for a command.
    std::vector<Column> Columns();
    // Moves to the next row; false at the end.
    bool Fetch();
    // A column of the current row, 1-based, read as its SQL type maps: character types as
    // text, whole numbers as int64, decimal and floating types as double, dates and
    // timestamps as DbDate, null as monostate; any other type as the driver's text for it.
    DbValue Value(SQLUSMALLINT column, SQLSMALLINT sqlType);

  private:
    [[noreturn]] void Fail(const char* call) const;
    std::string Text(SQLUSMALLINT column, bool& isNull);

    SQLHSTMT handle_ = SQL_NULL_HSTMT;
};

}  // namespace tolvane::components::odbc
