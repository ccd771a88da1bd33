/* bare_loop: the ceiling of the pipeline benchmark. It replays the statements
 * a pump run sent (kolbipump-once --trace FILE, format in src/db/statement_trace.h)
 * through the same ODBC driver, in the same order, with the same values bound
 * the same way and the same transactions, each distinct text prepared once on
 * first use, every result row fetched, and nothing else: no record set, no
 * value conversion, no logging.
 *
 *   bare_loop CONNECTION-STRING TRACE...    e.g. bare_loop "DSN=bench" r1.trace
 *
 * Options the pump added to its connection string (an "O" record) are added
 * to CONNECTION-STRING too.
 * Prints one line: "bare loop: N statements (F failed), T transactions in S s".
 * The trace is read and parsed before the clock starts; the connection is
 * opened after it starts, as the pump's run opens its own. Exit status 0, or 1
 * when the trace cannot be read or the database cannot be reached.
 */
#include <sql.h>
#include <sqlext.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

enum { kColumnBuffer = 1024, kMaxColumns = 64 };

typedef struct {
    SQLSMALLINT c_type, sql_type, digits;
    SQLULEN size;
    SQLLEN indicator;
    SQLINTEGER integer32;
    SQLBIGINT integer64;
    double real;
    SQL_DATE_STRUCT date;
    SQL_TIMESTAMP_STRUCT timestamp;
    char *text;
} Parameter;

typedef struct {
    char *text;
    SQLINTEGER length;
    SQLHSTMT handle;  /* prepared on first use */
    SQLSMALLINT columns;
    char (*buffers)[kColumnBuffer];
    SQLLEN *indicators;
} Statement;

typedef enum { kRun, kBegin, kCommit, kRollback } Kind;

typedef struct {
    Kind kind;
    size_t statement;  /* index into the distinct statements */
    size_t first_parameter, parameter_count;
} Record;

/* What the pump added to its connection string ("O" records). */
static char options[256];

static Statement *statements;
static size_t statement_count, statement_room;
static Record *records;
static size_t record_count, record_room;
static Parameter *parameters;
static size_t parameter_count, parameter_room;

static void *Grow(void *array, size_t *room, size_t needed, size_t item) {
    if (needed <= *room) return array;
    *room = *room ? *room * 2 : 1024;
    if (*room < needed) *room = needed;
    array = realloc(array, *room * item);
    if (!array) {
        fputs("bare_loop: out of memory\n", stderr);
        exit(1);
    }
    return array;
}

/* Distinct texts through a small open-addressing table, used while parsing only. */
static size_t *table;
static size_t table_size;

static uint64_t Hash(const char *text, size_t length) {
    uint64_t h = 1469598103934665603ULL;
    for (size_t i = 0; i < length; ++i) h = (h ^ (unsigned char)text[i]) * 1099511628211ULL;
    return h;
}

static void Rehash(void);

static size_t StatementIndex(char *text, size_t length) {
    if (statement_count * 2 >= table_size) Rehash();
    for (size_t slot = Hash(text, length) & (table_size - 1);; slot = (slot + 1) & (table_size - 1)) {
        size_t at = table[slot];
        if (at == 0) {
            statements = Grow(statements, &statement_room, statement_count + 1, sizeof *statements);
            Statement *s = &statements[statement_count];
            memset(s, 0, sizeof *s);
            s->text = text;
            s->length = (SQLINTEGER)length;
            table[slot] = ++statement_count;
            return statement_count - 1;
        }
        Statement *s = &statements[at - 1];
        if ((size_t)s->length == length && memcmp(s->text, text, length) == 0) {
            free(text);
            return at - 1;
        }
    }
}

static void Rehash(void) {
    size_t old_size = table_size;
    size_t *old = table;
    table_size = table_size ? table_size * 2 : 1024;
    table = calloc(table_size, sizeof *table);
    for (size_t i = 0; i < old_size; ++i) {
        if (!old[i]) continue;
        Statement *s = &statements[old[i] - 1];
        size_t slot = Hash(s->text, (size_t)s->length) & (table_size - 1);
        while (table[slot]) slot = (slot + 1) & (table_size - 1);
        table[slot] = old[i];
    }
    free(old);
}

static char *ReadBytes(FILE *in, long length) {
    char *bytes = malloc((size_t)length + 1);
    if (!bytes || fread(bytes, 1, (size_t)length, in) != (size_t)length || fgetc(in) != '\n') {
        free(bytes);
        return NULL;
    }
    bytes[length] = 0;
    return bytes;
}

