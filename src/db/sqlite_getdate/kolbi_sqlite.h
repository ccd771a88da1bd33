/* The parts of the pump's SQLite extension kolbi_getdate.so, each registered
 * by the entry point in getdate.c. */
#ifndef KOLBI_SQLITE_H
#define KOLBI_SQLITE_H

#include <sqlite3ext.h>

/* The collation kolbi_name of the name columns. */
int kolbi_register_name_collation(sqlite3* db);
/* The function kolbi_typed() of the type checks. */
int kolbi_register_typed(sqlite3* db);

#endif
