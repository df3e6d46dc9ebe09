#include "task/TaskFile.h"
#include "browser/PageWaitSettings.h"
#include "runner/uURLExtractor.h"
#include "support/Exception.h"
#include "support/ShowMsg.h"
#include "testlib/TestUtil.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace linkvane {
namespace {

/// Records every message box instead of printing it.
class RecordingHandler final : public TMessageHandler {
public:
    struct Box {
        std::string text, caption;
        TMsgButtons buttons;
        TMsgIcon icon;
    };
    std::vector<Box> boxes;
    TMsgResult MessageBox(const std::string& Text, const std::string& Caption, TMsgButtons Buttons,
                          TMsgIcon Icon) override {
        boxes.push_back({Text, Caption, Buttons, Icon});
        return TMsgResult::Ignore;
    }
    bool MessageDlg(const std::string&, const std::string&, int, int, const std::string&) override {
        return true;
    }
};

class TaskFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        handler = std::make_shared<RecordingHandler>();
        previous = SetMessageHandler(handler);
    }
    void TearDown() override { SetMessageHandler(previous); }

    std::string Task(const std::string& body) { return dir.Write("task.lvt", body); }

    test::TempDir dir;
    std::shared_ptr<RecordingHandler> handler;
    std::shared_ptr<TMessageHandler> previous;
};

TEST_F(TaskFileTest, FreshRunnerHoldsItsStartingValues) {
    TURLExtractor r;
    const TTaskParams& p = r.TaskParams();
    EXPECT_EQ(p.InputParam.InputType, 0);
    EXPECT_EQ(p.ExtractParam.LinkCollectionNodePath, "");
    EXPECT_EQ(p.ExtractParam.LinkText_Length_Min, 0);
    EXPECT_EQ(p.ExtractParam.LinkText_Length_Max, 100);
    EXPECT_EQ(p.MinRepeatTimes, 0);
    EXPECT_EQ(r.TaskFileName(), "");
}

TEST_F(TaskFileTest, FileWithOnlyInitURLGetsEveryDefault) {
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(Task("[Input]\r\nInitURL=http://example.test/\r\n")));
    const TTaskParams& p = r.TaskParams();
    EXPECT_EQ(p.InputParam.InitURL, "http://example.test/");
    EXPECT_EQ(p.InputParam.InputType, 0);
    EXPECT_FALSE(p.InputParam.URLMidIsUnicode);
    EXPECT_EQ(p.ExtractParam.LinkCollectionNodePath, ".A");
    EXPECT_EQ(p.ExtractParam.LinkText_Length_Min, 1);
    EXPECT_EQ(p.ExtractParam.LinkText_Length_Max, 500);
    EXPECT_EQ(p.OutputParam.OutputType, 0);
    EXPECT_EQ(p.OutputParam.LayoutType, 0);
    EXPECT_EQ(p.MinRepeatTimes, 100);
    EXPECT_EQ(p.MinWaitSeconds, 0);
    EXPECT_EQ(p.MaxWaitSeconds, 90);
    const TPageWaitSettings w = PageWaitSettings();
    EXPECT_EQ(w.MinRepeatTimes, 100);
    EXPECT_EQ(w.MinWaitSeconds, 0);
    EXPECT_EQ(w.MaxWaitSeconds, 90);
    EXPECT_TRUE(handler->boxes.empty());
}

