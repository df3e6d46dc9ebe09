#pragma once

// What every browser engine must do, as one value-parameterised suite over
// the engine's registered name. Include this header in exactly one .cpp of a
// test program and instantiate it there:
//
//     #include "testlib/WebBrowserContract.h"
//     namespace linkvane::test {
//     INSTANTIATE_TEST_SUITE_P(Static, WebBrowserContract, ::testing::Values("static"));
//     }

#include "browser/PageWaitSettings.h"
#include "browser/TWebBrowser.h"
#include "browser/WebTools.h"
#include "testlib/TestHttpServer.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <memory>

namespace linkvane::test {

class WebBrowserContract : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_saved = PageWaitSettings();
        Browser = CreateWebBrowser(QString::fromLatin1(GetParam()));
    }
    void TearDown() override {
        Browser.reset();
        SetPageWaitSettings(m_saved.MinRepeatTimes, m_saved.MinWaitSeconds, m_saved.MaxWaitSeconds);
    }

    /// Pumps until the browser is idle (at most 20 seconds).
    void WaitIdle() {
        QElapsedTimer timer;
        timer.start();
        while (Browser->Busy() && timer.elapsed() < 20000)
            SpinMessages(1);
    }
    void Load(const std::string& Path) {
        Browser->Navigate(QString::fromStdString(Server.Url(Path)));
        EXPECT_EQ(Browser->ReadyState(), TWebBrowser::ReadyStateLoading);
        EXPECT_TRUE(Browser->Busy());
        WaitIdle();
        EXPECT_EQ(Browser->ReadyState(), TWebBrowser::ReadyStateComplete);
    }
    /// The document as the query engine sees it.
    TNode Doc() {
        Browser->RefreshDocument();
        return Browser->Document();
    }
    std::string BodyText() { return Doc().Body().InnerText(); }
    std::string Location() { return Browser->LocationURL().toStdString(); }

    TestHttpServer Server;
    std::unique_ptr<TWebBrowser> Browser;

private:
    TPageWaitSettings m_saved;
};

