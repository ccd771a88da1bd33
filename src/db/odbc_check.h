#pragma once

// The one checked ODBC call of the database layer, shared by its files; not
// for use outside src/db (the layer's headers keep <sql.h> to themselves).

// clang-format off
#include <sql.h>
#include <sqlext.h>
// clang-format on

#include <cstdint>
#include <string>

#include "db/db_error.h"

namespace kolbi::odbc {

// Every diagnostic record of a handle, read once.
struct Diagnostics {
    std::string sqlstate;
    std::int32_t native = 0;
    std::string messages;  // Windows-1252, one line
};

Diagnostics ReadDiagnostics(SQLSMALLINT handle_type, SQLHANDLE handle);

// The RuntimeError of a failed call: the number the failure maps to
// (ErrorNumberFor), the SQLSTATE, the native code, and "what: messages".
[[noreturn]] void ThrowFailure(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Dbms dbms,
                               const std::string& what);

// Success, success with information and "no data" pass (the caller looks at
// the code); anything else is thrown. what() is only called on failure and
// says what was being done.
template <class What>
SQLRETURN Checked(SQLRETURN rc, SQLSMALLINT handle_type, SQLHANDLE handle, Dbms dbms, What&& what) {
    if (rc == SQL_SUCCESS || rc == SQL_SUCCESS_WITH_INFO || rc == SQL_NO_DATA) return rc;
    ThrowFailure(rc, handle_type, handle, dbms, what());
}

inline SQLCHAR* Chars(const std::string& text) {
    return reinterpret_cast<SQLCHAR*>(const_cast<char*>(text.data()));
}

}  // namespace kolbi::odbc
