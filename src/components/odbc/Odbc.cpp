#include "components/odbc/Odbc.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <utility>

#include "common/Text.h"

namespace tolvane::components::odbc {
namespace {

SQLPOINTER IntegerAttribute(std::uintptr_t value) {
    return reinterpret_cast<SQLPOINTER>(value);
}

// Text at the driver manager's boundary: UTF-8 through the narrow entry points, or UTF-16
// through the wide ones where the build uses those (Windows, whose narrow text is the ANSI
// code page).
constexpr bool kWide = sizeof(SQLTCHAR) > 1;
using SqlString = std::basic_string<SQLTCHAR>;

SqlString ToSql(std::string_view utf8) {
    if constexpr (kWide) {
        const std::u16string wide = text::Utf8ToUtf16(utf8);
        return SqlString(wide.begin(), wide.end());
    } else {
        return SqlString(utf8.begin(), utf8.end());
    }
}

std::string FromSql(const SQLTCHAR* text, std::size_t length) {
    if constexpr (kWide)
        return text::Utf16ToUtf8(std::u16string(text, text + length));
    else
        return std::string(reinterpret_cast<const char*>(text), length);
}

// ODBC takes input text through non-const pointers that it does not write through.
SQLTCHAR* InputText(const SqlString& text) {
    return const_cast<SQLTCHAR*>(text.data());
}

// "[unixODBC][Driver Manager]Data source ..." → "Data source ...", every run of blanks and
// line breaks as one space.
std::string CleanMessage(std::string_view message) {
    while (message.starts_with('[')) {
        const auto close = message.find(']');
        if (close == std::string_view::npos)
            break;
        message.remove_prefix(close + 1);
    }
    std::string clean;
    bool blank = false;
    for (const char c : message) {
        if (c == ' ' || c == '\t' || c == '\r' || c == '\n') {
            blank = true;
            continue;
        }
        if (blank && !clean.empty())
            clean.push_back(' ');
        blank = false;
        clean.push_back(c);
    }
    return clean;
}

[[noreturn]] void Throw(const char* call, SQLSMALLINT handleType, SQLHANDLE handle) {
    throw Error(call, ReadDiagnostics(handleType, handle));
}

void Check(SQLRETURN result, const char* call, SQLSMALLINT handleType, SQLHANDLE handle) {
    if (!SQL_SUCCEEDED(result))
        Throw(call, handleType, handle);
}

// Frees a freshly allocated handle when its owner's constructor fails.
struct HandleGuard {
    SQLSMALLINT type;
    SQLHANDLE handle;
    ~HandleGuard() {
        if (handle != SQL_NULL_HANDLE)
            SQLFreeHandle(type, handle);
    }
    void Release() { handle = SQL_NULL_HANDLE; }
};

}  // namespace

Error::Error(const std::string& call, std::vector<Diagnostic> records)
    : std::runtime_error(call), records_(std::move(records)) {}

bool Error::ConnectionLost() const {
    for (const auto& record : records_) {
        if (record.state.starts_with("08") || record.state == "57P01" || record.state == "57P02" ||
            record.state == "57P03") {
            return true;
        }
    }
    return false;
}

std::string Error::Describe() const {
    if (records_.empty())
        return std::string(what()) + " falló sin diagnóstico del controlador";
    std::string text;
    for (const auto& record : records_) {
        const std::string item = "[" + record.state + "] " + record.message;
        if (text.find(item) != std::string::npos)
            continue;
        if (!text.empty())
            text += "; ";
        text += item;
    }
    return text;
}

std::vector<Diagnostic> ReadDiagnostics(SQLSMALLINT handleType, SQLHANDLE handle) {
    std::vector<Diagnostic> records;
    if (handle == SQL_NULL_HANDLE)
        return records;
    std::vector<SQLTCHAR> message(1024);
    for (SQLSMALLINT number = 1;; ++number) {
        std::array<SQLTCHAR, 6> state{};
        SQLINTEGER nativeError = 0;
        SQLSMALLINT length = 0;
        SQLRETURN result =
            SQLGetDiagRec(handleType, handle, number, state.data(), &nativeError, message.data(),
                          static_cast<SQLSMALLINT>(message.size()), &length);
        if (result == SQL_SUCCESS_WITH_INFO && length >= static_cast<SQLSMALLINT>(message.size())) {
            message.resize(static_cast<std::size_t>(length) + 1);
            result =
                SQLGetDiagRec(handleType, handle, number, state.data(), &nativeError,
                              message.data(), static_cast<SQLSMALLINT>(message.size()), &length);
        }
        if (!SQL_SUCCEEDED(result))
            break;
        const auto size = std::min(static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)),
                                   message.size() - 1);
        records.push_back(
            {FromSql(state.data(), 5), nativeError, CleanMessage(FromSql(message.data(), size))});
    }
    return records;
}

