#include "browser/WebTools.h"
#include "browser/PageWaitSettings.h"
#include "browser/TWebBrowser.h"

#include <gtest/gtest.h>

#include <functional>

namespace linkvane {
namespace {

/// Virtual time: sleeping advances it, nothing really waits.
class TFakeClock final : public TWaitClock {
public:
    void Pump() override {
        ++Pumps;
        if (OnPump)
            OnPump();
    }
    void Sleep(int32_t Milliseconds) override {
        Now += Milliseconds;
        if (Milliseconds == 20)
            ++Polls;
    }
    int64_t MonotonicMs() override { return Now; }

    int64_t Now = 1000000;
    int Polls = 0;
    int Pumps = 0;
    std::function<void()> OnPump;
};

/// A browser whose state the test sets; it records what it is asked to do.
class TFakeBrowser final : public TWebBrowser {
public:
    void Navigate(const QString& URL) override { Navigate2(URL, 0, {}, {}, {}); }
    void Navigate2(const QString& URL, int32_t Flags, const QString& Frame,
                   const QByteArray& PostData, const QString& Headers) override {
        LastURL = URL;
        LastFlags = Flags;
        LastFrame = Frame;
        LastPostData = PostData;
        LastHeaders = Headers;
        ++Navigations;
    }
    void Stop() override {
        ++Stops;
        State = ReadyStateComplete;
        IsBusy = false;
    }
    bool Busy() const override { return IsBusy; }
    int32_t ReadyState() const override { return State; }
    QString LocationURL() const override { return {}; }
    TNode Document() const override { return Doc; }
    QString EngineName() const override { return QStringLiteral("fake"); }
    bool ExecCommand(int32_t CommandId) override {
        LastCommand = CommandId;
        return true;
    }

    bool IsBusy = false;
    int32_t State = ReadyStateComplete;
    TNode Doc;
    QString LastURL, LastFrame, LastHeaders;
    QByteArray LastPostData;
    int32_t LastFlags = -1;
    int32_t LastCommand = 0;
    int Navigations = 0;
    int Stops = 0;
};

class WebToolsTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = PageWaitSettings();
        SetWaitClock(&Clock);
    }
    void TearDown() override {
        SetWaitClock(nullptr);
        SetPageWaitSettings(m_saved.MinRepeatTimes, m_saved.MinWaitSeconds, m_saved.MaxWaitSeconds);
    }
    TFakeClock Clock;
    TFakeBrowser Browser;

private:
    TPageWaitSettings m_saved;
};

struct TWaitCase {
    const char* Name;
    int32_t MinRepeatTimes;
    int32_t MinWait, MaxWait; // arguments
    int32_t SettingMinWait, SettingMaxWait;
    bool Busy;
    int32_t State;
    int CompleteAtPoll; // 0: the state never changes
    bool Expected;
    int ExpectedPolls;
    int ExpectedStops;
};

class WaitPageReadyTest : public WebToolsTest, public ::testing::WithParamInterface<TWaitCase> {};

TEST_P(WaitPageReadyTest, AnswersAtTheRightPoll) {
    const TWaitCase& c = GetParam();
    SetPageWaitSettings(c.MinRepeatTimes, c.SettingMinWait, c.SettingMaxWait);
    Browser.IsBusy = c.Busy;
    Browser.State = c.State;
    Clock.OnPump = [&] {
        if (c.CompleteAtPoll > 0 && Clock.Polls >= c.CompleteAtPoll) {
            Browser.State = TWebBrowser::ReadyStateComplete;
            Browser.IsBusy = false;
        }
    };
    EXPECT_EQ(WaitPageReady(Browser, c.MinWait, c.MaxWait), c.Expected);
    EXPECT_EQ(Clock.Polls, c.ExpectedPolls);
    EXPECT_EQ(Browser.Stops, c.ExpectedStops);
}

const TWaitCase kWaitCases[] = {
    // name, MinRepeatTimes, MinWait, MaxWait, setting min, setting max, busy, state,
    // complete at poll, result, polls, stops
    {"CompleteAtOnceWithoutRepeats", 0, -1, -1, 0, 90, false, 4, 0, true, 1, 0},
    {"CompleteNeeds201PollsAt200", 200, -1, -1, 0, 90, false, 4, 0, true, 201, 0},
    {"CompletesLaterThanTheRepeats", 5, -1, -1, 0, 90, true, 1, 50, true, 51, 0},
    {"NeverCompletesStoppedAtPoll101", 200, -1, 0, 0, 90, true, 1, 0, true, 101, 1},
    {"IdleButLoadingFailsAtPoll101", 200, -1, -1, 0, 90, false, 1, 0, false, 101, 0},
    {"IdleButLoadingIgnoredBefore101", 10, -1, -1, 0, 90, false, 1, 60, true, 61, 0},
    {"TimeOutAfter91WholeSeconds", 200, -1, -1, 0, 90, true, 1, 0, true, 4550, 1},
    {"OtherNegativeMaxWaitTimesOutAt101", 200, -1, -5, 0, 90, true, 1, 0, true, 101, 1},
    {"MaxWaitFromTheArgument", 200, -1, 3, 0, 90, true, 1, 0, true, 200, 1},
};

