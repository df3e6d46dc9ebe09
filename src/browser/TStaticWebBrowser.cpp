#include "browser/TStaticWebBrowser.h"

#include "browser/BrowserUrl.h"
#include "support/TextTrim.h"

#include <QFileInfo>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QStringEncoder>
#include <QTimer>

#include <algorithm>

namespace linkvane {

/// One document being loaded: the page itself or one of its frames.
struct TStaticWebBrowser::TLoad {
    QUrl Url;
    QByteArray Method = "GET";
    QByteArray PostData;
    THeaders Headers;
    int Redirects = 0;
    bool IsTop = true;
    TNode FrameElement;
    int Depth = 0;
    QStringList Ancestors;
    QNetworkReply* Reply = nullptr;
    QByteArray Body;
    bool ResponseStarted = false;
    bool Truncated = false;
};

class TStaticWebBrowser::TClickRouter final : public TDocumentOwner {
public:
    explicit TClickRouter(TStaticWebBrowser* Browser) : m_browser(Browser) {}
    void ClickElement(const TNode& Element) override { m_browser->ClickElement(Element); }

private:
    TStaticWebBrowser* m_browser;
};

namespace {

std::string HtmlEscaped(const QString& Text) {
    return Text.toHtmlEscaped().toStdString();
}

/// "text/html; charset=Shift_JIS" → mime type "text/html", charset "Shift_JIS".
void SplitContentType(const QByteArray& Header, QByteArray& Mime, QByteArray& Charset) {
    const QList<QByteArray> parts = Header.split(';');
    Mime = parts.isEmpty() ? QByteArray() : parts.first().trimmed().toLower();
    Charset.clear();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QByteArray p = parts[i].trimmed();
        if (p.toLower().startsWith("charset=")) {
            Charset = p.mid(8).trimmed();
            if (Charset.size() >= 2 && (Charset.front() == '"' || Charset.front() == '\''))
                Charset = Charset.mid(1, Charset.size() - 2);
        }
    }
}

bool IsSubmitButton(const TNode& Element) {
    const std::string tag = Element.TagName();
    const std::string type = LowerAscii(Element.GetRawAttribute("type"));
    if (tag == "INPUT")
        return type == "submit" || type == "image";
    if (tag == "BUTTON")
        return type.empty() || type == "submit";
    return false;
}

/// CR, LF and CR LF become CR LF, as form submission writes line breaks.
std::string CrLfNormalized(const std::string& Text) {
    std::string out;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (Text[i] == '\r') {
            out += "\r\n";
            if (i + 1 < Text.size() && Text[i + 1] == '\n')
                ++i;
        } else if (Text[i] == '\n') {
            out += "\r\n";
        } else {
            out += Text[i];
        }
    }
    return out;
}

