#pragma once

#include "favoriterecord.h"

#include <QList>
#include <QString>
#include <QStringList>

// The listening history ("我听过的"): the twin of FavoriteModule on the file
// iwdg.mdb, with the same table (also named Favorite) and the same rules. It
// has no delete and no clear.
namespace MeWgd {

// The database file: iwdg.mdb in the program folder.
QString databaseFile();

bool CreateHistoryDb();
bool CreateHistoryTable();
bool HistoryExists(const QString &name, bool &found);
bool AddHistory(const FavoriteRecord &record);
bool ReadHistory(QList<FavoriteRecord> &records);

// History list texts: trimmed style + " < " + trimmed name.
QStringList HistoryListTexts(const QList<FavoriteRecord> &records);

} // namespace MeWgd
