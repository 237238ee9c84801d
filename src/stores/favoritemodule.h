#pragma once

#include "favoriterecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The favourites: the file Favorite.mdb in the program folder, table Favorite.
// Every operation opens the file, does its work and closes it again. Failures
// come back as false; nothing is shown to the user except when an unreadable
// file has to be set aside (see RecordStore).
namespace FavoriteModule {

// The database file: Favorite.mdb in the program folder.
QString databaseFile();

// Makes the empty database file; false when it exists or on failure.
bool CreateFavoriteDb();
// Makes the table Favorite; false when it exists or on failure.
bool CreateFavoriteTable();
// Whether a favourite has this name, trailing blanks disregarded on both
// sides. False on failure, and `found` then stays as the caller set it.
bool FavoriteExists(const QString &name, bool &found);
// Adds the record with every text cut or padded to its width; the file and the
// table are created first when missing.
bool AddFavorite(const FavoriteRecord &record);
// Deletes the favourites with this name (the same rule as FavoriteExists).
// False, and a logged warning, when the file cannot be changed.
bool DeleteFavorite(const QString &name);
// Every favourite in the order added. False when there is none or on failure;
// `records` is then left as it was.
bool ReadFavorites(QList<FavoriteRecord> &records);

// The favourites list texts: trimmed style + "-" + name in full width, in
// array order.
QStringList FavoriteListTexts(const QList<FavoriteRecord> &records);

} // namespace FavoriteModule
