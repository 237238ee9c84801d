#include "recordstore.h"

#include "dialogservice.h"
#include "programfolder.h"
#include "storeslogging.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <atomic>
#include <utility>

namespace {

// SQLite's primary result codes (sqlite3.h) that say the file holds no
// readable database.
constexpr int kSqliteCorrupt = 11;
constexpr int kSqliteNotADatabase = 26;

int primaryCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    // The driver turns on extended codes, which keep the primary one in the low byte.
    return ok ? (code & 0xff) : -1;
}

bool isUnreadable(const QSqlError &error)
{
    const int code = primaryCode(error);
    return code == kSqliteNotADatabase || code == kSqliteCorrupt;
}

// A name the file system already has, dangling links included: rename must not
// land on it.
bool taken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

// A null text would be bound as NULL, which equals nothing.
QString notNull(const QString &text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

std::int16_t toInt16(const QVariant &value)
{
    return static_cast<std::int16_t>(value.toInt());
}

// Runs the first statements of every connection. The first read of the file
// is here, so an unreadable file fails before anything is written to it.
QSqlError prepareConnection(QSqlDatabase &db)
{
    QSqlQuery query(db);
    // SQLite's default rollback journal (never WAL, so the file stays one file
    // that the clear command can delete) with a sync at every commit: a crash in
    // the middle of an add leaves the file with every earlier row.
    if (!query.exec(QStringLiteral("PRAGMA synchronous = FULL")))
        return query.lastError();
    if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
        return query.lastError();
    return QSqlError();
}

const QString &insertStatement()
{
    static const QString text = QStringLiteral(
        "INSERT INTO Favorite(id, fid, [name], [image], [size], flash_ffa, flashurl, flashsay, "
        "keyword, [Style]) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    return text;
}

} // namespace

// One connection of one operation under a name of its own; the destructor
// closes it and removes it after every query of the operation is gone.
class RecordStore::Connection
{
public:
    explicit Connection(QString path) : m_path(std::move(path))
    {
        static std::atomic<quint64> serial{0};
        m_name = QStringLiteral("aurilo.stores.%1").arg(++serial);
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // mode=rw: opening never creates the file. A missing file means "none
        // stored yet" and only createDatabase() makes one.
        QUrl url = QUrl::fromLocalFile(m_path);
        url.setQuery(QStringLiteral("mode=rw"));
        m_db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI"));
    }
    ~Connection()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    QSqlDatabase &db() { return m_db; }
    const QString &path() const { return m_path; }

private:
    QString m_path;
    QString m_name;
    QSqlDatabase m_db;
};

RecordStore::RecordStore(QString fileName, QString unreadableMessage)
    : m_fileName(std::move(fileName)), m_unreadableMessage(std::move(unreadableMessage))
{
}

QString RecordStore::databaseFile() const
{
    return ProgramFolder::file(m_fileName);
}

RecordStore::Access RecordStore::open(Connection &connection)
{
    const QString &path = connection.path();
    QSqlDatabase &db = connection.db();
    // SQLite's Unix file layer reports a one-byte file as empty and would write
    // a new database over that byte.
    const bool oneByte = QFileInfo(path).size() == 1;
    if (!oneByte) {
        if (!db.open()) {
            if (!taken(path))
                return Access::Missing;
            qCWarning(lcStores) << "cannot open" << path << db.lastError().text();
            return Access::Failed;
        }
        const QSqlError error = prepareConnection(db);
        if (!error.isValid())
            return Access::Open;
        if (!isUnreadable(error)) {
            qCWarning(lcStores) << "cannot use" << path << error.text();
            return Access::Failed;
        }
        db.close();
    }
    if (!setAside(path))
        return Access::Failed;

    // An empty file is a valid empty database; NewOnly never truncates a file
    // that appeared in the meantime.
    QFile fresh(path);
    if (!fresh.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qCWarning(lcStores) << "cannot create" << path << fresh.errorString();
        return Access::Failed;
    }
    fresh.close();
    if (!db.open()) {
        qCWarning(lcStores) << "cannot open" << path << db.lastError().text();
        return Access::Failed;
    }
    const QSqlError error = prepareConnection(db);
    if (error.isValid()) {
        qCWarning(lcStores) << "cannot use" << path << error.text();
        return Access::Failed;
    }
    return Access::Open;
}

bool RecordStore::setAside(const QString &path)
{
    const QFileInfo info(path);
    const QString stem = info.fileName() + QStringLiteral(".unreadable-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString kept;
    // A second unreadable file within the same second gets "-2", and so on.
    for (int n = 1; n <= 1000 && kept.isEmpty(); ++n) {
        const QString candidate = n == 1 ? stem : stem + u'-' + QString::number(n);
        const QString target = info.dir().filePath(candidate);
        if (taken(target))
            continue;
        if (QFile::rename(path, target))
            kept = candidate;
        else if (!taken(target))
            break;
    }
    if (kept.isEmpty()) {
        qCWarning(lcStores) << path << "is not a readable database and cannot be set aside";
        return false;
    }
    qCWarning(lcStores) << path << "is not a readable database; kept as" << kept;
    if (!m_told) {
        m_told = true;
        Dialogs::show(m_unreadableMessage.arg(kept), Dialogs::Buttons::Ok, Dialogs::Icon::Warning);
    }
    return true;
}

bool RecordStore::createDatabase()
{
    const QString path = databaseFile();
    if (taken(path))
        return false;
    // An empty file is a valid empty database: nothing more to write.
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly)) {
        qCWarning(lcStores) << "cannot create" << path << file.errorString();
        return false;
    }
    return true;
}

