// ListBoxEx with a whole catalog: 100,000 titles. Prints the median time to
// fill the list (one AddItems call, and AddItem row by row for comparison), to
// repaint a full page of 30 rows, and to scroll a page and repaint. Goals: fill
// under 200 ms, page repaint under 16 ms (one frame at 60 Hz).
#include "listboxex.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {
constexpr int kRows = 100000;
constexpr int kPageRows = 30;
constexpr int kFillRuns = 9;
constexpr int kPaintRuns = 51;

double median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// A shown control of kPageRows rows in the main window's look.
std::unique_ptr<ListBoxEx> makeList()
{
    auto list = std::make_unique<ListBoxEx>();
    list->applyMainWindowLook(0xFEEED9, 0xFFF4E3);
    list->setGeometry(100, 100, 420, kPageRows * 21 + 2);
    list->show();
    QElapsedTimer waited;
    waited.start();
    while (!list->windowHandle()->isExposed() && waited.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return list;
}

// Median wall time in milliseconds of work(), with prepare() run untimed first.
double medianMs(int runs, const std::function<void()> &prepare, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        prepare();
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return median(times);
}

void report(const char *what, double ms, double goalMs)
{
    if (goalMs > 0)
        std::printf("%-34s %8.2f ms   (goal < %.0f ms: %s)\n", what, ms, goalMs,
                    ms < goalMs ? "met" : "MISSED");
    else
        std::printf("%-34s %8.2f ms\n", what, ms);
}
} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    QStringList titles;
    titles.reserve(kRows);
    for (int i = 0; i < kRows; ++i)
        titles << QStringLiteral("有声读物 第%1部 · 演播版").arg(i + 1);

    std::unique_ptr<ListBoxEx> list;
    const auto fresh = [&] {
        list.reset();
        list = makeList();
    };
    const double bulk = medianMs(kFillRuns, fresh, [&] {
        list->AddItems(titles);
        QCoreApplication::processEvents(); // the repaint that follows the fill
    });
    const double oneByOne = medianMs(kFillRuns, fresh, [&] {
        for (const QString &title : titles)
            list->AddItem(title);
        QCoreApplication::processEvents();
    });

    fresh();
    list->AddItems(titles);
    QCoreApplication::processEvents();
    QWidget *viewport = list->lstMain->viewport();
    int rowsDrawn = 0;
    QObject::connect(list.get(), &ListBoxEx::DrawItem, list.get(),
                     [&](int, QPainter *, int, int, int, bool *) { ++rowsDrawn; });
    const double page = medianMs(
        kPaintRuns, [] {}, [&] { viewport->repaint(); });
    const int rowsPerPage = rowsDrawn / kPaintRuns;

    int top = 0;
    const double scrollPage = medianMs(
        kPaintRuns, [] {},
        [&] {
            top = (top + kPageRows) % (kRows - kPageRows);
            list->setTopIndex(top);
            viewport->repaint();
        });
    list->setTopIndex(kRows - kPageRows);
    const double lastPage = medianMs(
        kPaintRuns, [] {}, [&] { viewport->repaint(); });

    std::printf("ListBoxEx, %d rows, page of %d rows (median of %d / %d runs)\n", kRows, kPageRows,
                kFillRuns, kPaintRuns);
    report("fill, AddItems", bulk, 200);
    report("fill, AddItem row by row", oneByOne, 0);
    report("page repaint", page, 16);
    report("page repaint at the end", lastPage, 16);
    report("scroll a page and repaint", scrollPage, 16);
    std::printf("%-34s %8d\n", "rows drawn per page repaint", rowsPerPage);
    return 0;
}
