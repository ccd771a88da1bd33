#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "common/pending_events.h"
#include "common/runtime_error.h"
#include "db/db_connect.h"
#include "db/test_database.h"
#include "report/set_transac.h"
#include "support/error_of.h"
#include "support/pump_fixture.h"

namespace kolbi::testing {

// The fixture of the tests that run against both databases: the pump's
// environment (pump_fixture.h) with DsnEntry naming a fresh database that
// holds the pump's schema, and the activity row kept on connecting as the
// processing layer keeps it. The shared connection is released after each
// test, and a pending-events handler a test installed is removed.
class DbTest : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::kPostgreSql) KOLBI_REQUIRE_POSTGRESQL();
        db_ = std::make_unique<TestDatabase>(GetParam());
        Settings().DsnEntry = db_->dsn();
        InstallTransacAfterConnect();  // as the processing layer does
    }
    void TearDown() override {
        SetPendingEventsHandler(nullptr);
        SetAfterConnect(nullptr);
        CloseAndReleaseDBConnection();
    }

    PumpEnvironment pump_;
    std::unique_ptr<TestDatabase> db_;
};

// Runs the tests of a DbTest suite on SQLite and on PostgreSQL.
#define KOLBI_ON_BOTH_DATABASES(suite)                             \
    INSTANTIATE_TEST_SUITE_P(                                      \
        Databases, suite,                                          \
        ::testing::Values(::kolbi::testing::Backend::kSqlite,      \
                          ::kolbi::testing::Backend::kPostgreSql), \
        [](const auto& test) { return ::kolbi::testing::BackendName(test.param); })

}  // namespace kolbi::testing
