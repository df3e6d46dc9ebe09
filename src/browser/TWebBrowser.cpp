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

QByteArray BrowserUserAgent() {
    QByteArray agent = QByteArrayLiteral("Mozilla/5.0 (X11; Linux x86_64) Linkvane");
    const QString version = QCoreApplication::applicationVersion();
    if (!version.isEmpty())
        agent += '/' + version.toLatin1();
    return agent;
}

} // namespace linkvane
