// The link-table run (crawl queue) end to end: a task over local pages whose
// entries come from a link table and whose links go back into it, on SQLite
// and on a real PostgreSQL server.

#include "DBTestSupport.h"

#include "browser/TWebBrowser.h"
#include "runner/uURLExtractor.h"
#include "support/Exception.h"
#include "support/ShowMsg.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QProcess>

#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace linkvane::test {
namespace {

/// Records every message box instead of printing it.
class RecordingHandler final : public TMessageHandler {
public:
    std::vector<std::pair<std::string, std::string>> boxes; // text, caption
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgButtons,
                          TMsgIcon) override {
        boxes.emplace_back(Text, Caption);
        return TMsgResult::Ignore;
    }
    bool MessageDlg(const std::string&, const std::string&, int, int, const std::string&) override {
        return true;
    }
};

/// One row of the link table as the tests look at it; unset fields are nullopt.
struct TRow {
    int64_t ID = 0;
    std::string LinkURL;
    std::optional<std::string> LinkText;
    std::optional<int64_t> PageLevel;
    std::optional<int64_t> ParentID;
    bool Processed = false;
    QDateTime ExtractTime;
    std::optional<std::string> ExtraData;
};

/// The value of a key of a task file's text.
std::string TaskValue(const std::string& text, const std::string& key) {
    const size_t start = text.find("\n" + key + "=") + key.size() + 2;
    return text.substr(start, text.find_first_of("\r\n", start) - start);
}

// Selects the rows still to be visited, as a crawl task does.
const char* const kUnvisited =
    "SELECT ID, LinkURL, PageLevel, Processed FROM Links WHERE Processed=False ORDER BY ID";

/// A crawl task in a temporary folder whose link table (the data link file
/// links.udl) is the test's table, with fast page waits and local pages.
class LinkTableRunTest : public ::testing::TestWithParam<TDBProvider> {
protected:
    void SetUp() override {
        previousHandler = SetMessageHandler(messages);
        browser = CreateWebBrowser(QStringLiteral("static"));
        WriteDataLink("links.udl", table.ConnectionString());
    }
    void TearDown() override { SetMessageHandler(previousHandler); }

    void WriteDataLink(const std::string& name, const std::string& connection) {
        dir.Write(name, "[oledb]\r\n; the test's link table\r\n" + connection + "\r\n");
    }
    std::string Page(const std::string& name, const std::string& body) {
        return dir.Write(name, "<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head><body>" +
                                   body + "</body></html>");
    }
    std::string Url(const std::string& name) const { return "file://" + dir.File(name); }
    std::string Link(const std::string& name, const std::string& text) const {
        return "<a href=\"" + name + "\">" + text + "</a>";
    }

    /// Writes and loads the task: the given keys (section-qualified for the
    /// two DBConnectionFileName keys) over the defaults of a crawl of this
    /// folder. SQL texts name the table "Links".
    void LoadTask(std::map<std::string, std::string> keys) {
        keys.emplace("InputType", "2");
        keys.emplace("OutputType", "2");
        keys.emplace("Input.DBConnectionFileName", "links.udl");
        keys.emplace("Output.DBConnectionFileName", "links.udl");
        keys.emplace("URLSQL", kUnvisited);
        keys.emplace("TableSQL", "SELECT * FROM Links");
        keys.emplace("InitURL", Url("index.html"));
        keys.emplace("LinkCollectionNodePath", ".A");
        keys.emplace("LinkURL_Pattern", Url("*"));
        keys.emplace("LinkText_Length_Min", "0");
        keys.emplace("OutputTextFileName", "");
        keys.emplace("MinRepeatTimes", "0");
        keys.emplace("MaxWaitSeconds", "10");
        static const std::map<std::string, std::string> sections = {
            {"InputType", "Input"},
            {"URLSQL", "Input"},
            {"InitURL", "Input"},
            {"Input.DBConnectionFileName", "Input"},
            {"URLMidListFileName", "Input"},
            {"OutputType", "Output"},
            {"LayoutType", "Output"},
            {"OutputTextFileName", "Output"},
            {"TableSQL", "Output"},
            {"Output.DBConnectionFileName", "Output"},
            {"MinRepeatTimes", "Options"},
            {"MaxWaitSeconds", "Options"},
        };
        std::map<std::string, std::string> bySection;
        for (const auto& [k, v] : keys) {
            const auto it = sections.find(k);
            const std::string section = it == sections.end() ? "Extract" : it->second;
            const std::string key =
                k.substr(k.find('.') == std::string::npos ? 0 : k.find('.') + 1);
            const bool sql = key == "URLSQL" || key == "TableSQL";
            bySection[section] += key + "=" + (sql ? table.Sql(v) : v) + "\r\n";
        }
        std::string text;
        for (const auto& [s, lines] : bySection) {
            text += "[" + s + "]\r\n" + lines;
        }
        ASSERT_TRUE(runner.LoadParam(dir.Write("task.lvt", text)));
        runner.SetWebBrowser(browser.get());
    }

