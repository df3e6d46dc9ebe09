#pragma once

#include "browser/TWebBrowser.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QPointer>
#include <QTimer>
#include <QVariant>
#include <QWebEngineView>

#include <functional>
#include <memory>
#include <vector>

class QWebEngineProfile;
class QWebEnginePage;
class QWebEngineLoadingInfo;
class QWebEngineNewWindowRequest;
class QWidget;

namespace linkvane {

/// The browser that runs scripts: Qt WebEngine (Chromium) behind TWebBrowser.
///
/// Its page lives in a QWebEnginePage of its own profile (cookies and cache
/// kept in memory for the life of the browser); a window shows it through a
/// view made with CreateView. The document it hands out is a snapshot of
/// the live page in our document model, made by a page script that runs in
/// a script world of its own: the page and its readable (same-origin)
/// frames are serialized, parsed, and taken again whenever the live page
/// has changed when RefreshDocument is called (the query engine does so at
/// the start of each query). A click on an element of the snapshot clicks
/// the live element behind it, or raises an error when the page no longer
/// holds that element.
///
/// Needs a QGuiApplication (QApplication for the view and the options
/// dialog); see PrepareBrowserEngine.
class TWebEngineBrowser final : public TWebBrowser {
    Q_OBJECT
public:
    /// Milliseconds a page script (a snapshot, a click) may take by default.
    /// A page that does not answer in that time is busy in an endless
    /// script: its process is ended (the next navigation starts a new one)
    /// rather than letting it stall a run.
    static constexpr int ScriptTimeoutMs = 10000;
    /// Milliseconds after Navigate in which the page must begin loading;
    /// a navigation the page never starts ends the loading state then.
    static constexpr int StartTimeoutMs = 5000;
    /// Milliseconds waited at most for the end of a page process that was ended.
    static constexpr int ProcessEndTimeoutMs = 3000;
    /// Milliseconds the constructor waits at most for Chromium's page process.
    static constexpr int StartUpTimeoutMs = 20000;
    /// RefreshDocument within this many milliseconds of the last look at a
    /// page that has shown no change since keeps the snapshot without asking
    /// the page again: the runner queries once per link of a page, and the
    /// positions it holds must keep pointing into the same snapshot.
    static constexpr int RecheckIntervalMs = 50;

    /// Starts Chromium's page process and waits until it is ready (events
    /// are processed meanwhile), so that the first page loads at once.
    explicit TWebEngineBrowser(QObject* Parent = nullptr);
    ~TWebEngineBrowser() override;

    void Navigate(const QString& URL) override;
    void Navigate2(const QString& URL, int32_t Flags, const QString& TargetFrameName,
                   const QByteArray& PostData, const QString& Headers) override;
    void Stop() override;
    bool Busy() const override;
    int32_t ReadyState() const override;
    QString LocationURL() const override;
    TNode Document() const override;
    void RefreshDocument() override;
    /// 3: the options dialog (JavaScript, images, user agent, cookies and
    /// cache), only when the page is shown in a window.
    bool ExecCommand(int32_t CommandId) override;
    TCapabilities Capabilities() const override;
    QString EngineName() const override { return QStringLiteral("browser"); }

    /// Shows the page in a new view inside Parent (one view at a time);
    /// the view belongs to Parent.
    QWebEngineView* CreateView(QWidget* Parent);
    QWebEngineView* View() const { return m_view; }
    void SetScriptTimeout(int Milliseconds) { m_scriptTimeoutMs = Milliseconds; }
    QWebEnginePage* Page() const { return m_page; }
    QWebEngineProfile* Profile() const { return m_profile; }

private:
    class TPage;
    class TClickRouter;
    class TRefererInterceptor;
    class TScriptScope;
    enum class TScriptExit { Result, Navigated, Stopped, Destroyed, TimedOut };
    struct TSnapshotDoc {
        TNode Document;
        bool Numbered = false;
    };

    void StartPageProcess();
    TScriptExit RunScript(const QString& Name, const QJsonObject& Args, QVariant& Result);
    void EndUnresponsivePage();
    void TakeSnapshot();
    /// Makes the snapshot's documents; false when a parsed document does
    /// not hold the page's elements one for one.
    bool ParseSnapshot(const QVariantMap& Snapshot);
    /// The element of Doc whose index in the live page is Index (FRAME or
    /// IFRAME elements only for numbered documents).
    static TNode ElementAt(const TSnapshotDoc& Doc, int Index);
    /// Clicks the live element behind Element; raises "The element is no
    /// longer in the page" when there is none (an element of an earlier
    /// snapshot, one the query engine made, one the page has dropped).
    void ClickElement(const TNode& Element);

    void StartNavigation(const QString& Url);
    void EndLoading(const QString& Status);
    /// Ends a load that showed nothing: an error document takes its place.
    void EndWithFailure(const QString& Url, const QString& Failure);
    void OnLoadingChanged(const QWebEngineLoadingInfo& Info);
    void OnLoadProgress(int Progress);
    void OnUrlChanged();
    void OnLinkHovered(const QString& Url);
    void OnNewWindowRequested(QWebEngineNewWindowRequest& Request);
    void OnRenderProcessTerminated();

    QWebEngineProfile* m_profile = nullptr;
    QWebEnginePage* m_page = nullptr;
    QPointer<QWebEngineView> m_view;
    std::shared_ptr<TClickRouter> m_clickRouter;
    TRefererInterceptor* m_refererInterceptor = nullptr;

    bool m_loading = false;
    /// Navigate was called and the page has not begun that load yet.
    bool m_awaitingStart = false;
    QTimer m_startTimer;
    bool m_navigated = false;
    /// The page's process has ended; scripts cannot run until a load begins.
    bool m_renderGone = false;
    /// EndUnresponsivePage ended the page's process.
    bool m_endedProcess = false;
    QString m_loadingUrl;
    /// The load under way has shown its document (its address is the page's).
    bool m_committed = false;
    /// The address of a load that failed before it showed anything; while
    /// set, an error document is the document.
    QString m_failedUrl;
    /// The status text of the load, shown again when the mouse leaves a link.
    QString m_loadStatus;
    /// Counts the documents the page has begun to show.
    int m_pageSerial = 0;

    TNode m_document;
    std::vector<TSnapshotDoc> m_snapshotDocs;
    QString m_snapshotToken;
    int m_snapshotGeneration = 0;
    /// m_pageSerial of the page the snapshot shows.
    int m_snapshotSerial = -1;
    /// The page may hold a document the snapshot does not show yet.
    bool m_documentStale = true;
    bool m_inScript = false;
    int m_scriptTimeoutMs = ScriptTimeoutMs;
    /// Ends the script wait under way, if any.
    std::function<void(TScriptExit)> m_abortWait;
    QElapsedTimer m_lastClick;
    /// Since the page was last asked whether it changed.
    QElapsedTimer m_lastLook;
};

} // namespace linkvane
