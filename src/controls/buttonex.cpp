#include "buttonex.h"

#include "buttoncode.h"
#include "logging.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyle>
#include <QStyleOptionFocusRect>

namespace {

// Shift as the control's events carry it.
short shiftCode(Qt::KeyboardModifiers modifiers)
{
    return short((modifiers & Qt::ShiftModifier ? 1 : 0) |
                 (modifiers & Qt::ControlModifier ? 2 : 0) | (modifiers & Qt::AltModifier ? 4 : 0));
}

// To assistive technology the control is a push button: its name is the
// accessible name the owning window gives it (the caption when there is
// none), and its press action clicks it.
class ButtonExAccessible : public QAccessibleWidget
{
public:
    explicit ButtonExAccessible(ButtonEx *button) : QAccessibleWidget(button, QAccessible::Button)
    {
    }

    QString text(QAccessible::Text t) const override
    {
        QString value = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && value.isEmpty())
            value = button()->Caption();
        return value;
    }

    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        if (button()->isEnabled() &&
            (button()->Value() || button()->look() == ButtonEx::LookPressed))
            state.pressed = true;
        return state;
    }

    QStringList actionNames() const override
    {
        return QStringList(pressAction()) + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &actionName) override
    {
        if (actionName == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(actionName);
    }

    QStringList keyBindingsForAction(const QString &actionName) const override
    {
        if (actionName == pressAction())
            return {QStringLiteral("Space")};
        return QAccessibleWidget::keyBindingsForAction(actionName);
    }

private:
    ButtonEx *button() const { return static_cast<ButtonEx *>(widget()); }
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ButtonEx") && object && object->isWidgetType())
        return new ButtonExAccessible(static_cast<ButtonEx *>(object));
    return nullptr;
}

} // namespace

ButtonEx::ButtonEx(QWidget *parent) : QWidget(parent)
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(&accessibleFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);

    // Every move over the control counts, not only moves with a button held.
    setMouseTracking(true);
    // Reachable with Tab, but a mouse click must not take the focus from the
    // list or the search box.
    setFocusPolicy(Qt::TabFocus);

    QPalette captionColours = palette();
    captionColours.setColor(QPalette::ButtonText, QColor(0x1f, 0x4f, 0x94));
    captionColours.setColor(QPalette::Disabled, QPalette::ButtonText, QColor(0x8d, 0x9a, 0xae));
    setPalette(captionColours);

    if (m_subclass.Subclass_Start(this, this, 0, true))
        m_subclass.Subclass_AddMsg(this, Wm::WM_MOUSELEAVE, CSubclass::MSG_BEFORE);
}

ButtonEx::~ButtonEx() = default;

void ButtonEx::setValue(bool value)
{
    if (value == m_value)
        return;
    m_value = value;
    update();
}

void ButtonEx::setPicture(int index, const QIcon &picture)
{
    m_pictures[index] = picture;
    update();
}

void ButtonEx::setPictures(const QIcon &normal, const QIcon &hover, const QIcon &pressed,
                           const QIcon &disabled)
{
    m_pictures = {normal, hover, pressed, disabled};
    update();
}

void ButtonEx::loadPictures(const QString &stem)
{
    static const char *const suffixes[] = {"-normal.svg", "-hover.svg", "-pressed.svg",
                                           "-disabled.svg"};
    std::array<QIcon, 4> pictures;
    for (int i = 0; i < 4; ++i) {
        const QString file = stem + QLatin1String(suffixes[i]);
        // An icon made from a missing file is not null but draws nothing;
        // say so instead of leaving a silently blank button.
        if (QFileInfo::exists(file))
            pictures[i] = QIcon(file);
        else
            qCWarning(lcControls) << "ButtonEx" << objectName() << "has no picture" << file;
    }
    setPictures(pictures[0], pictures[1], pictures[2], pictures[3]);
}

void ButtonEx::setCaption(const QString &caption)
{
    if (caption == m_caption)
        return;
    m_caption = caption;
    update();
}

void ButtonEx::click()
{
    if (isEnabled())
        emit Click();
}