namespace {

// psqlODBC's pqopt holds libpq settings, "password=x" or "password = 'x y'" among them.
std::string MaskConninfoPassword(const std::string& options) {
    std::string masked;
    std::size_t i = 0;
    for (;;) {
        const std::size_t key = text::ToLowerAscii(options).find("password", i);
        if (key == std::string::npos)
            break;
        std::size_t at = key + 8;
        while (at < options.size() && options[at] == ' ')
            ++at;
        if (at >= options.size() || options[at] != '=') {
            masked.append(options, i, at - i);
            i = at;
            continue;
        }
        ++at;
        while (at < options.size() && options[at] == ' ')
            ++at;
        std::size_t end = at;
        if (end < options.size() && options[end] == '\'') {
            for (++end; end < options.size() && options[end] != '\''; ++end) {
                if (options[end] == '\\')
                    ++end;
            }
            end = std::min(end + 1, options.size());
        } else {
            while (end < options.size() && options[end] != ' ' && options[end] != '}')
                ++end;
        }
        masked.append(options, i, at - i);
        masked += "***";
        i = end;
    }
    return masked + options.substr(std::min(i, options.size()));
}

}  // namespace

std::string MaskPasswords(const std::string& connectionString) {
    std::string masked;
    std::size_t i = 0;
    const std::size_t n = connectionString.size();
    while (i < n) {
        const std::size_t keyEnd = connectionString.find_first_of("=;", i);
        if (keyEnd == std::string::npos || connectionString[keyEnd] == ';') {
            const std::size_t end = keyEnd == std::string::npos ? n : keyEnd + 1;
            masked.append(connectionString, i, end - i);
            i = end;
            continue;
        }
        const std::string key(
            text::TrimBlanks(std::string_view(connectionString).substr(i, keyEnd - i)));
        std::size_t valueEnd = keyEnd + 1;
        while (valueEnd < n && connectionString[valueEnd] == ' ')
            ++valueEnd;
        if (valueEnd < n && connectionString[valueEnd] == '{') {
            // A braced value may hold ';' and writes '}' as "}}".
            ++valueEnd;
            while (valueEnd < n) {
                if (connectionString[valueEnd] == '}') {
                    if (valueEnd + 1 < n && connectionString[valueEnd + 1] == '}') {
                        valueEnd += 2;
                        continue;
                    }
                    ++valueEnd;
                    break;
                }
                ++valueEnd;
            }
        }
        valueEnd = std::min(connectionString.find(';', valueEnd), n);
        masked.append(connectionString, i, keyEnd + 1 - i);
        const std::string value = connectionString.substr(keyEnd + 1, valueEnd - keyEnd - 1);
        if (text::EqualsNoCase(key, "pwd") || text::EqualsNoCase(key, "password"))
            masked += "***";
        else if (text::EqualsNoCase(key, "pqopt"))
            masked += MaskConninfoPassword(value);
        else
            masked += value;
        if (valueEnd < n)
            masked.push_back(';');
        i = valueEnd + 1;
    }
    return masked;
}

