#pragma once

#include <QString>

#include <memory>
#include <stdexcept>
#include <string>

class QTime;

// An error of wt::Wait. what() is the cause prefixed with
// "[clsWaitableTimer.Wait] ", the text the callers show and log.
class WaitError : public std::runtime_error
{
public:
    explicit WaitError(const std::string &description) : std::runtime_error(description) {}
};

// Pauses the calling code for a time while the program's windows stay
// responsive: events are processed during the wait, including ones that start
// further waits. Runs on the GUI thread.
//
// The wait uses a named timer shared by the whole process: the name is the
// executable's base name, "Timer" and the local time as "mmss", so waits
// started in the same second share one timer. It is manual-reset: setting it
// for an inner wait moves the due time of an outer wait of the same name,
// which then ends when the shared timer fires.
//
// A negative time is waited as 0: the events pending now are processed, then
// the wait returns. Times may come from the content server, and a handler
// must never see an exception for one.
//
// Errors (WaitError):
// - no application object, so nothing could process the events;
// - any std::exception raised inside the wait, including one a handler lets
//   escape through the event processing (Qt does not support that, so
//   handlers should not rely on it); it is raised again with its text.
// The timer is closed in every case.
class wt
{
public:
    wt();
    ~wt(); // closes the timer still open (a wait ended by an error)
    wt(const wt &) = delete;
    wt &operator=(const wt &) = delete;

    // Returns when MilliSeconds have passed; 0 (or less) returns once the
    // events pending now are processed. MilliSeconds is not changed.
    void Wait(int &MilliSeconds);
    void Wait(const int &MilliSeconds);

    // The timer name for a wait started at local time now.
    static QString timerName(const QTime &now);

private:
    struct State;
    std::shared_ptr<State> m_state; // shared with a running Wait, which may outlive this
};
