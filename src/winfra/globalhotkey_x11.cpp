// System-wide keys on X11: a passive grab on the root window for every key
// code of the key's symbol, in every combination of the lock modifiers (Caps
// Lock, Num Lock, Scroll Lock), so that the combination works whatever the
// locks say. The grabs belong to Qt's own connection, whose events come
// through a native event filter.
#include "globalhotkey.h"

#include "logging.h"

#include <QAbstractNativeEventFilter>
#include <QGuiApplication>
#include <QList>
#include <QMetaObject>
#include <QPointer>

#include <xcb/xcb.h>

#define XK_MISCELLANY
#define XK_LATIN1
#include <X11/XF86keysym.h>
#include <X11/keysymdef.h>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// The X key symbol of a Windows virtual-key code; 0 for none.
xcb_keysym_t keysymOf(std::uint32_t vk)
{
    if (vk >= 0x41 && vk <= 0x5A) // A..Z: the unshifted symbol
        return XK_a + (vk - 0x41);
    if (vk >= 0x30 && vk <= 0x39)
        return XK_0 + (vk - 0x30);
    if (vk >= 0x60 && vk <= 0x69)
        return XK_KP_0 + (vk - 0x60);
    if (vk >= 0x70 && vk <= 0x87) // F1..F24
        return XK_F1 + (vk - 0x70);
    static const std::pair<std::uint32_t, xcb_keysym_t> kKeys[] = {
        {0x08, XK_BackSpace},
        {0x09, XK_Tab},
        {0x0C, XK_Clear},
        {0x0D, XK_Return},
        {0x13, XK_Pause},
        {0x14, XK_Caps_Lock},
        {0x1B, XK_Escape},
        {0x20, XK_space},
        {0x21, XK_Prior},
        {0x22, XK_Next},
        {0x23, XK_End},
        {0x24, XK_Home},
        {0x25, XK_Left},
        {0x26, XK_Up},
        {0x27, XK_Right},
        {0x28, XK_Down},
        {0x2C, XK_Print},
        {0x2D, XK_Insert},
        {0x2E, XK_Delete},
        {0x5B, XK_Super_L},
        {0x5C, XK_Super_R},
        {0x5D, XK_Menu},
        {0x6A, XK_KP_Multiply},
        {0x6B, XK_KP_Add},
        {0x6C, XK_KP_Separator},
        {0x6D, XK_KP_Subtract},
        {0x6E, XK_KP_Decimal},
        {0x6F, XK_KP_Divide},
        {0x90, XK_Num_Lock},
        {0x91, XK_Scroll_Lock},
        {0xAD, XF86XK_AudioMute},
        {0xAE, XF86XK_AudioLowerVolume},
        {0xAF, XF86XK_AudioRaiseVolume},
        {0xB0, XF86XK_AudioNext},
        {0xB1, XF86XK_AudioPrev},
        {0xB2, XF86XK_AudioStop},
        {0xB3, XF86XK_AudioPlay},
        {0xBA, XK_semicolon},
        {0xBB, XK_equal},
        {0xBC, XK_comma},
        {0xBD, XK_minus},
        {0xBE, XK_period},
        {0xBF, XK_slash},
        {0xC0, XK_grave},
        {0xDB, XK_bracketleft},
        {0xDC, XK_backslash},
        {0xDD, XK_bracketright},
        {0xDE, XK_apostrophe},
    };
    for (const auto &[code, symbol] : kKeys) {
        if (code == vk)
            return symbol;
    }
    return 0;
}

xcb_connection_t *connection()
{
    auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t *c)
{
    return xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
}

