#include "browser/WebTools.h"

#include "browser/PageWaitSettings.h"
#include "browser/TWebBrowser.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <chrono>

namespace linkvane {
namespace {

TWaitClock g_realClock;
TWaitClock* g_clock = &g_realClock;

std::string Upper(std::string s) {
    for (char& c : s)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 32);
    return s;
}

std::string TrimBlanks(const std::string& s) {
    size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

} // namespace

void TWaitClock::Pump() {
    QCoreApplication::processEvents();
}

void TWaitClock::Sleep(int32_t Milliseconds) {
    if (Milliseconds <= 0)
        return;
    if (!QCoreApplication::instance()) {
        QThread::msleep(static_cast<unsigned long>(Milliseconds));
        return;
    }
    // The thread keeps serving events while it sleeps: Qt WebEngine runs
    // Chromium's side of a page on this thread, and a thread that really
    // slept would hold every step of a page load up by a whole sleep.
    QDeadlineTimer deadline(Milliseconds, Qt::PreciseTimer);
    QTimer wake;
    wake.setTimerType(Qt::PreciseTimer);
    wake.setSingleShot(true);
    wake.start(Milliseconds);
    while (!deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

int64_t TWaitClock::MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TWaitClock* SetWaitClock(TWaitClock* Clock) {
    TWaitClock* previous = g_clock == &g_realClock ? nullptr : g_clock;
    g_clock = Clock ? Clock : &g_realClock;
    return previous;
}

TWaitClock& WaitClock() {
    return *g_clock;
}

bool WaitPageReady(TWebBrowser& Browser, int32_t MinWaitSeconds, int32_t MaxWaitSeconds) {
    TWaitClock& clock = WaitClock();
    clock.Pump();
    clock.Sleep(10);
    clock.Pump();
    const TPageWaitSettings settings = PageWaitSettings();
    if (MinWaitSeconds == -1)
        MinWaitSeconds = settings.MinWaitSeconds;
    if (MaxWaitSeconds == -1)
        MaxWaitSeconds = settings.MaxWaitSeconds;
    if (MinWaitSeconds > 0)
        WaitWholeSeconds(static_cast<uint16_t>(MinWaitSeconds & 0xFFFF));
    // The time-out is measured on the monotonic clock, so a change of the
    // wall clock (daylight saving, a time sync) neither ends nor stretches it.
    const int64_t start = clock.MonotonicMs();
    int64_t polls = 0;
    for (;;) {
        clock.Pump();
        clock.Sleep(20);
        ++polls;
        if (polls > 100) {
            if (!Browser.Busy() && Browser.ReadyState() == TWebBrowser::ReadyStateLoading)
                return false;
            const int64_t seconds = (clock.MonotonicMs() - start) / 1000;
            if (seconds > MaxWaitSeconds) {
                Browser.Stop();
                SpinMessages(10);
                return true;
            }
        }
        if (polls > settings.MinRepeatTimes &&
            Browser.ReadyState() == TWebBrowser::ReadyStateComplete) {
            clock.Pump();
            return true;
        }
    }
}

void WaitWithMessages(int32_t Amount, bool InMilliseconds) {
    TWaitClock& clock = WaitClock();
    const int64_t limit = InMilliseconds ? Amount : int64_t(Amount) * 1000;
    const int64_t start = clock.MonotonicMs();
    while (static_cast<int32_t>(clock.MonotonicMs() - start) < limit) {
        clock.Pump();
        clock.Sleep(10);
        clock.Pump();
    }
}

void SpinMessages(int32_t Count) {
    TWaitClock& clock = WaitClock();
    for (int32_t i = 0; i < Count; ++i) {
        clock.Pump();
        clock.Sleep(2);
    }
}

void WaitWholeSeconds(uint16_t Seconds) {
    if (Seconds == 0)
        return;
    TWaitClock& clock = WaitClock();
    const int64_t start = clock.MonotonicMs() / 1000;
    do {
        clock.Pump();
        clock.Sleep(2);
    } while (clock.MonotonicMs() / 1000 - start < Seconds);
}

void NavigateWithPost(TWebBrowser& Browser, const std::string& URL, const std::string& PostData,
                      const std::string& Referer, const std::string& TargetFrame, int32_t Flags,
                      bool NewWindow) {
    std::string target = URL;
    std::string data = PostData;
    const size_t q = URL.find('?');
    if (q != std::string::npos) {
        target = URL.substr(0, q);
        data = URL.substr(q + 1) + "&" + PostData;
    }
    QString headers;
    QByteArray body;
    if (!URL.empty() && !data.empty()) {
        if (!Referer.empty())
            headers = QStringLiteral("Referer: ") + QString::fromStdString(Referer) +
                      QStringLiteral("\r\n");
        headers += QStringLiteral("Content-Type: application/x-www-form-urlencoded\r\n");
        body = QByteArray(data.data(), static_cast<qsizetype>(data.size()));
    }
    const QString frame =
        NewWindow ? QStringLiteral("_BLANK") : QString::fromStdString(TargetFrame);
    Browser.Navigate2(QString::fromStdString(target), Flags > 0 ? Flags : 0, frame, body, headers);
}

void ExecBrowserCommand(TWebBrowser& Browser, uint16_t CommandId) {
    try {
        if (!VarHasValue(Browser.Document()))
            return;
        Browser.ExecCommand(CommandId);
    } catch (...) {
        // A browser command is a convenience; its failure changes nothing.
    }
}

void ShowInternetOptions(TWebBrowser& Browser) {
    ExecBrowserCommand(Browser, 3);
}

bool ElementFromNode(TNode& Element, const TNode& Document, const TNode& Node) {
    if (!VarHasValue(Node))
        return false;
    try {
        TNode item = Document.All().Item(Node.SourceIndex());
        if (!item.IsElement())
            return false;
        Element = item;
        return true;
    } catch (...) {
        return false;
    }
}

bool FindAncestorByTag(TNode& Ancestor, const TNode& Element, const std::string& TagName) {
    if (!Element.IsElement() || Upper(Element.TagName()) == "BODY")
        return false;
    for (TNode cur = Element.ParentElement(); cur.IsElement(); cur = cur.ParentElement()) {
        const std::string tag = Upper(cur.TagName());
        if (tag == "BODY")
            return false;
        if (TagName.empty() || TagName == tag) {
            Ancestor = cur;
            return true;
        }
    }
    return false;
}

int32_t SameTagDepth(const TNode& Node, const TNode& Ancestor) {
    if (!Node.IsTreeNode())
        return 0;
    const std::string name = Node.NodeName();
    const bool hasAncestor = Ancestor.IsTreeNode();
    const uint64_t ancestorId = hasAncestor ? Ancestor.UniqueNumber() : 0;
    int32_t count = 0;
    for (TNode cur = Node; cur.IsTreeNode(); cur = cur.ParentNode()) {
        if (hasAncestor && cur.UniqueNumber() == ancestorId)
            break;
        if (cur.NodeName() == name)
            ++count;
    }
    return count;
}

std::string GetObjectParam(const TNode& Document, int32_t ObjectSourceIndex,
                           const std::string& ParamName) {
    const std::string want = Upper(ParamName);
    TNode body = Document.Body();
    if (!VarHasValue(body))
        return {};
    TNode params = body.All().Tags("PARAM");
    for (int32_t i = 0, count = params.Length(); i < count; ++i) {
        TNode param = params.Item(i);
        TNode parent = param.ParentNode();
        if (parent.IsElement() && parent.SourceIndex() == ObjectSourceIndex &&
            Upper(param.Name()) == want)
            return param.Value();
    }
    return {};
}

std::string GetObjectMovieURL(const TNode& Document, int32_t ObjectSourceIndex) {
    std::string url = GetObjectParam(Document, ObjectSourceIndex, "MOVIE");
    if (TrimBlanks(url).empty())
        url = GetObjectParam(Document, ObjectSourceIndex, "SRC");
    return url;
}

void GetFrameDocument(const TNode& Document, int32_t FrameIndex, TNode& FrameDocument) {
    FrameDocument = TNode();
    try {
        TNode frames = Document.Frames();
        if (FrameIndex < frames.Length())
            FrameDocument = frames.Item(FrameIndex);
    } catch (...) {
        // An unreadable frame answers no document.
    }
}

} // namespace linkvane
