#include "gui/TWebEngineBrowser.h"

#include "browser/BrowserUrl.h"
#include "gui/BrowserEngine.h"
#include "gui/PageScripts.h"
#include "gui/SnapshotCheck.h"
#include "gui/frmBrowserOptions.h"
#include "support/Exception.h"
#include "support/TextTrim.h"

#include <QEventLoop>
#include <QTimer>
#include <QWebEngineHttpRequest>
#include <QWebEngineLoadingInfo>
#include <QWebEngineNewWindowRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInfo>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>

#include <csignal>

namespace linkvane {
namespace {

/// The attribute that carries each element's index in a numbered snapshot.
const QString IdAttribute = QStringLiteral("data-linkvane-index");

const char* const NoLongerInPage = "The element is no longer in the page";

/// A new window opened within this long after a click of ours counts as
/// opened by that click.
constexpr int ClickWindowMs = 1000;

QString UrlText(const QUrl& Url) {
    return QString::fromStdString(NormalizeURL(Url.toString(QUrl::FullyEncoded).toStdString()));
}

} // namespace

/// The page, with console messages of page scripts kept out of the program's output.
class TWebEngineBrowser::TPage final : public QWebEnginePage {
public:
    TPage(QWebEngineProfile* Profile, QObject* Parent) : QWebEnginePage(Profile, Parent) {}

protected:
    void javaScriptConsoleMessage(JavaScriptConsoleMessageLevel, const QString&, int,
                                  const QString&) override {}
};

/// Chromium takes no Referer from the headers of a request it is asked to
/// load; this puts the one Navigate2 was given on that page's request.
class TWebEngineBrowser::TRefererInterceptor final : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void Expect(const QUrl& Url, const QByteArray& Referer) {
        m_url = Url;
        m_referer = Referer;
    }
    void interceptRequest(QWebEngineUrlRequestInfo& Info) override {
        if (m_referer.isEmpty() ||
            Info.resourceType() != QWebEngineUrlRequestInfo::ResourceTypeMainFrame)
            return;
        if (Info.requestUrl() == m_url)
            Info.setHttpHeader("Referer", m_referer);
        m_referer.clear();
    }

private:
    QUrl m_url;
    QByteArray m_referer;
};

/// Marks a page script under way for as long as it lives (unless the
/// browser is gone by then).
class TWebEngineBrowser::TScriptScope {
public:
    explicit TScriptScope(TWebEngineBrowser* Browser) : m_browser(Browser) {
        Browser->m_inScript = true;
    }
    ~TScriptScope() {
        if (m_browser)
            m_browser->m_inScript = false;
    }
    bool Alive() const { return !m_browser.isNull(); }

private:
    QPointer<TWebEngineBrowser> m_browser;
};

/// Hands clicks on snapshot elements to the browser; documents hold it weakly.
class TWebEngineBrowser::TClickRouter final : public TDocumentOwner {
public:
    explicit TClickRouter(TWebEngineBrowser* Browser) : m_browser(Browser) {}
    void ClickElement(const TNode& Element) override {
        if (m_browser)
            m_browser->ClickElement(Element);
    }

private:
    QPointer<TWebEngineBrowser> m_browser;
};

TWebEngineBrowser::TWebEngineBrowser(QObject* Parent)
    : TWebBrowser(Parent), m_clickRouter(std::make_shared<TClickRouter>(this)) {
    SwitchOffSandboxForRoot();
    m_profile = new QWebEngineProfile(this); // off the record: cookies and cache in memory
    m_refererInterceptor = new TRefererInterceptor(this);
    m_profile->setUrlRequestInterceptor(m_refererInterceptor);
    m_page = new TPage(m_profile, this);
    QWebEngineSettings* settings = m_page->settings();
    // A failed load gets our own error document (see EndWithFailure), not
    // Chromium's error page, which scripts cannot read.
    settings->setAttribute(QWebEngineSettings::ErrorPageEnabled, false);
    settings->setAttribute(QWebEngineSettings::FocusOnNavigationEnabled, false);

    connect(m_page, &QWebEnginePage::loadingChanged, this, &TWebEngineBrowser::OnLoadingChanged);
    connect(m_page, &QWebEnginePage::loadProgress, this, &TWebEngineBrowser::OnLoadProgress);
    connect(m_page, &QWebEnginePage::urlChanged, this, &TWebEngineBrowser::OnUrlChanged);
    connect(m_page, &QWebEnginePage::linkHovered, this, &TWebEngineBrowser::OnLinkHovered);
    connect(m_page, &QWebEnginePage::newWindowRequested, this,
            &TWebEngineBrowser::OnNewWindowRequested);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, this,
            &TWebEngineBrowser::OnRenderProcessTerminated);

    m_startTimer.setSingleShot(true);
    m_startTimer.setInterval(StartTimeoutMs);
    connect(&m_startTimer, &QTimer::timeout, this, [this] {
        if (!m_awaitingStart)
            return;
        m_awaitingStart = false;
        // A navigation the page never began (refused before it started).
        if (!m_page->isLoading())
            EndWithFailure(m_loadingUrl, QStringLiteral("The page did not begin to load"));
    });

    StartPageProcess();
}

