#include "muenfrm.h"

#include "clipboardservice.h"
#include "contentserver.h"
#include "desktopservices.h"
#include "dialogservice.h"
#include "favoritemodule.h"
#include "favoriterecord.h"
#include "flashfrm.h"
#include "formmain.h"
#include "gamejsfrm.h"
#include "listboxex.h"
#include "modsl.h"
#include "quendasz.h"
#include "sharing.h"
#include "storeviews.h"

#include <QFile>
#include <QMenu>
#include <QScreen>

MuenFrm::MuenFrm(QWidget *parent) : QWidget(parent)
{
    adopt(this);
    setObjectName(QStringLiteral("MuenFrm"));
    setAccessibleName(QStringLiteral("MuenFrm"));
    setWindowTitle(QStringLiteral("MuenFrm"));

    GameListMuen = addMenu(QStringLiteral("GameListMuen"), QStringLiteral("列表右键菜单"));
    // The blanks widen the menu; they are part of the caption.
    BeginGame = addItem(GameListMuen, QStringLiteral("BeginGame"),
                        QStringLiteral("开始收听") + QString(11, u' '), &MuenFrm::BeginGame_Click);
    addSeparator(GameListMuen, QStringLiteral("wyfg"));
    Tjsc = addItem(GameListMuen, QStringLiteral("Tjsc"), QStringLiteral("添加收藏"),
                   &MuenFrm::Tjsc_Click);
    Ckjs = addItem(GameListMuen, QStringLiteral("Ckjs"), QStringLiteral("查看介绍"),
                   &MuenFrm::Ckjs_Click);
    addSeparator(GameListMuen, QStringLiteral("wafg"));
    FxGame = addItem(GameListMuen, QStringLiteral("FxGame"), QStringLiteral("分享给好友"),
                     &MuenFrm::FxGame_Click);

    ScListMuen = addMenu(QStringLiteral("ScListMuen"), QStringLiteral("收藏列表右键菜单"));
    BeginGamerSC = addItem(ScListMuen, QStringLiteral("BeginGamerSC"), QStringLiteral("开始收听"),
                           &MuenFrm::BeginGamerSC_Click);
    addSeparator(ScListMuen, QStringLiteral("fgfgfgfg"));
    DelSc = addItem(ScListMuen, QStringLiteral("DelSc"), QStringLiteral("移除收藏"),
                    &MuenFrm::DelSc_Click);
    DelScList = addItem(ScListMuen, QStringLiteral("DelScList"), QStringLiteral("清空收藏"),
                        &MuenFrm::DelScList_Click);
    addSeparator(ScListMuen, QStringLiteral("fgfgfgfgfg"));
    ckscjs = addItem(ScListMuen, QStringLiteral("ckscjs"), QStringLiteral("查看介绍"),
                     &MuenFrm::ckscjs_Click);

    SbListMuen = addMenu(QStringLiteral("SbListMuen"), QStringLiteral("随便听听"));
    BeginGamerSB = addItem(SbListMuen, QStringLiteral("BeginGamerSB"), QStringLiteral("开始收听"),
                           &MuenFrm::BeginGamerSB_Click);
    addSeparator(SbListMuen, QStringLiteral("分割"));
    TjscSB = addItem(SbListMuen, QStringLiteral("TjscSB"), QStringLiteral("添加收藏"),
                     &MuenFrm::TjscSB_Click);
    addSeparator(SbListMuen, QStringLiteral("fg"));
    FxSbPlGame = addItem(SbListMuen, QStringLiteral("FxSbPlGame"), QStringLiteral("分享"),
                         &MuenFrm::FxSbPlGame_Click);
    CzLbSB = addItem(SbListMuen, QStringLiteral("CzLbSB"), QStringLiteral("重载列表"),
                     &MuenFrm::CzLbSB_Click);
    CkJSSB = addItem(SbListMuen, QStringLiteral("CkJSSB"), QStringLiteral("查看介绍"),
                     &MuenFrm::CkJSSB_Click);

    // The about, settings and update items join this menu with their windows.
    SzLan = addMenu(QStringLiteral("SzLan"), QStringLiteral("设置栏"));
    Jrzy = addItem(SzLan, QStringLiteral("Jrzy"), QStringLiteral("访问主页"), &MuenFrm::Jrzy_Click);
    addSeparator(SzLan, QStringLiteral("sz11"));
    shezhi1 = addItem(SzLan, QStringLiteral("shezhi1"), QStringLiteral("设置"), &MuenFrm::shezhi1_Click);
    addSeparator(SzLan, QStringLiteral("sz1"));
    OverQuenda = addItem(SzLan, QStringLiteral("OverQuenda"), QStringLiteral("退出"),
                         &MuenFrm::OverQuenda_Click);

    TP = addMenu(QStringLiteral("TP"), QStringLiteral("托盘选项"));
    FrmQcShow = addItem(TP, QStringLiteral("FrmQcShow"), QStringLiteral("显示"),
                        &MuenFrm::FrmQcShow_Click);
    Window1 = addItem(TP, QStringLiteral("Window1"), QStringLiteral("隐藏"), &MuenFrm::Window1_Click);
    UnloadEndFrm = addItem(TP, QStringLiteral("UnloadEndFrm"), QStringLiteral("退出"),
                           &MuenFrm::UnloadEndFrm_Click);
}