/// The name-value pairs a form submits when Submitter submits it.
std::vector<std::pair<std::string, std::string>> FormDataSet(const TNode& Form,
                                                             const TNode& Submitter) {
    std::vector<std::pair<std::string, std::string>> data;
    TNode all = Form.All();
    for (int32_t i = 0, count = all.Length(); i < count; ++i) {
        TNode e = all.Item(i);
        const std::string tag = e.TagName();
        if (tag != "INPUT" && tag != "BUTTON" && tag != "SELECT" && tag != "TEXTAREA")
            continue;
        if (e.HasAttribute("disabled"))
            continue;
        const std::string name = e.GetRawAttribute("name");
        const std::string type = LowerAscii(e.GetRawAttribute("type"));
        if (tag == "INPUT" && type == "image") {
            if (e == Submitter) {
                const std::string prefix = name.empty() ? std::string() : name + ".";
                data.push_back({prefix + "x", "0"});
                data.push_back({prefix + "y", "0"});
            }
            continue;
        }
        if (name.empty())
            continue;
        if (tag == "INPUT") {
            if (type == "submit" || type == "button" || type == "reset") {
                if (e == Submitter)
                    data.push_back({name, e.GetRawAttribute("value")});
                continue;
            }
            if (type == "checkbox" || type == "radio") {
                if (e.HasAttribute("checked"))
                    data.push_back({name, e.HasAttribute("value") ? e.GetRawAttribute("value")
                                                                  : std::string("on")});
                continue;
            }
            if (type == "file") {
                data.push_back({name, std::string()});
                continue;
            }
            data.push_back({name, e.GetRawAttribute("value")});
        } else if (tag == "BUTTON") {
            if (e == Submitter)
                data.push_back({name, e.GetRawAttribute("value")});
        } else if (tag == "SELECT") {
            TNode options = e.Tags("OPTION");
            bool any = false;
            for (int32_t k = 0, n = options.Length(); k < n; ++k) {
                TNode o = options.Item(k);
                if (o.HasAttribute("selected") && !o.HasAttribute("disabled")) {
                    data.push_back({name, o.Value()});
                    any = true;
                    if (!e.HasAttribute("multiple"))
                        break;
                }
            }
            if (!any && !e.HasAttribute("multiple")) {
                for (int32_t k = 0, n = options.Length(); k < n; ++k) {
                    TNode o = options.Item(k);
                    if (!o.HasAttribute("disabled")) {
                        data.push_back({name, o.Value()});
                        break;
                    }
                }
            }
        } else {
            data.push_back({name, e.Value()});
        }
    }
    for (auto& [name, value] : data) {
        name = CrLfNormalized(name);
        value = CrLfNormalized(value);
    }
    return data;
}

/// UTF-8 text in the page's encoding, as form submission sends it; text
/// the encoding cannot hold, and encodings Qt does not know, stay UTF-8.
QByteArray InCharset(const std::string& Text, const std::string& Charset) {
    QByteArray utf8(Text.data(), static_cast<qsizetype>(Text.size()));
    const std::string cs = LowerAscii(Charset);
    if (cs.empty() || cs == "utf-8")
        return utf8;
    QStringEncoder encoder(cs.c_str());
    if (!encoder.isValid())
        return utf8;
    QByteArray out = encoder.encode(QString::fromUtf8(utf8));
    return encoder.hasError() ? utf8 : out;
}

/// application/x-www-form-urlencoded (WHATWG URL, section 5.2).
QByteArray UrlEncodedForm(const std::vector<std::pair<std::string, std::string>>& Data,
                          const std::string& Charset) {
    static const char hex[] = "0123456789ABCDEF";
    auto append = [&](QByteArray& out, const QByteArray& bytes) {
        for (char ch : bytes) {
            auto c = static_cast<unsigned char>(ch);
            if (c == ' ')
                out += '+';
            else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '*' || c == '-' || c == '.' || c == '_')
                out += ch;
            else {
                out += '%';
                out += hex[c >> 4];
                out += hex[c & 15];
            }
        }
    };
    QByteArray out;
    for (const auto& [name, value] : Data) {
        if (!out.isEmpty())
            out += '&';
        append(out, InCharset(name, Charset));
        out += '=';
        append(out, InCharset(value, Charset));
    }
    return out;
}

QString UrlText(const QUrl& Url) {
    return QString::fromStdString(NormalizeURL(Url.toString(QUrl::FullyEncoded).toStdString()));
}

QUrl ToQUrl(const std::string& Url) {
    return QUrl(QString::fromStdString(Url));
}

} // namespace

TStaticWebBrowser::TStaticWebBrowser(QObject* Parent)
    : TWebBrowser(Parent), m_clickRouter(std::make_shared<TClickRouter>(this)) {
    m_network.setRedirectPolicy(QNetworkRequest::ManualRedirectPolicy);
}

TStaticWebBrowser::~TStaticWebBrowser() {
    AbortAll();
    m_clickRouter.reset();
}

void TStaticWebBrowser::Navigate(const QString& URL) {
    Navigate2(URL, 0, QString(), {}, {});
}

