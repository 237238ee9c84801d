#include "favoritemodule.h"

#include "recordstore.h"

namespace FavoriteModule {

namespace {
RecordStore &store()
{
    static RecordStore favorites(
        QStringLiteral("Favorite.mdb"),
        QStringLiteral("收藏列表文件无法读取，已将原文件另存为“%1”，程序将使用新的收藏列表。"));
    return favorites;
}
} // namespace

QString databaseFile()
{
    return store().databaseFile();
}

bool CreateFavoriteDb()
{
    return store().createDatabase();
}

bool CreateFavoriteTable()
{
    return store().createTable();
}

bool FavoriteExists(const QString &name, bool &found)
{
    return store().exists(name, found);
}

bool AddFavorite(const FavoriteRecord &record)
{
    return store().add(record);
}

bool DeleteFavorite(const QString &name)
{
    return store().remove(name);
}

bool ReadFavorites(QList<FavoriteRecord> &records)
{
    return store().read(records);
}

QStringList FavoriteListTexts(const QList<FavoriteRecord> &records)
{
    QStringList texts;
    texts.reserve(records.size());
    for (const FavoriteRecord &record : records)
        texts.append(FavoriteRecord::trimBlanks(record.style) + u'-' + record.name);
    return texts;
}

} // namespace FavoriteModule
