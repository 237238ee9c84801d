#include "rkhotkey.h"

#include "csubclass.h"
#include "dialogservice.h"
#include "globalhotkey.h"
#include "logging.h"
#include "modini.h"
#include "modsubclass.h"
#include "virtualkeys.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSettings>

#include <optional>

namespace {

constexpr char kSection[] = "RKHotKey";
constexpr std::uint32_t kMaxKeyCode = 254;
constexpr std::uint32_t kMaxModifiers = 15;

// Virtual-key codes the capture treats apart.
constexpr short VK_SHIFT = 0x10;
constexpr short VK_CONTROL = 0x11;
constexpr short VK_MENU = 0x12; // Alt
constexpr short VK_LWIN = 0x5B;
constexpr short VK_RWIN = 0x5C;
constexpr short VK_APPS = 0x5D;

// The Shift argument of the key events: 1 Shift, 2 Ctrl, 4 Alt.
constexpr short kShiftMask = 1, kCtrlMask = 2, kAltMask = 4;

short shiftState(const QKeyEvent *event, short keyCode, bool down)
{
    const Qt::KeyboardModifiers m = event->modifiers();
    short shift =
        short((m & Qt::ShiftModifier ? kShiftMask : 0) | (m & Qt::ControlModifier ? kCtrlMask : 0) |
              (m & Qt::AltModifier ? kAltMask : 0));
    // A modifier key counts as held from its own press on, and no longer
    // once released, whatever the window system reported before the event.
    const short own = keyCode == VK_SHIFT     ? kShiftMask
                      : keyCode == VK_CONTROL ? kCtrlMask
                      : keyCode == VK_MENU    ? kAltMask
                                              : 0;
    return down ? short(shift | own) : short(shift & ~own);
}

// X key symbols of the two Windows keys.
constexpr quint32 XK_Super_L = 0xffeb;
constexpr quint32 XK_Super_R = 0xffec;

// The virtual-key code of a key event. On X11 Qt reports both Windows keys
// as Meta; their key symbols tell them apart.
short keyCodeOf(const QKeyEvent *event)
{
    if (event->key() == Qt::Key_Meta || event->key() == Qt::Key_Super_L ||
        event->key() == Qt::Key_Super_R) {
        if (event->nativeVirtualKey() == XK_Super_L)
            return VK_LWIN;
        if (event->nativeVirtualKey() == XK_Super_R)
            return VK_RWIN;
    }
    return short(VirtualKeys::fromQt(event->key(), event->modifiers() & Qt::KeypadModifier));
}

short buttonCode(Qt::MouseButtons buttons)
{
    return short((buttons & Qt::LeftButton ? 1 : 0) | (buttons & Qt::RightButton ? 2 : 0) |
                 (buttons & Qt::MiddleButton ? 4 : 0));
}

short mouseShift(const QMouseEvent *event)
{
    const Qt::KeyboardModifiers m = event->modifiers();
    return short((m & Qt::ShiftModifier ? kShiftMask : 0) |
                 (m & Qt::ControlModifier ? kCtrlMask : 0) | (m & Qt::AltModifier ? kAltMask : 0));
}

// A stored code: ASCII digits only (blanks around them aside), at most max.
std::optional<std::uint32_t> storedCode(const QString &text, std::uint32_t max)
{
    const QString digits = text.trimmed();
    if (digits.isEmpty() || digits.size() > 10)
        return std::nullopt;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
    }
    const qulonglong value = digits.toULongLong();
    if (value > max)
        return std::nullopt;
    return std::uint32_t(value);
}

} // namespace

RKHotKey::RKHotKey(QWidget *parent) : QWidget(parent)
{
    txtHotKey = new QLineEdit(this);
    txtHotKey->setObjectName(QStringLiteral("txtHotKey"));
    txtHotKey->setText(QStringLiteral("无"));
    // Keys are captured, never typed: no input method, no drops.
    txtHotKey->setAttribute(Qt::WA_InputMethodEnabled, false);
    txtHotKey->setAcceptDrops(false);
    txtHotKey->installEventFilter(this);
    setFocusProxy(txtHotKey);
    setFocusPolicy(Qt::StrongFocus);
}

