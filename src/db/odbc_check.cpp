#include "db/odbc_check.h"

#include <algorithm>

#include "common/cp1252.h"
#include "common/runtime_error.h"

namespace kolbi::odbc {

Diagnostics ReadDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle) {
    Diagnostics diagnostics;
    for (SQLSMALLINT record = 1;; ++record) {
        SQLCHAR state[6] = {};
        SQLINTEGER native = 0;
        // Server messages (PostgreSQL's with their detail lines) outgrow
        // SQL_MAX_MESSAGE_LENGTH; what does not fit is cut.
        SQLCHAR message[2048] = {};
        SQLSMALLINT length = 0;
        SQLRETURN rc = SQLGetDiagRec(handle_type, handle, record, state, &native, message,
                                     sizeof message, &length);
        if (!SQL_SUCCEEDED(rc)) break;
        if (record == 1) {
            diagnostics.sqlstate = reinterpret_cast<char*>(state);
            diagnostics.native = native;
        } else {
            diagnostics.messages.append("; ");
        }
        std::string text(
            reinterpret_cast<char*>(message),
            std::min<std::size_t>(std::max<SQLSMALLINT>(length, 0), sizeof message - 1));
        // Drivers spread their messages over lines; the log wants one line.
        for (char& c : text) {
            if (c == '\n' || c == '\r' || c == '\t') c = ' ';
        }
        while (!text.empty() && (text.back() == ' ' || text.back() == ';')) text.pop_back();
        diagnostics.messages.append(Utf8ToCp1252(text));
    }
    if (diagnostics.messages.empty()) diagnostics.messages = "the driver gave no reason";
    return diagnostics;
}

void ThrowFailure(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Dbms dbms,
                  const std::string& what) {
    Diagnostics d;
    if (rc == SQL_INVALID_HANDLE) {
        d.messages = "invalid handle";
    } else {
        d = ReadDiagnostics(handle_type, handle);
    }
    std::string description = what + ": " + d.messages;
    if (!d.sqlstate.empty()) {
        description += " (SQLSTATE " + d.sqlstate + ", native " + std::to_string(d.native) + ")";
    }
    throw RuntimeError(ErrorNumberFor(d.sqlstate, d.native, dbms, d.messages), description, "ODBC",
                       d.sqlstate, d.native);
}

}  // namespace kolbi::odbc
