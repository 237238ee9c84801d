#pragma once

#include <QObject>

class QAbstractNativeEventFilter;
class QWidget;

// Tells when the window manager gives a top-level window its frame or
// changes it. Qt has no event for that: the frame's size arrives as a window
// property some time after the window is shown, often without the client area
// moving. Where no window manager draws frames, it never fires.
class FrameWatch : public QObject
{
    Q_OBJECT

public:
    explicit FrameWatch(QWidget *window);
    ~FrameWatch() override;

signals:
    // After the window system has told the new frame: frameGeometry() has it.
    void frameChanged();

private:
    QAbstractNativeEventFilter *m_filter = nullptr;
};
