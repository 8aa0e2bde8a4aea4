#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "components/Contracts.h"

namespace tolvane::platform {
class Platform;
}

namespace tolvane::dispatch {

// The logon name of the user who runs the program, or "(Desconocido)".
std::string getUsuarioWindows(platform::Platform& os);
// The rule behind it: no name, an empty one or one longer than 254 characters is unknown.
std::string UsuarioOrDesconocido(const std::optional<std::string>& logonName);

// "{d 'YYYY-MM-DD'}" for a text that reads as a date, "NULL" otherwise. Failures reach the
// caller as number 1119111 with source "FormatFechaSQL.mod_Main.Tolvane " + the caught source.
std::string FormatFechaSQL(platform::Platform& os, const std::string& fecha);

// The kit's pair of files: the items file of a cover sheet is "I" followed by the cover sheet's
// name without its first character, and the other way round with "C".
std::string ItemsName(const std::string& coverName);
std::string CoverSheetName(const std::string& itemsName);

// Replaces the characters that file names cannot hold by "_", in place; gives the result too.
std::string NormalizarNombreArchivo(std::string& nombre);

// A text put between the single quotes of an SQL character literal: its quotes doubled, so no
// value can change a statement's meaning.
std::string SqlText(std::string_view value);
// The same, appended to a statement being built.
void AppendSqlText(std::string& sql, std::string_view value);

// A column's value as text: null is empty text, a date its general date form.
std::string DbValueText(platform::Platform& os, const components::DbValue& value);

}  // namespace tolvane::dispatch
