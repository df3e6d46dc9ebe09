#include "DBTestSupport.h"

#include "support/Exception.h"

#include <QDateTime>

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <stdexcept>

namespace linkvane::test {

std::string PGTestURI() {
    if (const char* uri = std::getenv("LINKVANE_PG_URI"); uri && *uri) {
        return uri;
    }
    const std::string file = std::string(LINKVANE_PG_TEST_DIR) + "/server.uri";
    std::string uri = ReadFileBytes(file);
    while (!uri.empty() && std::isspace(static_cast<unsigned char>(uri.back()))) {
        uri.pop_back();
    }
    if (uri.empty()) {
        throw std::runtime_error("No PostgreSQL test server: ctest starts one; by hand run "
                                 "'scripts/pg-test-server.sh start " LINKVANE_PG_TEST_DIR
                                 "' first, or set LINKVANE_PG_URI");
    }
    return uri;
}

std::string ExampleFile(const std::string& name) {
    const std::string text = ReadFileBytes(SourceDir() + "/data/examples/" + name);
    if (text.empty()) {
        throw std::runtime_error("missing example file " + name);
    }
    return text;
}

namespace {

std::string ReplaceAll(std::string s, const std::string& from, const std::string& to) {
    for (size_t p = s.find(from); p != std::string::npos; p = s.find(from, p + to.size())) {
        s.replace(p, from.size(), to);
    }
    return s;
}

/// A table name for the running test, so that tests running side by side
/// on one server do not meet.
std::string TableForTest() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string full = std::string(info->test_suite_name()) + "." + info->name();
    char name[32];
    std::snprintf(name, sizeof name, "Links_%016zx", std::hash<std::string>()(full));
    return name;
}

} // namespace

TLinkTable::TLinkTable(TDBProvider provider) : m_provider(provider) {
    if (provider == TDBProvider::SQLite) {
        m_connection = "Provider=SQLite;Data Source=" + m_dir.File("links.db");
        m_table = "Links";
        Exec(ExampleFile("links-sqlite.sql"));
    } else {
        m_connection = "Provider=PostgreSQL;Data Source=" + PGTestURI();
        m_table = TableForTest();
        Exec("DROP TABLE IF EXISTS Links CASCADE");
        Exec(ExampleFile("links-postgresql.sql"));
    }
}

TLinkTable::~TLinkTable() {
    if (m_provider == TDBProvider::PostgreSQL) {
        try {
            Exec("DROP TABLE IF EXISTS Links CASCADE");
        } catch (const std::exception&) {
        }
    }
}

std::string TLinkTable::Sql(const std::string& text) const {
    return ReplaceAll(text, "Links", m_table);
}

std::unique_ptr<TDBQuery> TLinkTable::Query(const std::string& sql) const {
    auto q = std::make_unique<TDBQuery>();
    q->ConnectionString = m_connection;
    q->SQL = Sql(sql);
    return q;
}

int64_t TLinkTable::Exec(const std::string& sql) const {
    return Query(sql)->ExecSQL();
}

int64_t TLinkTable::Count(const std::string& where) const {
    auto q = Query("SELECT COUNT(*) AS N FROM Links" + (where.empty() ? "" : " WHERE " + where));
    q->Open();
    return q->FieldByName("N").AsInteger();
}

void TLinkTable::AppendLink(TDBQuery& query, const std::string& url, int64_t level, int64_t parent,
                            const std::string& text, const std::string& extra) {
    query.Append();
    query.FieldByName("LinkURL").SetAsString(url);
    query.FieldByName("LinkText").SetAsString(text);
    query.FieldByName("PageLevel").SetAsInteger(level);
    query.FieldByName("ParentID").SetAsInteger(parent);
    query.FieldByName("Processed").SetAsBoolean(false);
    query.FieldByName("ExtractTime").SetAsDateTime(QDateTime::currentDateTime());
    if (!extra.empty()) {
        query.FieldByName("ExtraData").SetAsString(extra);
    }
    query.Post();
}

std::string ProviderName(const ::testing::TestParamInfo<TDBProvider>& info) {
    return info.param == TDBProvider::SQLite ? "SQLite" : "PostgreSQL";
}

} // namespace linkvane::test

void linkvane::PrintTo(TDBProvider provider, std::ostream* os) {
    *os << (provider == TDBProvider::SQLite ? "SQLite" : "PostgreSQL");
}