void TWebEngineBrowser::StartPageProcess() {
    // Chromium starts the process that runs the page with the first load.
    // That takes seconds on a busy machine, and the first page's wait would
    // count it against the page's time-out; so it is started here, with an
    // empty page that is not reported (nothing counts as navigated yet).
    QEventLoop loop;
    connect(m_page, &QWebEnginePage::loadFinished, &loop, &QEventLoop::quit);
    connect(m_page, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
    QTimer::singleShot(StartUpTimeoutMs, &loop, &QEventLoop::quit);
    m_page->setUrl(QUrl(QStringLiteral("about:blank")));
    loop.exec();
    // Without a view the page counts as hidden, and Chromium then holds back
    // the timers and animation frames that scripts build pages with. (The
    // page takes this only once it has started.)
    if (!m_view)
        m_page->setVisible(true);
}

TWebEngineBrowser::~TWebEngineBrowser() {
    m_clickRouter.reset();
    if (m_abortWait)
        m_abortWait(TScriptExit::Destroyed);
    // The page must go before its profile.
    delete m_view;
    delete m_page;
    m_page = nullptr;
    delete m_profile;
}

// --- navigation --------------------------------------------------------------

void TWebEngineBrowser::Navigate(const QString& URL) {
    Navigate2(URL, 0, QString(), {}, {});
}

void TWebEngineBrowser::Navigate2(const QString& URL, int32_t, const QString&,
                                  const QByteArray& PostData, const QString& Headers) {
    const QUrl url = UrlFromUserInput(URL);
    if (url.scheme() == QLatin1String("javascript"))
        return; // addresses that run script are not navigations
    auto headers = ParseHeaderLines(Headers);
    QByteArray referer;
    for (auto it = headers.begin(); it != headers.end();) {
        if (it->first.compare("Referer", Qt::CaseInsensitive) == 0) {
            referer = it->second;
            it = headers.erase(it);
        } else {
            ++it;
        }
    }
    m_refererInterceptor->Expect(url, referer);
    StartNavigation(UrlText(url));
    if (PostData.isEmpty() && headers.isEmpty()) {
        m_page->load(url);
        return;
    }
    QWebEngineHttpRequest request(url, PostData.isEmpty() ? QWebEngineHttpRequest::Get
                                                          : QWebEngineHttpRequest::Post);
    if (!PostData.isEmpty())
        request.setPostData(PostData);
    for (const auto& [name, value] : headers)
        request.setHeader(name, value);
    m_page->load(request);
}

void TWebEngineBrowser::StartNavigation(const QString& Url) {
    // The page reports the load a moment later; until then this state
    // stands for it, so a caller sees the loading state at once.
    m_navigated = true;
    m_loading = true;
    m_awaitingStart = true;
    m_documentStale = true;
    ++m_pageSerial;
    m_loadingUrl = Url;
    m_committed = false;
    m_startTimer.start();
    m_loadStatus = QStringLiteral("Opening ") + Url + QStringLiteral("...");
    SetStatusText(m_loadStatus);
}

void TWebEngineBrowser::Stop() {
    if (m_abortWait)
        m_abortWait(TScriptExit::Stopped);
    if (!m_loading)
        return;
    // What has arrived so far stays the document, as in a browser.
    m_page->triggerAction(QWebEnginePage::Stop);
    EndLoading(QStringLiteral("Stopped"));
}

void TWebEngineBrowser::EndWithFailure(const QString& Url, const QString& Failure) {
    // The page still shows the document before; a run must not take that
    // for the page asked for, so a small error document stands for it.
    m_failedUrl = Url;
    m_document = ErrorPageDocument(Url, Failure);
    m_document.SetOwner(m_clickRouter);
    m_snapshotDocs.clear();
    m_snapshotSerial = m_pageSerial;
    EndLoading(QStringLiteral("Cannot open ") + Url + QStringLiteral(": ") + Failure);
}

void TWebEngineBrowser::EndLoading(const QString& Status) {
    m_loading = false;
    m_awaitingStart = false;
    m_startTimer.stop();
    m_documentStale = true;
    m_loadStatus = Status;
    SetStatusText(Status);
    Q_EMIT DocumentComplete(LocationURL());
}

void TWebEngineBrowser::OnLoadingChanged(const QWebEngineLoadingInfo& Info) {
    if (!m_navigated)
        return; // the empty page that started the page process
    switch (Info.status()) {
    case QWebEngineLoadingInfo::LoadStartedStatus:
        // Also a load the page began by itself (a script, a link clicked).
        if (!m_awaitingStart)
            ++m_pageSerial;
        m_renderGone = false;
        m_committed = false;
        m_loading = true;
        m_awaitingStart = false;
        m_startTimer.stop();
        m_documentStale = true;
        m_loadingUrl = UrlText(Info.url());
        m_loadStatus = QStringLiteral("Opening ") + m_loadingUrl + QStringLiteral("...");
        SetStatusText(m_loadStatus);
        return;
    case QWebEngineLoadingInfo::LoadSucceededStatus:
    case QWebEngineLoadingInfo::LoadStoppedStatus:
    case QWebEngineLoadingInfo::LoadFailedStatus:
        // The end of a load that an earlier Navigate replaced, or of one that
        // Stop already ended.
        if (m_awaitingStart || !m_loading)
            return;
        if (Info.status() == QWebEngineLoadingInfo::LoadSucceededStatus)
            EndLoading(QStringLiteral("Done"));
        else if (!m_committed)
            EndWithFailure(UrlText(Info.url()), Info.errorString());
        else if (Info.status() == QWebEngineLoadingInfo::LoadStoppedStatus)
            EndLoading(QStringLiteral("Stopped"));
        else
            EndLoading(QStringLiteral("Cannot open ") + UrlText(Info.url()) + QStringLiteral(": ") +
                       Info.errorString());
        return;
    }
}

void TWebEngineBrowser::OnLoadProgress(int Progress) {
    if (!m_loading || Progress <= 0 || Progress >= 100)
        return;
    SetStatusText(QStringLiteral("Opening %1... %2%").arg(m_loadingUrl).arg(Progress));
}

void TWebEngineBrowser::OnUrlChanged() {
    if (!m_navigated)
        return;
    m_documentStale = true;
    if (m_loading) {
        m_committed = true;
        m_failedUrl.clear();
    }
    // A navigation that replaced one still loading shows itself only so.
    if (m_awaitingStart) {
        m_awaitingStart = false;
        m_startTimer.stop();
    }
}

void TWebEngineBrowser::OnLinkHovered(const QString& Url) {
    SetStatusText(Url.isEmpty() ? m_loadStatus : Url);
}

void TWebEngineBrowser::OnNewWindowRequested(QWebEngineNewWindowRequest& Request) {
    // A link or form aimed at another window opens here, as in the static
    // engine; windows that scripts open by themselves (pop-ups) are refused.
    const bool byOurClick = m_lastClick.isValid() && m_lastClick.elapsed() < ClickWindowMs;
    if (!Request.isUserInitiated() && !byOurClick)
        return;
    StartNavigation(UrlText(Request.requestedUrl()));
    m_page->load(Request.requestedUrl());
}

void TWebEngineBrowser::OnRenderProcessTerminated() {
    // The end of a process ended for not answering may be reported only
    // after the next load began; it says nothing about that load.
    if (m_endedProcess) {
        m_endedProcess = false;
        return;
    }
    m_renderGone = true;
    if (m_abortWait)
        m_abortWait(TScriptExit::Destroyed);
    if (m_loading)
        EndLoading(QStringLiteral("The page's process ended"));
    else
        SetStatusText(QStringLiteral("The page's process ended"));
}

bool TWebEngineBrowser::Busy() const {
    return m_loading;
}

int32_t TWebEngineBrowser::ReadyState() const {
    return m_loading ? ReadyStateLoading : ReadyStateComplete;
}

QString TWebEngineBrowser::LocationURL() const {
    if (!m_navigated)
        return {};
    if (!m_failedUrl.isEmpty())
        return m_failedUrl;
    const QUrl url = m_page->url();
    return url.isEmpty() ? QString() : UrlText(url);
}

// --- page scripts ------------------------------------------------------------

TWebEngineBrowser::TScriptExit
TWebEngineBrowser::RunScript(const QString& Name, const QJsonObject& Args, QVariant& Result) {
    if (m_renderGone)
        return TScriptExit::Destroyed;
    struct TWait {
        QEventLoop Loop;
        QVariant Value;
        bool Done = false;
        TScriptExit Exit = TScriptExit::TimedOut;
        void Finish(TScriptExit How, const QVariant& V = {}) {
            if (Done)
                return;
            Done = true;
            Exit = How;
            Value = V;
            Loop.quit();
        }
    };
    auto wait = std::make_shared<TWait>();
    std::weak_ptr<TWait> weak = wait;
    m_page->runJavaScript(PageScriptCall(Name, Args), QWebEngineScript::ApplicationWorld,
                          [weak](const QVariant& Value) {
                              if (auto w = weak.lock())
                                  w->Finish(TScriptExit::Result, Value);
                          });
    // Every way the answer can fail to come ends the wait: a new document
    // (its scripts' answers are lost), the page or its process gone, Stop,
    // and the time-out.
    QEventLoop* loop = &wait->Loop;
    TWait* w = wait.get();
    connect(m_page, &QWebEnginePage::loadStarted, loop, [w] { w->Finish(TScriptExit::Navigated); });
    connect(m_page, &QWebEnginePage::urlChanged, loop, [w] { w->Finish(TScriptExit::Navigated); });
    connect(m_page, &QObject::destroyed, loop, [w] { w->Finish(TScriptExit::Destroyed); });
    QTimer::singleShot(m_scriptTimeoutMs, loop, [w] { w->Finish(TScriptExit::TimedOut); });
    auto previousAbort = std::move(m_abortWait);
    m_abortWait = [w](TScriptExit How) { w->Finish(How); };

    QPointer<TWebEngineBrowser> self(this);
    if (!wait->Done)
        wait->Loop.exec();
    if (!self)
        return TScriptExit::Destroyed;
    m_abortWait = std::move(previousAbort);
    Result = wait->Value;
    if (wait->Exit == TScriptExit::TimedOut) {
        EndUnresponsivePage();
        if (!self)
            return TScriptExit::Destroyed;
    }
    return wait->Exit;
}

void TWebEngineBrowser::EndUnresponsivePage() {
    // A page whose scripts never give the thread back holds its process,
    // and every later page of its site would wait for it in vain; the
    // process is ended, and the next navigation starts a new one.
    // A navigation begun before the page learns of the end would be sent to
    // the dying process and fail, so the end is waited for.
    const qint64 pid = m_page->renderProcessPid();
    m_renderGone = true;
    if (pid > 0 && ::kill(static_cast<pid_t>(pid), SIGKILL) == 0) {
        m_endedProcess = true;
        QEventLoop loop;
        connect(m_page, &QWebEnginePage::renderProcessTerminated, &loop, &QEventLoop::quit);
        connect(m_page, &QObject::destroyed, &loop, &QEventLoop::quit);
        QTimer::singleShot(ProcessEndTimeoutMs, &loop, &QEventLoop::quit);
        QPointer<TWebEngineBrowser> self(this);
        loop.exec();
        if (!self)
            return;
    }
    SetStatusText(QStringLiteral("The page stopped answering and was closed"));
}

// --- the document ------------------------------------------------------------

TNode TWebEngineBrowser::Document() const {
    if (!m_navigated)
        return {};
    // The document is asked for without a query first (the runner reads
    // its address, the options command checks for one): bring it up to date
    // when the page shows a new document or finished loading.
    if (m_documentStale || !VarHasValue(m_document))
        const_cast<TWebEngineBrowser*>(this)->TakeSnapshot();
    return m_document;
}

void TWebEngineBrowser::RefreshDocument() {
    if (!m_navigated)
        return;
    if (!m_documentStale && m_lastLook.isValid() && m_lastLook.elapsed() < RecheckIntervalMs)
        return;
    TakeSnapshot();
}

void TWebEngineBrowser::TakeSnapshot() {
    // A query made while a snapshot is under way (from an event handled
    // during the wait) sees the snapshot held.
    if (m_inScript || !m_page)
        return;
    // An error document stands for a page that did not load.
    if (!m_failedUrl.isEmpty()) {
        m_documentStale = false;
        return;
    }
    bool numbered = false;
    bool done = false;
    {
        TScriptScope scope(this);
        for (int attempt = 0; attempt < 3 && !done; ++attempt) {
            QJsonObject args{{QStringLiteral("token"), m_snapshotToken},
                             {QStringLiteral("generation"), m_snapshotGeneration},
                             {QStringLiteral("force"), numbered},
                             {QStringLiteral("numbered"), numbered},
                             {QStringLiteral("idAttribute"), IdAttribute}};
            QVariant result;
            const TScriptExit exit = RunScript(QStringLiteral("snapshot"), args, result);
            if (!scope.Alive())
                return;
            // A new document is asked next. Stop ends the wait (a page may hang),
            // but the page under way is still read: it is finished, not dropped.
            if (exit == TScriptExit::Navigated || exit == TScriptExit::Stopped)
                continue;
            if (exit != TScriptExit::Result)
                break;
            const QVariantMap map = result.toMap();
            if (map.isEmpty())
                break; // the script failed: the page holds no document it can read
            if (map.contains(QStringLiteral("unchanged"))) {
                done = true;
                break;
            }
            if (ParseSnapshot(map)) {
                m_snapshotSerial = m_pageSerial;
                done = true;
                break;
            }
            // The parser built the page's elements differently than the browser
            // holds them; number every element instead.
            numbered = true;
        }
    }
    if (done) {
        m_documentStale = false;
        m_lastLook.start();
        return;
    }
    // The page cannot be read (its scripts hang, its process ended). The
    // snapshot of an earlier page must not stand for it.
    if (m_snapshotSerial != m_pageSerial || !VarHasValue(m_document)) {
        const QString url = LocationURL();
        m_document = BlankDocument(url.isEmpty() ? "about:blank" : url.toStdString());
        m_document.SetOwner(m_clickRouter);
        m_snapshotDocs.clear();
        m_snapshotSerial = m_pageSerial;
    }
}

bool TWebEngineBrowser::ParseSnapshot(const QVariantMap& Snapshot) {
    const QVariantList docs = Snapshot.value(QStringLiteral("docs")).toList();
    if (docs.isEmpty())
        return false;
    std::vector<TSnapshotDoc> parsed;
    parsed.reserve(static_cast<size_t>(docs.size()));
    for (const QVariant& entry : docs) {
        const QVariantMap d = entry.toMap();
        TSnapshotDoc doc;
        doc.Numbered = d.value(QStringLiteral("numbered")).toBool();
        const QByteArray html = d.value(QStringLiteral("html")).toString().toUtf8();
        TDocumentOptions options;
        options.URL = NormalizeURL(d.value(QStringLiteral("url")).toString().toStdString());
        options.ForceUtf8 = true;
        if (doc.Numbered)
            options.ExternalIdAttribute = IdAttribute.toStdString();
        doc.Document = ParseHtmlDocument(
            std::string_view(html.constData(), static_cast<size_t>(html.size())), options);
        // Clicks reach live elements by their index: the parsed document
        // must hold exactly the page's elements, in the page's order.
        if (!doc.Numbered &&
            (doc.Document.All().Length() != d.value(QStringLiteral("count")).toInt() ||
             !ElementsMatchSerialization(
                 doc.Document,
                 std::string_view(html.constData(), static_cast<size_t>(html.size())))))
            return false;
        doc.Document.SetOwner(m_clickRouter);
        const int parent = d.value(QStringLiteral("parent")).toInt();
        const int frameIndex = d.value(QStringLiteral("frameIndex")).toInt();
        if (parent >= 0 && static_cast<size_t>(parent) < parsed.size()) {
            const TNode frame = ElementAt(parsed[static_cast<size_t>(parent)], frameIndex);
            const std::string tag = frame.IsElement() ? frame.TagName() : std::string();
            if (tag == "IFRAME" || tag == "FRAME")
                frame.SetContentDocument(doc.Document);
        }
        parsed.push_back(std::move(doc));
    }
    m_snapshotDocs = std::move(parsed);
    m_document = m_snapshotDocs.front().Document;
    m_snapshotToken = Snapshot.value(QStringLiteral("token")).toString();
    m_snapshotGeneration = Snapshot.value(QStringLiteral("generation")).toInt();
    return true;
}

TNode TWebEngineBrowser::ElementAt(const TSnapshotDoc& Doc, int Index) {
    if (Index < 0)
        return {};
    if (!Doc.Numbered)
        return Doc.Document.All().Item(Index);
    for (const char* tag : {"IFRAME", "FRAME"}) {
        const TNode frames = Doc.Document.All().Tags(tag);
        for (int32_t i = 0, n = frames.Length(); i < n; ++i)
            if (frames.Item(i).ExternalId() == Index)
                return frames.Item(i);
    }
    return {};
}

// --- clicks --------------------------------------------------------------------

void TWebEngineBrowser::ClickElement(const TNode& Element) {
    if (m_inScript || !Element.IsElement())
        return;
    const TNode doc = Element.OwnerDocument();
    size_t docIndex = 0;
    while (docIndex < m_snapshotDocs.size() && m_snapshotDocs[docIndex].Document != doc)
        ++docIndex;
    // An element of an earlier snapshot, or one the query engine made, has
    // no live element behind it.
    const int64_t index = docIndex == m_snapshotDocs.size()   ? -1
                          : m_snapshotDocs[docIndex].Numbered ? Element.ExternalId()
                                                              : Element.SourceIndex();
    if (index < 0)
        throw Exception(NoLongerInPage);
    QJsonObject attributes;
    for (const char* name : {"id", "name", "href"})
        attributes.insert(QLatin1String(name),
                          QString::fromStdString(Element.GetRawAttribute(name)));
    QJsonObject args{{QStringLiteral("token"), m_snapshotToken},
                     {QStringLiteral("generation"), m_snapshotGeneration},
                     {QStringLiteral("doc"), static_cast<int>(docIndex)},
                     {QStringLiteral("index"), static_cast<qint64>(index)},
                     {QStringLiteral("tag"), QString::fromStdString(LowerAscii(Element.TagName()))},
                     {QStringLiteral("attributes"), attributes}};
    TScriptExit exit = TScriptExit::Destroyed;
    QVariant result;
    {
        TScriptScope scope(this);
        m_lastClick.start();
        exit = RunScript(QStringLiteral("click"), args, result);
        if (!scope.Alive())
            return;
    }
    // Handlers may have changed the page; the next query looks.
    m_documentStale = true;
    if (exit == TScriptExit::Result && !result.toBool())
        throw Exception(NoLongerInPage);
}

// --- window --------------------------------------------------------------------

QWebEngineView* TWebEngineBrowser::CreateView(QWidget* Parent) {
    delete m_view;
    m_view = new QWebEngineView(Parent);
    m_view->setPage(m_page);
    return m_view;
}

bool TWebEngineBrowser::ExecCommand(int32_t CommandId) {
    if (CommandId != 3 || !m_view)
        return false;
    TBrowserOptions_Frm dialog(m_page, m_view->window());
    dialog.exec();
    return true;
}

TWebBrowser::TCapabilities TWebEngineBrowser::Capabilities() const {
    TCapabilities caps;
    caps.RunsScripts = true;
    caps.HasOptionsDialog = m_view != nullptr;
    return caps;
}

} // namespace linkvane
