#include "QueryTestUtil.h"

#include "support/TextTrim.h"
#include "testlib/TestUtil.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QUrl>

namespace linkvane::test {

std::string QueryFixture(const std::string& Name) {
    return SourceDir() + "/tests/query/fixtures/" + Name;
}

void WaitIdle(TWebBrowser& Browser) {
    QElapsedTimer timer;
    timer.start();
    while ((Browser.Busy() || Browser.ReadyState() != TWebBrowser::ReadyStateComplete) &&
           timer.elapsed() < 10000) {
        QCoreApplication::processEvents();
        QThread::msleep(1);
    }
}

void LoadUrl(TWebBrowser& Browser, const std::string& Url) {
    Browser.Navigate(QString::fromStdString(Url));
    WaitIdle(Browser);
}

void LoadFile(TWebBrowser& Browser, const std::string& FileName) {
    LoadUrl(Browser,
            QUrl::fromLocalFile(QString::fromStdString(FileName)).toString().toStdString());
}

void LoadHtml(TStaticWebBrowser& Browser, const std::string& Html, const std::string& Url) {
    Browser.LoadHtml(QByteArray::fromStdString(Html), QString::fromStdString(Url));
    WaitIdle(Browser);
}

TNode ById(const TNode& Document, const std::string& Id) {
    const TNode all = Document.OwnerDocument().All();
    for (int32_t i = 0, n = all.Length(); i < n; ++i)
        if (all.Item(i).GetRawAttribute("id") == Id)
            return all.Item(i);
    return {};
}

std::string Describe(const TNode& Node) {
    switch (Node.Kind()) {
    case TNodeValueKind::Nothing:
        return "-";
    case TNodeValueKind::Number:
        return "num:" + std::to_string(Node.NumberValue());
    case TNodeValueKind::Document: {
        const std::string url = Node.URL();
        return "#document:" + url.substr(url.rfind('/') + 1);
    }
    case TNodeValueKind::Text:
    case TNodeValueKind::Comment:
        return "'" + TrimText(Node.NodeValue()) + "'";
    case TNodeValueKind::Element: {
        const std::string id = Node.GetRawAttribute("id");
        return id.empty() ? Node.TagName() : id;
    }
    case TNodeValueKind::Collection: {
        std::string out = "[";
        for (int32_t i = 0, n = Node.Length(); i < n; ++i)
            out += (i ? " " : "") + Describe(Node.Item(i));
        return out + "]";
    }
    }
    return "?";
}

std::string DescribePositions(const TNode& Collection, const std::vector<int32_t>& Positions) {
    std::string out;
    for (int32_t p : Positions)
        out += (out.empty() ? "" : " ") + std::to_string(p) + "=" + Describe(Collection.Item(p));
    return out;
}

void TFastClock::Sleep(int32_t Milliseconds) {
    // Loads from files and loopback finish within a few real milliseconds;
    // a short real pause keeps a poll from outrunning them completely.
    QThread::usleep(200);
    m_now += Milliseconds;
}

} // namespace linkvane::test
