#include "db/connection_string.h"

#include <gtest/gtest.h>

namespace kolbi {
namespace {

TEST(ConnectionStringTest, DsnEntryPicksTheFormAndGoesInAsRead) {
    const struct {
        std::string dsn;
        std::string built;
        std::string odbc;
    } cases[] = {
        {"Inventory",
         "Provider=MSDASQL.1;Extended Properties='DSN=Inventory;Trusted_Connection=Yes'",
         "DSN=Inventory;Trusted_Connection=Yes"},
        // Leading and trailing spaces stay where they are.
        {" Inventory ",
         "Provider=MSDASQL.1;Extended Properties='DSN= Inventory ;Trusted_Connection=Yes'",
         "DSN= Inventory ;Trusted_Connection=Yes"},
        // Blank: the driver form, whatever else the data-source entry holds.
        {"   ", "Driver={SQL Server};Server=srv01;Database=Kolbi;Uid=pump;Pwd=s3cret",
         "Driver={SQL Server};Server=srv01;Database=Kolbi;Uid=pump;Pwd=s3cret"},
        // A tab is not a space: the data-source form.
        {"\t", "Provider=MSDASQL.1;Extended Properties='DSN=\t;Trusted_Connection=Yes'",
         "DSN=\t;Trusted_Connection=Yes"},
        // A name that would end early or swallow what follows goes in braces.
        {"In;v}", "Provider=MSDASQL.1;Extended Properties='DSN={In;v}}};Trusted_Connection=Yes'",
         "DSN={In;v}}};Trusted_Connection=Yes"},
        {" {Inv", "Provider=MSDASQL.1;Extended Properties='DSN={ {Inv};Trusted_Connection=Yes'",
         "DSN={ {Inv};Trusted_Connection=Yes"},
    };
    for (const auto& c : cases) {
        PumpSettings settings;
        settings.DsnEntry = c.dsn;
        settings.SQLSERVER = "srv01";
        settings.Database = "Kolbi";
        settings.SQLUser = "pump";
        settings.SQLPass = "s3cret";
        EXPECT_EQ(BuildConnectionString(settings), c.built);
        EXPECT_EQ(OdbcConnectionString(c.built), c.odbc);
    }
    EXPECT_EQ(OdbcConnectionString("DSN=plain"), "DSN=plain");
}

// Each value is braced only where it must be, and whatever the password holds,
// the hidden string shows none of it.
TEST(ConnectionStringTest, DriverFormBracesTheValuesThatNeedIt) {
    const struct {
        std::string server, database, user, password;
        std::string built;  // after "Driver={SQL Server};"
    } cases[] = {
        {"srv01", "Kolbi", "pump",
         "se;cr}et=", "Server=srv01;Database=Kolbi;Uid=pump;Pwd={se;cr}}et=}"},
        {"srv01", "Kolbi", "pump", "a}}b=c", "Server=srv01;Database=Kolbi;Uid=pump;Pwd=a}}b=c"},
        {"srv01", "Kolbi", "pump", " {x};Uid=sa",
         "Server=srv01;Database=Kolbi;Uid=pump;Pwd={ {x}};Uid=sa}"},
        {"s;1", "K;b", "p;u", "", "Server={s;1};Database={K;b};Uid={p;u};Pwd="},
        {"{s}", "Kolbi", "pump", "{", "Server={{s}}};Database=Kolbi;Uid=pump;Pwd={{}"},
    };
    for (const auto& c : cases) {
        PumpSettings settings;
        settings.SQLSERVER = c.server;
        settings.Database = c.database;
        settings.SQLUser = c.user;
        settings.SQLPass = c.password;
        const std::string built = BuildConnectionString(settings);
        EXPECT_EQ(built, "Driver={SQL Server};" + c.built);
        EXPECT_EQ(HidePassword(built), built.substr(0, built.find(";Pwd=")) + ";Pwd=***") << built;
    }
}

TEST(ConnectionStringTest, PasswordsNeverReachAMessage) {
    const std::pair<std::string, std::string> cases[] = {
        {"Driver={SQL Server};Server=s;Database=d;Uid=u;Pwd=s3cret",
         "Driver={SQL Server};Server=s;Database=d;Uid=u;Pwd=***"},
        {"DSN=x;password=a;Uid=u", "DSN=x;password=***;Uid=u"},
        {"Driver={SQL Server};Uid=;Pwd=", "Driver={SQL Server};Uid=;Pwd=***"},
        {"DSN=Inventory;Trusted_Connection=Yes", "DSN=Inventory;Trusted_Connection=Yes"},
        // A ";" inside the password does not let its end into the log.
        {"Driver={SQL Server};Server=s;Uid=u;Pwd=se;cr;et",
         "Driver={SQL Server};Server=s;Uid=u;Pwd=***"},
        {"DSN=x;Pwd=a;b;Uid=u;", "DSN=x;Pwd=***;Uid=u;"},
        // A value in braces is one value, whatever it holds.
        {"DSN=x;Pwd={se;cr}}et=};Uid=u", "DSN=x;Pwd=***;Uid=u"},
        {"DSN=x; PWD = {a}};Uid=sa};Uid=u", "DSN=x; PWD =***;Uid=u"},
        {"Uid={u;Pwd=x};Pwd=y", "Uid={u;Pwd=x};Pwd=***"},
        {"DSN=x;Pwd={never closed;Uid=u", "DSN=x;Pwd=***"},
    };
    for (const auto& [shown, hidden] : cases) EXPECT_EQ(HidePassword(shown), hidden);
}

}  // namespace
}  // namespace kolbi