    /// Records "URLNo/URLCount" of every entry the run begins.
    void RecordEntries() {
        entries.clear();
        runner.OnBeforeExectuteOneEntry = [this](TURLExtractor*, const QString&, int no,
                                                 int count) {
            entries.push_back(std::to_string(no) + "/" + std::to_string(count));
        };
    }

    std::vector<TRow> Rows() const {
        std::vector<TRow> rows;
        auto q = table.Query("SELECT * FROM Links ORDER BY ID");
        q->Open();
        for (; !q->Eof(); q->Next()) {
            TRow r;
            r.ID = q->FieldByName("ID").AsInteger();
            r.LinkURL = q->FieldByName("LinkURL").AsString();
            const auto text = [&](const char* name) -> std::optional<std::string> {
                const TDBField& f = q->FieldByName(name);
                return f.IsNull() ? std::nullopt : std::optional(f.AsString());
            };
            const auto number = [&](const char* name) -> std::optional<int64_t> {
                const TDBField& f = q->FieldByName(name);
                return f.IsNull() ? std::nullopt : std::optional(f.AsInteger());
            };
            r.LinkText = text("LinkText");
            r.PageLevel = number("PageLevel");
            r.ParentID = number("ParentID");
            r.Processed = q->FieldByName("Processed").AsBoolean();
            r.ExtractTime = q->FieldByName("ExtractTime").AsDateTime();
            r.ExtraData = text("ExtraData");
            rows.push_back(std::move(r));
        }
        return rows;
    }
    /// The row of an address; fails the test when there is none.
    TRow RowOf(const std::string& url) const {
        for (const TRow& r : Rows()) {
            if (r.LinkURL == url) {
                return r;
            }
        }
        ADD_FAILURE() << "no row for " << url;
        return {};
    }
    /// "name:level:processed" of every row in ID order, names relative to the folder.
    std::vector<std::string> Summary() const {
        std::vector<std::string> out;
        const std::string prefix = Url("");
        for (const TRow& r : Rows()) {
            const std::string name =
                r.LinkURL.rfind(prefix, 0) == 0 ? r.LinkURL.substr(prefix.size()) : r.LinkURL;
            out.push_back(name + ":" + std::to_string(r.PageLevel.value_or(-1)) + ":" +
                          (r.Processed ? "done" : "todo"));
        }
        return out;
    }
    /// Adds a row to visit, as a crawl left it.
    void AddRow(const std::string& url, int64_t level) const {
        auto q = table.Query("SELECT * FROM Links");
        q->Open();
        TLinkTable::AppendLink(*q, url, level, 0);
        q->Close();
    }
    /// The table as a bare table: no defaults, so every value comes from the run.
    void MakeBareTable() const {
        table.Exec("DROP TABLE Links");
        if (GetParam() == TDBProvider::SQLite) {
            table.Exec("CREATE TABLE Links (ID INTEGER PRIMARY KEY, LinkURL TEXT, LinkText TEXT, "
                       "PageLevel INTEGER, ParentID INTEGER, Processed BOOLEAN, "
                       "ExtractTime DATETIME, ExtraData TEXT)");
        } else {
            table.Exec("CREATE TABLE Links (ID BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY "
                       "KEY, LinkURL TEXT, LinkText TEXT, PageLevel INTEGER, ParentID BIGINT, "
                       "Processed BOOLEAN, ExtractTime TIMESTAMP, ExtraData TEXT)");
        }
    }

