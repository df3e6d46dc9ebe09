#pragma once

#include <QJsonObject>
#include <QString>

namespace linkvane {

/// The source of the page script Name, kept as the resource
/// ":/linkvane/scripts/<Name>.js"; raises an error when there is none.
/// Each script is a function expression taking one argument.
QString PageScriptSource(const QString& Name);

/// The text that calls the page script Name with Args, passed as one JSON
/// value (never pasted into the script as text of its own).
QString PageScriptCall(const QString& Name, const QJsonObject& Args);

} // namespace linkvane