TEST_P(WebBrowserContract, StartsWithoutAPage) {
    EXPECT_EQ(Browser->ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_FALSE(Browser->Busy());
    EXPECT_TRUE(Browser->LocationURL().isEmpty());
    EXPECT_EQ(Browser->EngineName(), QString::fromLatin1(GetParam()));
}

TEST_P(WebBrowserContract, LoadsAPageWithItsAddressAfterRedirects) {
    Server.Redirect("/start", "/middle", 302);
    Server.Redirect("/middle", "/page?x=1", 301);
    Server.Page("/page", "<title>T</title><div><a href='next.html'>Next <b>page</b></a></div>");
    Server.Start();
    Load("/start");
    EXPECT_EQ(Location(), Server.Url("/page?x=1"));
    TNode doc = Doc();
    EXPECT_EQ(doc.Title(), "T");
    TNode a = doc.All().Tags("A").Item(0);
    EXPECT_EQ(a.TagName(), "A");
    EXPECT_EQ(a.Href(), Server.Url("/next.html"));
    EXPECT_EQ(a.GetAttribute("href"), Server.Url("/next.html"));
    EXPECT_EQ(a.InnerText(), "Next page");
}

TEST_P(WebBrowserContract, ReportsStatusText) {
    Server.Page("/p", "<p>x</p>");
    Server.Start();
    QStringList texts;
    QObject::connect(Browser.get(), &TWebBrowser::StatusTextChange, Browser.get(),
                     [&texts](const QString& Text) { texts << Text; });
    Load("/p");
    EXPECT_FALSE(texts.isEmpty());
}

TEST_P(WebBrowserContract, PostsDataWithHeaders) {
    Server.Server().Post("/echo", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<p>" + req.body + "</p>", "text/html");
    });
    Server.Start();
    NavigateWithPost(*Browser, Server.Url("/echo?x=1"), "y=%41+b");
    WaitIdle();
    const TRecordedRequest req = Server.LastRequest("/echo");
    EXPECT_EQ(req.Method, "POST");
    EXPECT_EQ(req.Body, "x=1&y=%41+b");
    EXPECT_EQ(req.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(BodyText(), "x=1&y=%41+b");
}

TEST_P(WebBrowserContract, KeepsCookies) {
    Server.Server().Get("/set", [](const httplib::Request&, httplib::Response& res) {
        res.set_header("Set-Cookie", "session=abc123; Path=/");
        res.set_content("<p>set</p>", "text/html");
    });
    Server.Server().Get("/check", [](const httplib::Request& req, httplib::Response& res) {
        res.set_content("<p>" + req.get_header_value("Cookie") + "</p>", "text/html");
    });
    Server.Start();
    Load("/set");
    Load("/check");
    EXPECT_EQ(BodyText(), "session=abc123");
}

TEST_P(WebBrowserContract, HttpErrorPageIsTheDocument) {
    Server.Server().Get("/missing", [](const httplib::Request&, httplib::Response& res) {
        res.status = 404;
        res.set_content("<h1>Nothing here</h1>", "text/html");
    });
    Server.Start();
    Load("/missing");
    EXPECT_EQ(BodyText(), "Nothing here");
    EXPECT_EQ(Location(), Server.Url("/missing"));
}

TEST_P(WebBrowserContract, NetworkFailureStillGivesADocument) {
    Server.Start();
    const std::string url = Server.Url("/gone");
    Server.Stop();
    Browser->Navigate(QString::fromStdString(url));
    WaitIdle();
    EXPECT_EQ(Browser->ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_TRUE(Doc().IsDocument());
}

TEST_P(WebBrowserContract, TimeOutStopsAPageThatNeverEndsAndKeepsWhatCame) {
    SetPageWaitSettings(5, 0, 0);
    Server.NeverEnding("/slow", "<title>Slow</title><a href='/x'>partial</a>");
    Server.Start();
    Browser->Navigate(QString::fromStdString(Server.Url("/slow")));
    EXPECT_TRUE(WaitPageReady(*Browser, -1, -1));
    EXPECT_FALSE(Browser->Busy());
    EXPECT_EQ(Browser->ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_EQ(Doc().Tags("A").Item(0).InnerText(), "partial");
}

TEST_P(WebBrowserContract, ClickingALinkNavigates) {
    Server.Page("/a", "<a href='/b?x=1'><img src=i.png></a>");
    Server.Page("/b", "<p>page b</p>");
    Server.Start();
    SetPageWaitSettings(2, 0, 30);
    Load("/a");
    Doc().Tags("IMG").Item(0).Click();
    EXPECT_TRUE(WaitPageReady(*Browser, 1, -1));
    WaitIdle();
    EXPECT_EQ(Location(), Server.Url("/b?x=1"));
    EXPECT_EQ(BodyText(), "page b");
}

TEST_P(WebBrowserContract, ClickingASubmitButtonPostsTheForm) {
    Server.Page("/form", "<form method=post action='/submit'><input name=q value='a b'>"
                         "<input type=submit name=go value=Go></form>");
    Server.Server().Post("/submit", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<p>posted</p>", "text/html");
    });
    Server.Start();
    SetPageWaitSettings(2, 0, 30);
    Load("/form");
    Doc().Tags("INPUT").Item(1).Click();
    EXPECT_TRUE(WaitPageReady(*Browser, 1, -1));
    WaitIdle();
    const TRecordedRequest post = Server.LastRequest("/submit");
    EXPECT_EQ(post.Body, "q=a+b&go=Go");
    EXPECT_EQ(post.Header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(BodyText(), "posted");
}

TEST_P(WebBrowserContract, FrameDocumentsComeWithThePage) {
    Server.Page("/frames",
                "<frameset cols='50%,50%'><frame src='/f1'><frame src='/f2'></frameset>");
    Server.Page("/f1", "<p>one</p>");
    Server.Page("/f2", "<p>two</p>");
    Server.Start();
    Load("/frames");
    TNode frames = Doc().Frames();
    ASSERT_EQ(frames.Length(), 2);
    EXPECT_EQ(frames.Item(0).Body().InnerText(), "one");
    TNode second;
    GetFrameDocument(Doc(), 1, second);
    ASSERT_TRUE(second.IsDocument());
    EXPECT_EQ(second.Body().InnerText(), "two");
}

} // namespace linkvane::test
