#pragma once

#include "browser/Dom.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

namespace linkvane {

/// A browser that loads pages and hands out documents of our document model.
/// Loading is asynchronous and driven by the event loop: Navigate returns at
/// once, and Busy and ReadyState change while the caller pumps events (see
/// WaitPageReady). Engines are final subclasses; pick one by name with
/// CreateWebBrowser.
class TWebBrowser : public QObject {
    Q_OBJECT
public:
    /// ReadyState values.
    static constexpr int32_t ReadyStateLoading = 1;
    static constexpr int32_t ReadyStateComplete = 4;

    /// What an engine can do, so callers need not know which one they hold.
    struct TCapabilities {
        bool RunsScripts = false;
        bool HasOptionsDialog = false;
    };

    explicit TWebBrowser(QObject* Parent = nullptr);
    ~TWebBrowser() override;

    /// Starts loading URL (an address; text without a scheme is taken as
    /// http:, a path as file:). ReadyState is loading when this returns.
    virtual void Navigate(const QString& URL) = 0;
    /// Starts loading URL; a non-empty PostData is posted with Headers (text
    /// of CR LF ended "Name: value" lines), an empty one makes a GET with
    /// Headers. Flags are not used by the engines here; TargetFrameName
    /// "_BLANK" or any other name loads into this browser.
    virtual void Navigate2(const QString& URL, int32_t Flags, const QString& TargetFrameName,
                           const QByteArray& PostData, const QString& Headers) = 0;
    /// Ends loading; the document keeps what has arrived so far.
    virtual void Stop() = 0;
    /// True while loading.
    virtual bool Busy() const = 0;
    /// ReadyStateLoading while loading, ReadyStateComplete otherwise (also
    /// before the first navigation).
    virtual int32_t ReadyState() const = 0;
    /// The address of the page shown, after redirects; empty before the first page.
    virtual QString LocationURL() const = 0;
    /// The document of the page shown; nothing before the first page.
    virtual TNode Document() const = 0;
    /// Brings Document up to date with the page before it is queried. An
    /// engine whose pages change by themselves (scripts) rebuilds its
    /// document here; the static engine's documents are always current.
    virtual void RefreshDocument() {}
    /// Runs a browser command (3: the Internet Options dialog). Answers
    /// false when the engine has no such command.
    virtual bool ExecCommand(int32_t CommandId);
    virtual TCapabilities Capabilities() const { return {}; }
    /// "static" or "browser".
    virtual QString EngineName() const = 0;

    /// The status text last reported.
    QString StatusText() const { return m_statusText; }

Q_SIGNALS:
    /// The status text changed (loading progress, "Done", a failure).
    void StatusTextChange(const QString& Text);
    /// A page (with its frames) finished loading or loading was stopped.
    void DocumentComplete(const QString& URL);

protected:
    /// Stores Text and emits StatusTextChange.
    void SetStatusText(const QString& Text);

private:
    QString m_statusText;
};

/// Makes a browser engine; the caller owns it.
using TWebBrowserFactory = std::function<std::unique_ptr<TWebBrowser>()>;

/// Adds or replaces an engine under Name ("static" is built in; the window's
/// library adds "browser").
void RegisterWebBrowserEngine(const QString& Name, TWebBrowserFactory Factory);
/// A new browser of the named engine. Raises "Unknown browser engine: %s".
std::unique_ptr<TWebBrowser> CreateWebBrowser(const QString& Name);
/// The registered engine names, sorted.
QStringList WebBrowserEngineNames();

/// The User-Agent the engines send.
QByteArray BrowserUserAgent();

// Helpers the engines share.

/// "Name: value" lines (CR LF or LF ended) as header pairs; lines without a
/// name are skipped.
QList<QPair<QByteArray, QByteArray>> ParseHeaderLines(const QString& Headers);
/// The small document that stands for a page that could not be loaded: its
/// address and the failure, at that address.
TNode ErrorPageDocument(const QString& URL, const QString& Failure);

} // namespace linkvane