MuenFrm::~MuenFrm()
{
    qDeleteAll(m_menus);
}

QMenu *MuenFrm::menuNamed(const QString &objectName) const
{
    for (QMenu *menu : m_menus) {
        if (menu->objectName() == objectName)
            return menu;
    }
    return nullptr;
}

QMenu *MuenFrm::addMenu(const QString &objectName, const QString &caption)
{
    // No parent widget: a menu's accessibility parent is then the application,
    // where a screen reader looks for the menu that is open, and not this
    // form, which is never shown.
    auto *menu = new QMenu(caption);
    menu->setObjectName(objectName);
    menu->setAccessibleName(caption);
    m_menus.append(menu);
    return menu;
}

QAction *MuenFrm::addItem(QMenu *menu, const QString &objectName, const QString &caption,
                          void (MuenFrm::*command)())
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(objectName);
    // Chosen by a click or a key, the menu has already closed; chosen through
    // the item's accessible press action, it closes here, before the command
    // runs (which may show a message box).
    connect(action, &QAction::triggered, menu, &QMenu::hide);
    connect(action, &QAction::triggered, this, command);
    return action;
}

void MuenFrm::addSeparator(QMenu *menu, const QString &objectName)
{
    menu->addSeparator()->setObjectName(objectName);
}

// --- the resource list's menu ---

void MuenFrm::BeginGame_Click()
{
    FormMain::get().List2_DbClick();
}