// The keyboard as the server maps it now: key codes of a symbol, and the
// modifier bits that Alt, Win and the locks sit on.
struct Keyboard
{
    explicit Keyboard(xcb_connection_t *c)
    {
        const xcb_setup_t *setup = xcb_get_setup(c);
        first = setup->min_keycode;
        const int count = setup->max_keycode - setup->min_keycode + 1;
        mapping =
            xcb_get_keyboard_mapping_reply(c, xcb_get_keyboard_mapping(c, first, count), nullptr);
        modifiers = xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr);
    }
    ~Keyboard()
    {
        std::free(mapping);
        std::free(modifiers);
    }
    Keyboard(const Keyboard &) = delete;
    Keyboard &operator=(const Keyboard &) = delete;

    QList<xcb_keycode_t> keycodes(xcb_keysym_t symbol) const
    {
        QList<xcb_keycode_t> found;
        if (!mapping || symbol == 0)
            return found;
        const int perCode = mapping->keysyms_per_keycode;
        const xcb_keysym_t *symbols = xcb_get_keyboard_mapping_keysyms(mapping);
        const int total = xcb_get_keyboard_mapping_keysyms_length(mapping);
        for (int i = 0; perCode > 0 && i < total; ++i) {
            if (symbols[i] == symbol) {
                const auto code = xcb_keycode_t(first + i / perCode);
                if (!found.contains(code))
                    found.append(code);
            }
        }
        return found;
    }

    // The modifier bit (Mod1..Mod5 and the rest) that holds one of the symbols.
    std::uint16_t maskOf(std::initializer_list<xcb_keysym_t> symbols, std::uint16_t fallback) const
    {
        if (!modifiers)
            return fallback;
        QList<xcb_keycode_t> codes;
        for (xcb_keysym_t symbol : symbols)
            codes += keycodes(symbol);
        const int perModifier = modifiers->keycodes_per_modifier;
        const xcb_keycode_t *table = xcb_get_modifier_mapping_keycodes(modifiers);
        for (int modifier = 0; modifier < 8; ++modifier) {
            for (int k = 0; k < perModifier; ++k) {
                const xcb_keycode_t code = table[modifier * perModifier + k];
                if (code != 0 && codes.contains(code))
                    return std::uint16_t(1u << modifier);
            }
        }
        return fallback;
    }

    xcb_keycode_t first = 0;
    xcb_get_keyboard_mapping_reply_t *mapping = nullptr;
    xcb_get_modifier_mapping_reply_t *modifiers = nullptr;
};

struct Grab
{
    xcb_keycode_t keycode;
    std::uint16_t modifiers; // without locks
};

} // namespace

struct GlobalHotKey::Backend
{
    explicit Backend(GlobalHotKey *key) : owner(key) {}

    GlobalHotKey *owner;
    std::uint32_t virtualKey = 0;
    std::uint32_t windowsModifiers = 0;
    QList<Grab> grabs;          // what this key holds, lock variants aside
    QList<std::uint16_t> locks; // the lock combinations it was grabbed with

    static QList<Backend *> &all()
    {
        static QList<Backend *> backends;
        return backends;
    }

    bool take();
    void release();
    static bool handle(const xcb_generic_event_t *event);

    struct Filter : QAbstractNativeEventFilter
    {
        bool nativeEventFilter(const QByteArray &eventType, void *message, qintptr *) override
        {
            return eventType == "xcb_generic_event_t" &&
                   handle(static_cast<const xcb_generic_event_t *>(message));
        }
    };

    static void installFilter()
    {
        static Filter *filter = nullptr;
        if (filter || !qGuiApp)
            return;
        filter = new Filter;
        qGuiApp->installNativeEventFilter(filter);
    }
};

bool GlobalHotKey::Backend::take()
{
    xcb_connection_t *c = connection();
    const xcb_keysym_t symbol = keysymOf(virtualKey);
    if (!c || symbol == 0)
        return false;
    const Keyboard keyboard(c);
    const QList<xcb_keycode_t> codes = keyboard.keycodes(symbol);
    if (codes.isEmpty())
        return false;

    std::uint16_t mods = 0;
    if (windowsModifiers & Alt)
        mods |= keyboard.maskOf({XK_Alt_L, XK_Alt_R, XK_Meta_L}, XCB_MOD_MASK_1);
    if (windowsModifiers & Control)
        mods |= XCB_MOD_MASK_CONTROL;
    if (windowsModifiers & Shift)
        mods |= XCB_MOD_MASK_SHIFT;
    if (windowsModifiers & Win)
        mods |= keyboard.maskOf({XK_Super_L, XK_Super_R}, XCB_MOD_MASK_4);

    // Another hot key of this program on the same keys: the server would not
    // refuse a second grab from the same client, so it is refused here.
    for (const Backend *other : all()) {
        if (other == this)
            continue;
        for (const Grab &held : other->grabs) {
            if (held.modifiers == mods && codes.contains(held.keycode))
                return false;
        }
    }

    const std::uint16_t lockBits[] = {
        XCB_MOD_MASK_LOCK,
        keyboard.maskOf({XK_Num_Lock}, 0),
        keyboard.maskOf({XK_Scroll_Lock}, 0),
    };
    QList<std::uint16_t> variants{0};
    for (std::uint16_t bit : lockBits) {
        if (bit == 0 || (mods & bit))
            continue;
        const QList<std::uint16_t> before = variants;
        for (std::uint16_t variant : before) {
            if (!variants.contains(variant | bit))
                variants.append(variant | bit);
        }
    }

    const xcb_window_t root = rootWindow(c);
    struct Sent
    {
        xcb_keycode_t code;
        std::uint16_t variant;
        xcb_void_cookie_t cookie;
    };
    QList<Sent> sent;
    for (xcb_keycode_t code : codes) {
        for (std::uint16_t variant : variants) {
            sent.append({code, variant,
                         xcb_grab_key_checked(c, 1, root, mods | variant, code, XCB_GRAB_MODE_ASYNC,
                                              XCB_GRAB_MODE_ASYNC)});
        }
    }
    bool refused = false;
    QList<Sent> taken;
    for (const Sent &s : sent) {
        if (xcb_generic_error_t *error = xcb_request_check(c, s.cookie)) {
            refused = true;
            std::free(error);
        } else {
            taken.append(s);
        }
    }
    if (refused) {
        // Held elsewhere: nothing half-taken stays behind.
        for (const Sent &s : taken)
            xcb_ungrab_key(c, s.code, root, mods | s.variant);
        xcb_flush(c);
        qCInfo(lcWinfra) << "hot key: combination held elsewhere:" << virtualKey
                         << windowsModifiers;
        return false;
    }
    xcb_flush(c);
    for (xcb_keycode_t code : codes)
        grabs.append({code, mods});
    locks = variants;
    installFilter();
    return true;
}

