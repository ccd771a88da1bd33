#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/runtime_error.h"

namespace kolbi {

// Error numbers the database layer raises besides the shared ones of errnum::.
// They are the numbers the classic data-access run-time errors carry, so that
// the logs read the same; none of them has a policy in the error log.
namespace dberr {
// Type mismatch: a text that is no number read as a number.
inline constexpr std::int32_t kTypeMismatch = 13;
// Either BOF or EOF is True, or the current record has been deleted.
inline constexpr std::int32_t kNoCurrentRecord = 3021;
// Item cannot be found in the collection (no field of that name).
inline constexpr std::int32_t kItemNotFound = 3265;
// The connection cannot be used: it is closed.
inline constexpr std::int32_t kConnectionNotUsable = 3709;
// Errors in the command text: syntax, unknown table or column (0x80040E14).
inline constexpr std::int32_t kErrorsInCommand = -2147217900;
// The row to save or delete is no longer there as it was read (0x80040E38).
inline constexpr std::int32_t kRowNotFound = -2147217864;
// A constraint refused the row: duplicate key, Null in a NOT NULL column (0x80040E2F).
inline constexpr std::int32_t kIntegrityViolation = -2147217873;
// The value does not fit its column: a text too long, a number out of range (0x80040E57).
inline constexpr std::int32_t kDataOverflow = -2147217833;
// The database refused a value for what it holds rather than for its type: a
// NUL character, bytes that are no text in the database's encoding, any other
// data exception (0x80040E21, "Multiple-step operation generated errors").
inline constexpr std::int32_t kValueRefused = -2147217887;
// The server rolled the whole transaction back on its own: a deadlock with
// another session, a serialisation failure (0x8004D019, "the transaction has
// already been aborted"). Nothing is lost but that transaction's work.
inline constexpr std::int32_t kTransactionRolledBack = -2147168231;
}  // namespace dberr

// The DBMS behind a connection, as far as the layer must tell them apart.
enum class Dbms { kUnknown, kSqlite, kPostgreSql, kSqlServer };

// Tells the DBMS from the driver's SQL_DBMS_NAME ("SQLite", "PostgreSQL",
// "Microsoft SQL Server").
Dbms DbmsFromName(std::string_view dbms_name);

// The run-time error number for a driver diagnostic:
//   22007, 22008, 22018, 22P02, 07006      -> errnum::kConversionFailed
//     (a value that cannot be converted to the column's type: the only
//     data exception on which the error log switches its date format)
//   22001, 22003 (too long, out of range)  -> dberr::kDataOverflow
//   other 22xxx (bad encoding, NUL...)     -> dberr::kValueRefused
//   23xxx (integrity constraint)           -> dberr::kIntegrityViolation
//   42xxx, other 07xxx (command text)      -> dberr::kErrorsInCommand
//   08xxx, HY000, anything else            -> errnum::kUnspecified
// SQLite's driver reports every failure as HY000 with SQLite's own result code
// as the native code; for it the native code decides (1 -> command error,
// 18 -> overflow, 19 -> integrity, 20 -> conversion), so a bad column name
// ends no program on SQLite that it would not end on the servers. The SQLite
// schema's type checks are CHECK constraints named <column>_type and
// <column>_range; the driver's message names them, and they count as the
// servers' conversion failure and overflow.
std::int32_t ErrorNumberFor(std::string_view sqlstate, std::int32_t native_code, Dbms dbms,
                            std::string_view message = {});

}  // namespace kolbi