    std::shared_ptr<RecordingHandler> messages = std::make_shared<RecordingHandler>();
    std::shared_ptr<TMessageHandler> previousHandler;
    TLinkTable table{GetParam()};
    TempDir dir;
    std::unique_ptr<TWebBrowser> browser;
    TURLExtractor runner;
    std::vector<std::string> entries;
};

INSTANTIATE_TEST_SUITE_P(Providers, LinkTableRunTest,
                         ::testing::Values(TDBProvider::SQLite, TDBProvider::PostgreSQL),
                         ProviderName);

TEST_P(LinkTableRunTest, EmptyTableGrowsFromTheSeedLevelByLevelToTheEnd) {
    MakeBareTable();
    // A tree: the seed links to a and b (and to a page elsewhere, which the
    // mask keeps out), a to c with extra data, b to d without; c and d end it.
    const std::string extra = "PARENTNODE('TR').TD[2]";
    Page("index.html", Link("a.html", "A page") + Link("b.html", "B page") +
                           Link("http://elsewhere.invalid/", "away"));
    Page("a.html", "<table><tr><td>" + Link("c.html", "C page") + "</td><td> note c </td></tr>");
    Page("b.html", "<table><tr><td>" + Link("d.html", "D page") + "</td><td> </td></tr>");
    Page("c.html", "<p>leaf</p>");
    Page("d.html", Link("mailto:someone@example.org", "mail"));
    LoadTask({{"ExtraDataRelativeNodePath", extra}});
    RecordEntries();
    std::vector<std::pair<std::string, int>> visits; // entry, records of its page
    runner.OnExtractedOnePage = [&](TURLExtractor*, const QString& entry, int, int, int,
                                    int records) {
        visits.emplace_back(entry.toStdString(), records);
    };
    const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
    EXPECT_EQ(runner.Execute(), 4);
    const QDateTime after = QDateTime::currentDateTime().addSecs(1);

    // Pass 1 visits the seed only, pass 2 its two links, pass 3 theirs; the
    // numbers count across passes.
    EXPECT_EQ(entries, (std::vector<std::string>{"1/1", "2/3", "3/3", "4/5", "5/5"}));
    EXPECT_EQ(visits, (std::vector<std::pair<std::string, int>>{{Url("index.html"), 2},
                                                                {Url("a.html"), 1},
                                                                {Url("b.html"), 1},
                                                                {Url("c.html"), 0},
                                                                {Url("d.html"), 0}}));
    EXPECT_EQ(runner.RunState(), TRunState::Running);
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"index.html:0:done", "a.html:1:done", "b.html:1:done",
                                        "c.html:2:done", "d.html:2:done"}));

    // The seed sets only its address, level and mark.
    const TRow seed = RowOf(Url("index.html"));
    EXPECT_FALSE(seed.LinkText);
    EXPECT_FALSE(seed.ParentID);
    EXPECT_FALSE(seed.ExtractTime.isValid());
    EXPECT_FALSE(seed.ExtraData);

    const TRow a = RowOf(Url("a.html"));
    const TRow b = RowOf(Url("b.html"));
    const TRow c = RowOf(Url("c.html"));
    const TRow d = RowOf(Url("d.html"));
    EXPECT_EQ(a.ParentID, seed.ID);
    EXPECT_EQ(b.ParentID, seed.ID);
    EXPECT_EQ(c.ParentID, a.ID);
    EXPECT_EQ(d.ParentID, b.ID);
    EXPECT_EQ(a.LinkText, "A page");
    EXPECT_EQ(c.LinkText, "C page");
    EXPECT_EQ(c.ExtraData, "note c");
    EXPECT_FALSE(a.ExtraData); // no table row around it
    EXPECT_FALSE(d.ExtraData); // an empty cell leaves the field unset
    for (const TRow& r : {a, b, c, d}) {
        SCOPED_TRACE(r.LinkURL);
        EXPECT_TRUE(r.ExtractTime.isValid());
        EXPECT_GE(r.ExtractTime, before);
        EXPECT_LE(r.ExtractTime, after);
    }

    // The queue is used up: the next run finds nothing, appends the seed
    // again (there is no unique index) and crawls the same tree once more.
    RecordEntries();
    EXPECT_EQ(runner.Execute(), 4);
    EXPECT_EQ(entries, (std::vector<std::string>{"1/1", "2/3", "3/3", "4/5", "5/5"}));
    EXPECT_EQ(Rows().size(), 10u);
}

