/* The function kolbi_typed(value, kind) of the schema's CHECK constraints:
 * true when the value is Null or of the kind ('smallint' and 'integer', of 16
 * and 32 bits, 'number', 'date', 'datetime'). Otherwise the statement fails
 * with SQLite's "datatype mismatch", the error the pump reads as a value that
 * could not be converted, or for an integer out of range with "too big", which
 * it reads as an overflow, as PostgreSQL's and SQL Server's refusals read.
 * SQLite would store any text in any column; with these checks it refuses
 * what PostgreSQL and SQL Server refuse, whatever wrote the value. The
 * column's affinity has been applied when the check runs, so '12' in an
 * INTEGER column is the integer 12 by then. */
#include <string.h>

#include "kolbi_sqlite.h"
SQLITE_EXTENSION_INIT3

static int digits(const unsigned char* text, int from, int count, int* out) {
    int i;
    *out = 0;
    for (i = from; i < from + count; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
        *out = *out * 10 + (text[i] - '0');
    }
    return 1;
}

/* "YYYY-MM-DD" of a real calendar date, then for a date and time optionally
 * " HH:MM:SS" (or "T" for the space) and a fraction of a second. */
static int is_date_text(const unsigned char* text, int length, int with_time) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    int year, month, day, hour, minute, second, leap, i;
    if (length < 10 || !digits(text, 0, 4, &year) || text[4] != '-' ||
        !digits(text, 5, 2, &month) || text[7] != '-' || !digits(text, 8, 2, &day)) {
        return 0;
    }
    leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (year < 1 || month < 1 || month > 12 || day < 1 ||
        day > days[month - 1] + (month == 2 && leap)) {
        return 0;
    }
    if (length == 10) return 1;
    if (!with_time || length < 19 || (text[10] != ' ' && text[10] != 'T') ||
        !digits(text, 11, 2, &hour) || text[13] != ':' || !digits(text, 14, 2, &minute) ||
        text[16] != ':' || !digits(text, 17, 2, &second) || hour > 23 || minute > 59 ||
        second > 59) {
        return 0;
    }
    if (length == 19) return 1;
    if (text[19] != '.') return 0;
    for (i = 20; i < length; ++i) {
        if (text[i] < '0' || text[i] > '9') return 0;
    }
    return 1;
}

static void typed(sqlite3_context* context, int argc, sqlite3_value** argv) {
    const char* kind = (const char*)sqlite3_value_text(argv[1]);
    int type = sqlite3_value_type(argv[0]);
    int fits = type == SQLITE_NULL;
    (void)argc;
    if (!fits && kind != NULL) {
        if (strcmp(kind, "integer") == 0 || strcmp(kind, "smallint") == 0) {
            sqlite3_int64 limit = kind[0] == 's' ? 32767 : 2147483647;
            sqlite3_int64 value = sqlite3_value_int64(argv[0]);
            fits = type == SQLITE_INTEGER;
            if (fits && (value > limit || value < -limit - 1)) {
                sqlite3_result_error(context, "integer out of range", -1);
                sqlite3_result_error_code(context, SQLITE_TOOBIG);
                return;
            }
        } else if (strcmp(kind, "number") == 0) {
            fits = type == SQLITE_INTEGER || type == SQLITE_FLOAT;
        } else if (strcmp(kind, "date") == 0 || strcmp(kind, "datetime") == 0) {
            fits =
                type == SQLITE_TEXT && is_date_text(sqlite3_value_text(argv[0]),
                                                    sqlite3_value_bytes(argv[0]), kind[4] != '\0');
        }
    }
    if (fits) {
        sqlite3_result_int(context, 1);
        return;
    }
    {
        char* message = sqlite3_mprintf("datatype mismatch: %s%Q is not %s %s",
                                        type == SQLITE_TEXT ? "the text " : "the value ",
                                        (const char*)sqlite3_value_text(argv[0]),
                                        kind != NULL && strcmp(kind, "integer") == 0 ? "an" : "a",
                                        kind != NULL ? kind : "?");
        sqlite3_result_error(context, message != NULL ? message : "datatype mismatch", -1);
        sqlite3_free(message);
        sqlite3_result_error_code(context, SQLITE_MISMATCH);
    }
}

int kolbi_register_typed(sqlite3* db) {
    return sqlite3_create_function(db, "kolbi_typed", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC, NULL,
                                   typed, NULL, NULL);
}