void TStaticWebBrowser::Navigate2(const QString& URL, int32_t, const QString&,
                                  const QByteArray& PostData, const QString& Headers) {
    const QUrl url = UrlFromUserInput(URL);
    if (url.scheme() == QLatin1String("javascript"))
        return; // no scripts here
    StartTop(url, PostData.isEmpty() ? QByteArray("GET") : QByteArray("POST"), PostData,
             ParseHeaderLines(Headers));
}

void TStaticWebBrowser::StartTop(const QUrl& Url, const QByteArray& Method, const QByteArray& Body,
                                 const THeaders& Headers) {
    AbortAll();
    m_framesStarted = 0;
    TLoad* load = AddLoad(Url, Method, Body, Headers);
    load->IsTop = true;
    SetStatusText(QStringLiteral("Opening ") + UrlText(Url) + QStringLiteral("..."));
    Begin(load);
}

TStaticWebBrowser::TLoad* TStaticWebBrowser::AddLoad(const QUrl& Url, const QByteArray& Method,
                                                     const QByteArray& Body,
                                                     const THeaders& Headers) {
    m_loading = true;
    auto load = std::make_unique<TLoad>();
    load->Url = Url;
    load->Method = Method;
    load->PostData = Body;
    load->Headers = Headers;
    m_loads.push_back(std::move(load));
    return m_loads.back().get();
}

void TStaticWebBrowser::StartFrame(const TNode& FrameElement, const QUrl& Url,
                                   const QByteArray& Method, const QByteArray& Body,
                                   const THeaders& Headers, int Depth,
                                   const QStringList& Ancestors) {
    TLoad* load = AddLoad(Url, Method, Body, Headers);
    load->IsTop = false;
    load->FrameElement = FrameElement;
    load->Depth = Depth;
    load->Ancestors = Ancestors;
    Begin(load);
}

void TStaticWebBrowser::Begin(TLoad* Load) {
    const QString scheme = Load->Url.scheme().toLower();
    if (scheme == QLatin1String("http") || scheme == QLatin1String("https") ||
        scheme == QLatin1String("file")) {
        SendRequest(Load);
        return;
    }
    // Pages that need no network still complete on the event loop, so a
    // caller always sees the loading state first.
    QTimer::singleShot(0, this, [this, Load] {
        if (std::none_of(m_loads.begin(), m_loads.end(),
                         [Load](const auto& l) { return l.get() == Load; }))
            return;
        if (Load->Url.scheme().compare(QLatin1String("about"), Qt::CaseInsensitive) == 0) {
            Finish(Load, BlankDocument(UrlText(Load->Url).toStdString()), QString());
            return;
        }
        const QString failure =
            Load->Url.isValid()
                ? QStringLiteral("Unsupported address scheme: ") + Load->Url.scheme()
                : QStringLiteral("Invalid address");
        Finish(Load, ErrorDocument(Load->Url, failure), failure);
    });
}

void TStaticWebBrowser::SendRequest(TLoad* Load) {
    QNetworkRequest request(Load->Url);
    request.setHeader(QNetworkRequest::UserAgentHeader, BrowserUserAgent());
    request.setRawHeader("Accept",
                         "text/html,application/xhtml+xml,application/xml;q=0.9,*/*;q=0.8");
    request.setRawHeader("Accept-Language", "en-US,en;q=0.5");
    for (const auto& [name, value] : Load->Headers)
        request.setRawHeader(name, value);
    Load->Body.clear();
    Load->ResponseStarted = false;
    QNetworkReply* reply;
    if (Load->Method == "GET")
        reply = m_network.get(request);
    else if (Load->Method == "POST")
        reply = m_network.post(request, Load->PostData);
    else
        reply = m_network.sendCustomRequest(request, Load->Method, Load->PostData);
    Load->Reply = reply;
    connect(reply, &QNetworkReply::readyRead, this, [this, Load] { OnReadyRead(Load); });
    connect(reply, &QNetworkReply::finished, this, [this, Load] { OnFinished(Load); });
}

