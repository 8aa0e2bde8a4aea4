#include "dispatch/Utilities.h"

#include <algorithm>

#include <cstdio>

#include "common/Failure.h"
#include "common/Text.h"
#include "platform/Platform.h"

namespace tolvane::dispatch {
namespace {

// GetUserNameA into a buffer of 255 gives names of at most 254 characters.
constexpr std::size_t kMaxLogonName = 254;

}  // namespace

std::string getUsuarioWindows(platform::Platform& os) {
    return UsuarioOrDesconocido(os.LogonName());
}

std::string UsuarioOrDesconocido(const std::optional<std::string>& logonName) {
    if (!logonName)
        return "(Desconocido)";
    const std::string name = logonName->substr(0, logonName->find('\0'));
    if (name.empty() || text::CharCount(name) > kMaxLogonName)
        return "(Desconocido)";
    return name;
}

std::string FormatFechaSQL(platform::Platform& os, const std::string& fecha) {
    try {
        const std::optional<DateTime> date = os.RecognizeDate(fecha);
        if (!date)
            return "NULL";
        char literal[32];
        std::snprintf(literal, sizeof literal, "{d '%04d-%02d-%02d'}", date->year, date->month,
                      date->day);
        return literal;
    } catch (...) {
        const Failure caught = CurrentFailure();
        throw Failure(failure_number::kFormatFechaSQL,
                      ProcedureSource("FormatFechaSQL", "mod_Main") + " " + caught.source(),
                      caught.description());
    }
}

std::string NormalizarNombreArchivo(std::string& nombre) {
    if (nombre.empty())
        return nombre;
    for (const char forbidden : {'\\', '/', ':', '*', '?', '<', '>', '|'}) {
        for (char& c : nombre) {
            if (c == forbidden)
                c = '_';
        }
    }
    return nombre;
}

std::string ItemsName(const std::string& coverName) {
    return "I" + coverName.substr(std::min<std::size_t>(1, coverName.size()));
}

std::string CoverSheetName(const std::string& itemsName) {
    return "C" + itemsName.substr(std::min<std::size_t>(1, itemsName.size()));
}

void AppendSqlText(std::string& sql, std::string_view value) {
    for (const char c : value) {
        if (c == '\'')
            sql += '\'';
        sql += c;
    }
}

std::string SqlText(std::string_view value) {
    std::string sql;
    sql.reserve(value.size());
    AppendSqlText(sql, value);
    return sql;
}

std::string DbValueText(platform::Platform& os, const components::DbValue& value) {
    struct Visitor {
        platform::Platform& os;
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(const std::string& text) const { return text; }
        std::string operator()(std::int64_t number) const { return std::to_string(number); }
        std::string operator()(double number) const {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "%.15g", number);
            return buffer;
        }
        std::string operator()(const DateTime& date) const { return os.GeneralDate(date); }
    };
    return std::visit(Visitor{os}, value);
}

}  // namespace tolvane::dispatch
