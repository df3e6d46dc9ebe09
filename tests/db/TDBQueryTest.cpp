// The query object against both providers: the same cases, the same
// expectations, on SQLite and on a real PostgreSQL server.

#include "DBTestSupport.h"

#include "support/Exception.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <QDateTime>

#include <cctype>
#include <set>

namespace linkvane::test {
namespace {

using ::testing::HasSubstr;

std::string Lower(std::string s) {
    for (char& c : s) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

class DBQueryTest : public ::testing::TestWithParam<TDBProvider> {
protected:
    TLinkTable table{GetParam()};
};

INSTANTIATE_TEST_SUITE_P(Providers, DBQueryTest,
                         ::testing::Values(TDBProvider::SQLite, TDBProvider::PostgreSQL),
                         ProviderName);

TEST_P(DBQueryTest, AppendedRowsAreStoredAsPostedAndReadBack) {
    const QDateTime when(QDate(2026, 3, 4), QTime(5, 6, 7));
    // Values that would break SQL pasted together from text.
    const std::string hostile = "O'Brien\"; DROP TABLE Links; --";
    const std::string unicode = "Grüße — 链接 ✓";
    {
        auto out = table.Query("SELECT * FROM Links");
        out->Open();
        EXPECT_TRUE(out->Eof());
        EXPECT_EQ(out->RecordCount(), 0);

        // The seed row: only some fields set, the others take the defaults.
        out->Append();
        out->FieldByName("LinkURL").SetAsString("https://seed.example/");
        out->FieldByName("PageLevel").SetAsInteger(0);
        out->FieldByName("Processed").SetAsBoolean(false);
        out->Post();
        const int64_t seedID = out->FieldByName("ID").AsInteger();
        EXPECT_GT(seedID, 0);
        EXPECT_EQ(out->FieldByName("ParentID").AsInteger(), 0);
        EXPECT_TRUE(out->FieldByName("ExtraData").IsNull());

        out->Append();
        out->FieldByName("LinkURL").SetAsWideString(QString::fromStdString(unicode));
        out->FieldByName("LinkText").SetAsString(hostile);
        out->FieldByName("PageLevel").SetAsInteger(1);
        out->FieldByName("ParentID").SetAsInteger(seedID);
        out->FieldByName("Processed").SetAsBoolean(false);
        out->FieldByName("ExtractTime").SetAsDateTime(when);
        out->FieldByName("ExtraData").SetAsString("extra");
        out->Post();
        EXPECT_GT(out->FieldByName("ID").AsInteger(), seedID);
        EXPECT_EQ(out->AppendedCount(), 2);
        EXPECT_EQ(out->RecordCount(), 2);
        EXPECT_TRUE(out->InBatch());
        out->Commit();
        EXPECT_FALSE(out->InBatch());
    }
    auto in = table.Query("SELECT * FROM Links ORDER BY ID");
    in->Open();
    ASSERT_EQ(in->RecordCount(), 2);
    EXPECT_EQ(in->FieldByName("LinkURL").AsString(), "https://seed.example/");
    EXPECT_TRUE(in->FieldByName("LinkText").IsNull());
    EXPECT_FALSE(in->FieldByName("Processed").AsBoolean());
    const int64_t seedID = in->FieldByName("ID").AsInteger();
    in->Next();
    ASSERT_FALSE(in->Eof());
    EXPECT_EQ(in->FieldByName("LinkURL").AsWideString(), QString::fromStdString(unicode));
    EXPECT_EQ(in->FieldByName("LinkText").AsString(), hostile);
    EXPECT_EQ(in->FieldByName("PageLevel").AsInteger(), 1);
    EXPECT_EQ(in->FieldByName("ParentID").AsInteger(), seedID);
    EXPECT_EQ(in->FieldByName("ExtractTime").AsDateTime(), when);
    EXPECT_EQ(in->FieldByName("ExtractTime").AsString(), "2026/03/04 05:06:07");
    EXPECT_EQ(in->FieldByName("ExtraData").AsString(), "extra");
    in->Next();
    EXPECT_TRUE(in->Eof());
    in->First();
    EXPECT_EQ(in->FieldByName("ID").AsInteger(), seedID);
    EXPECT_EQ(table.Count(), 2);
}

TEST_P(DBQueryTest, DateTimeInATextColumnIsWrittenAsLocalText) {
    table.Exec("ALTER TABLE Links ADD COLUMN Stamp TEXT");
    auto out = table.Query("SELECT ID, LinkURL, Stamp FROM Links");
    out->Open();
    out->Append();
    out->FieldByName("LinkURL").SetAsString("https://a.example/");
    out->FieldByName("Stamp").SetAsDateTime(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 58)));
    out->Post();
    out->Close();
    auto in = table.Query("SELECT Stamp FROM Links");
    in->Open();
    EXPECT_EQ(in->FieldByName("Stamp").AsString(), "2026/12/31 23:59:58");
}

TEST_P(DBQueryTest, ATableMadeAgainIsWrittenAsItIsNow) {
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    TLinkTable::AppendLink(*out, "https://a.example/", 1, 0, "text");
    out->Close();
    // The same name and fields, another type for LinkText: the same append
    // must not run as it was prepared for the old table.
    std::string script = ExampleFile(GetParam() == TDBProvider::SQLite ? "links-sqlite.sql"
                                                                       : "links-postgresql.sql");
    const std::string text = "LinkText    TEXT,";
    ASSERT_NE(script.find(text), std::string::npos);
    script.replace(script.find(text), text.size(), "LinkText    INTEGER,");
    table.Exec("DROP TABLE Links");
    table.Exec(script);
    out->Open();
    TLinkTable::AppendLink(*out, "https://b.example/", 1, 0, "5");
    EXPECT_EQ(out->FieldByName("LinkText").Value(), TDBValue::Integer(5));
    out->Close();
    EXPECT_EQ(table.Count("LinkText=5"), 1);
}

TEST_P(DBQueryTest, EditWritesTheRowWithTheSameID) {
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    for (const char* url : {"https://a.example/", "https://b.example/", "https://c.example/"}) {
        TLinkTable::AppendLink(*out, url, 1, 0);
    }
    out->Close();

    // Only some fields in the result; the row is found by its ID.
    auto in = table.Query("SELECT ID, LinkURL, Processed FROM Links WHERE LinkURL = "
                          "'https://b.example/'");
    in->Open();
    ASSERT_FALSE(in->Eof());
    in->Edit();
    in->FieldByName("Processed").SetAsBoolean(true);
    in->Post();
    EXPECT_TRUE(in->FieldByName("Processed").AsBoolean());
    in->Close();

    EXPECT_EQ(table.Count("Processed=True"), 1);
    auto check = table.Query("SELECT LinkURL FROM Links WHERE Processed=True");
    check->Open();
    EXPECT_EQ(check->FieldByName("LinkURL").AsString(), "https://b.example/");
}

TEST_P(DBQueryTest, ARowAppendedToAnEmptyResultIsWalkedAndEdited) {
    // The seed row of a link-table run: appended through the input query,
    // then visited and marked through the same query.
    auto in = table.Query("SELECT * FROM Links WHERE Processed=False");
    in->Open();
    ASSERT_TRUE(in->Eof());
    in->Append();
    in->FieldByName("LinkURL").SetAsString("https://seed.example/");
    in->FieldByName("PageLevel").SetAsInteger(0);
    in->FieldByName("Processed").SetAsBoolean(false);
    in->Post();
    EXPECT_EQ(in->RecordCount(), 1);
    in->First();
    ASSERT_FALSE(in->Eof());
    EXPECT_EQ(in->FieldByName("LinkURL").AsString(), "https://seed.example/");
    EXPECT_GT(in->FieldByName("ID").AsInteger(), 0);
    in->Edit();
    in->FieldByName("Processed").SetAsBoolean(true);
    in->Post();
    in->Next();
    EXPECT_TRUE(in->Eof());
    in->Close();
    in->Open();
    EXPECT_TRUE(in->Eof());
    EXPECT_EQ(table.Count("Processed=True"), 1);
}

TEST_P(DBQueryTest, CrawlQueueGrowsPassByPassToAFixedPoint) {
    // The input query walks the unvisited rows while the output query appends
    // the links found to the same table: two queries, one database. A pass
    // sees only the rows that were there when it was opened.
    auto in =
        table.Query("SELECT ID, LinkURL, PageLevel, Processed FROM Links WHERE Processed=False AND "
                    "PageLevel<3 ORDER BY ID");
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    TLinkTable::AppendLink(*out, "u", 0, 0);
    out->Commit();

    std::vector<int64_t> passSizes;
    std::set<std::string> visited;
    in->Open();
    while (!in->Eof()) {
        passSizes.push_back(in->RecordCount());
        ASSERT_LT(passSizes.size(), 10u);
        in->First();
        while (!in->Eof()) {
            const std::string url = in->FieldByName("LinkURL").AsString();
            const int64_t level = in->FieldByName("PageLevel").AsInteger();
            const int64_t id = in->FieldByName("ID").AsInteger();
            EXPECT_TRUE(visited.insert(url).second) << url << " visited twice";
            for (const char* child : {"/a", "/b"}) {
                TLinkTable::AppendLink(*out, url + child, level + 1, id, "text", "");
            }
            out->Commit(); // the end of a page
            in->Edit();
            in->FieldByName("Processed").SetAsBoolean(true);
            in->Post();
            in->Next();
        }
        in->Close();
        in->Open();
    }
    in->Close();
    out->Close();
    EXPECT_EQ(passSizes, (std::vector<int64_t>{1, 2, 4}));
    EXPECT_EQ(table.Count(), 1 + 2 + 4 + 8);
    EXPECT_EQ(table.Count("Processed=True"), 7);
    EXPECT_EQ(table.Count("PageLevel=3 AND Processed=False"), 8);
    // Every row's parent is the row whose page it was found on.
    EXPECT_EQ(table.Count("ParentID <> 0 AND ParentID NOT IN (SELECT ID FROM Links)"), 0);
}

TEST_P(DBQueryTest, ADuplicateRefusedByAUniqueIndexCostsOnlyThatRow) {
    table.Exec(ExampleFile("links-unique.sql"));
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    TLinkTable::AppendLink(*out, "https://a.example/", 1, 0);
    TLinkTable::AppendLink(*out, "https://b.example/", 1, 0);
    const std::string error =
        ErrorOf([&] { TLinkTable::AppendLink(*out, "https://a.example/", 1, 0); });
    EXPECT_THAT(Lower(error), ::testing::AnyOf(HasSubstr("unique"), HasSubstr("duplicate")));
    EXPECT_EQ(out->State(), TDataSetState::dsInsert);
    out->Cancel();
    EXPECT_EQ(out->State(), TDataSetState::dsBrowse);
    // The batch goes on: the rows before and after the refused one are kept.
    TLinkTable::AppendLink(*out, "https://c.example/", 1, 0);
    EXPECT_EQ(out->AppendedCount(), 3);
    out->Commit();
    out->Close();
    auto in = table.Query("SELECT LinkURL FROM Links ORDER BY ID");
    in->Open();
    std::vector<std::string> urls;
    for (; !in->Eof(); in->Next()) {
        urls.push_back(in->FieldByName("LinkURL").AsString());
    }
    EXPECT_EQ(urls, (std::vector<std::string>{"https://a.example/", "https://b.example/",
                                              "https://c.example/"}));
}

TEST_P(DBQueryTest, PostedRowsSurviveCloseAndDestructionWithoutCommit) {
    {
        auto out = table.Query("SELECT * FROM Links");
        out->Open();
        for (int i = 0; i < 50; ++i) {
            TLinkTable::AppendLink(*out, "https://x.example/" + std::to_string(i), 1, 0);
        }
        out->Close();
        out->Open();
        for (int i = 50; i < 80; ++i) {
            TLinkTable::AppendLink(*out, "https://x.example/" + std::to_string(i), 1, 0);
        }
        EXPECT_TRUE(out->InBatch());
        // Destroyed while open, with the last rows not committed.
    }
    EXPECT_EQ(table.Count(), 80);
}

TEST_P(DBQueryTest, OpeningReadsOnlyTheRowsAskedFor) {
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    for (const char* url : {"https://1.example/", "https://2.example/", "https://3.example/"}) {
        TLinkTable::AppendLink(*out, url, 1, 0);
    }
    out->Close();
    // Every row after the first fails when it is computed, so the query can
    // be opened and appended to only if no further row is read.
    const std::string sql =
        GetParam() == TDBProvider::SQLite
            ? "SELECT *, CASE WHEN ID > (SELECT MIN(ID) FROM Links) THEN "
              "abs(ID - ID - 9223372036854775807 - 1) END AS Probe FROM Links"
            : "SELECT *, CASE WHEN ID > (SELECT MIN(ID) FROM Links) THEN 1 / (ID - ID) END "
              "AS Probe FROM Links";
    auto lazy = table.Query(sql);
    lazy->Open();
    EXPECT_FALSE(lazy->Eof());
    TLinkTable::AppendLink(*lazy, "https://4.example/", 1, 0);
    lazy->Commit();
    EXPECT_EQ(table.Count(), 4);
    lazy->First();
    EXPECT_FALSE(ErrorOf([&] { lazy->Next(); }).empty());
}

TEST_P(DBQueryTest, AResultIsASnapshotOfItsOpening) {
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    TLinkTable::AppendLink(*out, "https://old.example/", 1, 0);
    auto in = table.Query("SELECT * FROM Links ORDER BY ID");
    in->Open(); // commits the row above first, so it is in the result
    TLinkTable::AppendLink(*out, "https://new.example/", 1, 0);
    out->Commit();
    EXPECT_EQ(in->RecordCount(), 1);
    in->First();
    EXPECT_EQ(in->FieldByName("LinkURL").AsString(), "https://old.example/");
    in->Next();
    EXPECT_TRUE(in->Eof());
}

TEST_P(DBQueryTest, MisuseGivesClearMessages) {
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    TLinkTable::AppendLink(*out, "https://a.example/", 1, 0);
    out->Close();

    auto q = table.Query("SELECT ID, LinkURL, PageLevel + 1 AS NextLevel FROM Links");
    EXPECT_EQ(ErrorOf([&] { q->FieldByName("LinkURL"); }),
              "Cannot perform this operation on a closed dataset");
    q->Open();
    EXPECT_EQ(ErrorOf([&] { q->FieldByName("NoSuchField"); }), "Field 'NoSuchField' not found");
    EXPECT_EQ(q->FieldByName("linkurl").AsString(), "https://a.example/");
    EXPECT_EQ(ErrorOf([&] { q->FieldByName("LinkURL").SetAsString("x"); }),
              "Dataset not in edit or insert mode");
    q->Edit();
    // (PostgreSQL folds the unquoted alias to lower case.)
    EXPECT_EQ(Lower(ErrorOf([&] { q->FieldByName("NextLevel").SetAsInteger(5); })),
              "field 'nextlevel' cannot be modified");
    q->Cancel();
    q->Next();
    EXPECT_TRUE(q->Eof());
    EXPECT_EQ(ErrorOf([&] { q->Edit(); }), "There is no current row to edit");

    // Editing needs the table's ID in the result.
    auto noID = table.Query("SELECT LinkURL, Processed FROM Links");
    noID->Open();
    noID->Edit();
    noID->FieldByName("Processed").SetAsBoolean(true);
    EXPECT_THAT(ErrorOf([&] { noID->Post(); }), HasSubstr("does not hold its ID field"));
    noID->Cancel();
}

TEST_P(DBQueryTest, OpenRefusesSqlThatIsNotOneQuery) {
    auto out = table.Query("SELECT * FROM Links");
    out->Open();
    TLinkTable::AppendLink(*out, "https://a.example/", 1, 0);
    out->Close();
    for (const char* sql : {"DELETE FROM Links", "SELECT * FROM Links; DELETE FROM Links",
                            "UPDATE Links SET Processed=True", ""}) {
        auto q = table.Query(sql);
        EXPECT_FALSE(ErrorOf([&] { q->Open(); }).empty()) << sql;
        EXPECT_FALSE(q->Active());
    }
    EXPECT_EQ(table.Count("Processed=False"), 1);
}

TEST_P(DBQueryTest, DatabaseErrorsCarryTheDatabasesOwnText) {
    auto q = table.Query("SELECT * FROM NoSuchTable");
    EXPECT_THAT(Lower(ErrorOf([&] { q->Open(); })), HasSubstr("nosuchtable"));
    auto bad = table.Query("SELEC * FROM Links");
    EXPECT_THAT(Lower(ErrorOf([&] { bad->Open(); })), HasSubstr("syntax error"));
}

} // namespace
} // namespace linkvane::test
