#include "db/statement_cache.h"

namespace kolbi::odbc {

PreparedStatement* StatementCache::Find(const std::string& sent) {
    auto found = by_text_.find(sent);
    if (found == by_text_.end()) return nullptr;
    statements_.splice(statements_.begin(), statements_, found->second);
    return &*found->second;
}

PreparedStatement& StatementCache::Add(SQLHSTMT handle, const std::string& sent) {
    if (statements_.size() >= capacity_ && !statements_.empty()) {
        SQLFreeHandle(SQL_HANDLE_STMT, statements_.back().handle);
        by_text_.erase(statements_.back().sent);
        statements_.pop_back();
    }
    PreparedStatement& added = statements_.emplace_front();
    added.handle = handle;
    added.sent = sent;
    by_text_[sent] = statements_.begin();
    return added;
}

void StatementCache::Forget(const std::string& sent) {
    auto found = by_text_.find(sent);
    if (found == by_text_.end()) return;
    SQLFreeHandle(SQL_HANDLE_STMT, found->second->handle);
    statements_.erase(found->second);
    by_text_.erase(found);
}

void StatementCache::Clear() {
    for (PreparedStatement& statement : statements_) {
        SQLFreeHandle(SQL_HANDLE_STMT, statement.handle);
    }
    statements_.clear();
    by_text_.clear();
}

}  // namespace kolbi::odbc
