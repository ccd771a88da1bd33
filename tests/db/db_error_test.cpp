#include "db/db_error.h"

#include <gtest/gtest.h>

namespace kolbi {
namespace {

TEST(DbErrorTest, SqlStatesMapToTheNumbersTheLogActsOn) {
    struct Case {
        const char* sqlstate;
        std::int32_t native;
        Dbms dbms;
        std::int32_t number;
    } cases[] = {
        {"22007", 0, Dbms::kSqlServer, errnum::kConversionFailed},  // bad date
        {"22P02", 7, Dbms::kPostgreSql, errnum::kConversionFailed},
        {"22003", 0, Dbms::kPostgreSql, dberr::kDataOverflow},  // out of range
        // Only a value that cannot be converted may make the log switch its
        // date format; an odd name or a long text must not.
        {"22008", 0, Dbms::kPostgreSql, errnum::kConversionFailed},
        {"22018", 0, Dbms::kSqlServer, errnum::kConversionFailed},
        {"22001", 0, Dbms::kSqlServer, dberr::kDataOverflow},   // truncation
        {"22021", 7, Dbms::kPostgreSql, dberr::kValueRefused},  // not UTF-8
        {"HY000", 18, Dbms::kSqlite, dberr::kDataOverflow},     // too big
        {"07006", 0, Dbms::kUnknown, errnum::kConversionFailed},
        {"23505", 0, Dbms::kPostgreSql, dberr::kIntegrityViolation},
        {"40P01", 7, Dbms::kPostgreSql, dberr::kTransactionRolledBack},  // deadlock
        {"40001", 0, Dbms::kSqlServer, dberr::kTransactionRolledBack},
        {"42703", 1, Dbms::kPostgreSql, dberr::kErrorsInCommand},  // unknown column
        {"08S01", 0, Dbms::kPostgreSql, errnum::kUnspecified},     // link lost
        {"HY000", 0, Dbms::kPostgreSql, errnum::kUnspecified},
        {"", 0, Dbms::kUnknown, errnum::kUnspecified},
        // SQLite says HY000 to everything; its own result code tells.
        {"HY000", 1, Dbms::kSqlite, dberr::kErrorsInCommand},
        {"HY000", 19, Dbms::kSqlite, dberr::kIntegrityViolation},
        {"HY000", 2067, Dbms::kSqlite, dberr::kIntegrityViolation},  // extended: unique
        {"HY000", 20, Dbms::kSqlite, errnum::kConversionFailed},
        {"HY000", 5, Dbms::kSqlite, errnum::kUnspecified},  // busy
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ErrorNumberFor(c.sqlstate, c.native, c.dbms), c.number)
            << c.sqlstate << " native " << c.native;
    }
}

TEST(DbErrorTest, TheDriversDbmsNameTellsTheDatabase) {
    // SQLite and PostgreSQL are told apart in every test on a real database.
    EXPECT_EQ(DbmsFromName("Microsoft SQL Server"), Dbms::kSqlServer);
    EXPECT_EQ(DbmsFromName("MySQL"), Dbms::kUnknown);
}

}  // namespace
}  // namespace kolbi