RKHotKey::~RKHotKey()
{
    if (m_hotKeyWindow) {
        ModSubClass::DetachHotKeyWindow(m_hotKeyWindow);
        ModSubClass::DetachTextBox(txtHotKey);
        delete m_hotKeyWindow; // the registration goes with it
    }
}

void RKHotKey::ReadProperties(const Properties &p, bool running)
{
    if (p.BackColor.isValid())
        setBackColor(p.BackColor);
    if (p.ForeColor.isValid())
        setForeColor(p.ForeColor);
    setEnabled(p.Enabled);
    if (p.hasFont)
        setFont(p.Font);
    setBorderStyle(p.BorderStyle);
    setAppearance(p.Appearance);
    setToolTipText(p.ToolTipText);
    setINIFileName(p.INIFileName);
    setSettingLocation(p.SettingLocation);
    setRegKeyName(p.RegKeyName);
    if (!running || m_running)
        return;

    m_running = true;
    m_hotKeyWindow = new QWidget(nullptr);
    m_hotKeyWindow->setObjectName(QStringLiteral("RKHotKeyWindow"));
    m_registration = new GlobalHotKey(m_hotKeyWindow);
    connect(m_registration, &GlobalHotKey::pressed, m_hotKeyWindow, [this] {
        CSubclass::SendMessage(m_hotKeyWindow, Wm::WM_HOTKEY, 1,
                               Wm::makeLParam(int(m_modKeyCode), int(m_keyCode)));
    });
    ModSubClass::AttachHotKeyWindow(m_hotKeyWindow, this);
    ModSubClass::AttachTextBox(txtHotKey);
    loadStoredValues();
}

void RKHotKey::loadStoredValues()
{
    const QString name = objectName();
    QString text, keyCode, modKeyCode;
    if (m_settingLocation != 0) {
        QSettings store(QSettings::UserScope, QStringLiteral("Aurilo"), m_regKeyName);
        store.beginGroup(QLatin1String(kSection));
        text = store.value(name + QStringLiteral("Text"), QStringLiteral("无")).toString();
        keyCode = store.value(name + QStringLiteral("KeyCode"), QStringLiteral("0")).toString();
        modKeyCode =
            store.value(name + QStringLiteral("ModKeyCode"), QStringLiteral("0")).toString();
    } else {
        ModIni::SetIniFileName(m_iniFileName);
        const QString section = QLatin1String(kSection);
        text = ModIni::ReadIniValue(section, name + QStringLiteral("Text"), QStringLiteral("无"));
        keyCode =
            ModIni::ReadIniValue(section, name + QStringLiteral("KeyCode"), QStringLiteral("0"));
        modKeyCode =
            ModIni::ReadIniValue(section, name + QStringLiteral("ModKeyCode"), QStringLiteral("0"));
    }
    const std::optional<std::uint32_t> key = storedCode(keyCode, kMaxKeyCode);
    const std::optional<std::uint32_t> modifiers = storedCode(modKeyCode, kMaxModifiers);
    if (!key || !modifiers) {
        // A file edited by hand or damaged: no key rather than a wrong one.
        qCWarning(lcSettings) << "RKHotKey:" << name << "has no valid stored key:" << keyCode
                              << modKeyCode;
        clearCombination();
        return;
    }
    showText(text);
    m_keyCode = *key;
    m_modKeyCode = *modifiers;
}

void RKHotKey::RaiseEvents()
{
    emit HotKeyPressed();
}

QColor RKHotKey::BackColor() const
{
    return txtHotKey->palette().color(QPalette::Base);
}

void RKHotKey::setBackColor(const QColor &color)
{
    QPalette palette = txtHotKey->palette();
    palette.setColor(QPalette::Base, color);
    txtHotKey->setPalette(palette);
}