void MuenFrm::Tjsc_Click()
{
    const QString name = GmName.trimmed();
    const QString style = GmStyle.trimmed();
    // Nothing selected yet: there is nothing to keep.
    if (name.isEmpty() && GmFlashUrl.trimmed().isEmpty())
        return;
    // The name is stored trimmed, so it is looked for trimmed: a name with
    // leading blanks must not slip past the test and be stored twice.
    bool found = false;
    FavoriteModule::FavoriteExists(name, found);
    if (found) {
        Dialogs::show(QStringLiteral("该游戏已经存在于收藏列表了，请勿重复添加！"), Dialogs::Buttons::Ok,
                      Dialogs::Icon::Stop);
        return;
    }
    FavoriteRecord record;
    record.image = GmImage;
    record.flashurl = GmFlashUrl;
    record.flash_ffa = GmFlash_FFa;
    record.flashsay = GmFlashSay;
    record.name = name;
    record.fid = GmFid;
    record.id = GmId;
    record.keyword = GmKeyBoard;
    record.size = GmSize;
    record.style = style;
    if (FavoriteModule::AddFavorite(record)) {
        Dialogs::show(QStringLiteral("《") + style + u'-' + name +
                          QStringLiteral("》已经成功添加至收藏列表！请到收藏列表中查看！"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Question);
    } else {
        Dialogs::show(QStringLiteral("添加至收藏失败！"), Dialogs::Buttons::Ok, Dialogs::Icon::None);
    }
}

void MuenFrm::Ckjs_Click()
{
    showDetails();
}

void MuenFrm::FxGame_Click()
{
    shareSelection();
}

void MuenFrm::showDetails()
{
    GameJsFrm &details = GameJsFrm::get();
    if (!details.isVisible()) {
        // Beside the main window, where it covers neither the lists nor
        // the player docked at the other edge.
        if (const FormMain *main = FormMain::existing()) {
            const QRect screen = main->screen()->availableGeometry();
            QPoint at(main->x() - details.width() - 8, main->y());
            if (at.x() < screen.left())
                at.setX(main->x() + main->width() + FlashFrm::kDesignSize.width() + 8);
            details.move(at);
        }
    }
    details.show();
    details.raise();
    details.activateWindow();
}

void MuenFrm::shareSelection()
{
    if (GmFlashUrl.trimmed().isEmpty())
        return;
    Clipboard::setText(Sharing::RecommendationText(GmName.trimmed(), GmFlashSay.trimmed(),
                                                   GmPageUrl.trimmed()));
    Dialogs::show(Sharing::CopiedMessage(), Dialogs::Buttons::Ok, Dialogs::Icon::None);
}

// --- the favourites' menu ---

void MuenFrm::BeginGamerSC_Click()
{
    FormMain::get().List4_Dbclick();
}

void MuenFrm::DelSc_Click()
{
    FormMain &main = FormMain::get();
    if (main.List4->ListIndex() < 0)
        return;
    FavoriteModule::DeleteFavorite(GmDelGameName);
    main.List4->Clear();
    FavoriteModule::LoadFavoriteList();
}

void MuenFrm::DelScList_Click()
{
    const auto answer =
        Dialogs::show(QStringLiteral("您确定要清空收藏列表吗？在当前版本该操作不可恢复！"),
                      Dialogs::Buttons::YesNo, Dialogs::Icon::None);
    if (answer != Dialogs::Answer::Yes) {
        Dialogs::show(QStringLiteral("您取消了操作！"));
        return;
    }
    FormMain &main = FormMain::get();
    if (main.List4->ListIndex() < 0)
        return;
    main.List4->Clear();
    const QString file = FavoriteModule::databaseFile();
    if (!QFile::exists(file)) {
        Dialogs::show(QStringLiteral("收藏列表文件不存在，无需删除！"));
        return;
    }
    QFile::remove(file);
    // A journal left by a crash belongs to the old file; it must not be
    // played back into the new one.
    QFile::remove(file + QStringLiteral("-journal"));
    if (QFile::exists(file)) {
        Dialogs::show(QStringLiteral("清空失败！"));
        return;
    }
    Dialogs::show(QStringLiteral("清空成功！"));
    FavoriteModule::CreateFavoriteDb();
    FavoriteModule::CreateFavoriteTable();
    FavoriteModule::LoadFavoriteList();
}

void MuenFrm::ckscjs_Click()
{
    showDetails();
}

// --- the random list's menu ---

void MuenFrm::BeginGamerSB_Click()
{
    FormMain::get().listsb_Dbclick();
}

void MuenFrm::TjscSB_Click()
{
    Tjsc_Click();
}

void MuenFrm::FxSbPlGame_Click()
{
    shareSelection();
}

void MuenFrm::CzLbSB_Click()
{
    FormMain &main = FormMain::get();
    if (main.ListSB->Text().isEmpty())
        return;
    main.ListSB->Clear();
    main.SbpLAY_Click();
}

void MuenFrm::CkJSSB_Click()
{
    showDetails();
}

// --- the settings menu and the tray menu ---

void MuenFrm::Jrzy_Click()
{
    DesktopServices::openUrl(ContentServer::homePage(), DesktopServices::Show::Maximized);
}

void MuenFrm::shezhi1_Click()
{
    QuendaSz::get().showModeless();
}

void MuenFrm::OverQuenda_Click()
{
    // "退出" ends the program, whichever menu it is chosen from.
    ModSl::ExitProgram();
}

void MuenFrm::FrmQcShow_Click()
{
    FormMain *main = FormMain::existing();
    if (!main || main->WindowState() != 1)
        return;
    main->Restore();
}

void MuenFrm::Window1_Click()
{
    FormMain *main = FormMain::existing();
    if (!main || main->WindowState() != 0)
        return;
    main->setWindowState(Qt::WindowMinimized);
    main->hide();
}

void MuenFrm::UnloadEndFrm_Click()
{
    ModSl::ExitProgram();
}