static int ParseParameter(FILE *in, Parameter *p) {
    int c_type, sql_type, digits;
    unsigned long size;
    long length;
    if (fscanf(in, "P %d %d %lu %d %ld", &c_type, &sql_type, &size, &digits, &length) != 5 ||
        fgetc(in) != '\n') {
        return 0;
    }
    memset(p, 0, sizeof *p);
    p->c_type = (SQLSMALLINT)c_type;
    p->sql_type = (SQLSMALLINT)sql_type;
    p->size = size;
    p->digits = (SQLSMALLINT)digits;
    char *value = ReadBytes(in, length < 0 ? 4 : length); /* a Null reads "NULL" */
    if (!value) return 0;
    if (length < 0) {
        p->indicator = SQL_NULL_DATA;
        p->text = value;
        return 1;
    }
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    unsigned long fraction = 0;
    switch (c_type) {
        case SQL_C_SLONG: p->integer32 = (SQLINTEGER)strtol(value, NULL, 10); break;
        case SQL_C_SBIGINT: p->integer64 = strtoll(value, NULL, 10); break;
        case SQL_C_DOUBLE: p->real = strtod(value, NULL); break;
        case SQL_C_TYPE_DATE:
            sscanf(value, "%d %d %d", &y, &mo, &d);
            p->date.year = (SQLSMALLINT)y, p->date.month = (SQLUSMALLINT)mo;
            p->date.day = (SQLUSMALLINT)d;
            break;
        case SQL_C_TYPE_TIMESTAMP:
            sscanf(value, "%d %d %d %d %d %d %lu", &y, &mo, &d, &h, &mi, &s, &fraction);
            p->timestamp.year = (SQLSMALLINT)y, p->timestamp.month = (SQLUSMALLINT)mo;
            p->timestamp.day = (SQLUSMALLINT)d, p->timestamp.hour = (SQLUSMALLINT)h;
            p->timestamp.minute = (SQLUSMALLINT)mi, p->timestamp.second = (SQLUSMALLINT)s;
            p->timestamp.fraction = (SQLUINTEGER)fraction;
            break;
        default: p->indicator = length; p->text = value; return 1;
    }
    free(value);
    return 1;
}

static int ReadTrace(const char *path) {
    FILE *in = fopen(path, "rb");
    if (!in) {
        perror(path);
        return 0;
    }
    int ok = 1;
    for (int c; ok && (c = fgetc(in)) != EOF;) {
        records = Grow(records, &record_room, record_count + 1, sizeof *records);
        Record *r = &records[record_count];
        if (c == 'O') {
            char line[sizeof options] = {0};
            ok = fgets(line, sizeof line, in) != NULL && line[0] == ' ';
            if (ok) {
                line[strcspn(line, "\n")] = 0;
                snprintf(options, sizeof options, "%s", line + 1);
            }
            continue;
        }
        if (c == 'T') {
            char word[16] = {0};
            ok = fscanf(in, " %15s", word) == 1 && fgetc(in) == '\n';
            r->kind = strcmp(word, "begin") == 0    ? kBegin
                      : strcmp(word, "commit") == 0 ? kCommit
                                                    : kRollback;
        } else if (c == 'S') {
            long length;
            size_t count;
            ok = fscanf(in, " %ld %zu", &length, &count) == 2 && fgetc(in) == '\n';
            char *text = ok ? ReadBytes(in, length) : NULL;
            ok = text != NULL;
            if (ok) {
                r->kind = kRun;
                r->statement = StatementIndex(text, (size_t)length);
                r->first_parameter = parameter_count;
                r->parameter_count = count;
                parameters = Grow(parameters, &parameter_room, parameter_count + count,
                                  sizeof *parameters);
                for (size_t i = 0; ok && i < count; ++i) {
                    ok = ParseParameter(in, &parameters[parameter_count++]);
                }
            }
        } else {
            ok = 0;
        }
        if (ok) ++record_count;
    }
    fclose(in);
    if (!ok) fprintf(stderr, "bare_loop: %s is no statement trace\n", path);
    return ok;
}

static void *Bound(Parameter *p) {
    switch (p->c_type) {
        case SQL_C_SLONG: return &p->integer32;
        case SQL_C_SBIGINT: return &p->integer64;
        case SQL_C_DOUBLE: return &p->real;
        case SQL_C_TYPE_DATE: return &p->date;
        case SQL_C_TYPE_TIMESTAMP: return &p->timestamp;
        default: return p->text;
    }
}