bool RecordStore::createTable()
{
    Connection connection(databaseFile());
    if (open(connection) != Access::Open)
        return false;
    QSqlDatabase &db = connection.db();
    {
        QSqlQuery query(db);
        if (!query.exec(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'table' "
                                       "AND name = 'Favorite' COLLATE NOCASE")) ||
            !query.next()) {
            qCWarning(lcStores) << "cannot look for the table in" << connection.path()
                                << query.lastError().text();
            return false;
        }
        if (query.value(0).toLongLong() > 0)
            return false;
    }
    // Table and version in one transaction: a file with the table always says
    // which layout it has.
    if (!db.transaction()) {
        qCWarning(lcStores) << "cannot begin in" << connection.path() << db.lastError().text();
        return false;
    }
    bool ok = false;
    {
        QSqlQuery query(db);
        // The memo columns are TEXT: typed MEMO they would get numeric affinity,
        // and "007" or "12.50" would come back as numbers.
        ok = query.exec(QStringLiteral(
                 "CREATE TABLE Favorite([Style] TEXT, id INTEGER, fid INTEGER, [name] TEXT, "
                 "[image] TEXT, [size] TEXT, flash_ffa TEXT, flashurl TEXT, flashsay TEXT, "
                 "keyword TEXT)")) &&
             // The presence test and the delete compare exactly this expression;
             // without the index every history entry would scan the whole table.
             query.exec(
                 QStringLiteral("CREATE INDEX FavoriteName ON Favorite(rtrim([name], ' '))")) &&
             query.exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
        if (!ok)
            qCWarning(lcStores) << "cannot create the table in" << connection.path()
                                << query.lastError().text();
    }
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        qCWarning(lcStores) << "cannot create the table in" << connection.path()
                            << db.lastError().text();
        return false;
    }
    return true;
}

bool RecordStore::exists(const QString &name, bool &found)
{
    Connection connection(databaseFile());
    if (open(connection) != Access::Open)
        return false;
    QSqlQuery query(connection.db());
    // Stored names are padded to their width, so trailing blanks do not count;
    // '=' compares exactly otherwise (case, leading blanks, no wildcards).
    query.prepare(
        QStringLiteral("SELECT count(*) FROM Favorite WHERE rtrim([name], ' ') = rtrim(?, ' ')"));
    query.addBindValue(notNull(name));
    if (!query.exec() || !query.next()) {
        qCWarning(lcStores) << "cannot search" << connection.path() << query.lastError().text();
        return false;
    }
    found = query.value(0).toLongLong() > 0;
    return true;
}

