#include "browser/TWebBrowser.h"

#include "browser/TStaticWebBrowser.h"
#include "support/Exception.h"

#include <QCoreApplication>

#include <map>

namespace linkvane {
namespace {

std::map<QString, TWebBrowserFactory>& Engines() {
    static std::map<QString, TWebBrowserFactory> engines = {
        {QStringLiteral("static"), [] { return std::make_unique<TStaticWebBrowser>(); }},
    };
    return engines;
}

} // namespace

TWebBrowser::TWebBrowser(QObject* Parent) : QObject(Parent) {}

TWebBrowser::~TWebBrowser() = default;

bool TWebBrowser::ExecCommand(int32_t) {
    return false;
}

void TWebBrowser::SetStatusText(const QString& Text) {
    m_statusText = Text;
    Q_EMIT StatusTextChange(Text);
}

void RegisterWebBrowserEngine(const QString& Name, TWebBrowserFactory Factory) {
    Engines()[Name] = std::move(Factory);
}

std::unique_ptr<TWebBrowser> CreateWebBrowser(const QString& Name) {
    auto it = Engines().find(Name);
    if (it == Engines().end())
        throw Exception(FormatMessage("Unknown browser engine: %s", {Name.toStdString()}));
    return it->second();
}

QStringList WebBrowserEngineNames() {
    QStringList names;
    for (const auto& entry : Engines())
        names << entry.first;
    return names;
}

QList<QPair<QByteArray, QByteArray>> ParseHeaderLines(const QString& Headers) {
    QList<QPair<QByteArray, QByteArray>> out;
    for (const QString& raw : Headers.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0)
            out.append(
                {line.left(colon).trimmed().toLatin1(), line.mid(colon + 1).trimmed().toUtf8()});
    }
    return out;
}

TNode ErrorPageDocument(const QString& URL, const QString& Failure) {
    TDocumentOptions options;
    options.URL = URL.toStdString();
    options.ForceUtf8 = true;
    const std::string html =
        "<html><head><title>Cannot open page</title></head><body><h1>Cannot open page</h1><p>" +
        URL.toHtmlEscaped().toStdString() + "</p><p>" + Failure.toHtmlEscaped().toStdString() +
        "</p></body></html>";
    return ParseHtmlDocument(html, options);
}

QByteArray BrowserUserAgent() {
    QByteArray agent = QByteArrayLiteral("Mozilla/5.0 (X11; Linux x86_64) Linkvane");
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        agent += '/' + version.toLatin1();
    return agent;
}

} // namespace linkvane