static int Prepare(SQLHDBC dbc, Statement *s) {
    if (!SQL_SUCCEEDED(SQLAllocHandle(SQL_HANDLE_STMT, dbc, &s->handle)) ||
        !SQL_SUCCEEDED(SQLPrepare(s->handle, (SQLCHAR *)s->text, s->length))) {
        return 0;
    }
    SQLNumResultCols(s->handle, &s->columns);
    if (s->columns > kMaxColumns) s->columns = kMaxColumns;
    if (s->columns > 0) {
        s->buffers = malloc((size_t)s->columns * sizeof *s->buffers);
        s->indicators = malloc((size_t)s->columns * sizeof *s->indicators);
        for (SQLSMALLINT i = 0; i < s->columns; ++i) {
            SQLBindCol(s->handle, (SQLUSMALLINT)(i + 1), SQL_C_CHAR, s->buffers[i], kColumnBuffer,
                       &s->indicators[i]);
        }
    }
    return 1;
}

static double Now(void) {
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return (double)t.tv_sec + (double)t.tv_nsec / 1e9;
}

int main(int argc, char **argv) {
    if (argc < 3) {
        fputs("usage: bare_loop CONNECTION-STRING TRACE...\n", stderr);
        return 2;
    }
    for (int i = 2; i < argc; ++i) {
        if (!ReadTrace(argv[i])) return 1;
    }

    const double start = Now();
    SQLHENV env;
    SQLHDBC dbc;
    SQLAllocHandle(SQL_HANDLE_ENV, SQL_NULL_HANDLE, &env);
    SQLSetEnvAttr(env, SQL_ATTR_ODBC_VERSION, (SQLPOINTER)SQL_OV_ODBC3, 0);
    SQLAllocHandle(SQL_HANDLE_DBC, env, &dbc);
    char connection[1024];
    snprintf(connection, sizeof connection, "%s%s", argv[1], options);
    if (!SQL_SUCCEEDED(SQLDriverConnect(dbc, NULL, (SQLCHAR *)connection, SQL_NTS, NULL, 0, NULL,
                                        SQL_DRIVER_NOPROMPT))) {
        fprintf(stderr, "bare_loop: cannot connect with %s\n", connection);
        return 1;
    }
    size_t failed = 0, transactions = 0, runs = 0;
    for (size_t n = 0; n < record_count; ++n) {
        Record *r = &records[n];
        if (r->kind == kBegin) {
            SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_OFF, 0);
            continue;
        }
        if (r->kind == kCommit || r->kind == kRollback) {
            SQLEndTran(SQL_HANDLE_DBC, dbc, r->kind == kCommit ? SQL_COMMIT : SQL_ROLLBACK);
            SQLSetConnectAttr(dbc, SQL_ATTR_AUTOCOMMIT, (SQLPOINTER)SQL_AUTOCOMMIT_ON, 0);
            ++transactions;
            continue;
        }
        ++runs;
        Statement *s = &statements[r->statement];
        if (!s->handle && !Prepare(dbc, s)) {
            ++failed;
            continue;
        }
        for (size_t i = 0; i < r->parameter_count; ++i) {
            Parameter *p = &parameters[r->first_parameter + i];
            SQLBindParameter(s->handle, (SQLUSMALLINT)(i + 1), SQL_PARAM_INPUT, p->c_type,
                             p->sql_type, p->size, p->digits, Bound(p), 0, &p->indicator);
        }
        SQLRETURN rc = SQLExecute(s->handle);
        if (!SQL_SUCCEEDED(rc) && rc != SQL_NO_DATA) ++failed;
        if (SQL_SUCCEEDED(rc) && s->columns > 0) {
            while (SQL_SUCCEEDED(SQLFetch(s->handle))) {
            }
        }
        SQLFreeStmt(s->handle, SQL_CLOSE);
    }
    for (size_t i = 0; i < statement_count; ++i) {
        if (statements[i].handle) SQLFreeHandle(SQL_HANDLE_STMT, statements[i].handle);
    }
    SQLDisconnect(dbc);
    const double seconds = Now() - start;
    SQLFreeHandle(SQL_HANDLE_DBC, dbc);
    SQLFreeHandle(SQL_HANDLE_ENV, env);
    printf("bare loop: %zu statements (%zu failed), %zu transactions in %.3f s\n", runs, failed,
           transactions, seconds);
    return 0;
}
