#pragma once

// Part of the database layer's inside (see odbc_check.h).

#include <cstddef>
#include <list>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "db/connection.h"
#include "db/odbc_check.h"

namespace kolbi::odbc {

// A statement kept prepared, with the columns of its result once they have
// been described: they change only with the schema, and then the statement is
// prepared afresh, so one description serves every execution.
struct PreparedStatement {
    SQLHSTMT handle = SQL_NULL_HSTMT;
    std::string sent;
    std::shared_ptr<const std::vector<ColumnInfo>> columns;
    // Where the driver puts each column of a fetched row, bound once (see
    // Connection::Query): kBoundColumnBytes per column, and the lengths.
    std::vector<char> row;
    std::vector<SQLLEN> lengths;
};

// The room bound per column: enough for most values; a longer one is read
// again whole after the fetch.
inline constexpr std::size_t kBoundColumnBytes = 256;

// The statements a connection keeps prepared, by the text sent, most recently
// used first; past its capacity the least recently used one is freed. It owns
// the handles.
class StatementCache {
public:
    explicit StatementCache(std::size_t capacity) : capacity_(capacity) {}
    ~StatementCache() { Clear(); }
    StatementCache(const StatementCache&) = delete;
    StatementCache& operator=(const StatementCache&) = delete;

    // The statement prepared for this text, now the most recently used; null when none.
    PreparedStatement* Find(const std::string& sent);
    // Keeps a statement just prepared for this text.
    PreparedStatement& Add(SQLHSTMT handle, const std::string& sent);
    // Frees the statement of this text, if any.
    void Forget(const std::string& sent);
    // Frees them all.
    void Clear();

private:
    std::size_t capacity_;
    std::list<PreparedStatement> statements_;
    std::unordered_map<std::string, std::list<PreparedStatement>::iterator> by_text_;
};

}  // namespace kolbi::odbc
