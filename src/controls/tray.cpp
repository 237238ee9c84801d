#include "tray.h"

#include "ansicodec.h"

#include <QSystemTrayIcon>
#include <QWidget>

namespace {

std::function<bool()> &availabilityProbe()
{
    static std::function<bool()> probe;
    return probe;
}

} // namespace

bool Tray::isAvailable()
{
    if (availabilityProbe())
        return availabilityProbe()();
    return QSystemTrayIcon::isSystemTrayAvailable();
}

void Tray::setAvailabilityProbe(std::function<bool()> probe)
{
    availabilityProbe() = std::move(probe);
}

Tray::Tray(QWidget *owner, const QString &name)
    : QObject(owner), m_owner(owner), m_icon(new QSystemTrayIcon(this))
{
    setObjectName(name);
    connect(m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) {
                // A double click arrives as Trigger followed by DoubleClick;
                // only the Trigger counts, so one click restores once.
                if (reason == QSystemTrayIcon::Trigger)
                    emit Click();
                else if (reason == QSystemTrayIcon::Context)
                    emit PopupMenu();
            });
}

void Tray::setPicture(const QIcon &picture)
{
    m_picture = picture;
    if (isShown())
        m_icon->setIcon(currentIcon());
}

QIcon Tray::currentIcon() const
{
    if (!m_picture.isNull())
        return m_picture;
    return m_owner ? m_owner->window()->windowIcon() : QIcon();
}

void Tray::Show()
{
    m_icon->setIcon(currentIcon());
    m_icon->setToolTip(QString()); // the tip is never set
    m_icon->show();
}

QString Tray::fitField(const QString &text, int fieldBytes)
{
    return Ansi::decode(Ansi::truncate(Ansi::encode(text), fieldBytes - 1));
}

void Tray::ShowBubble(const QString &Title, const QString &Text, int Style)
{
    m_bubbleTitle = fitField(Title, kBubbleTitleBytes);
    m_bubbleText = fitField(Text, kBubbleTextBytes);
    m_bubbleStyle = Style;
    QSystemTrayIcon::MessageIcon icon = QSystemTrayIcon::NoIcon;
    switch (Style) {
    case BubbleInformation:
        icon = QSystemTrayIcon::Information;
        break;
    case BubbleWarning:
        icon = QSystemTrayIcon::Warning;
        break;
    case BubbleError:
        icon = QSystemTrayIcon::Critical;
        break;
    default:
        break;
    }
    m_icon->showMessage(m_bubbleTitle, m_bubbleText, icon);
}

void Tray::ChangeIcon(const QIcon &Icon)
{
    // Empty balloon texts take a visible balloon away.
    m_bubbleTitle.clear();
    m_bubbleText.clear();
    m_icon->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 1);
    m_icon->setIcon(Icon);
}

void Tray::Hide()
{
    m_icon->hide();
}

bool Tray::isShown() const
{
    return m_icon->isVisible();
}
