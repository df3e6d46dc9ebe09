#include "browser/PageWaitSettings.h"
#include "browser/TStaticWebBrowser.h"
#include "browser/WebTools.h"
#include "support/Exception.h"
#include "testlib/TestHttpServer.h"
#include "testlib/TestUtil.h"

#include <QElapsedTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace linkvane {
namespace {

using test::TestHttpServer;

/// Pumps until the browser is idle (at most ten seconds).
void WaitIdle(TWebBrowser& Browser) {
    QElapsedTimer timer;
    timer.start();
    while (Browser.Busy() && timer.elapsed() < 10000)
        SpinMessages(1);
}

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

class StaticBrowserTest : public ::testing::Test {
protected:
    void Load(const std::string& Path) {
        Browser.Navigate(Q(Server.Url(Path)));
        EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateLoading);
        EXPECT_TRUE(Browser.Busy());
        WaitIdle(Browser);
        EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateComplete);
    }
    std::string BodyText() { return Browser.Document().Body().InnerText(); }

    TestHttpServer Server;
    TStaticWebBrowser Browser;
};

TEST_F(StaticBrowserTest, FreshBrowserHasNoPage) {
    EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_FALSE(Browser.Busy());
    EXPECT_TRUE(Browser.LocationURL().isEmpty());
    EXPECT_FALSE(VarHasValue(Browser.Document()));
    EXPECT_EQ(Browser.EngineName(), QStringLiteral("static"));
    EXPECT_EQ(CreateWebBrowser(QStringLiteral("static"))->EngineName(), QStringLiteral("static"));
    EXPECT_THROW(CreateWebBrowser(QStringLiteral("nonesuch")), Exception);
}

TEST_F(StaticBrowserTest, LoadsFilesAndAboutBlank) {
    test::TempDir dir;
    const std::string file = dir.Write("page.html", "<title>T</title><a href='b.html'>b</a>");
    Browser.Navigate(QUrl::fromLocalFile(Q(file)).toString());
    WaitIdle(Browser);
    EXPECT_EQ(Browser.Document().Title(), "T");
    EXPECT_EQ(Browser.LocationURL().toStdString(), "file://" + file);
    EXPECT_EQ(Browser.Document().Tags("A").Item(0).Href(), "file://" + dir.Path() + "/b.html");
    // A path without a scheme is a file too.
    Browser.Navigate(Q(file));
    WaitIdle(Browser);
    EXPECT_EQ(Browser.Document().Title(), "T");

    Browser.Navigate(QStringLiteral("about:blank"));
    EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateLoading);
    WaitIdle(Browser);
    EXPECT_EQ(Browser.LocationURL(), QStringLiteral("about:blank"));
    EXPECT_EQ(Browser.Document().Body().ChildNodes().Length(), 0);
}

TEST_F(StaticBrowserTest, PostsFormDataWithItsHeaders) {
    Server.Server().Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<p>" + req.body + "</p>", "text/html");
    });
    Server.Redirect("/post-then-get", "/echo-get", 303);
    Server.Page("/echo-get", "<p>got</p>");
    Server.Start();
    NavigateWithPost(Browser, Server.Url("/echo?x=1"), "y=%41+b", "http://referer.example/");
    WaitIdle(Browser);
    const test::TRecordedRequest req = Server.LastRequest("/echo");
    EXPECT_EQ(req.Method, "POST");
    EXPECT_EQ(req.Path, "/echo");
    EXPECT_EQ(req.Body, "x=1&y=%41+b");
    EXPECT_EQ(req.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(req.Header("Referer"), "http://referer.example/");
    EXPECT_EQ(BodyText(), "x=1&y=%41+b");

    NavigateWithPost(Browser, Server.Url("/post-then-get"), "a=1");
    WaitIdle(Browser);
    EXPECT_EQ(Server.LastRequest("/echo-get").Method, "GET");
    EXPECT_EQ(Browser.LocationURL().toStdString(), Server.Url("/echo-get"));
}

TEST_F(StaticBrowserTest, StopShowsWhatArrivedOfAPageThatNeverEnds) {
    Server.NeverEnding("/slow", "<title>Slow</title><a href='/x'>first link</a>");
    Server.Start();
    Browser.Navigate(Q(Server.Url("/slow")));
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 500)
        SpinMessages(5);
    EXPECT_TRUE(Browser.Busy());
    EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateLoading);
    Browser.Stop();
    EXPECT_FALSE(Browser.Busy());
    EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_EQ(Browser.Document().Tags("A").Item(0).InnerText(), "first link");
    EXPECT_EQ(Browser.LocationURL().toStdString(), Server.Url("/slow"));
}

