// SPDX-License-Identifier: GPL-3.0-or-later
// The collector's tests on PostgreSQL: with TEZRA_TEST_DATABASE=postgresql every test's new
// database is a database of its own on one private server that the whole run shares (started
// before the first test, stopped after the last), so that the same tests check both databases.
// Where PostgreSQL is not installed such a run skips every test.

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/collector/CollectorFixture.h"
#include "tests/common/PgServer.h"

namespace {

bool OnPostgres() {
    const char* value = std::getenv("TEZRA_TEST_DATABASE");
    return value != nullptr && std::string(value) == "postgresql";
}

PgServer& RunServer() {
    static PgServer server;
    return server;
}

class PostgresRun : public ::testing::Environment {
public:
    void SetUp() override {
        if (!OnPostgres()) {
            return;
        }
        if (!PgServer::Installed()) {
            GTEST_SKIP() << "PostgreSQL 15 is not installed";
        }
        ASSERT_TRUE(RunServer().Running()) << RunServer().Error();
        // A database that cannot be made yields a closed loopback port: the test fails where
        // it opens it.
        FreshDatabase() = [](const std::filesystem::path&) {
            const std::string name = RunServer().CreateDatabase();
            return name.empty() ? std::string("postgresql://tezra@127.0.0.1:1/unavailable")
                                : RunServer().Uri(name);
        };
    }
};

// Google Test owns and deletes the environment.
[[maybe_unused]] ::testing::Environment* const kPostgresRun =
    ::testing::AddGlobalTestEnvironment(new PostgresRun);

}  // namespace