QColor RKHotKey::ForeColor() const
{
    return txtHotKey->palette().color(QPalette::Text);
}

void RKHotKey::setForeColor(const QColor &color)
{
    QPalette palette = txtHotKey->palette();
    palette.setColor(QPalette::Text, color);
    txtHotKey->setPalette(palette);
}

void RKHotKey::setBorderStyle(int style)
{
    m_borderStyle = style;
    txtHotKey->setFrame(style != 0);
}

QString RKHotKey::Text() const
{
    return txtHotKey->text();
}

QString RKHotKey::ToolTipText() const
{
    return txtHotKey->toolTip();
}

void RKHotKey::setToolTipText(const QString &text)
{
    txtHotKey->setToolTip(text);
}

void RKHotKey::setHotKeyEnabled(bool enabled)
{
    if (enabled == m_hotKeyEnabled)
        return;
    if (!enabled) {
        if (m_registration)
            m_registration->ungrab();
        m_hotKeyEnabled = false;
        return;
    }
    const QString title = QStringLiteral("错误");
    if (m_keyCode == 0) {
        Dialogs::show(QStringLiteral("未设置热键"), Dialogs::Buttons::Ok, Dialogs::Icon::Stop,
                      window(), title);
        return;
    }
    if (m_registration && m_registration->grab(m_keyCode, m_modKeyCode)) {
        m_hotKeyEnabled = true;
        return;
    }
    Dialogs::show(QStringLiteral("热键冲突，请换一个热键。"), Dialogs::Buttons::Ok,
                  Dialogs::Icon::Stop, window(), title);
    clearCombination();
}

void RKHotKey::SaveSettings()
{
    const QString name = objectName();
    const QString text = txtHotKey->text();
    const QString keyCode = QString::number(m_keyCode);
    const QString modKeyCode = QString::number(m_modKeyCode);
    if (m_settingLocation != 0) {
        QSettings store(QSettings::UserScope, QStringLiteral("Aurilo"), m_regKeyName);
        store.beginGroup(QLatin1String(kSection));
        store.setValue(name + QStringLiteral("Text"), text);
        store.setValue(name + QStringLiteral("KeyCode"), keyCode);
        store.setValue(name + QStringLiteral("ModKeyCode"), modKeyCode);
        return;
    }
    const QString section = QLatin1String(kSection);
    if (!ModIni::WriteIniValue(section, name + QStringLiteral("Text"), text) ||
        !ModIni::WriteIniValue(section, name + QStringLiteral("KeyCode"), keyCode) ||
        !ModIni::WriteIniValue(section, name + QStringLiteral("ModKeyCode"), modKeyCode))
        qCWarning(lcSettings) << "RKHotKey: cannot write" << ModIni::IniFileName();
}

int RKHotKey::refuseAtRunTime(const char *property) const
{
    qCWarning(lcSettings, "RKHotKey.%s: error %d, can only be set before the control runs",
              property, kSetNotPermittedAtRunTime);
    return kSetNotPermittedAtRunTime;
}

int RKHotKey::setINIFileName(const QString &fileName)
{
    if (m_running)
        return refuseAtRunTime("INIFileName");
    m_iniFileName = fileName;
    ModIni::SetIniFileName(fileName);
    return 0;
}

int RKHotKey::setSettingLocation(int location)
{
    if (m_running)
        return refuseAtRunTime("SettingLocation");
    m_settingLocation = location;
    return 0;
}

int RKHotKey::setRegKeyName(const QString &name)
{
    if (m_running)
        return refuseAtRunTime("RegKeyName");
    m_regKeyName = name;
    return 0;
}

void RKHotKey::showText(const QString &text)
{
    txtHotKey->setText(text);
    txtHotKey->setCursorPosition(int(text.size()));
}

