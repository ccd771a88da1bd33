#include "db/connection_string.h"

#include <gtest/gtest.h>

namespace kolbi {
namespace {

PumpSettings Configured(std::string dsn, std::string server = "", std::string database = "",
                        std::string user = "", std::string password = "") {
    PumpSettings settings;
    settings.DsnEntry = std::move(dsn);
    settings.SQLSERVER = std::move(server);
    settings.Database = std::move(database);
    settings.SQLUser = std::move(user);
    settings.SQLPass = std::move(password);
    return settings;
}

TEST(ConnectionStringTest, DsnEntryPicksTheFormAndGoesInAsRead) {
    struct Case {
        PumpSettings settings;
        std::string built;
        std::string odbc;
    } cases[] = {
        {Configured("Inventory"),
         "Provider=MSDASQL.1;Extended Properties='DSN=Inventory;Trusted_Connection=Yes'",
         "DSN=Inventory;Trusted_Connection=Yes"},
        // Leading and trailing spaces stay where they are.
        {Configured(" Inventory "),
         "Provider=MSDASQL.1;Extended Properties='DSN= Inventory ;Trusted_Connection=Yes'",
         "DSN= Inventory ;Trusted_Connection=Yes"},
        // Blank: the driver form, whatever else the data-source entry holds.
        {Configured("   ", "srv01", "Kolbi", "pump", "s3cret"),
         "Driver={SQL Server};Server=srv01;Database=Kolbi;Uid=pump;Pwd=s3cret",
         "Driver={SQL Server};Server=srv01;Database=Kolbi;Uid=pump;Pwd=s3cret"},
        {Configured("", "srv01", "Kolbi"),
         "Driver={SQL Server};Server=srv01;Database=Kolbi;Uid=;Pwd=",
         "Driver={SQL Server};Server=srv01;Database=Kolbi;Uid=;Pwd="},
        // A tab is not a space: the data-source form.
        {Configured("\t"), "Provider=MSDASQL.1;Extended Properties='DSN=\t;Trusted_Connection=Yes'",
         "DSN=\t;Trusted_Connection=Yes"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(BuildConnectionString(c.settings), c.built);
        EXPECT_EQ(OdbcConnectionString(c.built), c.odbc);
    }
    EXPECT_EQ(OdbcConnectionString("DSN=plain"), "DSN=plain");
}

TEST(ConnectionStringTest, PasswordsNeverReachAMessage) {
    EXPECT_EQ(HidePassword("Driver={SQL Server};Server=s;Database=d;Uid=u;Pwd=s3cret"),
              "Driver={SQL Server};Server=s;Database=d;Uid=u;Pwd=***");
    EXPECT_EQ(HidePassword("DSN=x;password=a;Uid=u"), "DSN=x;password=***;Uid=u");
    EXPECT_EQ(HidePassword("Driver={SQL Server};Uid=;Pwd="), "Driver={SQL Server};Uid=;Pwd=***");
    EXPECT_EQ(HidePassword("DSN=Inventory;Trusted_Connection=Yes"),
              "DSN=Inventory;Trusted_Connection=Yes");
}

}  // namespace
}  // namespace kolbi
