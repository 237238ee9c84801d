#pragma once

#include "favoriterecord.h"

#include <QList>
#include <QString>

// The favourites and the listening history as the windows show them: the
// lists, the details window and the player's record. The stores themselves
// (files, rows) are in the stores library under the same module names.

// What the details window and the player's description box show of one
// resource, wherever it was chosen.
struct DetailsFill
{
    QString name;
    QString category;
    QString size;
    QString flashsay;
    QString flash_ffa;
    QString pageurl;
    QString image; // cover path below the content server's root
};

// Fills the details window (texts and cover) and the player's description box.
void ShowDetails(const DetailsFill &fill);

// The address of a cover below the content server's root; blanks that fill a
// stored field are not part of it.
QString CoverAddress(const QString &image);

namespace FavoriteModule {

// The records of the last read; element i belongs to List4's row i.
const QList<FavoriteRecord> &favorites();

// Refills List4 from the store; an empty or unreadable store leaves it as it is.
void LoadFavoriteList();
// Shows a favourite in the details window and remembers it for the player.
void ShowFavorite(const FavoriteRecord &record);
// Copies the favourite last shown into the player's now-playing record.
void FavoriteToPlayer();

} // namespace FavoriteModule

namespace MeWgd {

// The records of the last read; element i belongs to List2's row i while
// List2 shows the history.
const QList<FavoriteRecord> &history();

// Shows the history in List2; an empty history leaves List2 as it is.
void LoadHistoryList();
// Shows a history record in the details window.
void ShowHistoryItem(const FavoriteRecord &record);
// Adds the selected resource to the history unless a record of that name exists.
void RecordHistory();

} // namespace MeWgd
