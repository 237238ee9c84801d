#pragma once

#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStringList>
#include <QTest>

#include <algorithm>

// Small helpers over the X tools (xdotool, xwininfo) for tests that drive the
// real program under Xvfb.
namespace X11Tools {

inline QString run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return {};
    return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

// Ids of the visible top-level windows whose name matches the pattern.
inline QStringList visibleWindows(const QString &namePattern)
{
    const QString out =
        run(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                        QStringLiteral("--name"), namePattern});
    return out.isEmpty() ? QStringList() : out.split(u'\n');
}

inline QRect geometry(const QString &window)
{
    const QString out = run(QStringLiteral("xdotool"),
                            {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window});
    auto value = [&out](const char *key) {
        const auto match =
            QRegularExpression(QStringLiteral("%1=(-?\\d+)").arg(QLatin1String(key))).match(out);
        return match.hasMatch() ? match.captured(1).toInt() : 0;
    };
    return QRect(value("X"), value("Y"), value("WIDTH"), value("HEIGHT"));
}

// Geometry of Aurilo's main window if it is on screen, else an empty
// rectangle. The main window is the large one: the tray icon's window and the
// menus carry the program's name too.
inline QRect auriloMainWindow()
{
    for (const QString &id : visibleWindows(QStringLiteral("^Aurilo$"))) {
        const QRect rect = geometry(id);
        if (rect.width() > 100)
            return rect;
    }
    return {};
}

inline void click(const QPoint &at, int button = 1)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
         QStringLiteral("click"), QString::number(button)});
}

inline void keys(const QStringList &names)
{
    run(QStringLiteral("xdotool"), QStringList{QStringLiteral("key")} + names);
}

// The whole window tree, as xwininfo prints it.
inline QString tree()
{
    return run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-tree")});
}

// Names of the top-level windows from the bottom of the stack to the top.
inline QStringList stackingOrder()
{
    QStringList names;
    static const QRegularExpression line(QStringLiteral("^\\s+0x[0-9a-f]+ \"([^\"]*)\""));
    const QString out = run(QStringLiteral("xwininfo"), {QStringLiteral("-root"), QStringLiteral("-children")});
    for (const QString &row : out.split(u'\n')) {
        const auto match = line.match(row);
        if (match.hasMatch())
            names.append(match.captured(1));
    }
    // xwininfo lists the top of the stack first.
    std::reverse(names.begin(), names.end());
    return names;
}

// Waits until the condition holds, processing events; false on timeout.
template <typename Condition>
bool waitFor(Condition condition, int timeoutMs = 10000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(100);
    }
    return true;
}

} // namespace X11Tools