TEST_F(StaticBrowserTest, WaitPageReadyAcceptsACompletePage) {
    const TPageWaitSettings saved = PageWaitSettings();
    SetPageWaitSettings(3, 0, 90);
    Server.Page("/p", "<p>ready</p>");
    Server.Start();
    Browser.Navigate(Q(Server.Url("/p")));
    EXPECT_TRUE(WaitPageReady(Browser, -1, -1));
    EXPECT_EQ(BodyText(), "ready");
    SetPageWaitSettings(saved.MinRepeatTimes, saved.MinWaitSeconds, saved.MaxWaitSeconds);
}

struct TCharsetCase {
    const char* Name;
    const char* ContentType;
    std::string Bytes;
    const char* Text; // UTF-8
    const char* Charset;
};

class StaticBrowserCharsetTest : public StaticBrowserTest,
                                 public ::testing::WithParamInterface<TCharsetCase> {};

TEST_P(StaticBrowserCharsetTest, DecodesAsABrowserDoes) {
    const TCharsetCase& c = GetParam();
    Server.Server().Get("/page", [&c](const httplib::Request&, httplib::Response& res) {
        res.set_content(c.Bytes, c.ContentType);
    });
    Server.Start();
    Load("/page");
    EXPECT_EQ(BodyText(), c.Text);
    EXPECT_EQ(Browser.Document().Charset(), c.Charset);
}

const TCharsetCase kCharsetCases[] = {
    {"Windows1252Unlabelled", "text/html", "<p>caf\xE9 \x80</p>", "caf\xC3\xA9 \xE2\x82\xAC",
     "WINDOWS-1252"},
    {"Latin1LabelIsWindows1252", "text/html; charset=ISO-8859-1", "<p>\x93q\x94</p>",
     "\xE2\x80\x9Cq\xE2\x80\x9D", "WINDOWS-1252"},
    {"ShiftJisFromHeader", "text/html; charset=Shift_JIS", "<p>\x93\xFA\x96\x7B</p>",
     "\xE6\x97\xA5\xE6\x9C\xAC", "SHIFT_JIS"},
    {"ShiftJisFromMeta", "text/html", "<meta charset=\"shift_jis\"><p>\x93\xFA\x96\x7B</p>",
     "\xE6\x97\xA5\xE6\x9C\xAC", "SHIFT_JIS"},
    {"ShiftJisLongerText", "text/html; charset=sjis",
     "<p>\x93\xFA\x96\x7B\x8C\xEA\x82\xCC\x83\x65\x83\x4C\x83\x58\x83\x67</p>",
     "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\xE3\x81\xAE\xE3\x83\x86\xE3\x82\xAD\xE3\x82\xB9\xE3\x83"
     "\x88",
     "SHIFT_JIS"},
    {"Gb18030FourByteSequence", "text/html; charset=gb18030", "<p>\x81\x30\x81\x30</p>", "\xC2\x80",
     "GB18030"},
    {"GbkFromHttpEquiv", "text/html",
     "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=gb2312\"><p>\xD6\xD0\xCE\xC4"
     "</p>",
     "\xE4\xB8\xAD\xE6\x96\x87", "GBK"},
    {"HeaderBeatsMeta", "text/html; charset=gbk", "<meta charset=shift_jis><p>\xD6\xD0</p>",
     "\xE4\xB8\xAD", "GBK"},
    {"BomBeatsHeader", "text/html; charset=windows-1252", "\xEF\xBB\xBF<p>\xC3\xA9</p>", "\xC3\xA9",
     "UTF-8"},
    {"UnknownLabelFallsThrough", "text/html; charset=no-such-thing",
     "<meta charset=gbk><p>\xD6\xD0</p>", "\xE4\xB8\xAD", "GBK"},
    {"UnlabelledUtf8", "text/html", "<p>\xC3\xA9t\xC3\xA9</p>", "\xC3\xA9t\xC3\xA9", "UTF-8"},
    {"Utf16MetaMeansUtf8", "text/html", "<meta charset=utf-16><p>\xC3\xA9</p>", "\xC3\xA9",
     "UTF-8"},
};

