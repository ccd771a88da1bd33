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
    };
    for (const auto& [shown, hidden] : cases) EXPECT_EQ(HidePassword(shown), hidden);
}

}  // namespace
}  // namespace kolbi