void TStaticWebBrowser::OnReadyRead(TLoad* Load) {
    QNetworkReply* reply = Load->Reply;
    if (!reply)
        return;
    Load->ResponseStarted = true;
    const qsizetype room = MaxBodyBytes - Load->Body.size();
    if (room > 0)
        Load->Body += reply->read(room);
    if (Load->Body.size() >= MaxBodyBytes && reply->bytesAvailable() > 0) {
        Load->Truncated = true;
        reply->readAll();
    }
}

void TStaticWebBrowser::OnFinished(TLoad* Load) {
    QNetworkReply* reply = Load->Reply;
    if (!reply)
        return;
    OnReadyRead(Load);
    const QVariant status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute);
    const int code = status.isValid() ? status.toInt() : 0;
    const QByteArray location = reply->rawHeader("Location");
    if (code >= 300 && code < 400 && code != 304 && !location.isEmpty()) {
        reply->disconnect(this);
        reply->deleteLater();
        Load->Reply = nullptr;
        if (++Load->Redirects > MaxRedirects) {
            const QString failure = QStringLiteral("Too many redirects");
            Finish(Load, ErrorDocument(Load->Url, failure), failure);
            return;
        }
        const std::string target =
            ResolveURL(UrlText(Load->Url).toStdString(), location.toStdString());
        Load->Url = ToQUrl(target);
        // 301 and 302 turn a POST into a GET as browsers do; 303 always does.
        if ((code == 303 && Load->Method != "HEAD") ||
            ((code == 301 || code == 302) && Load->Method == "POST")) {
            Load->Method = "GET";
            Load->PostData.clear();
            Load->Headers.erase(
                std::remove_if(Load->Headers.begin(), Load->Headers.end(),
                               [](const auto& h) { return h.first.toLower() == "content-type"; }),
                Load->Headers.end());
        }
        if (Load->IsTop)
            SetStatusText(QStringLiteral("Redirecting to ") + UrlText(Load->Url) +
                          QStringLiteral("..."));
        Begin(Load);
        return;
    }
    TNode doc;
    QString failure;
    if (reply->error() != QNetworkReply::NoError && !status.isValid()) {
        failure = reply->errorString();
        doc = ErrorDocument(Load->Url, failure);
    } else {
        if (reply->error() != QNetworkReply::NoError && reply->error() < 200 &&
            reply->error() != QNetworkReply::NoError)
            failure = reply->errorString(); // the body broke off (network or decoding)
        doc = DocumentFromResponse(Load);
    }
    reply->disconnect(this);
    reply->deleteLater();
    Load->Reply = nullptr;
    Finish(Load, doc, failure);
}

TNode TStaticWebBrowser::DocumentFromResponse(TLoad* Load) {
    QByteArray mime, charset;
    const QUrl url = Load->Reply ? Load->Reply->url() : Load->Url;
    if (Load->Reply)
        SplitContentType(Load->Reply->rawHeader("Content-Type"), mime, charset);
    if (mime.isEmpty() && url.isLocalFile()) {
        const QString suffix = QFileInfo(url.toLocalFile()).suffix().toLower();
        if (suffix == QLatin1String("txt"))
            mime = "text/plain";
        else if (suffix == QLatin1String("png") || suffix == QLatin1String("jpg") ||
                 suffix == QLatin1String("jpeg") || suffix == QLatin1String("gif"))
            mime = "image/" + suffix.toLatin1();
    }
    const std::string address = UrlText(url).toStdString();
    TDocumentOptions options;
    options.URL = address;
    options.HttpCharset = charset.toStdString();
    const int code =
        Load->Reply ? Load->Reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt() : 0;
    if (Load->Body.isEmpty() && code >= 400) {
        const QString reason =
            Load->Reply
                ? Load->Reply->attribute(QNetworkRequest::HttpReasonPhraseAttribute).toString()
                : QString();
        const std::string title = std::to_string(code) + " " + HtmlEscaped(reason);
        return ParseHtmlDocument("<html><head><title>" + title + "</title></head><body><h1>" +
                                     title + "</h1></body></html>",
                                 options);
    }
    if (mime == "text/plain") {
        // Shown as browsers show plain text: everything after a PLAINTEXT
        // start tag is text, in the charset the bytes themselves call for.
        const std::string_view bytes(Load->Body.constData(),
                                     static_cast<size_t>(Load->Body.size()));
        options.HttpCharset = DetectHtmlCharset(bytes, options.HttpCharset);
        std::string wrapped = "<plaintext>";
        wrapped.append(bytes);
        return ParseHtmlDocument(wrapped, options);
    }
    if (mime.startsWith("image/")) {
        return ParseHtmlDocument("<html><head></head><body><img src=\"" +
                                     HtmlEscaped(QString::fromStdString(address)) +
                                     "\"></body></html>",
                                 options);
    }
    return ParseHtmlDocument(
        std::string_view(Load->Body.constData(), static_cast<size_t>(Load->Body.size())), options);
}