void GlobalHotKey::Backend::release()
{
    xcb_connection_t *c = connection();
    if (c && !grabs.isEmpty()) {
        const xcb_window_t root = rootWindow(c);
        for (const Grab &grab : grabs) {
            for (std::uint16_t variant : locks)
                xcb_ungrab_key(c, grab.keycode, root, grab.modifiers | variant);
        }
        xcb_flush(c);
    }
    grabs.clear();
    locks.clear();
}

bool GlobalHotKey::Backend::handle(const xcb_generic_event_t *event)
{
    const std::uint8_t type = event->response_type & 0x7F;
    if (type == XCB_MAPPING_NOTIFY) {
        // Another keyboard map: the same keys sit on other codes now.
        xcb_connection_t *c = connection();
        if (!c)
            return false;
        const Keyboard keyboard(c);
        for (Backend *backend : all()) {
            if (backend->grabs.isEmpty())
                continue;
            QList<xcb_keycode_t> held;
            for (const Grab &grab : backend->grabs)
                held.append(grab.keycode);
            // Most new maps leave the key where it was: no gap in the grab.
            if (keyboard.keycodes(keysymOf(backend->virtualKey)) == held)
                continue;
            backend->release();
            if (!backend->take())
                qCWarning(lcWinfra) << "hot key: lost with the new keyboard map";
        }
        return false;
    }
    if (type != XCB_KEY_PRESS)
        return false;
    const auto *press = reinterpret_cast<const xcb_key_press_event_t *>(event);
    for (Backend *backend : all()) {
        for (const Grab &grab : backend->grabs) {
            if (grab.keycode != press->detail)
                continue;
            std::uint16_t state = press->state & 0xFF;
            for (std::uint16_t lock : backend->locks)
                state &= ~lock;
            // Exactly the combination: one more modifier is another one.
            if (state != grab.modifiers)
                continue;
            QMetaObject::invokeMethod(
                backend->owner,
                [owner = QPointer<GlobalHotKey>(backend->owner)] {
                    if (owner)
                        emit owner->pressed();
                },
                Qt::QueuedConnection);
            return true;
        }
    }
    return false;
}

GlobalHotKey::GlobalHotKey(QObject *parent)
    : QObject(parent), m_backend(std::make_unique<Backend>(this))
{
    Backend::all().append(m_backend.get());
}

GlobalHotKey::~GlobalHotKey()
{
    m_backend->release();
    Backend::all().removeOne(m_backend.get());
}

bool GlobalHotKey::grab(std::uint32_t virtualKey, std::uint32_t modifiers)
{
    m_backend->release();
    m_backend->virtualKey = virtualKey;
    m_backend->windowsModifiers = modifiers;
    return m_backend->take();
}

void GlobalHotKey::ungrab()
{
    m_backend->release();
}

bool GlobalHotKey::isGrabbed() const
{
    return !m_backend->grabs.isEmpty();
}
