#include "db/DBProvider.h"

#include "support/LogFile.h"

#include <QtGlobal>

#include <map>
#include <mutex>

namespace linkvane {

std::shared_ptr<TDBDatabase> AcquireDatabase(const TDBConnectionInfo& Info) {
    static std::mutex mutex;
    static std::map<std::string, std::weak_ptr<TDBDatabase>> open;
    std::lock_guard lock(mutex);
    for (auto it = open.begin(); it != open.end();) {
        it = it->second.expired() ? open.erase(it) : std::next(it);
    }
    if (auto it = open.find(Info.Key); it != open.end()) {
        if (auto db = it->second.lock(); db && db->StillValid()) {
            return db;
        }
    }
    std::shared_ptr<TDBDatabase> db = Info.Provider == TDBProvider::SQLite
                                          ? std::shared_ptr<TDBDatabase>(OpenSQLiteDatabase(Info))
                                          : std::shared_ptr<TDBDatabase>(OpenPGDatabase(Info));
    open[Info.Key] = db;
    return db;
}

void ReportUnraisedError(const std::string& Message) noexcept {
    qWarning("Linkvane: %s", Message.c_str());
    try {
        LogError(Message);
    } catch (...) {
        // The console line has to do.
    }
}

std::string StripTrailingSemicolons(const std::string& SQL) {
    size_t end = SQL.size();
    while (end > 0 && (static_cast<unsigned char>(SQL[end - 1]) <= ' ' || SQL[end - 1] == ';')) {
        --end;
    }
    return SQL.substr(0, end);
}

} // namespace linkvane
