#pragma once

#include "favoriterecord.h"

#include <QList>
#include <QString>

// The engine work shared by the favourites and the listening history: a
// single-file SQLite database in the program folder with the table Favorite.
// Every operation opens a connection of its own and closes it before it
// returns, so the file is never held open between operations (the clear
// command deletes it).
//
// A file that the engine cannot read as a database is never written over: it
// is renamed beside itself ("<file>.unreadable-<date>-<time>"), the user is
// told once per process, and the operation goes on with a new, empty file.
class RecordStore
{
public:
    // `unreadableMessage` is shown when an unreadable file is set aside; "%1"
    // stands for the name the file was kept under.
    RecordStore(QString fileName, QString unreadableMessage);

    RecordStore(const RecordStore &) = delete;
    RecordStore &operator=(const RecordStore &) = delete;

    // The database file in the program folder.
    QString databaseFile() const;

    // Makes the empty database file; false when it exists or on failure.
    bool createDatabase();
    // Makes the table; false when it exists, when the file is missing or on failure.
    bool createTable();
    // Whether a row has this name, trailing blanks disregarded on both sides;
    // false on failure, `found` then untouched.
    bool exists(const QString &name, bool &found);
    // Adds one row (creating file and table first when missing), every text in
    // its full width.
    bool add(const FavoriteRecord &record);
    // Deletes the rows with this name by the rule of exists(); false on failure.
    bool remove(const QString &name);
    // Every row in insertion order; false when there is none (`records` then
    // untouched) or on failure.
    bool read(QList<FavoriteRecord> &records);

    // Version of the table layout, kept in the file's user_version.
    static constexpr int kSchemaVersion = 1;

private:
    class Connection;
    enum class Access
    {
        Open,
        Missing,
        Failed
    };

    Access open(Connection &connection);
    bool setAside(const QString &path);

    QString m_fileName;
    QString m_unreadableMessage;
    bool m_told = false;
};
