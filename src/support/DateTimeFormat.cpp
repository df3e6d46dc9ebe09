#include "support/DateTimeFormat.h"

#include <QLocale>

#include <mutex>

namespace linkvane {
namespace {

struct TFormats {
    std::mutex Mutex;
    QString Date = QLocale::system().dateFormat(QLocale::ShortFormat);
    QString Time = QLocale::system().timeFormat(QLocale::ShortFormat);
};

TFormats& Formats() {
    static TFormats formats;
    return formats;
}

} // namespace

QString DefaultDateFormat() {
    TFormats& f = Formats();
    std::lock_guard lock(f.Mutex);
    return f.Date;
}

QString DefaultTimeFormat() {
    TFormats& f = Formats();
    std::lock_guard lock(f.Mutex);
    return f.Time;
}

void SetDefaultDateTimeFormats(const QString& DateFormat, const QString& TimeFormat) {
    TFormats& f = Formats();
    std::lock_guard lock(f.Mutex);
    f.Date = DateFormat;
    f.Time = TimeFormat;
}

QString FormatDateTimeDefault(const QDateTime& Value) {
    TFormats& f = Formats();
    std::lock_guard lock(f.Mutex);
    return Value.toString(f.Date) + QLatin1Char(' ') + Value.toString(f.Time);
}

} // namespace linkvane
