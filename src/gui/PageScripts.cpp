#include "gui/PageScripts.h"

#include "support/Exception.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>

// Resources of a static library are registered only when asked for by name.
static void InitPageScriptResources() {
    Q_INIT_RESOURCE(PageScripts);
}

namespace linkvane {

QString PageScriptSource(const QString& Name) {
    static bool initialized = false;
    if (!initialized) {
        InitPageScriptResources();
        initialized = true;
    }
    static QHash<QString, QString> cache;
    auto it = cache.constFind(Name);
    if (it != cache.constEnd())
        return *it;
    QFile file(QStringLiteral(":/linkvane/scripts/") + Name + QStringLiteral(".js"));
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(FormatMessage("No page script named %s", {Name.toStdString()}));
    const QString source = QString::fromUtf8(file.readAll());
    cache.insert(Name, source);
    return source;
}

QString PageScriptCall(const QString& Name, const QJsonObject& Args) {
    return PageScriptSource(Name) + QLatin1Char('(') +
           QString::fromUtf8(QJsonDocument(Args).toJson(QJsonDocument::Compact)) + QLatin1Char(')');
}

} // namespace linkvane
