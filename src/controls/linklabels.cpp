#include "linklabels.h"

#include "buttoncode.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>

#include <algorithm>
#include <utility>

namespace {

void colourLink(QLabel *link, const QColor &colour)
{
    // Every mouse move over the window comes here; an unchanged colour
    // must not repaint.
    if (link->palette().color(QPalette::WindowText) == colour)
        return;
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, colour);
    link->setPalette(palette);
}

} // namespace

LinkLabels::LinkLabels(const QList<QLabel *> &labels, const QColor &hover, const QColor &normal,
                       Handlers handlers, QObject *parent)
    : QObject(parent), m_labels(labels), m_hover(hover), m_normal(normal),
      m_handlers(std::move(handlers))
{
    for (QLabel *link : std::as_const(m_labels)) {
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        link->setFocusPolicy(Qt::TabFocus);
        colourLink(link, m_normal);
        link->installEventFilter(this);
    }
}

void LinkLabels::setHovered(int index, bool hovered)
{
    colourLink(m_labels.at(index), hovered ? m_hover : m_normal);
}

void LinkLabels::clearHovered()
{
    for (QLabel *link : std::as_const(m_labels))
        colourLink(link, m_normal);
}

bool LinkLabels::eventFilter(QObject *watched, QEvent *event)
{
    const auto found = std::find(m_labels.cbegin(), m_labels.cend(), watched);
    if (found == m_labels.cend())
        return false;
    QLabel *link = *found;
    const int index = int(found - m_labels.cbegin());
    // Handled here, not passed on to the window: it would take a move over a
    // label for a move off the labels and a press on one for the start of a
    // drag.
    switch (event->type()) {
    case QEvent::MouseMove:
        if (m_handlers.mouseMove)
            m_handlers.mouseMove(index);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (m_handlers.mouseDown)
            m_handlers.mouseDown(index, buttonCode(static_cast<QMouseEvent *>(event)->button()));
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton &&
            link->rect().contains(mouse->position().toPoint()) && m_handlers.click)
            m_handlers.click(index);
        return true;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter &&
            key->key() != Qt::Key_Space)
            return false;
        if (!key->isAutoRepeat() && m_handlers.click)
            m_handlers.click(index);
        return true;
    }
    case QEvent::FocusIn:
        setHovered(index, true); // the keyboard's "hover"
        return false;
    case QEvent::FocusOut:
        setHovered(index, false);
        return false;
    default:
        return false;
    }
}
