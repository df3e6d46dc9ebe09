#pragma once

#include "db/DBConnectionString.h"
#include "db/TDBQuery.h"
#include "testlib/TestUtil.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace linkvane::test {

/// The URI of the throwaway PostgreSQL server that ctest starts for these
/// tests (scripts/pg-test-server.sh), or of the server named by the
/// environment variable LINKVANE_PG_URI. Raises a message saying how to start
/// one when there is none: these tests are never skipped.
std::string PGTestURI();

/// The text of a file of data/examples/.
std::string ExampleFile(const std::string& name);

/// A fresh link table for one test, on SQLite (a file in a temporary folder)
/// or on the PostgreSQL test server (a table named after the test).
class TLinkTable {
public:
    explicit TLinkTable(TDBProvider provider);
    ~TLinkTable();

    TDBProvider Provider() const { return m_provider; }
    const std::string& ConnectionString() const { return m_connection; }
    /// The table's name, for SQL texts.
    const std::string& Name() const { return m_table; }
    /// SQL with "Links" replaced by the table's name.
    std::string Sql(const std::string& text) const;
    const TempDir& Dir() const { return m_dir; }

    /// A closed query on the table's database with the SQL (after Sql()).
    std::unique_ptr<TDBQuery> Query(const std::string& sql) const;
    int64_t Exec(const std::string& sql) const;
    int64_t Count(const std::string& where = "") const;
    /// Appends a row as the runner stores a link, and posts it.
    static void AppendLink(TDBQuery& query, const std::string& url, int64_t level, int64_t parent,
                           const std::string& text = "", const std::string& extra = "");

private:
    TDBProvider m_provider;
    TempDir m_dir;
    std::string m_connection;
    std::string m_table;
};

std::string ProviderName(const ::testing::TestParamInfo<TDBProvider>& info);

} // namespace linkvane::test

namespace linkvane {
// Test names and messages show the provider by name.
void PrintTo(TDBProvider provider, std::ostream* os);
} // namespace linkvane