TEST_P(LinkTableRunTest, UniqueIndexKeepsEachAddressOnce) {
    // Pages that link to each other.
    Page("index.html", Link("a.html", "a") + Link("b.html", "b") + Link("index.html", "home") +
                           Link("a.html", "a again"));
    Page("a.html", Link("index.html", "home") + Link("b.html", "b") + Link("c.html", "c"));
    Page("b.html", Link("a.html", "a") + Link("c.html", "c"));
    Page("c.html", Link("index.html", "home"));

    // Without an index an address is added once per page that links to it,
    // so only a level limit ends the crawl.
    LoadTask({{"URLSQL", "SELECT ID, LinkURL, PageLevel, Processed FROM Links "
                         "WHERE Processed=False AND PageLevel<2 ORDER BY ID"}});
    EXPECT_EQ(runner.Execute(), 3 + 3 + 2 + 3);
    EXPECT_EQ(Rows().size(), 12u);

    table.Exec("DELETE FROM Links");
    table.Exec(ExampleFile("links-unique.sql"));
    LoadTask({});
    RecordEntries();
    // Only the first post of each address counts; refused rows do not disturb
    // the others of the same page (c after two refusals on a's page).
    EXPECT_EQ(runner.Execute(), 3);
    EXPECT_EQ(entries, (std::vector<std::string>{"1/1", "2/3", "3/3", "4/4"}));
    EXPECT_EQ(Summary(), (std::vector<std::string>{"index.html:0:done", "a.html:1:done",
                                                   "b.html:1:done", "c.html:2:done"}));
    EXPECT_EQ(RowOf(Url("c.html")).ParentID, RowOf(Url("a.html")).ID);
    EXPECT_EQ(runner.RunState(), TRunState::Running);

    // Now that every row is visited, the seed is refused too: the run ends
    // at once without visiting anything.
    RecordEntries();
    EXPECT_EQ(runner.Execute(), 0);
    EXPECT_TRUE(entries.empty());
    EXPECT_EQ(Rows().size(), 4u);
    EXPECT_EQ(runner.RunState(), TRunState::Running);
}

TEST_P(LinkTableRunTest, StopInAPassMarksTheRowUnderWayAndTheNextRunFinishes) {
    Page("index.html", Link("p1.html", "1") + Link("p2.html", "2") + Link("p3.html", "3"));
    Page("p1.html", Link("q1.html", "q"));
    for (const char* leaf : {"p2.html", "p3.html", "q1.html"}) {
        Page(leaf, "<p>leaf</p>");
    }
    LoadTask({});
    RecordEntries();
    runner.OnBeforeExectuteOneEntry = [&](TURLExtractor* s, const QString&, int no, int count) {
        entries.push_back(std::to_string(no) + "/" + std::to_string(count));
        if (no == 2) {
            s->Stop(); // while p1 is being visited
        }
    };
    EXPECT_EQ(runner.Execute(), 3 + 1);
    EXPECT_EQ(entries, (std::vector<std::string>{"1/1", "2/4"}));
    EXPECT_EQ(runner.RunState(), TRunState::Stopped);
    // p1's page was still extracted and its row marked; the rest waits.
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"index.html:0:done", "p1.html:1:done", "p2.html:1:todo",
                                        "p3.html:1:todo", "q1.html:2:todo"}));

    RecordEntries();
    EXPECT_EQ(runner.Execute(), 0);
    EXPECT_EQ(entries, (std::vector<std::string>{"1/3", "2/3", "3/3"}));
    EXPECT_EQ(runner.RunState(), TRunState::Running);
    EXPECT_EQ(Summary(),
              (std::vector<std::string>{"index.html:0:done", "p1.html:1:done", "p2.html:1:done",
                                        "p3.html:1:done", "q1.html:2:done"}));
}