bool RecordStore::add(const FavoriteRecord &record)
{
    // Both fail when file and table exist, the usual case.
    createDatabase();
    createTable();

    FavoriteRecord row = record;
    row.fixWidths();
    Connection connection(databaseFile());
    if (open(connection) != Access::Open) {
        qCWarning(lcStores) << "cannot add to" << connection.path();
        return false;
    }
    QSqlQuery query(connection.db());
    query.prepare(insertStatement());
    query.addBindValue(int(row.id));
    query.addBindValue(int(row.fid));
    query.addBindValue(row.name);
    query.addBindValue(row.image);
    query.addBindValue(row.size);
    query.addBindValue(row.flash_ffa);
    query.addBindValue(row.flashurl);
    query.addBindValue(row.flashsay);
    query.addBindValue(row.keyword);
    query.addBindValue(row.style);
    // One statement, one transaction: the row is in the file whole or not at all.
    if (!query.exec()) {
        qCWarning(lcStores) << "cannot add to" << connection.path() << query.lastError().text();
        return false;
    }
    return true;
}

bool RecordStore::remove(const QString &name)
{
    Connection connection(databaseFile());
    if (open(connection) != Access::Open) {
        qCWarning(lcStores) << "cannot delete" << name << "from" << connection.path();
        return false;
    }
    QSqlQuery query(connection.db());
    query.prepare(QStringLiteral("DELETE FROM Favorite WHERE rtrim([name], ' ') = rtrim(?, ' ')"));
    query.addBindValue(notNull(name));
    if (!query.exec()) {
        qCWarning(lcStores) << "cannot delete" << name << "from" << connection.path()
                            << query.lastError().text();
        return false;
    }
    return true;
}

bool RecordStore::read(QList<FavoriteRecord> &records)
{
    Connection connection(databaseFile());
    if (open(connection) != Access::Open)
        return false;
    QSqlDatabase &db = connection.db();
    // One read transaction: the count and the rows come from one state of the file.
    if (!db.transaction()) {
        qCWarning(lcStores) << "cannot read" << connection.path() << db.lastError().text();
        return false;
    }
    QList<FavoriteRecord> rows;
    bool ok = false;
    {
        QSqlQuery query(db);
        query.setForwardOnly(true);
        if (!query.exec(QStringLiteral("SELECT count(*) FROM Favorite")) || !query.next()) {
            qCWarning(lcStores) << "cannot read" << connection.path() << query.lastError().text();
        } else if (const qint64 n = query.value(0).toLongLong(); n > 0) {
            rows.reserve(n);
            // Not stored: every row shares one blank text instead of 10,000 copies.
            const QString noPageUrl =
                FavoriteRecord::fixedWidth(QString(), FavoriteRecord::kPageUrlWidth);
            ok = query.exec(QStringLiteral(
                "SELECT [Style], id, fid, [name], [image], [size], flash_ffa, flashurl, flashsay, "
                "keyword FROM Favorite ORDER BY rowid"));
            while (ok && query.next()) {
                FavoriteRecord row;
                row.style = query.value(0).toString();
                row.id = toInt16(query.value(1));
                row.fid = toInt16(query.value(2));
                row.name = query.value(3).toString();
                row.image = query.value(4).toString();
                row.size = query.value(5).toString();
                row.flash_ffa = query.value(6).toString();
                row.flashurl = query.value(7).toString();
                row.flashsay = query.value(8).toString();
                row.keyword = query.value(9).toString();
                row.pageurl = noPageUrl;
                row.fixWidths();
                rows.append(std::move(row));
            }
            if (!ok || query.lastError().isValid()) {
                qCWarning(lcStores)
                    << "cannot read" << connection.path() << query.lastError().text();
                ok = false;
            }
        }
    }
    db.rollback(); // nothing was written
    if (!ok)
        return false;
    records = std::move(rows);
    return true;
}
