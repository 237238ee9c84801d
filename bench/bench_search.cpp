// Search speed over a large catalog: 100,000 titles in 200 categories. For each
// query prints the median time of SearchTitles, its hits, and the time of a
// bare loop that only tests title.contains(q) over the same titles (the floor
// no search can beat). Goal: under 30 ms per search.
#include "benchtimer.h"
#include "ansicodec.h"
#include "catalogfile.h"
#include "catalogsearch.h"
#include "catalogwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kCategories = 200;
constexpr int kResources = 100000;
constexpr int kRuns = 21;
constexpr double kGoalMs = 30.0;

// The floor: the substring test alone, nothing collected.
qsizetype bareContains(const Catalog &catalog, const QString &q)
{
    qsizetype hits = 0;
    for (qsizetype i = 1; i < catalog.categories.size(); ++i) {
        const CatalogCategory &category = catalog.categories.at(i);
        for (qsizetype j = 1; j < category.entries.size(); ++j)
            hits += category.entries.at(j).title.contains(q) ? 1 : 0;
    }
    return hits;
}
} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // Optional: resources and categories, for a smaller run under a profiler.
    const QStringList args = QCoreApplication::arguments();
    const int resources = args.size() > 1 ? args.at(1).toInt() : kResources;
    const int categories = args.size() > 2 ? args.at(2).toInt() : kCategories;

    const Catalog catalog = SjCL::ParseCatalog(Ansi::decode(
        Demo::syntheticCatalog(categories, resources, QStringLiteral("http://127.0.0.1:8765"))));
    qsizetype titles = 0;
    for (qsizetype i = 1; i < catalog.categories.size(); ++i)
        titles += catalog.categories.at(i).entries.size() - 1;
    std::printf("catalog: %lld titles in %lld categories; median of %d runs per figure\n",
                static_cast<long long>(titles), static_cast<long long>(catalog.categoryCount()),
                kRuns);

    // The generated titles read place + place + kind + " 第N集": "第" is in every
    // title, "山" in about one in five, "梅松" only where 寒梅 meets 松涛.
    const struct
    {
        const char *label;
        QString q;
    } queries[] = {
        {"one char in every title", QStringLiteral("第")},
        {"one common char", QStringLiteral("山")},
        {"rare two-char word", QStringLiteral("梅松")},
        {"no hit", QStringLiteral("量子")},
        {"longer, with blank", QStringLiteral("游记 第1")},
    };

    std::printf("%-26s %-10s %8s %12s %12s %8s\n", "query", "", "hits", "search ms", "floor ms",
                "x floor");
    for (const auto &query : queries) {
        qsizetype hits = 0;
        qsizetype floorHits = 0;
        const double searchMs =
            medianMs(kRuns, [&] { hits = SjCL::SearchTitles(catalog, query.q).texts.size(); });
        const double floorMs = medianMs(kRuns, [&] { floorHits = bareContains(catalog, query.q); });
        if (hits != floorHits) {
            std::printf("hit counts differ for %s: %lld against %lld\n", query.label,
                        static_cast<long long>(hits), static_cast<long long>(floorHits));
            return 1;
        }
        std::printf("%-26s %-10s %8lld %12.2f %12.2f %8.2f  (goal < %.0f ms)\n", query.label,
                    query.q.toUtf8().constData(), static_cast<long long>(hits), searchMs, floorMs,
                    searchMs / floorMs, kGoalMs);
    }
    return 0;
}
