#pragma once

#include <cstdio>
#include <functional>
#include <string_view>

#include "db/value.h"

namespace kolbi {

// A record of every statement the connections of this process send, with the
// values bound to it, and of every transaction they begin and end, in the
// order sent. The pipeline benchmark replays it through the bare driver
// (bench/pipeline/bare_loop.c) to learn what the same work costs without the
// pump around it. Off unless a file is given; the file stays the caller's.
//
// The records, one after the other:
//   "S <bytes> <parameters>\n" <statement text as sent> "\n"
//     then per parameter, in order:
//     "P <C type> <SQL type> <column size> <digits> <bytes>\n" <value> "\n"
//     the value as text: Null as "NULL" with bytes -1, an integer or a double
//     in decimal, a date "Y M D", a timestamp "Y M D h m s fraction", a text
//     as its UTF-8 bytes
//   "T begin\n", "T commit\n", "T rollback\n"  (transactions through the driver)
//   "O <options>\n"  what the connection added to its connection string
void TraceStatementsTo(std::FILE* file);

// Hands every statement text and transaction end ("begin", "commit",
// "rollback") to `observer` just before it is sent (nullptr: no one). Tests
// stop the program there to see what a crash at each step leaves behind.
void ObserveStatements(std::function<void(std::string_view)> observer);

namespace statement_trace {

// True while a file is given.
bool On();
// Forgets the parameters given so far: a statement is being bound afresh.
void Discard();
// A parameter of the next statement, as it was bound.
void Parameter(int c_type, int sql_type, unsigned long column_size, int digits, const Value& value);
// The statement about to be sent, with the parameters given since the last one.
void Statement(std::string_view sent);
void Transaction(std::string_view what);
void ConnectionOptions(std::string_view options);

}  // namespace statement_trace
}  // namespace kolbi