Environment::Environment() {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &handle_)))
        throw Error("SQLAllocHandle(SQL_HANDLE_ENV)", {});
    HandleGuard guard{SQL_HANDLE_ENV, handle_};
    Check(SQLSetEnvAttr(handle_, SQL_ATTR_ODBC_VERSION, IntegerAttribute(SQL_OV_ODBC3), 0),
          "SQLSetEnvAttr(SQL_ATTR_ODBC_VERSION)", SQL_HANDLE_ENV, handle_);
    guard.Release();
}

Environment::~Environment() {
    SQLFreeHandle(SQL_HANDLE_ENV, handle_);
}

std::string ConnectionStringValue(const std::string& connectionString, const std::string& key) {
    std::size_t i = 0;
    const std::size_t n = connectionString.size();
    while (i < n) {
        const std::size_t equals = connectionString.find('=', i);
        if (equals == std::string::npos)
            break;
        const std::string_view name =
            text::TrimBlanks(std::string_view(connectionString).substr(i, equals - i));
        std::size_t end = equals + 1;
        std::string value;
        if (end < n && connectionString[end] == '{') {
            const std::size_t close = connectionString.find('}', end);
            value = connectionString.substr(
                end + 1, close == std::string::npos ? std::string::npos : close - end - 1);
            end = close == std::string::npos ? n : close + 1;
        }
        end = std::min(connectionString.find(';', end), n);
        if (value.empty())
            value = std::string(text::TrimBlanks(
                std::string_view(connectionString).substr(equals + 1, end - equals - 1)));
        if (text::EqualsNoCase(name, key))
            return value;
        i = end + 1;
    }
    return {};
}

bool IsSqlite(const std::string& connectionString) {
    return text::StartsWithNoCase(ConnectionStringValue(connectionString, "Driver"), "SQLite3");
}

std::string WithBoundedWaits(const std::string& connectionString, const Timeouts& timeouts) {
    std::string bounded = connectionString;
    const auto add = [&bounded, &connectionString](const char* key, const std::string& value) {
        if (!ConnectionStringValue(connectionString, key).empty())
            return;
        if (!bounded.empty() && bounded.back() != ';')
            bounded += ';';
        bounded += std::string(key) + "=" + value;
    };
    if (IsSqlite(connectionString)) {
        const auto busy = std::chrono::duration_cast<std::chrono::milliseconds>(timeouts.busy);
        add("Timeout", std::to_string(busy.count()));
        add("NoCreat", "1");
    } else if (text::StartsWithNoCase(ConnectionStringValue(connectionString, "Driver"),
                                      "PostgreSQL")) {
        const auto user = std::chrono::duration_cast<std::chrono::milliseconds>(timeouts.query);
        add("KeepaliveTime", "10");
        add("KeepaliveInterval", "5");
        add("pqopt", "{tcp_user_timeout=" + std::to_string(user.count()) + "}");
    }
    return bounded;
}

