// Connection strings and data link files: which database a query reaches,
// and the messages when it reaches none.

#include "DBTestSupport.h"

#include "support/Exception.h"
#include "support/PathTools.h"

#include <QString>
#include <QUrl>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

namespace linkvane::test {
namespace {

using ::testing::HasSubstr;
using ::testing::StartsWith;

std::string OpenError(const std::string& connection, const std::string& sql = "SELECT 1 AS One") {
    TDBQuery q;
    q.ConnectionString = connection;
    q.SQL = sql;
    return ErrorOf([&] { q.Open(); });
}

std::string Utf16LE(const std::string& utf8, bool bom) {
    const QString text = QString::fromStdString(utf8);
    std::string out = bom ? "\xFF\xFE" : "";
    for (QChar c : text) {
        out += static_cast<char>(c.unicode() & 0xFF);
        out += static_cast<char>(c.unicode() >> 8);
    }
    return out;
}

bool Exists(const std::string& name) {
    std::error_code ec;
    return std::filesystem::exists(name, ec);
}

TEST(ConnectionString, NoProviderWeHaveIsReportedAsSuch) {
    TempDir dir;
    const std::string otherProvider =
        dir.Write("other.udl", "[oledb]\nProvider=Foo;Data Source=x\n");
    for (const std::string& connection :
         {ConnectionStringForFile("/data/links.mdb"), ConnectionStringForFile("/data/links.txt"),
          std::string("   "), std::string("Provider=Foo;Data Source=links.db"),
          std::string("Data Source=links.db"), std::string("Provider=;Data Source=links.db"),
          ConnectionStringForFile(otherProvider)}) {
        EXPECT_EQ(OpenError(connection), kProviderNotFound) << connection;
    }
}

struct TDataLinkCase {
    const char* Name;
    bool Utf16;
    bool Bom;
    const char* LineEnd;
};

void PrintTo(const TDataLinkCase& c, std::ostream* os) {
    *os << c.Name;
}

class DataLinkFileTest : public ::testing::TestWithParam<TDataLinkCase> {};

INSTANTIATE_TEST_SUITE_P(Encodings, DataLinkFileTest,
                         ::testing::Values(TDataLinkCase{"Utf16WithBom", true, true, "\r\n"},
                                           TDataLinkCase{"Utf16WithoutBom", true, false, "\r\n"},
                                           TDataLinkCase{"Utf8WithBom", false, true, "\n"},
                                           TDataLinkCase{"Utf8", false, false, "\n"}),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_P(DataLinkFileTest, SQLiteFileCountsFromTheDataLinkFilesFolder) {
    const TDataLinkCase& c = GetParam();
    TempDir dir;
    std::filesystem::create_directories(dir.File("conf/db"));
    const std::string e = c.LineEnd;
    const std::string text = "[oledb]" + e + "; the crawl's link table" + e + e +
                             "Provider=SQLite;Data Source=db/links.db" + e;
    const std::string bytes =
        c.Utf16 ? Utf16LE(text, c.Bom) : (c.Bom ? "\xEF\xBB\xBF" + text : text);
    const std::string udl = dir.Write("conf/links.udl", bytes);

    TDBQuery q;
    q.ConnectionString = ConnectionStringForFile(udl);
    q.SQL = "CREATE TABLE T (ID INTEGER PRIMARY KEY, Name TEXT)";
    q.ExecSQL();
    EXPECT_TRUE(Exists(dir.File("conf/db/links.db")));
    q.SQL = "SELECT * FROM T";
    q.Open();
    EXPECT_TRUE(q.Eof());
}

TEST(DataLinkFile, FaultsNameTheFile) {
    TempDir dir;
    const std::string missing = dir.File("missing.udl");
    EXPECT_THAT(OpenError(ConnectionStringForFile(missing)),
                HasSubstr("Cannot open the data link file '" + missing + "'"));
    for (const std::string& content : {std::string(), std::string("[oledb]\r\n; nothing else\r\n"),
                                       Utf16LE("[oledb]\r\n", true)}) {
        const std::string udl = dir.Write("empty.udl", content);
        EXPECT_EQ(OpenError(ConnectionStringForFile(udl)),
                  "The data link file '" + udl + "' holds no connection string");
    }
    const std::string loop = dir.Write("loop.udl", "FILE NAME=" + dir.File("loop.udl") + "\n");
    EXPECT_THAT(OpenError(ConnectionStringForFile(loop)),
                HasSubstr("names another data link file"));
    const std::string huge = dir.Write("huge.udl", std::string(200000, 'x'));
    EXPECT_THAT(OpenError(ConnectionStringForFile(huge)), HasSubstr("is not a data link file"));
    std::string noise;
    for (int i = 0; i < 4096; ++i) {
        noise += static_cast<char>((i * 7919) % 256);
    }
    const std::string binary = dir.Write("binary.udl", noise);
    EXPECT_FALSE(OpenError(ConnectionStringForFile(binary)).empty());
}

TEST(ConnectionString, SQLiteFilesAreCreatedButFoldersAreNot) {
    TempDir dir;
    EXPECT_EQ(OpenError("Provider=SQLite;Data Source=" + dir.File("new.db")), "");
    EXPECT_TRUE(Exists(dir.File("new.db")));

    // A quoted value may hold ";".
    EXPECT_EQ(OpenError("Provider=sqlite; Data Source=\"" + dir.File("a;b.db") + "\";"), "");
    EXPECT_TRUE(Exists(dir.File("a;b.db")));

    const std::string error = OpenError("Provider=SQLite;Data Source=" + dir.File("no/x.db"));
    EXPECT_THAT(error, StartsWith("Cannot open the SQLite database '" + dir.File("no/x.db") + "'"));
    EXPECT_FALSE(Exists(dir.File("no")));

    EXPECT_EQ(OpenError("Provider=SQLite;Data Source=" + dir.File("new.db") + ";Bogus=1"),
              "Unknown keyword 'Bogus' in the connection string");
    EXPECT_THAT(OpenError("Provider=SQLite"), HasSubstr("names no SQLite database file"));
}

TEST(ConnectionString, QueriesOnOneSQLiteFileShareItsWriter) {
    // One file reached through a data link file and through a direct string
    // spelled differently: writes of both queries interleave in one batch
    // instead of waiting for each other's lock.
    TempDir dir;
    std::filesystem::create_directories(dir.File("sub"));
    const std::string udl = dir.Write("links.udl", "Provider=SQLite;Data Source=links.db\n");
    TDBQuery setup;
    setup.ConnectionString = ConnectionStringForFile(udl);
    setup.SQL = ExampleFile("links-sqlite.sql");
    setup.ExecSQL();
    setup.SQL = "INSERT INTO Links (LinkURL) VALUES ('https://a.example/'), ('https://b.example/')";
    setup.ExecSQL();

    TDBQuery in;
    in.ConnectionString = ConnectionStringForFile(udl);
    in.SQL = "SELECT * FROM Links WHERE Processed=0 ORDER BY ID";
    TDBQuery out;
    out.ConnectionString = "Provider=SQLite;Data Source=" + dir.File("sub/../links.db");
    out.SQL = "SELECT * FROM Links";
    in.Open();
    out.Open();
    int visited = 0;
    for (; !in.Eof(); in.Next()) {
        TLinkTable::AppendLink(out, in.FieldByName("LinkURL").AsString() + "x", 1,
                               in.FieldByName("ID").AsInteger());
        in.Edit();
        in.FieldByName("Processed").SetAsBoolean(true);
        in.Post();
        TLinkTable::AppendLink(out, in.FieldByName("LinkURL").AsString() + "y", 1,
                               in.FieldByName("ID").AsInteger());
        ++visited;
    }
    EXPECT_EQ(visited, 2);
    EXPECT_TRUE(in.InBatch());
    EXPECT_TRUE(out.InBatch());
    out.Commit();
    EXPECT_FALSE(in.InBatch());
    in.Close();
    in.SQL = "SELECT COUNT(*) AS N, SUM(Processed) AS P FROM Links";
    in.Open();
    EXPECT_EQ(in.FieldByName("N").AsInteger(), 6);
    EXPECT_EQ(in.FieldByName("P").AsInteger(), 2);
}

TEST(ConnectionString, ADeletedSQLiteFileIsNotWrittenThroughAKeptConnection) {
    // A query keeps its connection between runs; when the user deletes the
    // database in between, the next run must write into the new file.
    TempDir dir;
    const std::string file = dir.File("links.db");
    const std::string schema = ExampleFile("links-sqlite.sql");
    TDBQuery out;
    out.ConnectionString = "Provider=SQLite;Data Source=" + file;
    out.SQL = schema;
    out.ExecSQL();
    out.SQL = "SELECT * FROM Links";
    out.Open();
    TLinkTable::AppendLink(out, "https://first.example/", 1, 0);
    out.Close();
    for (const char* suffix : {"", "-wal", "-shm"}) {
        std::filesystem::remove(file + suffix);
    }
    TDBQuery setup;
    setup.ConnectionString = out.ConnectionString;
    setup.SQL = schema;
    setup.ExecSQL();
    out.Open();
    TLinkTable::AppendLink(out, "https://second.example/", 1, 0);
    out.Close();
    setup.SQL = "SELECT LinkURL FROM Links";
    setup.Open();
    EXPECT_EQ(setup.FieldByName("LinkURL").AsString(), "https://second.example/");
    setup.Next();
    EXPECT_TRUE(setup.Eof());
}

TEST(ConnectionString, BooleanLiteralsOfBothFormsWorkOnSQLite) {
    TLinkTable table(TDBProvider::SQLite);
    table.Exec("INSERT INTO Links (LinkURL, Processed) VALUES ('a', 0), ('b', 1), ('c', 0)");
    EXPECT_EQ(table.Count("Processed=False"), 2);
    EXPECT_EQ(table.Count("Processed=0"), 2);
    EXPECT_EQ(table.Count("Processed=True"), 1);
}

class PGConnectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        uri = PGTestURI();
        url = QUrl(QString::fromStdString(uri));
        ASSERT_TRUE(url.isValid()) << uri;
    }
    std::string uri;
    QUrl url;
};

TEST_F(PGConnectionTest, DataLinkFileWithKeywordsOrAUri) {
    TempDir dir;
    const std::string keywords = "Provider=PostgreSQL;Host=" + url.host().toStdString() +
                                 ";Port=" + std::to_string(url.port()) +
                                 ";Database=" + url.path().mid(1).toStdString() +
                                 ";User ID=" + url.userName().toStdString() + ";Password=\"\"";
    const std::string udl1 =
        dir.Write("keywords.udl", Utf16LE("[oledb]\r\n; server\r\n" + keywords + "\r\n", true));
    const std::string udl2 =
        dir.Write("uri.udl", "[oledb]\n; server\nProvider=PostgreSQL;Data Source=" + uri + "\n");
    for (const std::string& udl : {udl1, udl2}) {
        TDBQuery q;
        q.ConnectionString = ConnectionStringForFile(udl);
        q.SQL = "SELECT 41 + 1 AS Answer, current_database() AS DB";
        q.Open();
        EXPECT_EQ(q.FieldByName("Answer").AsInteger(), 42) << udl;
        EXPECT_EQ(q.FieldByName("DB").AsString(), url.path().mid(1).toStdString());
    }
}

TEST_F(PGConnectionTest, FailuresCarryTheServersMessage) {
    // A keyword after the URI overrides the URI's part.
    EXPECT_THAT(OpenError("Provider=PostgreSQL;Data Source=" + uri + ";Database=no_such_db"),
                ::testing::AllOf(StartsWith("Cannot connect to the PostgreSQL database: "),
                                 HasSubstr("no_such_db")));
    EXPECT_THAT(OpenError("Provider=PostgreSQL;Host=127.0.0.1;Port=1;Database=x;User ID=x"),
                StartsWith("Cannot connect to the PostgreSQL database: "));
    EXPECT_EQ(OpenError("Provider=PostgreSQL;Data Source=" + uri + ";Colour=blue"),
              "Unknown keyword 'Colour' in the connection string");
}

} // namespace
} // namespace linkvane::test