TEST_P(LinkTableRunTest, MissingFieldsOfTheInputQueryEndTheRun) {
    Page("index.html", Link("a.html", "a"));
    const struct {
        const char* urlSQL;
        bool seeded; // a row to visit, or an empty table (the seed path)
        const char* message;
        int visits;
        size_t rowsAfter;
    } cases[] = {
        {"SELECT ID, LinkURL, Processed FROM Links WHERE Processed=False", true,
         "Field 'PageLevel' not found", 0, 1},
        {"SELECT ID, LinkURL, Processed FROM Links WHERE Processed=False", false,
         "Field 'PageLevel' not found", 0, 0},
        {"SELECT LinkURL, PageLevel, Processed FROM Links WHERE Processed=False", true,
         "Field 'ID' not found", 0, 1},
        // The row is visited (its page's link is stored) but cannot be marked.
        {"SELECT ID, LinkURL, PageLevel FROM Links WHERE Processed=False", true,
         "Field 'Processed' not found", 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.urlSQL + std::string(c.seeded ? " (seeded)" : " (empty)"));
        table.Exec("DELETE FROM Links");
        if (c.seeded) {
            AddRow(Url("index.html"), 0);
        }
        LoadTask({{"URLSQL", c.urlSQL}});
        RecordEntries();
        EXPECT_EQ(ErrorOf([&] { runner.Execute(); }), c.message);
        EXPECT_EQ(entries.size(), static_cast<size_t>(c.visits));
        EXPECT_EQ(runner.RunState(), TRunState::Running);
        const std::vector<TRow> rows = Rows();
        EXPECT_EQ(rows.size(), c.rowsAfter);
        for (const TRow& r : rows) {
            EXPECT_FALSE(r.Processed) << r.LinkURL;
        }
    }
}

TEST_P(LinkTableRunTest, LinksTheTableCannotTakeAreDropped) {
    // TableSQL without ExtraData: links with extra data cannot be stored, the
    // others are.
    Page("index.html", "<table><tr><td>" + Link("with.html", "with") +
                           "</td><td>extra</td></tr><tr><td>" + Link("without.html", "without") +
                           "</td><td></td></tr></table>");
    LoadTask({{"TableSQL", "SELECT ID, LinkURL, LinkText, PageLevel, ParentID, Processed, "
                           "ExtractTime FROM Links"},
              {"ExtraDataRelativeNodePath", "PARENTNODE('TR').TD[2]"},
              {"URLSQL", "SELECT ID, LinkURL, PageLevel, Processed FROM Links "
                         "WHERE Processed=False AND PageLevel<1"}});
    EXPECT_EQ(runner.Execute(), 1);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"index.html:0:done", "without.html:1:todo"}));
}

TEST_P(LinkTableRunTest, MissingConnectionFileEndsTheRunWithTheProvidersError) {
    const std::string noProvider = "Provider cannot be found. It may not be properly installed.";
    Page("index.html", Link("a.html", "a"));
    Page("a.html", "<p>leaf</p>");
    AddRow(Url("index.html"), 0);

    // Missing for the input: the run ends when it opens the table.
    LoadTask({{"Input.DBConnectionFileName", "gone.udl"}});
    ASSERT_EQ(messages->boxes.size(), 1u);
    EXPECT_EQ(messages->boxes[0].first, "File not exist: " + dir.File("gone.udl"));
    EXPECT_EQ(messages->boxes[0].second, "LoadParam");
    EXPECT_EQ(ErrorOf([&] { runner.Execute(); }), noProvider);

    // Missing for the output: the run ends at the first page instead of
    // dropping every link, and the row stays to be visited.
    messages->boxes.clear();
    LoadTask({{"Output.DBConnectionFileName", "gone.udl"}});
    EXPECT_EQ(messages->boxes.size(), 1u);
    RecordEntries();
    EXPECT_EQ(ErrorOf([&] { runner.Execute(); }), noProvider);
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"index.html:0:todo"}));

    // A runner that ran a task before does not fall back on that task's table.
    LoadTask({});
    EXPECT_EQ(runner.Execute(), 1);
    table.Exec("UPDATE Links SET Processed=False");
    LoadTask(
        {{"Input.DBConnectionFileName", "gone.udl"}, {"Output.DBConnectionFileName", "gone.udl"}});
    EXPECT_EQ(ErrorOf([&] { runner.Execute(); }), noProvider);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"index.html:0:todo", "a.html:1:todo"}));
}