DbConnection::DbConnection(std::shared_ptr<Environment> environment,
                           const std::string& connectionString, const Timeouts& timeouts)
    : environment_(std::move(environment)), timeouts_(timeouts) {
    Check(SQLAllocHandle(SQL_HANDLE_DBC, environment_->handle(), &handle_),
          "SQLAllocHandle(SQL_HANDLE_DBC)", SQL_HANDLE_ENV, environment_->handle());
    HandleGuard guard{SQL_HANDLE_DBC, handle_};
    SQLSetConnectAttr(handle_, SQL_ATTR_LOGIN_TIMEOUT,
                      IntegerAttribute(static_cast<std::uintptr_t>(timeouts.login.count())), 0);
    const std::string bounded = WithBoundedWaits(connectionString, timeouts);
    if (bounded.size() > static_cast<std::size_t>(std::numeric_limits<SQLSMALLINT>::max()))
        throw Error("SQLDriverConnect", {{"HY090", 0, "la cadena de conexión es demasiado larga"}});
    SQLSMALLINT completedLength = 0;
    const SqlString connectText = ToSql(bounded);
    Check(SQLDriverConnect(handle_, nullptr, InputText(connectText),
                           static_cast<SQLSMALLINT>(connectText.size()), nullptr, 0,
                           &completedLength, SQL_DRIVER_NOPROMPT),
          "SQLDriverConnect", SQL_HANDLE_DBC, handle_);
    try {
        // Not every driver knows it (psqlODBC refuses it); those that do give up on a request
        // that hangs.
        SQLSetConnectAttr(
            handle_, SQL_ATTR_CONNECTION_TIMEOUT,
            IntegerAttribute(static_cast<std::uintptr_t>(timeouts.connection.count())), 0);
        Check(
            SQLSetConnectAttr(handle_, SQL_ATTR_AUTOCOMMIT, IntegerAttribute(SQL_AUTOCOMMIT_ON), 0),
            "SQLSetConnectAttr(SQL_ATTR_AUTOCOMMIT)", SQL_HANDLE_DBC, handle_);
        if (DbmsName() == "PostgreSQL")
            Statement(*this).ExecDirect("set client_encoding to 'UTF8'");
    } catch (...) {
        SQLDisconnect(handle_);
        throw;
    }
    guard.Release();
}

DbConnection::~DbConnection() {
    SQLDisconnect(handle_);
    SQLFreeHandle(SQL_HANDLE_DBC, handle_);
}

bool DbConnection::IsDead() const {
    SQLUINTEGER dead = SQL_CD_FALSE;
    const SQLRETURN result =
        SQLGetConnectAttr(handle_, SQL_ATTR_CONNECTION_DEAD, &dead, 0, nullptr);
    return SQL_SUCCEEDED(result) && dead == SQL_CD_TRUE;
}

std::string DbConnection::DbmsName() const {
    std::array<SQLTCHAR, 256> name{};
    SQLSMALLINT length = 0;  // in bytes
    if (!SQL_SUCCEEDED(SQLGetInfo(handle_, SQL_DBMS_NAME, name.data(),
                                  static_cast<SQLSMALLINT>(sizeof name), &length))) {
        return {};
    }
    const auto units =
        static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)) / sizeof(SQLTCHAR);
    return FromSql(name.data(), std::min(units, name.size() - 1));
}

Statement::Statement(DbConnection& connection) {
    Check(SQLAllocHandle(SQL_HANDLE_STMT, connection.handle(), &handle_),
          "SQLAllocHandle(SQL_HANDLE_STMT)", SQL_HANDLE_DBC, connection.handle());
    // psqlODBC turns it into statement_timeout; a driver that does not know it goes on.
    SQLSetStmtAttr(
        handle_, SQL_ATTR_QUERY_TIMEOUT,
        IntegerAttribute(static_cast<std::uintptr_t>(connection.timeouts().query.count())), 0);
}

Statement::~Statement() {
    SQLFreeHandle(SQL_HANDLE_STMT, handle_);
}

void Statement::Fail(const char* call) const {
    Throw(call, SQL_HANDLE_STMT, handle_);
}

