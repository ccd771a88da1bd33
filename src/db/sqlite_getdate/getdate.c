/* The pump's SQLite extension, kolbi_getdate.so; a data source loads it with
 * LoadExt=<absolute path>. It gives SQLite what the pump's SQL texts and
 * schema expect of a database: GETDATE(), the local date and time as SQL
 * Server gives it, "YYYY-MM-DD HH:MM:SS.mmm", so the texts run unchanged.
 * The current schema needs nothing else of it; the collation kolbi_name
 * (name_collation.c) and the type checks kolbi_typed() (typed.c) stay for the
 * databases of earlier schema scripts, which use them until kolbidb upgrade
 * has rebuilt their tables. */
#include "kolbi_sqlite.h"
SQLITE_EXTENSION_INIT1

#include <stdio.h>
#include <time.h>

static void getdate(sqlite3_context* context, int argc, sqlite3_value** argv) {
    struct timespec now;
    struct tm local;
    char text[64];
    (void)argc;
    (void)argv;
    clock_gettime(CLOCK_REALTIME, &now);
    localtime_r(&now.tv_sec, &local);
    snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03ld", local.tm_year + 1900,
             local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
             now.tv_nsec / 1000000L);
    sqlite3_result_text(context, text, -1, SQLITE_TRANSIENT);
}

/* The entry point SQLite derives from the file name kolbi_getdate.so. */
__attribute__((visibility("default"))) int sqlite3_kolbigetdate_init(
    sqlite3* db, char** error, const sqlite3_api_routines* api) {
    int rc;
    (void)error;
    SQLITE_EXTENSION_INIT2(api);
    /* Not deterministic: two calls in one statement may differ, as on the servers. */
    rc = sqlite3_create_function(db, "getdate", 0, SQLITE_UTF8, NULL, getdate, NULL, NULL);
    if (rc == SQLITE_OK) rc = kolbi_register_name_collation(db);
    if (rc == SQLITE_OK) rc = kolbi_register_typed(db);
    return rc;
}

/* The entry point SQLite falls back to when the file has another name. */
__attribute__((visibility("default"))) int sqlite3_extension_init(sqlite3* db, char** error,
                                                                  const sqlite3_api_routines* api) {
    return sqlite3_kolbigetdate_init(db, error, api);
}
