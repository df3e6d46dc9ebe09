// The engine contract shared with the static engine, run for the browser
// engine; and a few more cases of it, run for both engines.
#include "testlib/WebBrowserContract.h"

namespace linkvane::test {

INSTANTIATE_TEST_SUITE_P(Browser, WebBrowserContract, ::testing::Values("browser"));

namespace {

class EngineContract : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        SetPageWaitSettings(0, 0, 30);
        m_browser = CreateWebBrowser(QString::fromLatin1(GetParam()));
        QObject::connect(m_browser.get(), &TWebBrowser::DocumentComplete, m_browser.get(),
                         [this] { ++m_completions; });
        QObject::connect(m_browser.get(), &TWebBrowser::StatusTextChange, m_browser.get(),
                         [this](const QString& Text) { m_statusTexts << Text; });
    }
    void TearDown() override { SetPageWaitSettings(200, 0, 90); }

    void Open(const std::string& Url) {
        m_browser->Navigate(QString::fromStdString(Url));
        ASSERT_TRUE(WaitPageReady(*m_browser));
    }

    TestHttpServer m_server;
    std::unique_ptr<TWebBrowser> m_browser;
    int m_completions = 0;
    QStringList m_statusTexts;
};

TEST_P(EngineContract, OneDocumentCompletePerPageAndNoDocumentBefore) {
    m_server.Page("/a", "<title>Page A</title><p>Hello <a href='/c?x=1#f'>C</a></p>");
    m_server.Start();
    EXPECT_FALSE(VarHasValue(m_browser->Document()));
    Open(m_server.Url("/a"));
    EXPECT_EQ(m_completions, 1);
    EXPECT_EQ(m_browser->StatusText(), QStringLiteral("Done"));
    m_browser->RefreshDocument();
    const TNode doc = m_browser->Document();
    EXPECT_EQ(doc.URL(), m_server.Url("/a"));
    EXPECT_EQ(doc.Body().InnerText(), "Hello C");
    EXPECT_EQ(doc.Tags("A").Item(0).Href(), m_server.Url("/c?x=1#f"));

    // Stop without a load under way changes nothing.
    m_browser->Stop();
    EXPECT_EQ(m_completions, 1);
    EXPECT_EQ(m_browser->ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_EQ(m_browser->Document().Title(), "Page A");
}

TEST_P(EngineContract, PageThatCannotBeReachedIsAnErrorDocument) {
    m_server.Page("/a", "<title>Page A</title><a href='/b'>b</a>");
    m_server.Start();
    TestHttpServer gone;
    gone.Start();
    const std::string url = gone.Url("/gone");
    gone.Stop();
    Open(m_server.Url("/a"));
    m_statusTexts.clear();
    // The page before must not be read again as the page asked for.
    Open(url);
    EXPECT_EQ(m_statusTexts.filter(QStringLiteral("Cannot open ")).size(), 1)
        << m_statusTexts.join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(m_browser->LocationURL().toStdString(), url);
    m_browser->RefreshDocument();
    const TNode doc = m_browser->Document();
    EXPECT_EQ(doc.Title(), "Cannot open page");
    EXPECT_EQ(doc.Tags("A").Length(), 0);
}

TEST_P(EngineContract, PostSendsTheRefererGiven) {
    m_server.Server().Post("/form", [](const httplib::Request&, httplib::Response& Res) {
        Res.set_content("<title>posted</title>", "text/html");
    });
    m_server.Start();
    NavigateWithPost(*m_browser, m_server.Url("/form"), "q=1", m_server.Url("/from"));
    ASSERT_TRUE(WaitPageReady(*m_browser));
    const TRecordedRequest post = m_server.LastRequest("/form");
    EXPECT_EQ(post.Body, "q=1");
    EXPECT_EQ(post.Header("Referer"), m_server.Url("/from"));
    EXPECT_EQ(m_browser->LocationURL().toStdString(), m_server.Url("/form"));
}

TEST_P(EngineContract, InlineFramesOfTheSameSiteHaveDocuments) {
    m_server.Page("/top", "<iframe src='/inner'></iframe><a href='/top-link'>t</a>");
    m_server.Page("/inner", "<a href='deep'>in frame</a>");
    m_server.Start();
    Open(m_server.Url("/top"));
    m_browser->RefreshDocument();
    const TNode frames = m_browser->Document().Frames();
    ASSERT_EQ(frames.Length(), 1);
    const TNode inner = frames.Item(0);
    ASSERT_TRUE(inner.IsDocument());
    EXPECT_EQ(inner.URL(), m_server.Url("/inner"));
    ASSERT_EQ(inner.Tags("A").Length(), 1);
    EXPECT_EQ(inner.Tags("A").Item(0).Href(), m_server.Url("/deep"));
}

INSTANTIATE_TEST_SUITE_P(Engines, EngineContract, ::testing::Values("static", "browser"),
                         [](const auto& Info) { return std::string(Info.param); });

} // namespace
} // namespace linkvane::test
