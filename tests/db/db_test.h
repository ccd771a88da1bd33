#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "db/db_connect.h"
#include "db/test_database.h"
#include "support/pump_fixture.h"

namespace kolbi::testing {

// The fixture of the tests that run against both databases: the pump's
// environment (pump_fixture.h) with DsnEntry naming a fresh database that
// holds the pump's schema. The pump's shared connection is closed and
// released after each test.
class DbTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::kPostgreSql) KOLBI_REQUIRE_POSTGRESQL();
        db_ = std::make_unique<TestDatabase>(GetParam());
        Settings().DsnEntry = db_->dsn();
    }
    void TearDown() override { CloseAndReleaseDBConnection(); }

    PumpEnvironment pump_;
    std::unique_ptr<TestDatabase> db_;
};

// Runs the tests of a DbTest suite on SQLite and on PostgreSQL, named so.
#define KOLBI_ON_BOTH_DATABASES(suite)                                           \
    INSTANTIATE_TEST_SUITE_P(                                                    \
        Databases, suite,                                                        \
        ::testing::Values(::kolbi::testing::Backend::kSqlite,                    \
                          ::kolbi::testing::Backend::kPostgreSql),               \
        [](const ::testing::TestParamInfo<::kolbi::testing::Backend>& backend) { \
            return ::kolbi::testing::BackendName(backend.param);                 \
        })

}  // namespace kolbi::testing
