#pragma once

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QString>
#include <QTimer>
#include <QVariant>
#include <QWebEnginePage>

#include <memory>
#include <utility>

// Waiting on the web engine in tests.

// Runs the event loop for a while. Unlike QTest::qWait, which sleeps between
// rounds, it leaves the engine's browser-side tasks no waiting in between:
// those sleeps stretch a page load from a tenth of a second to seconds.
inline void spin(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Spins until the predicate holds or the time is up; whether it held.
template <typename Predicate> bool waitUntil(Predicate predicate, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!predicate()) {
        if (deadline.hasExpired())
            return false;
        spin(20);
    }
    return true;
}

// Runs the script in the page and returns its value (invalid on time-out).
inline QVariant evaluate(QWebEnginePage *page, const QString &script)
{
    auto result = std::make_shared<std::pair<bool, QVariant>>();
    page->runJavaScript(script, [result](const QVariant &value) {
        result->first = true;
        result->second = value;
    });
    if (!waitUntil([&] { return result->first; }, 30000))
        return {};
    return result->second;
}