void RKHotKey::clearCombination()
{
    showText(QStringLiteral("无"));
    m_keyCode = 0;
    m_modKeyCode = 0;
}

void RKHotKey::txtHotKey_KeyDown(short KeyCode, short Shift)
{
    if (KeyCode == VK_APPS)
        return;
    emit KeyDown(KeyCode, Shift);
    if (KeyCode == VK_LWIN)
        m_winHeld = true;

    QString text = m_winHeld ? QStringLiteral("Win + ") : QString();
    std::uint32_t mask = m_winHeld ? std::uint32_t(GlobalHotKey::Win) : 0;
    if (Shift & kCtrlMask) {
        text += QStringLiteral("Ctrl + ");
        mask += GlobalHotKey::Control;
    }
    if (Shift & kAltMask) {
        text += QStringLiteral("Alt + ");
        mask += GlobalHotKey::Alt;
    }
    if (Shift & kShiftMask) {
        text += QStringLiteral("Shift + ");
        mask += GlobalHotKey::Shift;
    }
    m_modKeyCode = mask;

    if (KeyCode == VK_LWIN || KeyCode == VK_SHIFT || KeyCode == VK_CONTROL || KeyCode == VK_MENU) {
        m_keyCode = 0;
    } else {
        text += VirtualKeys::name(std::uint32_t(std::uint16_t(KeyCode)));
        m_keyCode = std::uint16_t(KeyCode);
    }
    // The old combination is let go while the user picks a new one.
    if (m_hotKeyEnabled)
        setHotKeyEnabled(false);
    showText(text);
}

void RKHotKey::txtHotKey_KeyUp(short KeyCode, short Shift)
{
    if (KeyCode == VK_LWIN)
        m_winHeld = false;
    if (m_keyCode == 0) {
        txtHotKey->setText(QStringLiteral("无"));
        m_modKeyCode = 0;
    }
    txtHotKey->setCursorPosition(int(txtHotKey->text().size()));
    emit KeyUp(KeyCode, Shift);
}

bool RKHotKey::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != txtHotKey)
        return QWidget::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::ShortcutOverride:
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        auto *key = static_cast<QKeyEvent *>(event);
        // Tab and Shift+Tab still move the focus on, so a keyboard user can
        // leave the box.
        const bool focusKey = (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) &&
                              !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
        if (focusKey)
            return false;
        if (event->type() == QEvent::ShortcutOverride) {
            event->accept(); // the box takes every other key, shortcuts included
            return true;
        }
        const short code = keyCodeOf(key);
        const bool down = event->type() == QEvent::KeyPress;
        if (down)
            txtHotKey_KeyDown(code, shiftState(key, code, true));
        else if (!key->isAutoRepeat())
            txtHotKey_KeyUp(code, shiftState(key, code, false));
        return true; // typed characters never reach the box
    }
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        emit MouseDown(buttonCode(mouse->button()), mouseShift(mouse), float(mouse->position().x()),
                       float(mouse->position().y()));
        return mouse->button() == Qt::MiddleButton;
    }
    case QEvent::MouseMove: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        emit MouseMove(buttonCode(mouse->buttons()), mouseShift(mouse),
                       float(mouse->position().x()), float(mouse->position().y()));
        break;
    }
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        emit MouseUp(buttonCode(mouse->button()), mouseShift(mouse), float(mouse->position().x()),
                     float(mouse->position().y()));
        if (txtHotKey->rect().contains(mouse->position().toPoint()))
            emit Click();
        // The middle button would paste the X selection into the box.
        return mouse->button() == Qt::MiddleButton;
    }
    case QEvent::MouseButtonDblClick:
        emit DblClick();
        break;
    case QEvent::FocusOut:
        // A Windows key let go elsewhere is not held any more.
        m_winHeld = false;
        break;
    case QEvent::Drop:
    case QEvent::DragEnter:
        return true;
    default:
        break;
    }
    return false;
}

void RKHotKey::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    txtHotKey->setGeometry(rect());
}
