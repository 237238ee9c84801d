// The favourites and the history with 10,000 rows each (realistic Chinese
// values). Prints median and worst wall times of: ReadFavorites plus the list
// texts, the same with the fill of the favourites list (LoadFavoriteList, goal
// under 100 ms), RecordHistory's work, HistoryExists plus AddHistory (goal
// under 10 ms), the presence test alone, and one add.
// The stores sync every add to disk, so the figures depend on the folder's
// file system: pass a folder as the first argument to measure another disk.
#include "favoritemodule.h"
#include "listboxex.h"
#include "favoriterecord.h"
#include "mewgd.h"
#include "programfolder.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kRows = 10000;
constexpr int kReadRuns = 21;
constexpr int kRecordRuns = 51;

const QStringList kStyles = {QStringLiteral("评书"),     QStringLiteral("相声小品"),
                             QStringLiteral("有声小说"), QStringLiteral("儿童故事"),
                             QStringLiteral("百家讲坛"), QStringLiteral("外语学习")};

FavoriteRecord resource(int i)
{
    FavoriteRecord r;
    r.style = kStyles.at(i % kStyles.size());
    r.id = std::int16_t(i % 32000);
    r.fid = std::int16_t(i % kStyles.size() + 1);
    r.name = QStringLiteral("三国演义（单田芳版）第%1回 宴桃园豪杰三结义").arg(i + 1);
    r.image = QStringLiteral("/uploads/allimg/20%1/%2.jpg").arg(10 + i % 12).arg(i);
    r.size = QStringLiteral("%1.%2MB").arg(3 + i % 40).arg(i % 100, 2, 10, QLatin1Char('0'));
    r.flash_ffa = QStringLiteral("单田芳 播讲，共%1回，每回约二十五分钟").arg(100 + i % 50);
    r.flashurl = QStringLiteral("/flash/pingshu/sanguo/%1.swf").arg(i + 1);
    r.flashsay = QStringLiteral("东汉末年，天下大乱，刘备、关羽、张飞桃园结义，共图大事。"
                                "本回讲述黄巾起义与三人初立战功的经过。第%1回。")
                     .arg(i + 1);
    r.keyword = QStringLiteral("三国 评书 单田芳");
    return r;
}

// The stores' own operations make the table; the rows go in one transaction
// on a connection of the benchmark's, which is quicker than 10,000 adds.
bool fill(const QString &path, bool (*createDb)(), bool (*createTable)())
{
    createDb();
    if (!createTable())
        return false;
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(path);
        ok = db.open() && db.transaction();
        QSqlQuery query(db);
        ok = ok &&
             query.prepare(QStringLiteral(
                 "INSERT INTO Favorite(id, fid, [name], [image], [size], flash_ffa, "
                 "flashurl, flashsay, keyword, [Style]) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        for (int i = 0; ok && i < kRows; ++i) {
            FavoriteRecord r = resource(i);
            r.fixWidths();
            for (const QVariant &v :
                 {QVariant(int(r.id)), QVariant(int(r.fid)), QVariant(r.name), QVariant(r.image),
                  QVariant(r.size), QVariant(r.flash_ffa), QVariant(r.flashurl),
                  QVariant(r.flashsay), QVariant(r.keyword), QVariant(r.style)})
                query.addBindValue(v);
            ok = query.exec();
        }
        if (!ok)
            std::fprintf(stderr, "fill failed: %s\n", qPrintable(query.lastError().text()));
        query.finish();
        ok = ok && db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

struct Figures
{
    double median = 0;
    double worst = 0;
};

Figures measure(int runs, const std::function<void(int)> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work(i);
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.back()};
}

void report(const char *what, const Figures &f, double goalMs)
{
    std::printf("%-44s median %8.2f ms  worst %8.2f ms", what, f.median, f.worst);
    if (goalMs > 0)
        std::printf("   (goal < %.0f ms: median %s, worst %s)", goalMs,
                    f.median < goalMs ? "met" : "MISSED", f.worst < goalMs ? "met" : "MISSED");
    std::printf("\n");
}
} // namespace

int main(int argc, char *argv[])
{
    // The list of the favourites is a widget; no screen is needed to fill it.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir temp(argc > 1 ? QString::fromLocal8Bit(argv[1]) + QStringLiteral("/bench-XXXXXX")
                                : QString());
    if (!temp.isValid()) {
        std::fprintf(stderr, "cannot make a folder: %s\n", qPrintable(temp.errorString()));
        return 1;
    }
    ProgramFolder::setPath(temp.path());
    if (!fill(FavoriteModule::databaseFile(), &FavoriteModule::CreateFavoriteDb,
              &FavoriteModule::CreateFavoriteTable) ||
        !fill(MeWgd::databaseFile(), &MeWgd::CreateHistoryDb, &MeWgd::CreateHistoryTable))
        return 1;

    int listed = 0;
    const Figures read = measure(kReadRuns, [&](int) {
        QList<FavoriteRecord> records;
        FavoriteModule::ReadFavorites(records);
        listed = int(FavoriteModule::FavoriteListTexts(records).size());
    });
    if (listed != kRows) {
        std::fprintf(stderr, "read %d favourites, expected %d\n", listed, kRows);
        return 1;
    }

    // What the favourites tab does: read, make the texts, fill List4.
    ListBoxEx List4;
    List4.resize(276, 420);
    const Figures load = measure(kReadRuns, [&](int) {
        QList<FavoriteRecord> records;
        if (!FavoriteModule::ReadFavorites(records))
            return;
        List4.Clear();
        List4.AddItems(FavoriteModule::FavoriteListTexts(records));
    });
    if (List4.ListCount() != kRows) {
        std::fprintf(stderr, "listed %d favourites, expected %d\n", List4.ListCount(), kRows);
        return 1;
    }

    // Present near the end of the table, absent (the whole table scanned).
    const QString present = resource(kRows - 7).name;
    int hits = 0;
    const Figures existsHit = measure(kRecordRuns, [&](int) {
        bool found = false;
        MeWgd::HistoryExists(present, found);
        hits += found;
    });
    const Figures existsMiss = measure(kRecordRuns, [&](int i) {
        bool found = false;
        MeWgd::HistoryExists(QStringLiteral("没有听过的书 %1").arg(i), found);
        hits += found;
    });

    // RecordHistory for resources not yet in the history: look, then add.
    const Figures record = measure(kRecordRuns, [&](int i) {
        FavoriteRecord r = resource(kRows + i);
        bool found = false;
        if (MeWgd::HistoryExists(r.name, found) && !found)
            MeWgd::AddHistory(r);
    });
    const Figures addOnly =
        measure(kRecordRuns, [&](int i) { MeWgd::AddHistory(resource(2 * kRows + i)); });
    QList<FavoriteRecord> history;
    MeWgd::ReadHistory(history);

    std::printf("Stores, %d rows in each, folder on %s (median and worst of %d / %d runs)\n", kRows,
                QStorageInfo(temp.path()).fileSystemType().constData(), kReadRuns, kRecordRuns);
    report("ReadFavorites + FavoriteListTexts", read, 0);
    report("LoadFavoriteList (read, texts, List4 fill)", load, 100);
    report("RecordHistory (HistoryExists + AddHistory)", record, 10);
    report("HistoryExists, present", existsHit, 10);
    report("HistoryExists, absent", existsMiss, 10);
    report("AddHistory alone", addOnly, 0);
    std::printf("%-44s %d of %d found, history now %lld rows\n", "check", hits, kRecordRuns,
                qlonglong(history.size()));
    return 0;
}