void Statement::ExecDirect(const std::string& sql,
                           const std::vector<std::string_view>& parameters) {
    constexpr auto kLongest = static_cast<std::size_t>(std::numeric_limits<SQLINTEGER>::max());
    if (sql.size() > kLongest)
        throw Error("SQLExecDirect", {{"HY090", 0, "la sentencia es demasiado larga"}});
    std::vector<SQLLEN> lengths(parameters.size());  // read by the driver at execution
    // The values as the wide entry points take them; narrow ones are bound where they are.
    std::vector<SqlString> converted(kWide ? parameters.size() : 0);
    for (std::size_t i = 0; i < parameters.size(); ++i) {
        if (parameters[i].size() > kLongest)
            throw Error("SQLBindParameter", {{"HY090", 0, "el valor es demasiado largo"}});
        // The driver only reads the value; the API has no const pointer for it.
        void* value = const_cast<char*>(parameters[i].data());
        std::size_t characters = parameters[i].size();
        if constexpr (kWide) {
            converted[i] = ToSql(parameters[i]);
            value = converted[i].data();
            characters = converted[i].size();
        }
        lengths[i] = static_cast<SQLLEN>(characters * sizeof(SQLTCHAR));
        if (!SQL_SUCCEEDED(SQLBindParameter(
                handle_, static_cast<SQLUSMALLINT>(i + 1), SQL_PARAM_INPUT, SQL_C_TCHAR,
                kWide ? SQL_WLONGVARCHAR : SQL_LONGVARCHAR, std::max<SQLULEN>(1, characters), 0,
                value, lengths[i], &lengths[i]))) {
            Fail("SQLBindParameter");
        }
    }
    const SqlString statement = ToSql(sql);
    const SQLRETURN result =
        SQLExecDirect(handle_, InputText(statement), static_cast<SQLINTEGER>(statement.size()));
    if (result != SQL_NO_DATA && !SQL_SUCCEEDED(result))
        Fail("SQLExecDirect");
}

LongLiterals::LongLiterals(std::string& statement) : statement_(statement) {
    std::string& s = statement_;
    std::size_t copied = 0;  // what of the statement is already in sql_
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '"') {  // a quoted name may hold a quote of the other kind
            const std::size_t close = s.find('"', i + 1);
            i = close == std::string::npos ? s.size() : close;
            continue;
        }
        if (s[i] != '\'')
            continue;
        std::size_t end = i + 1;  // the literal's closing quote
        while (end < s.size() && !(s[end] == '\'' && (end + 1 >= s.size() || s[end + 1] != '\'')))
            end += s[end] == '\'' ? std::size_t{2} : std::size_t{1};
        if (end >= s.size())
            break;  // unterminated: the driver will say so
        if (end - i - 1 >= kLong) {
            std::size_t to = i + 1;
            for (std::size_t from = i + 1; from < end; ++from, ++to) {
                s[to] = s[from];
                if (s[from] == '\'')
                    ++from;  // its double
            }
            spans_.push_back({i + 1, end, to - i - 1});
            sql_.append(s, copied, i - copied);
            sql_ += '?';
            copied = end + 1;
        }
        i = end;
    }
    if (spans_.empty())
        return;
    sql_.append(s, copied, std::string::npos);
    for (const Span& span : spans_)
        values_.emplace_back(s.data() + span.begin, span.length);
}

LongLiterals::~LongLiterals() {
    // Each value doubled back into its own room, from its end.
    for (const Span& span : spans_) {
        std::size_t to = span.end;
        for (std::size_t from = span.begin + span.length; from > span.begin;) {
            statement_[--to] = statement_[--from];
            if (statement_[from] == '\'')
                statement_[--to] = '\'';
        }
    }
}

std::vector<Column> Statement::Columns() {
    SQLSMALLINT count = 0;
    if (!SQL_SUCCEEDED(SQLNumResultCols(handle_, &count)))
        Fail("SQLNumResultCols");
    std::vector<Column> columns;
    std::vector<SQLTCHAR> name(256);
    for (SQLUSMALLINT number = 1; number <= static_cast<SQLUSMALLINT>(count); ++number) {
        Column column;
        SQLSMALLINT length = 0;
        SQLULEN size = 0;
        SQLSMALLINT digits = 0;
        SQLSMALLINT nullable = 0;
        const auto describe = [&] {
            if (!SQL_SUCCEEDED(SQLDescribeCol(handle_, number, name.data(),
                                              static_cast<SQLSMALLINT>(name.size()), &length,
                                              &column.sqlType, &size, &digits, &nullable))) {
                Fail("SQLDescribeCol");
            }
        };
        describe();
        if (length >= static_cast<SQLSMALLINT>(name.size())) {
            name.resize(static_cast<std::size_t>(length) + 1);
            describe();
        }
        column.name =
            FromSql(name.data(), static_cast<std::size_t>(std::max<SQLSMALLINT>(length, 0)));
        columns.push_back(std::move(column));
    }
    return columns;
}

