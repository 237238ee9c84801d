#include "wt.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QHash>
#include <QTime>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

// A manual-reset timer, shared by name within the process: once it fires it
// stays signalled until it is set again, so every wait on it sees the firing,
// whichever wait set it last.
class NamedTimer : public QObject
{
public:
    // Opens the timer of that name, creating it when no wait holds it.
    static std::shared_ptr<NamedTimer> open(const QString &name)
    {
        if (std::shared_ptr<NamedTimer> existing = registry().value(name).lock())
            return existing;
        std::shared_ptr<NamedTimer> created(new NamedTimer(name));
        registry().insert(name, created);
        return created;
    }

    ~NamedTimer() override
    {
        auto it = registry().find(m_name);
        if (it != registry().end() && it->expired())
            registry().erase(it);
    }

    // Unsignalled until ms from now; 0 is due at once.
    void set(int ms)
    {
        m_signalled = false;
        m_due.setRemainingTime(ms, Qt::PreciseTimer);
        if (ms == 0) {
            m_timer.stop();
            m_signalled = true;
            return;
        }
        m_timer.start(ms);
    }

    bool signalled() const { return m_signalled; }

private:
    explicit NamedTimer(const QString &name) : m_name(name)
    {
        m_timer.setSingleShot(true);
        // A coarse timer may fire up to 5 % early; a wait must not end early.
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            if (!m_due.hasExpired()) {
                m_timer.start(int(std::max<qint64>(1, m_due.remainingTime())));
                return;
            }
            m_signalled = true;
        });
    }

    static QHash<QString, std::weak_ptr<NamedTimer>> &registry()
    {
        static QHash<QString, std::weak_ptr<NamedTimer>> timers;
        return timers;
    }

    QString m_name;
    QTimer m_timer;
    QDeadlineTimer m_due;
    bool m_signalled = false;
};

} // namespace

struct wt::State
{
    std::shared_ptr<NamedTimer> timer; // the timer in use, null when none
};

wt::wt() : m_state(std::make_shared<State>()) {}

wt::~wt()
{
    m_state->timer.reset();
}

void wt::Wait(int &MilliSeconds)
{
    Wait(std::as_const(MilliSeconds));
}

void wt::Wait(const int &MilliSeconds)
{
    // A handler run during the wait may destroy this object; the wait keeps
    // its own reference to the state.
    const std::shared_ptr<State> state = m_state;
    try {
        if (!QCoreApplication::instance())
            throw std::logic_error("no application object to process the events");

        std::shared_ptr<NamedTimer> timer = NamedTimer::open(timerName(QTime::currentTime()));
        state->timer = timer;
        timer->set(std::max(MilliSeconds, 0));
        // Sleep until something happens, then handle everything pending, until
        // the timer is signalled: whichever wait set it last.
        for (;;) {
            if (!timer->signalled())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            QCoreApplication::processEvents();
            if (timer->signalled())
                break;
        }
        state->timer.reset();
    } catch (const std::exception &e) {
        state->timer.reset();
        throw WaitError(std::string("[clsWaitableTimer.Wait] ") + e.what());
    }
}

QString wt::timerName(const QTime &now)
{
    const QString program =
        QCoreApplication::instance()
            ? QFileInfo(QCoreApplication::applicationFilePath()).completeBaseName()
            : QString();
    return program + QStringLiteral("Timer") + now.toString(QStringLiteral("mmss"));
}
