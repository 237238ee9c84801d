#include "accessiblepopups.h"

#include <QAccessible>
#include <QAccessibleObject>
#include <QApplication>
#include <QMenu>

namespace {

// The menus open now, in the order Qt keeps its top-level widgets.
QList<QMenu *> openMenus()
{
    QList<QMenu *> menus;
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (auto *menu = qobject_cast<QMenu *>(window); menu && menu->isVisible())
            menus.append(menu);
    }
    return menus;
}

class ApplicationWithPopups : public QAccessibleApplication
{
public:
    int childCount() const override
    {
        return QAccessibleApplication::childCount() + int(openMenus().size());
    }

    QAccessibleInterface *child(int index) const override
    {
        const int windows = QAccessibleApplication::childCount();
        if (index < windows)
            return QAccessibleApplication::child(index);
        const QList<QMenu *> menus = openMenus();
        index -= windows;
        return index < menus.size() ? QAccessible::queryAccessibleInterface(menus.at(index))
                                    : nullptr;
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        const int index = QAccessibleApplication::indexOfChild(child);
        if (index >= 0 || !child)
            return index;
        const int menu = int(openMenus().indexOf(qobject_cast<QMenu *>(child->object())));
        return menu < 0 ? -1 : QAccessibleApplication::childCount() + menu;
    }

    QAccessibleInterface *focusChild() const override
    {
        // While a menu is open, it has the keyboard.
        if (QWidget *popup = QApplication::activePopupWidget())
            return QAccessible::queryAccessibleInterface(popup);
        return QAccessibleApplication::focusChild();
    }
};

QAccessibleInterface *factory(const QString &className, QObject *object)
{
    if (object && object == QCoreApplication::instance() &&
        className == QLatin1String("QApplication"))
        return new ApplicationWithPopups;
    return nullptr;
}

} // namespace

namespace AccessiblePopups {

void install()
{
    static const bool installed = [] {
        QAccessible::installFactory(factory);
        return true;
    }();
    Q_UNUSED(installed);
}

} // namespace AccessiblePopups
