#pragma once

#include "favoritemodule.h"
#include "favoriterecord.h"
#include "mewgd.h"
#include "programfolder.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QMetaType>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

#include <memory>

// A fresh program folder for one test function.
class StoreFolder
{
public:
    explicit StoreFolder(const QString &subfolder = QString())
    {
        m_path = subfolder.isEmpty() ? m_dir.path() : m_dir.filePath(subfolder);
        if (!m_dir.isValid() || !QDir().mkpath(m_path))
            qFatal("cannot make a program folder");
        ProgramFolder::setPath(m_path);
    }
    ~StoreFolder() { ProgramFolder::setPath(QString()); }
    StoreFolder(const StoreFolder &) = delete;
    StoreFolder &operator=(const StoreFolder &) = delete;

    QString path() const { return m_path; }
    QString file(const QString &name) const { return QDir(m_path).filePath(name); }
    QStringList entries() const
    {
        return QDir(m_path).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
    }

private:
    QTemporaryDir m_dir;
    QString m_path;
};

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

inline QByteArray randomBytes(int count)
{
    QByteArray bytes(count, '\0');
    for (char &b : bytes)
        b = char(QRandomGenerator::global()->bounded(256));
    return bytes;
}

// A realistic catalog resource; "007" and "12.50" are texts that a numeric
// column would change.
inline FavoriteRecord sampleRecord(int i)
{
    FavoriteRecord r;
    r.style = QStringLiteral("评书");
    r.id = std::int16_t(i % 30000);
    r.fid = std::int16_t(-(i % 300));
    r.name = QStringLiteral("三国演义 第%1回 '桃园'").arg(i);
    r.image = QStringLiteral("/uploads/allimg/%1.jpg").arg(i);
    r.size = i % 2 ? QStringLiteral("12.50") : QStringLiteral("007");
    r.flash_ffa = QStringLiteral("单田芳 播讲");
    r.flashurl = QStringLiteral("/flash/sanguo/%1.swf").arg(i);
    r.flashsay = QStringLiteral("宴桃园豪杰三结义，斩黄巾英雄首立功。%1").arg(i);
    r.keyword = QStringLiteral("三国 评书");
    return r;
}

// Failure output of QCOMPARE on records.
inline char *toString(const FavoriteRecord &r)
{
    const QString text = QStringLiteral("[%1|%2|%3|%4|%5|%6|%7|%8|%9|%10|%11]")
                             .arg(r.style)
                             .arg(r.id)
                             .arg(r.fid)
                             .arg(r.name, r.image, r.size, r.flash_ffa, r.flashurl, r.pageurl,
                                  r.flashsay, r.keyword);
    return qstrdup(text.toUtf8().constData());
}

inline FavoriteRecord fixed(FavoriteRecord record)
{
    record.fixWidths();
    return record;
}

// The operations both stores share, so the file rules run against each.
struct StoreOps
{
    QString fileName;
    QString (*databaseFile)();
    bool (*createDb)();
    bool (*createTable)();
    bool (*exists)(const QString &, bool &);
    bool (*add)(const FavoriteRecord &);
    bool (*read)(QList<FavoriteRecord> &);
    QString message; // the unreadable-file text, %1 the kept name
};
Q_DECLARE_METATYPE(StoreOps)

inline StoreOps favoriteOps()
{
    return {QStringLiteral("Favorite.mdb"),
            &FavoriteModule::databaseFile,
            &FavoriteModule::CreateFavoriteDb,
            &FavoriteModule::CreateFavoriteTable,
            &FavoriteModule::FavoriteExists,
            &FavoriteModule::AddFavorite,
            &FavoriteModule::ReadFavorites,
            QStringLiteral("收藏列表文件无法读取，已将原文件另存为“%1”，程序将使用新的收藏列表。")};
}

inline StoreOps historyOps()
{
    return {QStringLiteral("iwdg.mdb"),
            &MeWgd::databaseFile,
            &MeWgd::CreateHistoryDb,
            &MeWgd::CreateHistoryTable,
            &MeWgd::HistoryExists,
            &MeWgd::AddHistory,
            &MeWgd::ReadHistory,
            QStringLiteral("收听记录文件无法读取，已将原文件另存为“%1”，程序将使用新的收听记录。")};
}

// Looks into a store file on a connection of the test's own, so what the
// stores wrote is checked independently of their reading code.
class RawDatabase
{
public:
    explicit RawDatabase(const QString &path)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
        m_db.setDatabaseName(path);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        m_db.open();
    }
    ~RawDatabase()
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
    }
    RawDatabase(const RawDatabase &) = delete;
    RawDatabase &operator=(const RawDatabase &) = delete;

    // The first column of every row of `sql`, as texts.
    QStringList column(const QString &sql)
    {
        QStringList out;
        QSqlQuery query(m_db);
        if (!query.exec(sql))
            return {QStringLiteral("<error>")};
        while (query.next())
            out.append(query.value(0).toString());
        return out;
    }

private:
    QSqlDatabase m_db;
};