TNode TStaticWebBrowser::ErrorDocument(const QUrl& Url, const QString& Failure) {
    return ErrorPageDocument(UrlText(Url), Failure);
}

void TStaticWebBrowser::Finish(TLoad* Load, const TNode& Document, const QString& Failure) {
    Document.SetOwner(m_clickRouter);
    const int depth = Load->Depth;
    QStringList ancestors = Load->Ancestors;
    ancestors << QString::fromStdString(Document.URL());
    if (Load->IsTop) {
        m_document = Document;
        m_location = QString::fromStdString(Document.URL());
    } else if (Load->FrameElement.IsElement()) {
        Load->FrameElement.SetContentDocument(Document);
    }
    if (!Failure.isEmpty())
        SetStatusText(QStringLiteral("Cannot open ") + UrlText(Load->Url) + QStringLiteral(": ") +
                      Failure);
    RemoveLoad(Load);
    LoadFramesOf(Document, depth + 1, ancestors);
    CompleteIfIdle();
}

void TStaticWebBrowser::LoadFramesOf(const TNode& Document, int Depth,
                                     const QStringList& Ancestors) {
    TNode frames = Document.All();
    std::vector<TNode> elements;
    for (int32_t i = 0, n = frames.Length(); i < n; ++i) {
        TNode e = frames.Item(i);
        const std::string tag = e.TagName();
        if (tag == "FRAME" || tag == "IFRAME")
            elements.push_back(e);
    }
    for (const TNode& frame : elements) {
        const std::string src = frame.HasAttribute("src") ? frame.Src() : std::string();
        const QString address = QString::fromStdString(src);
        const bool blank =
            src.empty() || address.startsWith(QLatin1String("about:"), Qt::CaseInsensitive);
        // A frame that shows one of its own ancestors, or one too deep, stays
        // empty as in browsers; so does every frame beyond a sane count.
        if (blank || Depth > MaxFrameDepth || Ancestors.contains(address) ||
            m_framesStarted >= MaxFramesPerPage) {
            frame.SetContentDocument(BlankDocument(blank ? src.empty() ? "about:blank" : src
                                                         : std::string("about:blank")));
            frame.ContentDocument().SetOwner(m_clickRouter);
            continue;
        }
        ++m_framesStarted;
        THeaders headers;
        headers.append(qMakePair(QByteArray("Referer"), QByteArray::fromStdString(Document.URL())));
        StartFrame(frame, ToQUrl(src), "GET", {}, headers, Depth, Ancestors);
    }
}

void TStaticWebBrowser::RemoveLoad(TLoad* Load) {
    if (Load->Reply) {
        Load->Reply->disconnect(this);
        Load->Reply->abort();
        Load->Reply->deleteLater();
        Load->Reply = nullptr;
    }
    m_loads.erase(std::remove_if(m_loads.begin(), m_loads.end(),
                                 [Load](const auto& l) { return l.get() == Load; }),
                  m_loads.end());
}

