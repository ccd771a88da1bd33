#include "db/db_error.h"

namespace kolbi {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// SQLite result codes (the low byte of an extended code).
constexpr std::int32_t kSqliteError = 1;
constexpr std::int32_t kSqliteTooBig = 18;
constexpr std::int32_t kSqliteConstraint = 19;
constexpr std::int32_t kSqliteMismatch = 20;

// A failed CHECK of the SQLite schema's type checks says which it was.
std::int32_t SqliteCheckFailure(std::string_view message) {
    constexpr std::string_view kCheck = "CHECK constraint failed: ";
    const std::size_t at = message.find(kCheck);
    if (at != std::string_view::npos) {
        std::string_view name = message.substr(at + kCheck.size());
        const std::size_t end = name.find_first_not_of(
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_");
        name = name.substr(0, end);
        auto ends_with = [&](std::string_view suffix) {
            return name.size() > suffix.size() &&
                   name.substr(name.size() - suffix.size()) == suffix;
        };
        if (ends_with("_type")) return errnum::kConversionFailed;
        if (ends_with("_range")) return dberr::kDataOverflow;
    }
    return dberr::kIntegrityViolation;
}

}  // namespace

Dbms DbmsFromName(std::string_view dbms_name) {
    if (dbms_name.find("SQLite") != std::string_view::npos) return Dbms::kSqlite;
    if (dbms_name.find("PostgreSQL") != std::string_view::npos) return Dbms::kPostgreSql;
    if (dbms_name.find("SQL Server") != std::string_view::npos) return Dbms::kSqlServer;
    return Dbms::kUnknown;
}

std::int32_t ErrorNumberFor(std::string_view sqlstate, std::int32_t native_code, Dbms dbms,
                            std::string_view message) {
    // 07006: the driver could not convert a value to or from the program's type.
    if (sqlstate == "22007" || sqlstate == "22008" || sqlstate == "22018" || sqlstate == "22P02" ||
        sqlstate == "07006") {
        return errnum::kConversionFailed;
    }
    // A name that is no UTF-8 or a text too long says nothing about the date
    // format, so none of these may make the log switch it.
    if (sqlstate == "22001" || sqlstate == "22003") return dberr::kDataOverflow;
    // 54xxx: a value beyond what the server can hold (an index row too
    // large): the value's fault, not the connection's, so the pump goes on.
    if (StartsWith(sqlstate, "54")) return dberr::kDataOverflow;
    if (StartsWith(sqlstate, "22")) return dberr::kValueRefused;
    if (StartsWith(sqlstate, "23")) return dberr::kIntegrityViolation;
    // 40xxx: the server chose this session's transaction as a deadlock's
    // victim, or could not serialise it. The connection is sound: the
    // program goes on, and the work is done again in a later transaction.
    if (StartsWith(sqlstate, "40")) return dberr::kTransactionRolledBack;
    if (StartsWith(sqlstate, "42") || StartsWith(sqlstate, "07")) return dberr::kErrorsInCommand;
    if (dbms == Dbms::kSqlite && (sqlstate == "HY000" || sqlstate == "S1000")) {
        switch (native_code & 0xFF) {
            case kSqliteError:
                return dberr::kErrorsInCommand;
            case kSqliteTooBig:
                return dberr::kDataOverflow;
            case kSqliteConstraint:
                return SqliteCheckFailure(message);
            case kSqliteMismatch:
                return errnum::kConversionFailed;
            default:
                break;
        }
    }
    return errnum::kUnspecified;
}

}  // namespace kolbi
