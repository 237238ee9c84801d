#pragma once

#include <QColor>
#include <QList>
#include <QObject>

#include <functional>

class QLabel;

// A control array of labels that act as links: their mouse and key events
// become the array's MouseMove, MouseDown and Click handlers, called with the
// label's index. A link is reached with Tab and pressed with Enter or Space,
// as a button is; focus shows as the mouse's hover does.
class LinkLabels : public QObject
{
public:
    struct Handlers
    {
        std::function<void(int index)> mouseMove;
        std::function<void(int index, int button)> mouseDown; // button as buttonCode gives it
        std::function<void(int index)> click;
    };

    // Prepares the labels (pointing-hand cursor, mouse tracking, Tab focus,
    // the normal colour) and watches their events.
    LinkLabels(const QList<QLabel *> &labels, const QColor &hover, const QColor &normal,
               Handlers handlers, QObject *parent = nullptr);

    // Shows the link in the hover or the normal colour.
    void setHovered(int index, bool hovered);
    // Every link in the normal colour, as when the mouse moves off them.
    void clearHovered();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QList<QLabel *> m_labels;
    QColor m_hover;
    QColor m_normal;
    Handlers m_handlers;
};
