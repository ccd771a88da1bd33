#pragma once

// Part of the database layer's inside (see odbc_check.h).

#include <vector>

#include "db/odbc_check.h"
#include "db/sql_text.h"

namespace kolbi::odbc {

// The values of a statement bound to its parameters, typed as SqlText keeps
// them: integers as 32- or 64-bit integers, doubles, texts as UTF-8 (a long
// one as SQL_LONGVARCHAR), dates and timestamps as their structures, Null
// with its column's SQL type where known. One object serves every execution
// of a connection: its buffers are kept and reused.
class BoundParameters {
public:
    // Binds every parameter of sql to stmt, replacing what was bound there
    // before. The buffers (and the texts of sql, bound in place) must stay
    // until the statement has run. A failure names sql.Text().
    void Bind(SQLHSTMT stmt, const SqlText& sql, Dbms dbms);

private:
    struct Buffer {
        SQLLEN indicator = 0;
        std::int64_t integer = 0;
        SQLINTEGER integer32 = 0;
        double real = 0;
        SQL_DATE_STRUCT date{};
        SQL_TIMESTAMP_STRUCT timestamp{};
    };
    std::vector<Buffer> buffers_;
};

}  // namespace kolbi::odbc