TEST_F(TaskFileTest, KeyValueEdgeCases) {
    const struct {
        const char* body;
        void (*check)(const TTaskParams&);
    } cases[] = {
        {"[Input]\nURLMidIsUnicode=yes\n",
         [](const TTaskParams& p) { EXPECT_TRUE(p.InputParam.URLMidIsUnicode); }},
        {"[Input]\nURLMidIsUnicode=Y\n",
         [](const TTaskParams& p) { EXPECT_FALSE(p.InputParam.URLMidIsUnicode); }},
        {"[Input]\nURLMidIsUnicode=TRUE\n",
         [](const TTaskParams& p) { EXPECT_FALSE(p.InputParam.URLMidIsUnicode); }},
        {"[Input]\nInputType=0x3\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.InputParam.InputType, 2); }},
        {"[Input]\nInputType=0\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.InputParam.InputType, 255); }},
        {"[Extract]\nLinkText_Length_Max=many\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.ExtractParam.LinkText_Length_Max, 500); }},
        {"[Extract]\nLinkText_Length_Min=\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.ExtractParam.LinkText_Length_Min, 1); }},
        {"[Extract]\nLinkCollectionNodePath=\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.ExtractParam.LinkCollectionNodePath, ""); }},
        {"[Output]\nURLDataPattern=\"*id=*\"\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.OutputParam.URLDataPattern, "*id=*"); }},
        {"[extract]\nnextpagenodekeyword=page=2\n",
         [](const TTaskParams& p) {
             EXPECT_EQ(p.ExtractParam.NextPageNodePath, ".A(PosHTML('page=2')>0)[1#]");
         }},
        {"[Extract]\nNextPageNodeKeyword=Next\n",
         [](const TTaskParams& p) {
             EXPECT_EQ(p.ExtractParam.NextPageNodePath, ".A(PosText('Next')<10)[1#]");
         }},
        {"[Extract]\nNextPageNodeKeyword=Next\nNextPageNodePath=.DIV.A\n",
         [](const TTaskParams& p) { EXPECT_EQ(p.ExtractParam.NextPageNodePath, ".DIV.A"); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        TURLExtractor r;
        ASSERT_TRUE(r.LoadParam(Task(c.body)));
        c.check(r.TaskParams());
    }
}

TEST_F(TaskFileTest, SaveThenLoadGivesBackEveryField) {
    TTaskParams p;
    p.InputParam = {"My \"task\"",    2,          "http://t/post",
                    " pre ",          "list.txt", true,
                    "suf;fix",        "in.udl",   "SELECT * FROM Links WHERE Processed=0",
                    "'http://start/'"};
    p.ExtractParam = {"\"quoted path\"",
                      ".TD",
                      "kw",
                      ".A(PosText('Next')<10)[1#]",
                      "*.html",
                      "\"next page\"",
                      "a;b",
                      "x y",
                      "",
                      3,
                      77,
                      "PARENTNODE('TR')"};
    p.OutputParam = {1, 4, "out.udl", "SELECT * FROM Links", "res/out.txt", "*id=*"};
    p.MaxWaitSeconds = 30;
    p.MinWaitSeconds = 2;
    p.MinRepeatTimes = 50;

    TURLExtractor writer;
    writer.SetTaskParams(p);
    const std::string file = dir.File("round.lvt");
    ASSERT_TRUE(writer.SaveParam(file));

    TURLExtractor reader;
    ASSERT_TRUE(reader.LoadParam(file));
    EXPECT_EQ(reader.TaskParams(), p);
}

TEST_F(TaskFileTest, SaveKeepsOtherLinesAndWritesEmptyValues) {
    const std::string file = Task("; my notes\r\n[Input]\r\nTaskName=Old\r\nCustom=keep\r\n"
                                  "[Extra]\r\nz=1\r\n");
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(file));
    ASSERT_TRUE(r.SaveParam(file));
    const std::string text = test::ReadFileBytes(file);
    EXPECT_EQ(
        text.rfind("; my notes\r\n[Input]\r\nTaskName=Old\r\nCustom=keep\r\nInputType=1\r\n", 0),
        0u)
        << text;
    EXPECT_NE(text.find("[Extra]\r\nz=1\r\n[Extract]\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\r\nLinkRelativeNodePath=\r\n"), std::string::npos);
    EXPECT_NE(text.find("\r\nMaxWaitSeconds=90\r\n"), std::string::npos);
}

TEST_F(TaskFileTest, DerivedNextPagePathIsSavedExplicitly) {
    const std::string file = Task("[Extract]\nNextPageNodeKeyword=More\n");
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(file));
    ASSERT_TRUE(r.SaveParam(file));
    EXPECT_NE(test::ReadFileBytes(file).find("NextPageNodePath=.A(PosText('More')<10)[1#]\r\n"),
              std::string::npos);
}

TEST_F(TaskFileTest, FailedSaveLeavesTheOldFileAndMemory) {
    const std::string file = Task("[Input]\r\nTaskName=Old\r\n");
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(file));
    ::chmod(file.c_str(), 0444);
    EXPECT_EQ(test::ErrorOf([&] { r.SaveParam(file); }), "Unable to write to " + file);
    EXPECT_EQ(test::ReadFileBytes(file), "[Input]\r\nTaskName=Old\r\n");
    EXPECT_THROW(r.SaveParam(dir.File("missing/folder/t.lvt")), Exception);
    EXPECT_EQ(r.TaskFileName(), file);
}

TEST_F(TaskFileTest, MissingFileChangesNothing) {
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(Task("[Input]\nTaskName=Kept\n")));
    EXPECT_FALSE(r.LoadParam(dir.File("nothing.lvt")));
    EXPECT_EQ(r.TaskParams().InputParam.TaskName, "Kept");
    EXPECT_EQ(r.TaskFileName(), dir.File("task.lvt"));
}

TEST_F(TaskFileTest, RelativeNamesFollowTheFileLoadedLast) {
    const std::string file =
        dir.Write("tasks/t.lvt", "[Output]\nOutputTextFileName=res\\out.txt\n");
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(file));
    EXPECT_EQ(r.OutputFileName(), dir.Path() + "/tasks/res/out.txt");
    EXPECT_EQ(r.URLFileName(), dir.Path() + "/tasks/res/out_URL.txt");
    ASSERT_TRUE(r.SaveParam(dir.File("elsewhere.lvt")));
    EXPECT_EQ(r.GetOutputTextFileName(), dir.Path() + "/tasks/res/out.txt");
    EXPECT_EQ(r.GetOutputFileName(), dir.Path() + "/tasks/res/out.txt");
}

TEST_F(TaskFileTest, ConnectionFilesOfLinkTableTasks) {
    dir.Write("links.udl", "[oledb]\r\n");
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(Task("[Input]\nInputType=2\nDBConnectionFileName=links.udl\n"
                                 "URLSQL=SELECT * FROM Links\n"
                                 "[Output]\nOutputType=2\nDBConnectionFileName=gone.udl\n")));
    EXPECT_EQ(r.InputQuery().ConnectionString, "FILE NAME=" + dir.File("links.udl"));
    EXPECT_EQ(r.InputQuery().SQL, "SELECT * FROM Links");
    EXPECT_EQ(r.OutputQuery().ConnectionString, "");
    ASSERT_EQ(handler->boxes.size(), 1u);
    EXPECT_EQ(handler->boxes[0].text, "File not exist: " + dir.File("gone.udl"));
    EXPECT_EQ(handler->boxes[0].caption, "LoadParam");
    EXPECT_EQ(handler->boxes[0].buttons, TMsgButtons::AbortRetryIgnore);
    EXPECT_EQ(handler->boxes[0].icon, TMsgIcon::None);
    EXPECT_EQ(r.GetOutputFileName(), dir.File("gone.udl"));
}

TEST_F(TaskFileTest, SpeedValuesReachThePageWaitSettings) {
    const std::string file =
        Task("[Options]\nMinRepeatTimes=5\nMinWaitSeconds=1\nMaxWaitSeconds=9\n");
    TURLExtractor r;
    ASSERT_TRUE(r.LoadParam(file));
    r.SetMinRepeatTimes(77);
    r.ApplySpeedOptions();
    EXPECT_EQ(PageWaitSettings().MinRepeatTimes, 77);
    ASSERT_TRUE(r.LoadParam(file));
    EXPECT_EQ(PageWaitSettings().MinRepeatTimes, 5);
    EXPECT_EQ(PageWaitSettings().MinWaitSeconds, 1);
    EXPECT_EQ(PageWaitSettings().MaxWaitSeconds, 9);
}

TEST_F(TaskFileTest, SetKeyByName) {
    TTaskParams p;
    ASSERT_NE(FindTaskKey("layouttype"), nullptr);
    SetTaskKeyFromText(*FindTaskKey("LayoutType"), p, "3");
    EXPECT_EQ(p.OutputParam.LayoutType, 2);
    EXPECT_EQ(FindTaskKey("DBConnectionFileName"), nullptr); // two sections share it
    SetTaskKeyFromText(*FindTaskKey("Output.DBConnectionFileName"), p, "o.udl");
    SetTaskKeyFromText(*FindTaskKey("input.dbconnectionfilename"), p, "i.udl");
    EXPECT_EQ(p.OutputParam.DBConnectionFileName, "o.udl");
    EXPECT_EQ(p.InputParam.DBConnectionFileName, "i.udl");
    EXPECT_EQ(FindTaskKey("NoSuchKey"), nullptr);
    EXPECT_EQ(TaskKeys().size(), 31u);
    EXPECT_EQ(TaskKeys()[7].QualifiedName(), "Input.DBConnectionFileName");
}

} // namespace
} // namespace linkvane
