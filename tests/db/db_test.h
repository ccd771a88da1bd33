#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "common/program_end.h"
#include "db/test_database.h"
#include "support/temp_folder.h"

namespace kolbi::testing {

// The fixture of the tests that run against both databases: a fresh database
// with the pump's schema, Settings() pointing DsnEntry at it, the error log
// in a temporary folder with logging on, and program ends trapped. The shared
// connection is closed and released after each test.
class DbTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override;
    void TearDown() override;

    // The error lines of today's log ("Error      --> [ ...").
    std::vector<std::string> LogErrors() const;

    TempFolder app_;
    ScopedProgramEndTrap trap_;
    std::unique_ptr<TestDatabase> db_;
};

// "SQLite" / "PostgreSQL" as the name of a parameterised test.
std::string BackendTestName(const ::testing::TestParamInfo<Backend>& param_info);

// Runs the tests of a DbTest suite on SQLite and on PostgreSQL.
#define KOLBI_ON_BOTH_DATABASES(suite)                                                  \
    INSTANTIATE_TEST_SUITE_P(Databases, suite,                                          \
                             ::testing::Values(::kolbi::testing::Backend::kSqlite,      \
                                               ::kolbi::testing::Backend::kPostgreSql), \
                             ::kolbi::testing::BackendTestName)

}  // namespace kolbi::testing