TEST_P(LinkTableRunTest, TextOutputFromTheTableVisitsAndMarksRowsInOnePass) {
    Page("t1.html", Link("x1.html", "one"));
    Page("t2.html", Link("x2.html", "two") + Link("x3.html", "three"));
    AddRow(Url("t1.html"), 0);
    AddRow(Url("t2.html"), 4);
    LoadTask({{"OutputType", "1"}, {"OutputTextFileName", "out.txt"}, {"LayoutType", "3"}});

    // The run does not create the result file: without it the first page
    // ends the run, and its row stays unvisited.
    RecordEntries();
    EXPECT_EQ(ErrorOf([&] { runner.Execute(); }), "File not found");
    EXPECT_EQ(entries.size(), 1u);
    EXPECT_EQ(Summary(), (std::vector<std::string>{"t1.html:0:todo", "t2.html:4:todo"}));

    dir.Write("out.txt", "");
    RecordEntries();
    EXPECT_EQ(runner.Execute(), 3);
    EXPECT_EQ(entries, (std::vector<std::string>{"1/2", "2/2"}));
    EXPECT_EQ(ReadFileBytes(dir.File("out.txt")), Url("x1.html") + "\tone\r\n" + Url("x2.html") +
                                                      "\ttwo\r\n" + Url("x3.html") + "\tthree\r\n");
    EXPECT_EQ(Summary(), (std::vector<std::string>{"t1.html:0:done", "t2.html:4:done"}));
    EXPECT_EQ(runner.RunState(), TRunState::Running);
}

TEST_P(LinkTableRunTest, LinksOfNextPagesGetLevelOneAndNoParent) {
    Page("index.html", Link("item1.html", "item 1") + Link("p2.html", "Next"));
    Page("p2.html", Link("item2.html", "item 2"));
    LoadTask({{"NextPageNodeKeyword", "Next"},
              {"LinkURL_Keywords_Include", "item"},
              {"URLSQL", "SELECT ID, LinkURL, PageLevel, Processed FROM Links "
                         "WHERE Processed=False AND PageLevel<1"}});
    EXPECT_EQ(runner.Execute(), 2);
    const TRow seed = RowOf(Url("index.html"));
    const TRow first = RowOf(Url("item1.html"));
    const TRow next = RowOf(Url("item2.html"));
    EXPECT_EQ(first.PageLevel, 1);
    EXPECT_EQ(first.ParentID, seed.ID);
    EXPECT_EQ(next.PageLevel, 1);
    EXPECT_EQ(next.ParentID, 0);
    EXPECT_EQ(Rows().size(), 3u);
}

TEST_P(LinkTableRunTest, ListRunStoresIntoTheTableOfTheTaskLoadedLast) {
    // More links than the output query keeps between reopenings.
    std::string links;
    for (int i = 0; i < 250; ++i) {
        links += Link("l" + std::to_string(i) + ".html", "link " + std::to_string(i));
    }
    Page("list.html", links);
    dir.Write("list.txt", Url("list.html") + "\n");
    LoadTask({{"InputType", "1"}, {"URLMidListFileName", "list.txt"}});
    EXPECT_EQ(runner.Execute(), 250);
    const std::vector<TRow> rows = Rows();
    ASSERT_EQ(rows.size(), 250u);
    for (const TRow& r : rows) {
        EXPECT_EQ(r.PageLevel, 1);
        EXPECT_EQ(r.ParentID, 0);
        EXPECT_FALSE(r.Processed);
    }
    EXPECT_EQ(rows[249].LinkURL, Url("l249.html"));

    // The next task names another table: its rows go there, not into the
    // table the output query had open.
    table.Exec("DROP TABLE IF EXISTS LinksCopy");
    table.Exec("CREATE TABLE LinksCopy (ID INTEGER, LinkURL TEXT, LinkText TEXT, PageLevel "
               "INTEGER, ParentID INTEGER, Processed BOOLEAN, ExtractTime TIMESTAMP, "
               "ExtraData TEXT)");
    LoadTask({{"InputType", "1"},
              {"URLMidListFileName", "list.txt"},
              {"TableSQL", "SELECT * FROM LinksCopy"}});
    EXPECT_EQ(runner.Execute(), 250);
    EXPECT_EQ(table.Count(), 250);
    auto copy = table.Query("SELECT COUNT(*) AS N FROM LinksCopy");
    copy->Open();
    EXPECT_EQ(copy->FieldByName("N").AsInteger(), 250);
    copy->Close();
    table.Exec("DROP TABLE LinksCopy");
}