INSTANTIATE_TEST_SUITE_P(Cases, StaticBrowserCharsetTest, ::testing::ValuesIn(kCharsetCases),
                         [](const auto& info) { return std::string(info.param.Name); });

TEST_F(StaticBrowserTest, LoadsFramesWithTheirPage) {
    Server.Page("/frames", "<frameset cols='50%,50%'><frame src='/f1'><frame src='f2'>"
                           "<frame></frameset>");
    Server.Page("/f1", "<p>one</p><iframe src='/f3'></iframe>");
    Server.Page("/f2", "<p>two</p><iframe src='/frames'></iframe>");
    Server.Page("/f3", "<p>three</p>");
    Server.Start();
    Load("/frames");
    TNode doc = Browser.Document();
    EXPECT_EQ(doc.Body().TagName(), "FRAMESET");
    TNode frames = doc.Frames();
    ASSERT_EQ(frames.Length(), 3);
    EXPECT_EQ(frames.Item(0).Body().InnerText(), "one");
    EXPECT_EQ(frames.Item(1).Body().InnerText(), "two");
    EXPECT_EQ(frames.Item(1).URL(), Server.Url("/f2"));
    EXPECT_EQ(frames.Item(2).URL(), "about:blank");
    EXPECT_EQ(frames.Item(0).Frames().Item(0).Body().InnerText(), "three");
    TNode fd;
    GetFrameDocument(doc, 1, fd);
    EXPECT_EQ(fd, frames.Item(1));
    GetFrameDocument(doc, 3, fd);
    EXPECT_FALSE(VarHasValue(fd));
}

TEST_F(StaticBrowserTest, ClickingALinkNavigates) {
    Server.Page("/a", "<a href='/b?x=1#top'><img src=i.png></a><a href='javascript:go()'>js</a>");
    Server.Page("/b", "<p>page b</p>");
    Server.Start();
    Load("/a");
    Browser.Document().Tags("A").Item(1).Click();
    EXPECT_FALSE(Browser.Busy());
    Browser.Document().Tags("IMG").Item(0).Click(); // the click reaches the link around it
    EXPECT_TRUE(Browser.Busy());
    WaitIdle(Browser);
    EXPECT_EQ(Browser.LocationURL().toStdString(), Server.Url("/b?x=1#top"));
    EXPECT_EQ(BodyText(), "page b");
    EXPECT_EQ(Server.LastRequest("/b").Header("Referer"), Server.Url("/a"));
}

TEST_F(StaticBrowserTest, ClickingASubmitButtonSubmitsTheForm) {
    Server.Page("/form",
                "<form method=POST action='/submit'>"
                "<input name=q value='a b&c'><input type=hidden name=h value='\xC3\xA9'>"
                "<input type=checkbox name=c1 checked><input type=checkbox name=c2 value=x>"
                "<select name=s><option>one<option selected value=2>two</select>"
                "<textarea name=t>l1\nl2</textarea><input name=d disabled value=no>"
                "<input type=submit name=go value=Go><input type=submit name=other value=No>"
                "</form><form action='/search?old=1'><button name=b value=v>Find</button>"
                "<input name=k value='x y'></form>");
    Server.Server().Post("/submit", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>posted</p>", "text/html");
    });
    Server.Page("/search", "<p>found</p>");
    Server.Start();
    Load("/form");
    Browser.Document().Tags("INPUT").Item(5).Click();
    WaitIdle(Browser);
    const test::TRecordedRequest post = Server.LastRequest("/submit");
    EXPECT_EQ(post.Method, "POST");
    EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(post.Body, "q=a+b%26c&h=%C3%A9&c1=on&s=2&t=l1%0D%0Al2&go=Go");
    EXPECT_EQ(BodyText(), "posted");

    Load("/form");
    Browser.Document().Tags("BUTTON").Item(0).Click();
    WaitIdle(Browser);
    EXPECT_EQ(Browser.LocationURL().toStdString(), Server.Url("/search?b=v&k=x+y"));
    EXPECT_EQ(BodyText(), "found");
}

