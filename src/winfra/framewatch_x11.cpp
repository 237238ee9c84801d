#include "framewatch.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

// The EWMH property in which the window manager states a window's frame.
xcb_atom_t frameExtentsAtom(xcb_connection_t *connection)
{
    static const char kName[] = "_NET_FRAME_EXTENTS";
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof(kName) - 1, kName), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

class FrameExtentsFilter : public QAbstractNativeEventFilter
{
public:
    FrameExtentsFilter(FrameWatch *watch, QWidget *window, xcb_atom_t atom)
        : m_watch(watch), m_window(window), m_atom(atom)
    {
    }

    bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
    {
        if (eventType != "xcb_generic_event_t" || !m_window)
            return false;
        const auto *event = static_cast<const xcb_generic_event_t *>(message);
        if ((event->response_type & 0x7F) != XCB_PROPERTY_NOTIFY)
            return false;
        const auto *property = reinterpret_cast<const xcb_property_notify_event_t *>(event);
        if (property->atom != m_atom || property->window != m_window->internalWinId())
            return false;
        // Queued: Qt reads the new frame only when it handles the event itself,
        // after this filter.
        QMetaObject::invokeMethod(
            m_watch,
            [watch = m_watch] {
                if (watch)
                    emit watch->frameChanged();
            },
            Qt::QueuedConnection);
        return false;
    }

private:
    QPointer<FrameWatch> m_watch;
    QPointer<QWidget> m_window;
    xcb_atom_t m_atom;
};

} // namespace

FrameWatch::FrameWatch(QWidget *window) : QObject(window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return; // another platform (offscreen in the tests): no frames to watch
    const xcb_atom_t atom = frameExtentsAtom(x11->connection());
    if (atom == XCB_ATOM_NONE)
        return;
    m_filter = new FrameExtentsFilter(this, window, atom);
    qGuiApp->installNativeEventFilter(m_filter);
}

FrameWatch::~FrameWatch()
{
    if (m_filter && qGuiApp)
        qGuiApp->removeNativeEventFilter(m_filter);
    delete m_filter;
}
