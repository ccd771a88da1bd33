#include "db/connection_string.h"

#include <gtest/gtest.h>

namespace kolbi {
namespace {

PumpSettings Server(std::string dsn, std::string server, std::string database, std::string user,
                    std::string password) {
    PumpSettings settings;
    settings.DsnEntry = std::move(dsn);
    settings.SQLSERVER = std::move(server);
    settings.Database = std::move(database);
    settings.SQLUser = std::move(user);
    settings.SQLPass = std::move(password);
    return settings;
}

// A data-source name goes in as read, wrapped for the provider; the ODBC
// string is what is inside the wrapping.
TEST(ConnectionStringTest, DsnEntryPicksTheFormAndGoesInAsRead) {
    const std::pair<std::string, std::string> cases[] = {
        {"Inventory", "DSN=Inventory;Trusted_Connection=Yes"},
        {" Inventory ", "DSN= Inventory ;Trusted_Connection=Yes"},  // spaces stay
        {"\t", "DSN=\t;Trusted_Connection=Yes"},                    // a tab is not a space
        // A name that would end early or swallow what follows goes in braces.
        {"In;v}", "DSN={In;v}}};Trusted_Connection=Yes"},
        {" {Inv", "DSN={ {Inv};Trusted_Connection=Yes"},
    };
    for (const auto& [dsn, odbc] : cases) {
        const std::string built =
            BuildConnectionString(Server(dsn, "srv01", "Kolbi", "pump", "pw"));
        EXPECT_EQ(built, "Provider=MSDASQL.1;Extended Properties='" + odbc + "'");
        EXPECT_EQ(OdbcConnectionString(built), odbc);
    }
    EXPECT_EQ(OdbcConnectionString("DSN=plain"), "DSN=plain");
}

// Blank: the driver form, each value braced only where it must be; whatever
// the password holds, the hidden string shows none of it.
TEST(ConnectionStringTest, DriverFormBracesTheValuesThatNeedIt) {
    const struct {
        std::string server, database, user, password;
        std::string built;  // after "Driver={SQL Server};"
    } cases[] = {
        {"srv01", "Kolbi", "pump", "s3cret", "Server=srv01;Database=Kolbi;Uid=pump;Pwd=s3cret"},
        {"srv01", "Kolbi", "pump",
         "se;cr}et=", "Server=srv01;Database=Kolbi;Uid=pump;Pwd={se;cr}}et=}"},
        {"srv01", "Kolbi", "pump", "a}}b=c", "Server=srv01;Database=Kolbi;Uid=pump;Pwd=a}}b=c"},
        {"srv01", "Kolbi", "pump", " {x};Uid=sa",
         "Server=srv01;Database=Kolbi;Uid=pump;Pwd={ {x}};Uid=sa}"},
        {"s;1", "K;b", "p;u", "", "Server={s;1};Database={K;b};Uid={p;u};Pwd="},
        {"{s}", "Kolbi", "pump", "{", "Server={{s}}};Database=Kolbi;Uid=pump;Pwd={{}"},
    };
    for (const auto& c : cases) {
        const std::string built =
            BuildConnectionString(Server("   ", c.server, c.database, c.user, c.password));
        EXPECT_EQ(built, "Driver={SQL Server};" + c.built);
        EXPECT_EQ(OdbcConnectionString(built), built);
        EXPECT_EQ(HidePassword(built), built.substr(0, built.find(";Pwd=")) + ";Pwd=***") << built;
    }
}

TEST(ConnectionStringTest, PasswordsNeverReachAMessage) {
    const std::pair<std::string, std::string> cases[] = {
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