void TStaticWebBrowser::AbortAll() {
    for (auto& load : m_loads) {
        if (load->Reply) {
            load->Reply->disconnect(this);
            load->Reply->abort();
            load->Reply->deleteLater();
            load->Reply = nullptr;
        }
    }
    m_loads.clear();
}

void TStaticWebBrowser::CompleteIfIdle() {
    if (!m_loads.empty() || !m_loading)
        return;
    m_loading = false;
    SetStatusText(QStringLiteral("Done"));
    Q_EMIT DocumentComplete(m_location);
}

void TStaticWebBrowser::Stop() {
    if (!m_loading)
        return;
    // What has arrived so far is shown, as in a browser.
    std::vector<std::unique_ptr<TLoad>> loads;
    loads.swap(m_loads);
    for (auto& load : loads) {
        if (load->Reply) {
            load->Reply->disconnect(this);
            if (load->Reply->bytesAvailable() > 0) {
                load->ResponseStarted = true;
                load->Body += load->Reply->read(MaxBodyBytes - load->Body.size());
            }
        }
        TNode doc;
        if (load->ResponseStarted)
            doc = DocumentFromResponse(load.get());
        else if (!load->IsTop)
            doc = BlankDocument();
        if (load->Reply) {
            load->Reply->abort();
            load->Reply->deleteLater();
            load->Reply = nullptr;
        }
        if (!VarHasValue(doc))
            continue;
        doc.SetOwner(m_clickRouter);
        if (load->IsTop) {
            m_document = doc;
            m_location = QString::fromStdString(doc.URL());
        } else if (load->FrameElement.IsElement()) {
            load->FrameElement.SetContentDocument(doc);
        }
    }
    m_loading = false;
    SetStatusText(QStringLiteral("Stopped"));
    Q_EMIT DocumentComplete(m_location);
}

bool TStaticWebBrowser::Busy() const {
    return m_loading;
}

int32_t TStaticWebBrowser::ReadyState() const {
    return m_loading ? ReadyStateLoading : ReadyStateComplete;
}

QString TStaticWebBrowser::LocationURL() const {
    return m_location;
}

TNode TStaticWebBrowser::Document() const {
    return m_document;
}

void TStaticWebBrowser::LoadHtml(const QByteArray& Bytes, const QString& URL) {
    AbortAll();
    m_framesStarted = 0;
    TDocumentOptions options;
    options.URL = NormalizeURL(URL.toStdString());
    TNode doc = ParseHtmlDocument(
        std::string_view(Bytes.constData(), static_cast<size_t>(Bytes.size())), options);
    doc.SetOwner(m_clickRouter);
    m_document = doc;
    m_location = QString::fromStdString(doc.URL());
    m_loading = true;
    LoadFramesOf(doc, 1, QStringList{m_location});
    CompleteIfIdle();
}

// --- clicks -------------------------------------------------------------------

void TStaticWebBrowser::ClickElement(const TNode& Element) {
    for (TNode cur = Element; cur.IsElement(); cur = cur.ParentElement()) {
        const std::string tag = cur.TagName();
        if (IsSubmitButton(cur)) {
            if (cur.HasAttribute("disabled"))
                return;
            TNode form;
            const std::string formId = cur.GetRawAttribute("form");
            if (!formId.empty()) {
                TNode forms = cur.OwnerDocument().All().Tags("FORM");
                for (int32_t i = 0, n = forms.Length(); i < n && !VarHasValue(form); ++i)
                    if (forms.Item(i).GetRawAttribute("id") == formId)
                        form = forms.Item(i);
            }
            for (TNode up = cur.ParentElement(); !VarHasValue(form) && up.IsElement();
                 up = up.ParentElement())
                if (up.TagName() == "FORM")
                    form = up;
            if (VarHasValue(form))
                SubmitForm(form, cur);
            return;
        }
        if ((tag == "A" || tag == "AREA") && cur.HasAttribute("href")) {
            FollowLink(cur, cur.Href());
            return;
        }
    }
}

