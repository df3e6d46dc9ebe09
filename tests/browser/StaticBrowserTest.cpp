#include "browser/TStaticWebBrowser.h"
#include "browser/WebTools.h"
#include "testlib/TestUtil.h"

#include <QElapsedTimer>
#include <QUrl>

#include <gtest/gtest.h>

namespace linkvane {
namespace {

/// Pumps until the browser is idle (at most a few seconds).
void WaitIdle(TWebBrowser& Browser) {
    QElapsedTimer timer;
    timer.start();
    while (Browser.Busy() && timer.elapsed() < 10000)
        SpinMessages(1);
}

TEST(StaticBrowser, LoadsFilesAndAboutBlank) {
    test::TempDir dir;
    const std::string file = dir.Write("page.html", "<title>T</title><a href='b.html'>b</a>");
    TStaticWebBrowser browser;
    EXPECT_EQ(browser.ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_TRUE(browser.LocationURL().isEmpty());
    EXPECT_FALSE(VarHasValue(browser.Document()));

    browser.Navigate(QUrl::fromLocalFile(QString::fromStdString(file)).toString());
    EXPECT_EQ(browser.ReadyState(), TWebBrowser::ReadyStateLoading);
    EXPECT_TRUE(browser.Busy());
    WaitIdle(browser);
    EXPECT_EQ(browser.ReadyState(), TWebBrowser::ReadyStateComplete);
    EXPECT_EQ(browser.Document().Title(), "T");
    EXPECT_EQ(browser.LocationURL().toStdString(), "file://" + file);
    EXPECT_EQ(browser.Document().Tags("A").Item(0).Href(), "file://" + dir.Path() + "/b.html");

    browser.Navigate(QStringLiteral("about:blank"));
    EXPECT_EQ(browser.ReadyState(), TWebBrowser::ReadyStateLoading);
    WaitIdle(browser);
    EXPECT_EQ(browser.LocationURL(), QStringLiteral("about:blank"));
    EXPECT_EQ(browser.Document().Body().ChildNodes().Length(), 0);
}

} // namespace
} // namespace linkvane
