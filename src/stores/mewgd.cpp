#include "mewgd.h"

#include "recordstore.h"

namespace MeWgd {

namespace {
RecordStore &store()
{
    static RecordStore history(
        QStringLiteral("iwdg.mdb"),
        QStringLiteral("收听记录文件无法读取，已将原文件另存为“%1”，程序将使用新的收听记录。"));
    return history;
}
} // namespace

QString databaseFile()
{
    return store().databaseFile();
}

bool CreateHistoryDb()
{
    return store().createDatabase();
}

bool CreateHistoryTable()
{
    return store().createTable();
}

bool HistoryExists(const QString &name, bool &found)
{
    return store().exists(name, found);
}

bool AddHistory(const FavoriteRecord &record)
{
    return store().add(record);
}

bool ReadHistory(QList<FavoriteRecord> &records)
{
    return store().read(records);
}

QStringList HistoryListTexts(const QList<FavoriteRecord> &records)
{
    QStringList texts;
    texts.reserve(records.size());
    for (const FavoriteRecord &record : records)
        texts.append(FavoriteRecord::trimBlanks(record.style) + QStringLiteral(" < ") +
                     FavoriteRecord::trimBlanks(record.name));
    return texts;
}

} // namespace MeWgd