void TStaticWebBrowser::FollowLink(const TNode& Element, const std::string& Url) {
    const QUrl url = ToQUrl(Url);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https") &&
        url.scheme() != QLatin1String("file") && url.scheme() != QLatin1String("about"))
        return; // javascript:, mailto: and the like do nothing here
    const std::string docUrl = Element.OwnerDocument().URL();
    THeaders headers;
    if (!docUrl.empty() && docUrl.rfind("file:", 0) != 0)
        headers.append(qMakePair(QByteArray("Referer"), QByteArray::fromStdString(docUrl)));
    NavigateFrom(Element, url, "GET", {}, headers, Element.GetRawAttribute("target"));
}

void TStaticWebBrowser::SubmitForm(const TNode& Form, const TNode& Submitter) {
    const TNode doc = Form.OwnerDocument();
    std::string action = Submitter.HasAttribute("formaction")
                             ? Submitter.GetRawAttribute("formaction")
                             : Form.GetRawAttribute("action");
    action = ResolveURL(doc.BaseURL(), action);
    if (action.empty())
        action = doc.URL();
    std::string method =
        LowerAscii(Submitter.HasAttribute("formmethod") ? Submitter.GetRawAttribute("formmethod")
                                                        : Form.GetRawAttribute("method"));
    const QByteArray data = UrlEncodedForm(FormDataSet(Form, Submitter), doc.Charset());
    THeaders headers;
    if (doc.URL().rfind("file:", 0) != 0)
        headers.append(qMakePair(QByteArray("Referer"), QByteArray::fromStdString(doc.URL())));
    const std::string target = Submitter.HasAttribute("formtarget")
                                   ? Submitter.GetRawAttribute("formtarget")
                                   : Form.GetRawAttribute("target");
    if (method == "post") {
        headers.append(
            qMakePair(QByteArray("Content-Type"), QByteArray("application/x-www-form-urlencoded")));
        NavigateFrom(Form, ToQUrl(action), "POST", data, headers, target);
        return;
    }
    std::string get = action.substr(0, action.find('#'));
    get = get.substr(0, get.find('?')) + "?" + data.toStdString();
    NavigateFrom(Form, ToQUrl(get), "GET", {}, headers, target);
}

void TStaticWebBrowser::NavigateFrom(const TNode& Source, const QUrl& Url, const QByteArray& Method,
                                     const QByteArray& Body, const THeaders& Headers,
                                     const std::string& Target) {
    const TNode sourceDoc = Source.OwnerDocument();
    const std::string target = LowerAscii(Target);
    const bool top = target == "_top" || target == "_parent" || target == "_blank";
    TNode frame = top ? TNode() : FrameElementOf(sourceDoc);
    if (VarHasValue(frame)) {
        const int depth = 1;
        StartFrame(frame, Url, Method, Body, Headers, depth, QStringList{m_location});
        return;
    }
    if (sourceDoc != m_document && !top)
        return; // a page no longer shown
    StartTop(Url, Method, Body, Headers);
}

TNode TStaticWebBrowser::FrameElementOf(const TNode& Document) const {
    if (!VarHasValue(m_document) || Document == m_document)
        return {};
    // Breadth-first over the frame tree of the page shown.
    std::vector<TNode> docs{m_document};
    for (size_t i = 0; i < docs.size() && i < 1000; ++i) {
        TNode all = docs[i].All();
        for (int32_t k = 0, n = all.Length(); k < n; ++k) {
            TNode e = all.Item(k);
            const std::string tag = e.TagName();
            if (tag != "FRAME" && tag != "IFRAME")
                continue;
            TNode content = e.ContentDocument();
            if (!VarHasValue(content))
                continue;
            if (content == Document)
                return e;
            docs.push_back(content);
        }
    }
    return {};
}

} // namespace linkvane