TEST_F(StaticBrowserTest, NetworkFailureGivesAnErrorDocumentAndStatusText) {
    Server.Start();
    const std::string url = Server.Url("/gone");
    Server.Stop(); // nothing listens on the port now
    QStringList texts;
    QObject::connect(&Browser, &TWebBrowser::StatusTextChange, &Browser,
                     [&texts](const QString& Text) { texts << Text; });
    Browser.Navigate(Q(url));
    WaitIdle(Browser);
    EXPECT_EQ(Browser.ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_EQ(Browser.LocationURL().toStdString(), url);
    EXPECT_EQ(Browser.Document().Title(), "Cannot open page");
    EXPECT_TRUE(
        texts.join(QLatin1Char('|')).contains(QStringLiteral("refused"), Qt::CaseInsensitive))
        << texts.join(QLatin1Char('|')).toStdString();
    EXPECT_NE(BodyText().find("refused"), std::string::npos);
}

TEST_F(StaticBrowserTest, UnpacksCompressedBodiesAndSurvivesBrokenOnes) {
    const std::string page = "<p>" + std::string(5000, 'z') + "</p>";
    const QByteArray zlib = qCompress(QByteArray::fromStdString(page)).mid(4);
    Server.Server().Get("/deflate", [zlib](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Encoding", "deflate");
        res.set_content(zlib.toStdString(), "application/octet-stream"); // not compressed again
    });
    Server.Server().Get("/truncated", [zlib](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Encoding", "deflate");
        res.set_content(zlib.left(zlib.size() / 2).toStdString(), "application/octet-stream");
    });
    Server.Server().Get("/garbage", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Content-Encoding", "gzip");
        res.set_content("this is not gzip at all", "application/octet-stream");
    });
    Server.Page("/gzip", page);
    Server.SetCompression(true);
    Server.Start();
    Load("/gzip");
    EXPECT_EQ(Server.LastRequest("/gzip").Header("Accept-Encoding").find("gzip") !=
                  std::string::npos,
              true);
    EXPECT_EQ(BodyText(), std::string(5000, 'z'));
    Load("/deflate");
    EXPECT_EQ(BodyText(), std::string(5000, 'z'));
    Load("/truncated");
    EXPECT_TRUE(Browser.Document().IsDocument());
    Load("/garbage");
    EXPECT_TRUE(Browser.Document().IsDocument());
}

TEST_F(StaticBrowserTest, LoadHtmlShowsBytesAsIfFromTheAddress) {
    Server.Page("/inner", "<p>inner</p>");
    Server.Start();
    Browser.LoadHtml("<a href='x'>x</a><iframe src='/inner'></iframe>", Q(Server.Url("/dir/p")));
    WaitIdle(Browser);
    EXPECT_EQ(Browser.LocationURL().toStdString(), Server.Url("/dir/p"));
    EXPECT_EQ(Browser.Document().Tags("A").Item(0).Href(), Server.Url("/dir/x"));
    EXPECT_EQ(Browser.Document().Frames().Item(0).Body().InnerText(), "inner");
}

TEST_F(StaticBrowserTest, FollowsRedirectsAsBrowsersDo) {
    Server.Server().Get("/r3", [this](const httplib::Request&, httplib::Response& res) {
        res.status = 307;
        res.set_header("Location", Server.Url("/final"));
    });
    Server.Page("/final", "<p>arrived</p>");
    Server.Redirect("/loop", "/loop", 302);
    Server.Start();
    Load("/r3");
    EXPECT_EQ(Browser.LocationURL().toStdString(), Server.Url("/final"));
    EXPECT_EQ(Browser.Document().URL(), Server.Url("/final"));
    Load("/loop");
    EXPECT_NE(BodyText().find("Too many redirects"), std::string::npos);
}

TEST_F(StaticBrowserTest, SendsABrowserUserAgent) {
    Server.Page("/p", "<p>x</p>");
    Server.Start();
    Load("/p");
    EXPECT_EQ(Server.LastRequest("/p").Header("User-Agent").rfind("Mozilla/5.0", 0), 0u);
}

TEST_F(StaticBrowserTest, EmptyErrorPageGetsAGeneratedBody) {
    Server.Server().Get("/bare",
                        [](const httplib::Request&, httplib::Response& res) { res.status = 500; });
    Server.Start();
    Load("/bare");
    EXPECT_EQ(BodyText().substr(0, 3), "500");
}

TEST_F(StaticBrowserTest, PlainTextIsShownAsText) {
    Server.Page("/t", "a <b>not bold</b>\n  b", "text/plain; charset=utf-8");
    Server.Start();
    Load("/t");
    EXPECT_EQ(BodyText(), "a <b>not bold</b>\n  b");
    EXPECT_EQ(Browser.Document().Tags("B").Length(), 0);
}

} // namespace
} // namespace linkvane