void ButtonEx::setLook(int look)
{
    if (look == m_look)
        return;
    m_look = look;
    update();
}

void ButtonEx::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const int shown = isEnabled() && m_value ? int(LookPressed) : m_look;
    const QIcon &picture = m_pictures[shown];
    if (!picture.isNull()) {
        // Rendered for the device's pixel ratio: an SVG picture stays sharp
        // at 2x instead of being a 1x bitmap stretched.
        const qreal ratio = painter.device()->devicePixelRatioF();
        painter.drawPixmap(QPoint(0, 0), picture.pixmap(size(), ratio));
    }
    if (!m_caption.isEmpty()) {
        painter.setPen(palette().color(QPalette::ButtonText));
        painter.drawText(contentsRect(), Qt::AlignCenter | Qt::TextSingleLine, m_caption);
    }
    if (hasFocus()) {
        QStyleOptionFocusRect option;
        option.initFrom(this);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &option, &painter, this);
    }
}

void ButtonEx::mouseMoveEvent(QMouseEvent *)
{
    // Also while a button is held: a pressed look turns into the hover look
    // as soon as the mouse moves.
    m_subclass.TrackMouseTracking(this);
    setLook(LookHover);
}

void ButtonEx::mousePressEvent(QMouseEvent *event)
{
    const short button = buttonCode(event->button());
    if (button == 0) {
        event->ignore();
        return;
    }
    m_lastDown = {button, shiftCode(event->modifiers()), float(event->position().x()),
                  float(event->position().y())};
    if (button == 1)
        setLook(LookPressed);
    emit OnMouseDown(m_lastDown.button, m_lastDown.shift, m_lastDown.x, m_lastDown.y);
}

void ButtonEx::mouseReleaseEvent(QMouseEvent *event)
{
    const short button = buttonCode(event->button());
    if (button == 0) {
        event->ignore();
        return;
    }
    const short shift = shiftCode(event->modifiers());
    const float x = float(event->position().x());
    const float y = float(event->position().y());
    // A Click handler may close the window that owns the control.
    const QPointer<ButtonEx> alive(this);
    if (x >= 0 && x <= width() && y >= 0 && y <= height()) {
        setLook(LookHover);
        if (button == 1)
            emit Click();
    } else {
        setLook(LookNormal);
    }
    if (alive)
        emit OnMouseUp(button, shift, x, y);
}

void ButtonEx::mouseDoubleClickEvent(QMouseEvent *)
{
    // The second press of a double click arrives as this event alone; it
    // raises nothing, and the release that follows raises Click again.
    if (m_lastDown.button == 1)
        setLook(LookPressed);
}

void ButtonEx::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
        if (!event->isAutoRepeat()) {
            m_spaceHeld = true;
            setLook(LookPressed);
        }
        break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (!event->isAutoRepeat())
            click();
        break;
    default:
        QWidget::keyPressEvent(event);
    }
}

void ButtonEx::keyReleaseEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !m_spaceHeld) {
        QWidget::keyReleaseEvent(event);
        return;
    }
    m_spaceHeld = false;
    setLook(LookNormal);
    click();
}

void ButtonEx::focusInEvent(QFocusEvent *event)
{
    update();
    QWidget::focusInEvent(event);
}

void ButtonEx::focusOutEvent(QFocusEvent *event)
{
    // Space released elsewhere must not leave the button looking pressed.
    if (m_spaceHeld) {
        m_spaceHeld = false;
        setLook(LookNormal);
    }
    update();
    QWidget::focusOutEvent(event);
}

void ButtonEx::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::EnabledChange) {
        m_spaceHeld = false;
        setLook(isEnabled() ? LookNormal : LookDisabled);
        update();
    }
    QWidget::changeEvent(event);
}

void ButtonEx::WndProc(bool bBefore, bool &, LRESULT &, QWidget *, std::uint32_t uMsg, WPARAM,
                       LPARAM, LPARAM &)
{
    // A disabled control keeps its disabled picture when the mouse leaves it.
    if (bBefore && uMsg == Wm::WM_MOUSELEAVE && isEnabled())
        setLook(LookNormal);
}
