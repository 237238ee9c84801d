#pragma once

#include <QObject>

#include <cstdint>
#include <memory>

// A key combination held for the whole desktop: while it is grabbed, pressing
// it anywhere reports pressed(), whichever window has the focus. Keys and
// modifiers come in the system-wide hot-key encoding the settings file keeps:
// Windows virtual-key codes, and the mask 1 Alt, 2 Ctrl, 4 Shift, 8 Win.
class GlobalHotKey : public QObject
{
    Q_OBJECT

public:
    enum Modifier : std::uint32_t
    {
        Alt = 1,
        Control = 2,
        Shift = 4,
        Win = 8
    };

    explicit GlobalHotKey(QObject *parent = nullptr);
    ~GlobalHotKey() override; // lets go of the combination

    // Takes the combination for this object, letting go of the one it held.
    // False when the desktop has no such key, or another program (or another
    // hot key of this one) holds the combination: then nothing is held.
    bool grab(std::uint32_t virtualKey, std::uint32_t modifiers);
    void ungrab();
    bool isGrabbed() const;

signals:
    void pressed();

private:
    struct Backend;
    std::unique_ptr<Backend> m_backend;
};
