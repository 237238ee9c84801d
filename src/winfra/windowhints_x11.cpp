#include "windowhints.h"

#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// WM_HINTS, as ICCCM lays it out: nine 32-bit fields, flags first.
constexpr std::size_t kHintFields = 9;
constexpr std::uint32_t kStateHint = 1u << 1; // initial_state is set
constexpr std::size_t kInitialState = 2;
constexpr std::uint32_t kNormalState = 1;

xcb_atom_t atomNamed(xcb_connection_t *connection, const char *name)
{
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    if (!reply)
        return XCB_ATOM_NONE;
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// A window manager marks an icon "hidden" in the window's _NET_WM_STATE and
// may leave the mark on a window it withdraws; mapped again with it, the
// window would come up as an icon. The client owns the property while the
// window is unmapped.
void dropHiddenState(xcb_connection_t *connection, xcb_window_t id)
{
    const xcb_atom_t state = atomNamed(connection, "_NET_WM_STATE");
    const xcb_atom_t hidden = atomNamed(connection, "_NET_WM_STATE_HIDDEN");
    if (state == XCB_ATOM_NONE || hidden == XCB_ATOM_NONE)
        return;
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection, xcb_get_property(connection, 0, id, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
    if (!reply)
        return;
    std::vector<xcb_atom_t> atoms;
    if (reply->format == 32) {
        const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(reply));
        atoms.assign(values, values + xcb_get_property_value_length(reply) / 4);
    }
    std::free(reply);
    const auto kept = std::remove(atoms.begin(), atoms.end(), hidden);
    if (kept == atoms.end())
        return;
    atoms.erase(kept, atoms.end());
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, state, XCB_ATOM_ATOM, 32,
                        static_cast<std::uint32_t>(atoms.size()), atoms.data());
}

} // namespace

namespace WindowHints {

void setNormalOnNextMap(QWidget *window)
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection() || !window || !window->windowHandle())
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->internalWinId());
    if (id == XCB_WINDOW_NONE)
        return; // not made yet: Qt writes the hints itself when it makes it

    std::array<std::uint32_t, kHintFields> hints{};
    xcb_get_property_reply_t *reply = xcb_get_property_reply(
        connection,
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, kHintFields),
        nullptr);
    if (reply) {
        if (reply->format == 32) {
            const auto count =
                std::min<std::size_t>(xcb_get_property_value_length(reply) / 4, kHintFields);
            std::memcpy(hints.data(), xcb_get_property_value(reply), count * 4);
        }
        std::free(reply);
    }
    hints[0] |= kStateHint;
    hints[kInitialState] = kNormalState;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS,
                        32, kHintFields, hints.data());
    dropHiddenState(connection, id);
    xcb_flush(connection);
}

} // namespace WindowHints
