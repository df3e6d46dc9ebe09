#pragma once

#include <QDateTime>
#include <QString>

namespace linkvane {

/// The process-wide default formats of date and time texts: every date or
/// time written as text without a format of its own (the link table's
/// ExtractTime, for example) follows them. They start as the system locale's
/// short formats; creating the query engine makes them "yyyy/mm/dd" and
/// "hh:mm:ss" (in Qt's spelling "yyyy/MM/dd" and "hh:mm:ss").
/// The formats use QDateTime's format letters.
QString DefaultDateFormat();
QString DefaultTimeFormat();
void SetDefaultDateTimeFormats(const QString& DateFormat, const QString& TimeFormat);

/// Qt's spelling of "yyyy/mm/dd" and "hh:mm:ss".
inline constexpr const char* SortableDateFormat = "yyyy/MM/dd";
inline constexpr const char* SortableTimeFormat = "hh:mm:ss";

/// The date, a blank and the time of Value in the default formats.
QString FormatDateTimeDefault(const QDateTime& Value);

} // namespace linkvane