bool Statement::Fetch() {
    const SQLRETURN result = SQLFetch(handle_);
    if (result == SQL_NO_DATA)
        return false;
    if (!SQL_SUCCEEDED(result))
        Fail("SQLFetch");
    return true;
}

std::string Statement::Text(SQLUSMALLINT column, bool& isNull) {
    // Gathered whole before the conversion: a piece may end inside a character.
    SqlString text;
    std::array<SQLTCHAR, 8192> chunk;
    constexpr auto kChunkBytes = static_cast<SQLLEN>(sizeof chunk);
    for (;;) {
        SQLLEN indicator = 0;  // in bytes
        const SQLRETURN result =
            SQLGetData(handle_, column, SQL_C_TCHAR, chunk.data(), kChunkBytes, &indicator);
        if (result == SQL_NO_DATA)
            break;
        if (!SQL_SUCCEEDED(result))
            Fail("SQLGetData");
        if (indicator == SQL_NULL_DATA) {
            isNull = true;
            return {};
        }
        const bool truncated = result == SQL_SUCCESS_WITH_INFO &&
                               (indicator == SQL_NO_TOTAL || indicator >= kChunkBytes);
        if (!truncated) {
            text.append(chunk.data(), static_cast<std::size_t>(indicator) / sizeof(SQLTCHAR));
            break;
        }
        // Some drivers stop short of a multibyte character that would not fit.
        const auto end = std::find(chunk.begin(), chunk.end() - 1, SQLTCHAR{0});
        text.append(chunk.begin(), end);
    }
    isNull = false;
    return FromSql(text.data(), text.size());
}

DbValue Statement::Value(SQLUSMALLINT column, SQLSMALLINT sqlType) {
    SQLLEN indicator = 0;
    const auto get = [&](SQLSMALLINT cType, void* target) {
        if (!SQL_SUCCEEDED(SQLGetData(handle_, column, cType, target, 0, &indicator)))
            Fail("SQLGetData");
        return indicator != SQL_NULL_DATA;
    };
    switch (sqlType) {
        case SQL_TINYINT:
        case SQL_SMALLINT:
        case SQL_INTEGER:
        case SQL_BIGINT:
        case SQL_BIT: {
            SQLBIGINT number = 0;
            if (!get(SQL_C_SBIGINT, &number))
                return std::monostate{};
            return static_cast<std::int64_t>(number);
        }
        case SQL_DECIMAL:
        case SQL_NUMERIC:
        case SQL_FLOAT:
        case SQL_REAL:
        case SQL_DOUBLE: {
            SQLDOUBLE number = 0;
            if (!get(SQL_C_DOUBLE, &number))
                return std::monostate{};
            return static_cast<double>(number);
        }
        case SQL_TYPE_DATE:
        case SQL_DATE: {
            SQL_DATE_STRUCT date{};
            if (!get(SQL_C_TYPE_DATE, &date))
                return std::monostate{};
            return DbDate{date.year, date.month, date.day, 0, 0, 0};
        }
        case SQL_TYPE_TIMESTAMP:
        case SQL_TIMESTAMP: {
            SQL_TIMESTAMP_STRUCT stamp{};
            if (!get(SQL_C_TYPE_TIMESTAMP, &stamp))
                return std::monostate{};
            return DbDate{stamp.year, stamp.month,  stamp.day,
                          stamp.hour, stamp.minute, static_cast<int>(stamp.second)};
        }
        default: {
            bool isNull = false;
            std::string text = Text(column, isNull);
            if (isNull)
                return std::monostate{};
            return text;
        }
    }
}

}  // namespace tolvane::components::odbc
