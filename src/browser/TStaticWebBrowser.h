#pragma once

#include "browser/TWebBrowser.h"

#include <QList>
#include <QNetworkAccessManager>
#include <QPair>
#include <QUrl>

#include <memory>
#include <vector>

class QNetworkReply;

namespace linkvane {

/// The browser without scripts: loads http:, https:, file: and about:blank
/// through Qt Network and parses pages with our document model. Redirects
/// are followed, cookies kept for the life of the browser, compressed bodies
/// unpacked, FRAME and IFRAME documents loaded with their page. An HTTP error
/// page becomes the document; a network failure gives a small error
/// document and a status text naming the failure. Clicking a link navigates
/// to its address; clicking a submit button of a form submits the form.
class TStaticWebBrowser final : public TWebBrowser {
    Q_OBJECT
public:
    static constexpr int MaxRedirects = 20;
    static constexpr int MaxFrameDepth = 4;
    static constexpr int MaxFramesPerPage = 64;
    /// Bytes kept of one response; the rest is cut off (the page is shown
    /// as far as it came).
    static constexpr qsizetype MaxBodyBytes = qsizetype(256) * 1024 * 1024;

    explicit TStaticWebBrowser(QObject* Parent = nullptr);
    ~TStaticWebBrowser() override;

    void Navigate(const QString& URL) override;
    void Navigate2(const QString& URL, int32_t Flags, const QString& TargetFrameName,
                   const QByteArray& PostData, const QString& Headers) override;
    void Stop() override;
    bool Busy() const override;
    int32_t ReadyState() const override;
    QString LocationURL() const override;
    TNode Document() const override;
    QString EngineName() const override { return QStringLiteral("static"); }

    /// Shows Bytes as the page at URL, as if they had been loaded from there
    /// (frames are then loaded from the network).
    void LoadHtml(const QByteArray& Bytes, const QString& URL);

    QNetworkAccessManager& NetworkAccess() { return m_network; }

private:
    struct TLoad;
    class TClickRouter;
    using THeaders = QList<QPair<QByteArray, QByteArray>>;

    void StartTop(const QUrl& Url, const QByteArray& Method, const QByteArray& Body,
                  const THeaders& Headers);
    void StartFrame(const TNode& FrameElement, const QUrl& Url, const QByteArray& Method,
                    const QByteArray& Body, const THeaders& Headers, int Depth,
                    const QStringList& Ancestors);
    /// A new load of Url, kept until it ends.
    TLoad* AddLoad(const QUrl& Url, const QByteArray& Method, const QByteArray& Body,
                   const THeaders& Headers);
    void Begin(TLoad* Load);
    void SendRequest(TLoad* Load);
    void OnReadyRead(TLoad* Load);
    void OnFinished(TLoad* Load);
    void Finish(TLoad* Load, const TNode& Document, const QString& Failure);
    void LoadFramesOf(const TNode& Document, int Depth, const QStringList& Ancestors);
    void RemoveLoad(TLoad* Load);
    void AbortAll();
    void CompleteIfIdle();
    TNode DocumentFromResponse(TLoad* Load);
    TNode ErrorDocument(const QUrl& Url, const QString& Failure);

    void ClickElement(const TNode& Element);
    void FollowLink(const TNode& Element, const std::string& Url);
    void SubmitForm(const TNode& Form, const TNode& Submitter);
    void NavigateFrom(const TNode& Source, const QUrl& Url, const QByteArray& Method,
                      const QByteArray& Body, const THeaders& Headers, const std::string& Target);
    TNode FrameElementOf(const TNode& Document) const;

    QNetworkAccessManager m_network;
    std::shared_ptr<TClickRouter> m_clickRouter;
    std::vector<std::unique_ptr<TLoad>> m_loads;
    TNode m_document;
    QString m_location;
    bool m_loading = false;
    int m_framesStarted = 0;
};

} // namespace linkvane