/// The shipped crawl task run by linkvane-cli, pointed at local pages with
/// --set; on PostgreSQL also pointed at the server's table.
TEST_P(LinkTableRunTest, ShippedCrawlTaskRunsWithTheCommandLineTool) {
    TempDir site;
    const auto sitePage = [&](const std::string& name, const std::string& body) {
        site.Write(name, "<html><body>" + body + "</body></html>");
    };
    sitePage("index.html", Link("a.html", "a") + Link("b.html", "b"));
    sitePage("a.html", Link("c.html", "c") + Link("http://elsewhere.invalid/", "away"));
    sitePage("b.html", Link("index.html", "home"));
    sitePage("c.html", Link("d.html", "d"));
    sitePage("d.html", Link("e.html", "e"));

    dir.Write("crawl.lvt", ExampleFile("crawl.lvt"));
    std::vector<std::string> args = {"run",   "--quiet",
                                     "--set", "InitURL=file://" + site.File("index.html"),
                                     "--set", "LinkURL_Pattern=file://" + site.Path() + "/*",
                                     "--set", "MinRepeatTimes=0"};
    if (GetParam() == TDBProvider::SQLite) {
        // The example as shipped: links.udl names links.db beside it.
        dir.Write("links.udl", ExampleFile("links.udl"));
        TDBQuery setup;
        setup.ConnectionString = "Provider=SQLite;Data Source=" + dir.File("links.db");
        setup.SQL = ExampleFile("links-sqlite.sql");
        setup.ExecSQL();
    } else {
        WriteDataLink("server.udl", table.ConnectionString());
        const std::string urlSQL = TaskValue(ExampleFile("crawl.lvt"), "URLSQL");
        for (const std::string& kv :
             {std::string("Input.DBConnectionFileName=server.udl"),
              std::string("Output.DBConnectionFileName=server.udl"), "URLSQL=" + table.Sql(urlSQL),
              "TableSQL=" + table.Sql("SELECT * FROM Links")}) {
            args.push_back("--set");
            args.push_back(kv);
        }
    }
    args.push_back("crawl.lvt");

    QProcess cli;
    cli.setWorkingDirectory(QString::fromStdString(dir.Path()));
    QStringList qargs;
    for (const std::string& a : args) {
        qargs << QString::fromStdString(a);
    }
    cli.start(QString::fromStdString(BinDir() + "/linkvane-cli"), qargs);
    ASSERT_TRUE(cli.waitForFinished(30000));
    const std::string out = cli.readAllStandardOutput().toStdString();
    const std::string err = cli.readAllStandardError().toStdString();
    EXPECT_EQ(cli.exitCode(), 0) << err;
    // Seed → a, b (2); a → c (1); b → index (1, once more: no unique index);
    // c → d (1); the copy of index (level 2) → a, b (2); d is level 3, which
    // the task's URLSQL leaves unvisited.
    EXPECT_EQ(out, "Task Finished! Got 7 Records.\n") << err;

    std::vector<std::string> summary;
    TDBQuery q;
    q.ConnectionString = GetParam() == TDBProvider::SQLite
                             ? "Provider=SQLite;Data Source=" + dir.File("links.db")
                             : table.ConnectionString();
    // (On SQLite the table of the example's own database is named Links, as
    // the test's table is.)
    q.SQL = table.Sql("SELECT LinkURL, PageLevel, Processed FROM Links ORDER BY ID");
    const std::string prefix = "file://" + site.Path() + "/";
    for (q.Open(); !q.Eof(); q.Next()) {
        summary.push_back(q.FieldByName("LinkURL").AsString().substr(prefix.size()) + ":" +
                          q.FieldByName("PageLevel").AsString() + ":" +
                          (q.FieldByName("Processed").AsBoolean() ? "done" : "todo"));
    }
    EXPECT_EQ(summary,
              (std::vector<std::string>{"index.html:0:done", "a.html:1:done", "b.html:1:done",
                                        "c.html:2:done", "index.html:2:done", "d.html:3:todo",
                                        "a.html:3:todo", "b.html:3:todo"}));
}

} // namespace
} // namespace linkvane::test
