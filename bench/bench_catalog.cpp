// Catalog loading speed on a large data-cache file: 100,000 resources in 200
// categories (about 30 MB in GBK). Prints the time to read and decode the file
// alone (the floor no loader can beat), LoadCatalog with the lists filled, and
// a switch to the largest category. Goals: LoadCatalog within 3x the floor, a
// category switch under 50 ms.
#include "benchtimer.h"
#include "catalogfile.h"
#include "catalogwriter.h"
#include "programfolder.h"
#include "sjcl.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include "listboxex.h"

#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
constexpr int kCategories = 200;
constexpr int kResources = 100000;
constexpr int kRuns = 9;

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QTemporaryDir folder;
    if (!folder.isValid())
        return 1;
    // Optional: resources and categories, for a smaller run under a profiler.
    const QStringList args = QCoreApplication::arguments();
    const int resources = args.size() > 1 ? args.at(1).toInt() : kResources;
    const int categories = args.size() > 2 ? args.at(2).toInt() : kCategories;
    const QByteArray bytes =
        Demo::syntheticCatalog(categories, resources, QStringLiteral("http://127.0.0.1:8765"));
    QFile file(folder.filePath(QStringLiteral("LDsend.Dll")));
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return 1;
    file.close();
    ProgramFolder::setPath(folder.path());

    QWidget window;
    auto *list1 = new ListBoxEx(&window);
    auto *qtList = new ListBoxEx(&window);
    auto *list2 = new ListBoxEx(&window);
    auto *favourites = new QWidget(&window);
    QString category;
    const SjCL::CatalogLists lists{list1, qtList, list2, favourites, &category};
    window.resize(400, 600);
    window.show();

    const QString path = file.fileName();
    qsizetype decoded = 0;
    const double floorMs = medianMs(kRuns, [&] { decoded = SjCL::ReadAnsiFile(path).size(); });
    const double loadMs = medianMs(kRuns, [&] { SjCL::LoadCatalog(lists); });

    int largest = 0;
    for (int row = 0; row < SjCL::catalog().categoryCount(); ++row) {
        if (SjCL::CategoryAtRow(row)->entries.size() > SjCL::CategoryAtRow(largest)->entries.size())
            largest = row;
    }
    const double switchMs = medianMs(kRuns, [&] {
        list1->setListIndex(largest);
        SjCL::ShowCategoryEntries(lists);
        list1->setListIndex(0);
        SjCL::ShowCategoryEntries(lists);
    }) / 2.0;

    std::printf("catalog file: %.1f MB, %lld characters, %lld categories, %d entries in the "
                "largest\n",
                bytes.size() / 1e6, static_cast<long long>(decoded),
                static_cast<long long>(SjCL::catalog().categoryCount()),
                int(SjCL::CategoryAtRow(largest)->entries.size() - 1));
    std::printf("read and decode (floor): %8.1f ms\n", floorMs);
    std::printf("LoadCatalog with lists:  %8.1f ms  (%.2fx the floor; goal <= 3x)\n", loadMs,
                loadMs / floorMs);
    std::printf("category switch:         %8.2f ms  (goal < 50 ms)\n", switchMs);
    return 0;
}
