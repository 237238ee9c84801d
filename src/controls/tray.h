#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QSystemTrayIcon;
class QWidget;

// The program's icon in the notification area. A left click on the icon raises
// Click, a right click PopupMenu, each once per click; the container decides
// what they do.
class Tray : public QObject
{
    Q_OBJECT

public:
    // Balloon icon styles.
    enum BubbleStyle { BubbleInformation = 1, BubbleWarning = 2, BubbleError = 3 };

    // Limits of the notification record's ANSI text fields, NUL included.
    static constexpr int kBubbleTitleBytes = 64;
    static constexpr int kBubbleTextBytes = 256;

    // owner is the window that holds the control; its icon is used while no
    // Picture is set.
    explicit Tray(QWidget *owner, const QString &name = QString());

    void Show();
    void ShowBubble(const QString &Title, const QString &Text, int Style);
    void ChangeIcon(const QIcon &Icon);
    void Hide();

    QIcon Picture() const { return m_picture; }
    void setPicture(const QIcon &picture);

    bool isShown() const;

    // The balloon texts as the notification record holds them (cut to their fields).
    QString bubbleTitle() const { return m_bubbleTitle; }
    QString bubbleText() const { return m_bubbleText; }

    // The texts cut to an ANSI field of the given size, room for the NUL included.
    static QString fitField(const QString &text, int fieldBytes);

    QSystemTrayIcon *systemTrayIcon() const { return m_icon; }

    // Whether the desktop has a notification area to hold the icon now. It
    // may come and go: a tray host can start after the program.
    static bool isAvailable();
    // Tests answer for the desktop; an empty probe asks it again.
    static void setAvailabilityProbe(std::function<bool()> probe);

signals:
    void PopupMenu();
    void Click();

private:
    QIcon currentIcon() const;

    QWidget *m_owner;
    QSystemTrayIcon *m_icon;
    QIcon m_picture;
    QString m_bubbleTitle;
    QString m_bubbleText;
    int m_bubbleStyle = 0;
};
