#include "muenfrm.h"

#include "contentserver.h"
#include "desktopservices.h"
#include "formmain.h"
#include "modsl.h"

#include <QMenu>

MuenFrm::MuenFrm(QWidget *parent) : QWidget(parent)
{
    adopt(this);
    setObjectName(QStringLiteral("MuenFrm"));
    setAccessibleName(QStringLiteral("MuenFrm"));
    setWindowTitle(QStringLiteral("MuenFrm"));

    SzLan = new QMenu(QStringLiteral("设置栏"), this);
    SzLan->setObjectName(QStringLiteral("SzLan"));
    SzLan->setAccessibleName(QStringLiteral("设置栏"));
    Jrzy = addItem(SzLan, QStringLiteral("Jrzy"), QStringLiteral("访问主页"));
    SzLan->addSeparator()->setObjectName(QStringLiteral("sz1"));
    OverQuenda = addItem(SzLan, QStringLiteral("OverQuenda"), QStringLiteral("退出"));
    connect(Jrzy, &QAction::triggered, this, &MuenFrm::Jrzy_Click);
    connect(OverQuenda, &QAction::triggered, this, &MuenFrm::OverQuenda_Click);

    TP = new QMenu(QStringLiteral("托盘选项"), this);
    TP->setObjectName(QStringLiteral("TP"));
    TP->setAccessibleName(QStringLiteral("托盘选项"));
    FrmQcShow = addItem(TP, QStringLiteral("FrmQcShow"), QStringLiteral("显示"));
    Window1 = addItem(TP, QStringLiteral("Window1"), QStringLiteral("隐藏"));
    UnloadEndFrm = addItem(TP, QStringLiteral("UnloadEndFrm"), QStringLiteral("退出"));
    connect(FrmQcShow, &QAction::triggered, this, &MuenFrm::FrmQcShow_Click);
    connect(Window1, &QAction::triggered, this, &MuenFrm::Window1_Click);
    connect(UnloadEndFrm, &QAction::triggered, this, &MuenFrm::UnloadEndFrm_Click);
}

QAction *MuenFrm::addItem(QMenu *menu, const QString &objectName, const QString &caption)
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(objectName);
    return action;
}

void MuenFrm::Jrzy_Click()
{
    DesktopServices::openUrl(ContentServer::homePage(), DesktopServices::Show::Maximized);
}

void MuenFrm::OverQuenda_Click()
{
    // "退出" ends the program, whichever menu it is chosen from.
    ModSl::ExitProgram();
}

void MuenFrm::FrmQcShow_Click()
{
    FormMain *main = FormMain::existing();
    if (!main || !main->isMinimized())
        return;
    main->setWindowState(main->windowState() & ~Qt::WindowMinimized);
    main->show();
}

void MuenFrm::Window1_Click()
{
    FormMain *main = FormMain::existing();
    if (!main || main->windowState() != Qt::WindowNoState)
        return;
    main->setWindowState(Qt::WindowMinimized);
    main->hide();
}

void MuenFrm::UnloadEndFrm_Click()
{
    ModSl::ExitProgram();
}