INSTANTIATE_TEST_SUITE_P(Cases, WaitPageReadyTest, ::testing::ValuesIn(kWaitCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WebToolsTest, MinimumWaitComesBeforeThePollsAndTheTimeOutCountsFromItsEnd) {
    SetPageWaitSettings(200, 2, 1);
    Browser.IsBusy = true;
    Browser.State = TWebBrowser::ReadyStateLoading;
    const int64_t start = Clock.Now;
    EXPECT_TRUE(WaitPageReady(Browser, -1, -1));
    // Two whole seconds (between 1 and 2 s from a start at 1000.000 s: 2 s),
    // then polls until more than one whole second: poll 101 is at 2.02 s.
    EXPECT_EQ(Clock.Polls, 101);
    EXPECT_GE(Clock.Now - start, 2000 + 101 * 20);
    EXPECT_EQ(Browser.Stops, 1);
}

TEST_F(WebToolsTest, WholeSecondsCountClockSecondChanges) {
    Clock.Now = 5998; // 2 ms before a whole second
    WaitWholeSeconds(1);
    EXPECT_EQ(Clock.Now, 6000);
    Clock.Now = 7000;
    WaitWholeSeconds(2);
    EXPECT_EQ(Clock.Now, 9000);
    const int64_t before = Clock.Now;
    WaitWholeSeconds(0);
    EXPECT_EQ(Clock.Now, before);
}

TEST_F(WebToolsTest, WaitWithMessagesAndSpinMessages) {
    int64_t start = Clock.Now;
    WaitWithMessages(3, false);
    EXPECT_EQ(Clock.Now - start, 3000);
    start = Clock.Now;
    WaitWithMessages(25, true);
    EXPECT_EQ(Clock.Now - start, 30);
    start = Clock.Now;
    SpinMessages(5);
    EXPECT_EQ(Clock.Now - start, 10);
    start = Clock.Now;
    SpinMessages(0);
    SpinMessages(-3);
    EXPECT_EQ(Clock.Now, start);
}

struct TPostCase {
    const char* Name;
    const char* URL;
    const char* PostData;
    const char* Referer;
    bool NewWindow;
    int32_t Flags;
    const char* Target;
    const char* Body;
    const char* Headers;
    const char* Frame;
    int32_t SentFlags;
};

class NavigateWithPostTest : public WebToolsTest,
                             public ::testing::WithParamInterface<TPostCase> {};

TEST_P(NavigateWithPostTest, SendsTargetBodyAndHeaders) {
    const TPostCase& c = GetParam();
    NavigateWithPost(Browser, c.URL, c.PostData, c.Referer, "frame", c.Flags, c.NewWindow);
    EXPECT_EQ(Browser.Navigations, 1);
    EXPECT_EQ(Browser.LastURL.toStdString(), c.Target);
    EXPECT_EQ(Browser.LastPostData.toStdString(), c.Body);
    EXPECT_EQ(Browser.LastHeaders.toStdString(), c.Headers);
    EXPECT_EQ(Browser.LastFrame.toStdString(), c.Frame);
    EXPECT_EQ(Browser.LastFlags, c.SentFlags);
}

const char* const kForm = "Content-Type: application/x-www-form-urlencoded\r\n";

const TPostCase kPostCases[] = {
    {"QueryGoesBeforeTheData", "http://h/a/b?x=1", "y=2", "", false, 0, "http://h/a/b", "x=1&y=2",
     kForm, "frame", 0},
    {"QueryWithEmptyDataPostsTheQueryAndAmpersand", "http://h/a?x=1", "", "", false, 0,
     "http://h/a", "x=1&", kForm, "frame", 0},
    {"EmptyUrlIsPlain", "", "y=2", "", false, 0, "", "", "", "frame", 0},
    {"EmptyDataIsPlain", "http://h/a", "", "", false, 0, "http://h/a", "", "", "frame", 0},
    {"RefererComesFirst", "http://h/a", "q=%41+b", "http://r/", false, 7, "http://h/a", "q=%41+b",
     "Referer: http://r/\r\nContent-Type: application/x-www-form-urlencoded\r\n", "frame", 7},
    {"NewWindowAndNegativeFlags", "http://h/a", "y", "", true, -3, "http://h/a", "y", kForm,
     "_BLANK", 0},
};

INSTANTIATE_TEST_SUITE_P(Cases, NavigateWithPostTest, ::testing::ValuesIn(kPostCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(WebToolsTest, BrowserCommandsNeedADocument) {
    ShowInternetOptions(Browser);
    EXPECT_EQ(Browser.LastCommand, 0);
    Browser.Doc = BlankDocument();
    ShowInternetOptions(Browser);
    EXPECT_EQ(Browser.LastCommand, 3);
}

TNode Page(const std::string& Html) {
    TDocumentOptions options;
    options.URL = "http://example.com/";
    return ParseHtmlDocument(Html, options);
}

TEST(WebToolsNodes, FindAncestorByTagNeverAnswersBodyOrAbove) {
    TNode doc = Page("<table><tr><td><span><b>x</b></span></td></tr></table><p>y</p>");
    TNode b = doc.Tags("B").Item(0);
    TNode found;
    ASSERT_TRUE(FindAncestorByTag(found, b, "TD"));
    EXPECT_EQ(found, doc.Tags("TD").Item(0));
    ASSERT_TRUE(FindAncestorByTag(found, b, ""));
    EXPECT_EQ(found.TagName(), "SPAN");
    EXPECT_FALSE(FindAncestorByTag(found, b, "td")); // callers pass upper case
    EXPECT_FALSE(FindAncestorByTag(found, b, "DIV"));
    EXPECT_FALSE(FindAncestorByTag(found, doc.Body(), ""));
    EXPECT_FALSE(FindAncestorByTag(found, doc.Tags("P").Item(0), ""));
    EXPECT_FALSE(FindAncestorByTag(found, doc.Body(), "HTML"));
}

TEST(WebToolsNodes, SameTagDepthCountsTheNodeButNotTheAncestor) {
    TNode doc = Page("<table id=o><tr><td id=a><table><tr><td id=b>x</td></tr></table></td></tr>"
                     "</table>");
    TNode outer = doc.Tags("TABLE").Item(0);
    TNode a = doc.Tags("TD").Item(0);
    TNode b = doc.Tags("TD").Item(1);
    EXPECT_EQ(SameTagDepth(a, outer), 1);
    EXPECT_EQ(SameTagDepth(b, outer), 2);
    EXPECT_EQ(SameTagDepth(b, a), 1);
    EXPECT_EQ(SameTagDepth(a, a), 0);
    EXPECT_EQ(SameTagDepth(a, b), 1); // not above: the walk runs to the top
    EXPECT_EQ(SameTagDepth(b, doc.Body()), 2);
}

TEST(WebToolsNodes, ElementFromNodeByPositionInAll) {
    TNode doc = Page("<p>a</p><p>b</p>");
    TNode p2 = doc.Tags("P").Item(1);
    TNode element;
    ASSERT_TRUE(ElementFromNode(element, doc, p2));
    EXPECT_EQ(element, p2);
    EXPECT_FALSE(ElementFromNode(element, doc, TNode()));
    EXPECT_FALSE(ElementFromNode(element, doc, p2.FirstChild())); // a text node
    EXPECT_FALSE(ElementFromNode(element, TNode(), p2));
    EXPECT_FALSE(ElementFromNode(element, doc, doc.createElement("DIV")));
}

TEST(WebToolsNodes, ObjectParamsAndMovieUrl) {
    TNode doc = Page("<object id=o1><param name=Movie value='m.swf'><param name=src value=s1>"
                     "</object><object id=o2><param name=movie value='  '>"
                     "<param name=SRC value='s2.swf'></object><object id=o3></object>");
    const int32_t o1 = doc.Tags("OBJECT").Item(0).SourceIndex();
    const int32_t o2 = doc.Tags("OBJECT").Item(1).SourceIndex();
    const int32_t o3 = doc.Tags("OBJECT").Item(2).SourceIndex();
    EXPECT_EQ(GetObjectParam(doc, o1, "movie"), "m.swf");
    EXPECT_EQ(GetObjectParam(doc, o1, "SRC"), "s1");
    EXPECT_EQ(GetObjectMovieURL(doc, o1), "m.swf");
    EXPECT_EQ(GetObjectMovieURL(doc, o2), "s2.swf");
    EXPECT_EQ(GetObjectMovieURL(doc, o3), "");
}

TEST(WebToolsNodes, FrameDocumentsByIndex) {
    TNode doc = Page("<iframe src=a></iframe><iframe src=b></iframe>");
    TNode frames = doc.Tags("IFRAME");
    frames.Item(0).SetContentDocument(Page("<p>first</p>"));
    TNode fd;
    GetFrameDocument(doc, 0, fd);
    ASSERT_TRUE(fd.IsDocument());
    EXPECT_EQ(fd.Body().InnerText(), "first");
    GetFrameDocument(doc, 1, fd); // a frame without a document
    EXPECT_FALSE(VarHasValue(fd));
    GetFrameDocument(doc, 2, fd); // the frame count
    EXPECT_FALSE(VarHasValue(fd));
    GetFrameDocument(doc, -1, fd);
    EXPECT_FALSE(VarHasValue(fd));
    GetFrameDocument(TNode(), 0, fd);
    EXPECT_FALSE(VarHasValue(fd));
}

} // namespace
} // namespace linkvane
