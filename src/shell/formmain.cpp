#include "formmain.h"

#include "browserhost.h"
#include "buttoncode.h"
#include "buttonex.h"
#include "catalogfile.h"
#include "contentserver.h"
#include "desktopservices.h"
#include "dialogservice.h"
#include "download.h"
#include "flashfrm.h"
#include "formclicksj.h"
#include "frmxf.h"
#include "gameversiondb.h"
#include "listboxex.h"
#include "logging.h"
#include "modsl.h"
#include "muenfrm.h"
#include "picturebutton.h"
#include "programfolder.h"
#include "quendasz.h"
#include "singleinstance.h"
#include "tray.h"
#include "windowhints.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QTimer>
#include <QWindow>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace {

constexpr QSize kWindowSize{300, 620};

// Ends the process at once, without running any close handler: the second
// copy and the declined offline question must leave no trace.
[[noreturn]] void terminateNow()
{
    std::fflush(nullptr);
    std::_Exit(0);
}

void name(QWidget *widget, const QString &objectName, const QString &accessible = QString())
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible.isEmpty() ? objectName : accessible);
}

// The main window's picture buttons also give their description as the
// accessible description.
ButtonEx *imageButton(QWidget *parent, const QString &objectName, const QString &stem,
                      const QString &description, const QRect &geometry,
                      const QString &caption = QString())
{
    ButtonEx *button = pictureButton(parent, objectName, stem, description, geometry, caption);
    button->setAccessibleDescription(description);
    return button;
}

ListBoxEx *catalogList(QWidget *parent, const QString &objectName, const QString &description,
                       const QRect &geometry, quint32 listColorA, quint32 listColorB)
{
    auto *list = new ListBoxEx(parent);
    name(list, objectName);
    list->setAccessibleDescription(description);
    list->applyMainWindowLook(listColorA, listColorB);
    list->setGeometry(geometry);
    return list;
}

// Row colours of the main window's lists.
constexpr quint32 kCategoryRows = 0xFEEED9;
constexpr quint32 kEntryRowsA = 0xFEEED9;
constexpr quint32 kEntryRowsB = 0xFFF4E3;

} // namespace

FormMain::FormMain(QWidget *parent) : QWidget(parent)
{
    adopt(this);
    name(this, QStringLiteral("FormMain"), QStringLiteral("Aurilo"));
    setWindowTitle(QStringLiteral("Aurilo"));
    FormClickSj::MakeBorderless(this, kWindowSize);
    createControls();
    Form_Initialize();
}

FormMain::~FormMain() = default;

void FormMain::createControls()
{
    TP = new Tray(this, QStringLiteral("TP"));
    TP->setPicture(QIcon(QStringLiteral(":/images/app-icon.svg")));
    connect(TP, &Tray::Click, this, &FormMain::TP_Click);
    connect(TP, &Tray::PopupMenu, this, &FormMain::TP_PopupMenu);

    auto *caption = new QLabel(QStringLiteral("Aurilo"), this);
    name(caption, QStringLiteral("Caption"));
    caption->setGeometry(44, 10, 120, 24);
    caption->setStyleSheet(QStringLiteral("color: white; font-size: 15px; font-weight: bold;"));
    caption->setAttribute(Qt::WA_TransparentForMouseEvents);

    const QString buttons = QStringLiteral(":/images/buttons/");
    Sz = imageButton(this, QStringLiteral("Sz"), buttons + QStringLiteral("sz"),
                     QStringLiteral("设置"), QRect(186, 10, 24, 24));
    XlMune = imageButton(this, QStringLiteral("XlMune"), buttons + QStringLiteral("xlmune"),
                         QStringLiteral("设置栏"), QRect(212, 10, 24, 24));
    ZuiXH = imageButton(this, QStringLiteral("ZuiXH"), buttons + QStringLiteral("zuixh"),
                        QStringLiteral("最小化"), QRect(238, 10, 24, 24));
    Guanbi = imageButton(this, QStringLiteral("Guanbi"), buttons + QStringLiteral("guanbi"),
                         QStringLiteral("关闭"), QRect(264, 10, 24, 24));
    connect(Guanbi, &ButtonEx::Click, this, &FormMain::Guanbi_Click);
    connect(ZuiXH, &ButtonEx::Click, this, &FormMain::ZuiXH_Click);
    connect(Sz, &ButtonEx::Click, this, &FormMain::Sz_Click);
    // The menu drops down on the press. A click that no press came before
    // is the keyboard's or a screen reader's: it opens the menu too.
    connect(XlMune, &ButtonEx::OnMouseDown, this, [this](short, short, float, float) {
        m_xlMuneMouseDown = true;
        XlMune_OnMouseDown();
    });
    connect(XlMune, &ButtonEx::Click, this, [this] {
        if (!m_xlMuneMouseDown)
            XlMune_OnMouseDown();
    });
    connect(XlMune, &ButtonEx::OnMouseUp, this,
            [this](short, short, float, float) { m_xlMuneMouseDown = false; });

    Text4 = new QLineEdit(this);
    name(Text4, QStringLiteral("Text4"), QStringLiteral("搜索"));
    Text4->setGeometry(12, 54, 222, 26);
    Text4->installEventFilter(this);
    Text4_LostFocus(); // empty and without focus: the prompt shows
    SerImg = imageButton(this, QStringLiteral("SerImg"), buttons + QStringLiteral("serimg"),
                         QStringLiteral("搜索"), QRect(238, 54, 50, 26));
    connect(SerImg, &ButtonEx::Click, this, &FormMain::SerImg_Click);

    const QString tab = buttons + QStringLiteral("tab");
    YxList = imageButton(this, QStringLiteral("YxList"), tab, QStringLiteral("分类列表"),
                         QRect(12, 88, 90, 28), QStringLiteral("分类列表"));
    ScList = imageButton(this, QStringLiteral("ScList"), tab, QStringLiteral("我的收藏"),
                         QRect(105, 88, 90, 28), QStringLiteral("我的收藏"));
    SbpLAY = imageButton(this, QStringLiteral("SbpLAY"), tab, QStringLiteral("随便听听"),
                         QRect(198, 88, 90, 28), QStringLiteral("随便听听"));
    YxList->setValue(true); // the chosen tab stays pressed

    GamelistFrm = new QWidget(this);
    name(GamelistFrm, QStringLiteral("GamelistFrm"), QStringLiteral("资源列表"));
    GamelistFrm->setGeometry(12, 124, 276, 420);
    List1 = catalogList(GamelistFrm, QStringLiteral("List1"), QStringLiteral("分类"),
                        QRect(0, 0, 112, 420), kCategoryRows, kCategoryRows);
    QtList = catalogList(GamelistFrm, QStringLiteral("QtList"), QStringLiteral("更多"),
                         QRect(0, 0, 112, 3 * SjCL::kRowHeight + 2), kCategoryRows, kCategoryRows);
    QtList->raise(); // it continues the category list and covers its empty rows
    List2 = catalogList(GamelistFrm, QStringLiteral("List2"), QStringLiteral("资源"),
                        QRect(116, 0, 160, 420), kEntryRowsA, kEntryRowsB);
    connect(List1, &ListBoxEx::Click, this, [this](short, short, float, float) { List1_Click(); });
    connect(List1, &ListBoxEx::MouseDown, this, &FormMain::List1_MouseDown);
    connect(QtList, &ListBoxEx::Click, this, [this](short, short, float, float) { QtList_Click(); });
    connect(List2, &ListBoxEx::Click, this, [this](short, short, float, float) { List2_Click(); });
    connect(List2, &ListBoxEx::DbClick, this,
            [this](short, short, float, float) { List2_DbClick(); });
    connect(List2, &ListBoxEx::MouseDown, this, &FormMain::List2_MouseDown);
    connect(List2, &ListBoxEx::MouseUp, this, &FormMain::List2_MouseUp);

    ScListFrm = new QWidget(this);
    name(ScListFrm, QStringLiteral("ScListFrm"), QStringLiteral("我的收藏"));
    ScListFrm->setGeometry(GamelistFrm->geometry());
    List4 = catalogList(ScListFrm, QStringLiteral("List4"), QStringLiteral("收藏"),
                        QRect(QPoint(0, 0), GamelistFrm->size()), kEntryRowsA, kEntryRowsB);
    ScListFrm->hide();
    connect(List4, &ListBoxEx::Click, this, [this](short, short, float, float) { List4_Click(); });
    connect(List4, &ListBoxEx::DbClick, this,
            [this](short, short, float, float) { List4_Dbclick(); });
    connect(List4, &ListBoxEx::MouseDown, this, &FormMain::List4_MouseDown);
    connect(List4, &ListBoxEx::MouseUp, this, &FormMain::List4_MouseUp);

    SbPlayFrm = new QWidget(this);
    name(SbPlayFrm, QStringLiteral("SbPlayFrm"), QStringLiteral("随便听听"));
    SbPlayFrm->setGeometry(GamelistFrm->geometry());
    ListSB = catalogList(SbPlayFrm, QStringLiteral("ListSB"), QStringLiteral("随便听听"),
                         QRect(QPoint(0, 0), GamelistFrm->size()), 0xF8E8CA, 0xFEEED9);
    SbPlayFrm->hide();
    connect(ListSB, &ListBoxEx::Click, this, [this](short, short, float, float) { ListSB_Click(); });
    connect(ListSB, &ListBoxEx::DbClick, this,
            [this](short, short, float, float) { listsb_Dbclick(); });
    connect(ListSB, &ListBoxEx::MouseDown, this, &FormMain::ListSB_MouseDown);
    connect(ListSB, &ListBoxEx::MouseUp, this, &FormMain::ListSB_MouseUp);

    connect(YxList, &ButtonEx::Click, this, &FormMain::YxList_Click);
    connect(ScList, &ButtonEx::Click, this, &FormMain::ScList_Click);
    connect(SbpLAY, &ButtonEx::Click, this, &FormMain::SbpLAY_Click);

    GameFrmButton = imageButton(this, QStringLiteral("GameFrmButton"),
                                buttons + QStringLiteral("gamefrmbutton"),
                                QStringLiteral("播放窗口"), QRect(12, 552, 130, 28),
                                QStringLiteral("播放窗口"));
    GameFrmButton->setContentsMargins(28, 0, 0, 0); // the caption stands right of the glyph
    connect(GameFrmButton, &ButtonEx::OnMouseDown, this,
            [this](short, short, float, float) { GameFrmButton_OnMouseDown(); });

    FkButton = imageButton(this, QStringLiteral("FkButton"), buttons + QStringLiteral("fkbutton"),
                           QStringLiteral("访问主页"), QRect(148, 552, 140, 28),
                           QStringLiteral("访问主页"));
    FkButton->setContentsMargins(28, 0, 0, 0);
    connect(FkButton, &ButtonEx::Click, this, &FormMain::FkButton_Click);

    DJ = new QLabel(this);
    name(DJ, QStringLiteral("DJ"), QStringLiteral("未联网"));
    DJ->setToolTip(QStringLiteral("未联网"));
    DJ->setPixmap(QIcon(QStringLiteral(":/images/offline.svg")).pixmap(20, 20));
    DJ->setGeometry(14, 588, 22, 22);
    DJ->hide();

    GfZyLjLabel = new QLabel(QStringLiteral("官方网站"), this);
    name(GfZyLjLabel, QStringLiteral("GfZyLjLabel"));
    GfZyLjLabel->setGeometry(220, 588, 68, 22);
    GfZyLjLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    GfZyLjLabel->setCursor(Qt::PointingHandCursor);
    GfZyLjLabel->setStyleSheet(QStringLiteral("color: #2a5fae; text-decoration: underline;"));
    GfZyLjLabel->installEventFilter(this);

    JZSJ = new QLabel(QStringLiteral("正在为您准备列表数据，请稍候……"), this);
    name(JZSJ, QStringLiteral("JZSJ"));
    JZSJ->setAlignment(Qt::AlignCenter);
    JZSJ->setWordWrap(true);
    JZSJ->setGeometry(GamelistFrm->geometry().adjusted(40, 150, -40, -180));
    JZSJ->setStyleSheet(QStringLiteral("background: rgba(255, 255, 255, 230); color: #2a5fae;"
                                       "border: 1px solid #9bb8e0; border-radius: 6px;"));
    JZSJ->hide();

    VerDown = new DownLoad(this, QStringLiteral("VerDown"));
    UpdateSLing = new DownLoad(this, QStringLiteral("UpdateSLing"));
    connect(VerDown, &DownLoad::AsyncReadComplete, this, &FormMain::VerDown_AsyncReadComplete);
    connect(UpdateSLing, &DownLoad::AsyncReadProgress, this,
            &FormMain::UpdateSLing_AsyncReadProgress);
    connect(UpdateSLing, &DownLoad::AsyncReadComplete, this,
            &FormMain::UpdateSLing_AsyncReadComplete);

    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(5000);
    Timer3->setSingleShot(true);
    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(15000);
}

SjCL::CatalogLists FormMain::catalogLists()
{
    return {List1, QtList, List2, ScListFrm, &分类暂存};
}

void FormMain::Form_Initialize()
{
    FormClickSj::MakeBackColorTransparent(this);
}

bool FormMain::Form_Load()
{
    m_loadEnded = false;
    CheckExist();
    ModSl::IsOnline(); // the first answer is not used; the system may still be settling
    // The window's look is its own pictures; there is no skin to attach.
    if (!ModSl::IsOnline()) {
        const auto answer = Dialogs::show(
            QStringLiteral("您当前网络可能异常，如果继续运行本程序可能会有部分功能无法正常使用，是否继续？"),
            Dialogs::Buttons::YesNo, Dialogs::Icon::None, this);
        if (answer != Dialogs::Answer::Yes)
            terminateNow();
        EnterOfflineMode();
    }
    BeginDQsL();
    if (m_loadEnded)
        return false;
    // The player window follows the main window's moves from now on, and
    // waits, hidden, at its right edge.
    FrmXf::InstallDockHook(this, this);
    FlashFrm &player = FlashFrm::get();
    player.move(x() + width(), y());
    const QString pathFolder = ProgramFolder::path() + QStringLiteral("/Path");
    if (!QDir(pathFolder).exists() && !QDir().mkpath(pathFolder))
        qCWarning(lcShell) << "cannot create" << pathFolder;
    TP->Show();
    右边窗体();
    Timer3->start();
    return true;
}

void FormMain::CheckExist()
{
    // The lock is the process's: forms built again in one process (tests) pass.
    static SingleInstance *instance = nullptr;
    if (instance)
        return;
    auto *candidate = new SingleInstance(QCoreApplication::applicationFilePath(), qApp);
    if (candidate->tryBecomePrimary()) {
        instance = candidate;
        connect(instance, &SingleInstance::activationRequested, this, [] {
            if (FormMain *main = FormMain::existing()) {
                main->Restore();
                main->raise();
                main->activateWindow();
            }
        });
        return;
    }
    const QString title = QGuiApplication::applicationDisplayName();
    Dialogs::show(QStringLiteral("Aurilo已经在运行咯！请不要重复执行！如果是有进程残留从而导致的问题的话，"
                                 "您可以打开任务管理器结束上次运行的本程序进程之后再重新运行本程序！"),
                  Dialogs::Buttons::Ok, Dialogs::Icon::Stop, this);
    QGuiApplication::setApplicationDisplayName(QString());
    setWindowTitle(QString());
    qCInfo(lcShell) << "another copy runs; handing over to" << title;
    candidate->activatePrimary();
    terminateNow();
}

void FormMain::EnterOfflineMode()
{
    m_offline = true;
    DJ->show();
    SerImg->setEnabled(false);
    Text4->setEnabled(false);
    Text4->setText(QStringLiteral("您当前未联网，无法进行搜索！"));
    QPalette palette = Text4->palette();
    const QColor windowText = QApplication::palette().color(QPalette::Text);
    palette.setColor(QPalette::Text, windowText);
    palette.setColor(QPalette::Disabled, QPalette::Text, windowText);
    Text4->setPalette(palette);
    // The player keeps its frame: a fixed single border changes nothing that
    // the window manager does not already decide.
    FlashFrm &player = FlashFrm::get();
    player.move(x() + width(), y());
    SbpLAY->setEnabled(false);
    YxList->setEnabled(false);
    ScList->setEnabled(false);
    player.lblMsg->hide();
    GfZyLjLabel->hide();
}

void FormMain::右边窗体()
{
    // The first read of the settings window creates it, and its load applies
    // Config.dll.
    if (QuendaSz::get().开启启动->isChecked())
        GameFrmButton_OnMouseDown();
}

void FormMain::loadCatalog()
{
    SjCL::LoadCatalog(catalogLists());
    m_categoryRow = List1->ListIndex();
    m_list2Kind = List2Kind::Category;
    // Random items point into the catalog they were drawn from.
    ListSB->Clear();
    m_randomLines = {};
}

void FormMain::BeginDQsL()
{
    if (ProgramFolder::exists(SjCL::dataCacheFileName())) {
        loadCatalog();
    } else {
        const auto answer = Dialogs::show(
            QStringLiteral("本地的数据缓存文件不存在，需要重新到服务器上面下载数据缓存文件，"
                           "这个等待的时间可能较长，是否继续？"),
            Dialogs::Buttons::YesNo, Dialogs::Icon::None, this);
        if (answer != Dialogs::Answer::Yes) {
            m_loadEnded = true;
            ModSl::ExitProgram();
            return;
        }
        BeginSJlistSJ();
    }
    VerDown->OpenUrl(ContentServer::url(QStringLiteral("/flashxmlfile/version.xml")).toString());
}

namespace {

QString versionTmp() { return ProgramFolder::file(QStringLiteral("VerTmp.Dll")); }
QString versionNew() { return ProgramFolder::file(QStringLiteral("VerSionIng.Dll")); }

// Puts the file at `from` in place of `to` in one step, so that a reader never
// sees half a file and a failure leaves the old one. A temporary file on
// another file system is first copied beside the target.
bool replaceFile(const QString &from, const QString &to)
{
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0)
        return true;
    if (errno != EXDEV)
        return false;
    const QString beside = to + QStringLiteral(".new");
    QFile::remove(beside);
    if (!QFile::copy(from, beside))
        return false;
    if (std::rename(QFile::encodeName(beside).constData(), QFile::encodeName(to).constData()) != 0) {
        QFile::remove(beside);
        return false;
    }
    QFile::remove(from);
    return true;
}

} // namespace

void FormMain::BeginSJlistSJ()
{
    // The catalog comes from the address in the version file just downloaded
    // when there is one, else from that of the catalog held.
    const QString versionFile = QFileInfo::exists(versionNew()) ? versionNew() : versionTmp();
    if (!QFileInfo::exists(versionFile))
        return;
    const QString url = GameVerSionDb::ReadXmlValue(versionFile, QStringLiteral("/root/data/updateurl"));
    UpdateSLing->OpenUrl(url);
    JZSJ->show();
    JZSJ->raise();
    setTabsBusy(true);
}

void FormMain::setTabsBusy(bool busy)
{
    for (ButtonEx *tab : {YxList, ScList, SbpLAY}) {
        tab->setValue(!busy && tab == YxList);
        tab->setEnabled(!busy && !m_offline);
    }
}

void FormMain::VerDown_AsyncReadComplete(bool hasError, const QString &szPath)
{
    if (!hasError) {
        const QString newVersion = ProgramFolder::path() + QStringLiteral("/VerSionIng.Dll");
        QFile::remove(versionNew());
        if (!replaceFile(szPath, newVersion)) {
            qCWarning(lcShell) << "cannot keep the version file" << newVersion;
            QFile::remove(szPath);
        } else if (!ProgramFolder::exists(SjCL::dataCacheFileName())) {
            // No catalog at all: fetch it whatever the versions say.
            BeginSJlistSJ();
        } else if (!ProgramFolder::exists(QStringLiteral("VerTmp.Dll"))) {
            // A catalog of unknown version: take it as the current one.
            QFile::copy(newVersion, ProgramFolder::path() + QStringLiteral("/VerTmp.Dll"));
            QFile::remove(newVersion);
        } else if (GameVerSionDb::VersionsDiffer(newVersion, QStringLiteral("/root/data/version"),
                                                 versionTmp(), QStringLiteral("/root/data/version"))) {
            // VerTmp.Dll takes the new version only once the new catalog is
            // installed, so a failed download is tried again at the next start.
            BeginSJlistSJ();
        } else {
            replaceFile(newVersion, versionTmp());
        }
    }
    // The settings may have changed on disk since the start.
    QuendaSz &settings = QuendaSz::get();
    settings.加载热键事件();
    settings.加载热键属性();
    // The advertisements, which come next, arrive with their window.
    reportMissingCatalog();
}

void FormMain::UpdateSLing_AsyncReadProgress(int BytesRead, int bytesMax)
{
    if (bytesMax == 0)
        return; // size unknown: the texts and the bar keep their values
    FlashFrm::get().showProgress(QStringLiteral("请稍后，正在为您准备列表数据："),
                                 double(BytesRead) / bytesMax * 100.0);
}

void FormMain::endCatalogDownload()
{
    FlashFrm &player = FlashFrm::get();
    player.Picture1->show();
    player.Image1->show();
    player.Label2->hide();
    player.Label3->hide();
    player.ProgressBar1->hide();
    player.Label2->setText(QStringLiteral("请稍候！已经给您准备了该数据的："));
    player.ProgressBar1->setValue(0);
    JZSJ->hide();
    setTabsBusy(false);
}

void FormMain::UpdateSLing_AsyncReadComplete(bool hasError, const QString &szPath)
{
    // Only a file that reads as a catalog replaces the one held: an error
    // page or a cut file must never take the place of a working catalog.
    bool installed = false;
    if (!hasError) {
        const Catalog fetched = SjCL::ParseCatalog(SjCL::ReadAnsiFile(szPath));
        if (fetched.categoryCount() >= 1) {
            installed = replaceFile(szPath, ProgramFolder::path() + u'/' + SjCL::dataCacheFileName());
            if (installed && QFileInfo::exists(versionNew()))
                replaceFile(versionNew(), ProgramFolder::path() + QStringLiteral("/VerTmp.Dll"));
        } else {
            qCWarning(lcShell) << "the downloaded catalog has no category; keeping the old one";
        }
        QFile::remove(szPath);
    }
    endCatalogDownload();
    if (installed) {
        loadCatalog();
        return;
    }
    QFile::remove(versionNew());
    reportMissingCatalog();
}

void FormMain::reportMissingCatalog()
{
    // Said once the version check is over and no download runs: the download
    // started from an old version file may fail while the check still brings
    // a better address.
    // A download that could not even start (an empty or invalid address in
    // the version file) ends twice: once at once, once through the event loop.
    // The listener hears of it once.
    if (m_missingCatalogReported || ProgramFolder::exists(SjCL::dataCacheFileName()) ||
        VerDown->isReading() || UpdateSLing->isReading())
        return;
    m_missingCatalogReported = true;
    Dialogs::show(QStringLiteral("列表数据下载失败，下次启动本程序时将重新下载。"),
                  Dialogs::Buttons::Ok, Dialogs::Icon::Warning, this);
}

void FormMain::Form_Unload()
{
    ModSl::ExitProgram();
}

void FormMain::closeEvent(QCloseEvent *event)
{
    Form_Unload();
    event->accept();
}

void FormMain::Form_Resize()
{
    // Minimised, the window lives only in the notification area. Without
    // one (none on this desktop, or its host not started yet) it stays in
    // the task bar: hidden, nothing could bring it back.
    if (isMinimized() && TP->isShown() && Tray::isAvailable() && isVisible()) {
        // Hidden while minimised: the window manager withdraws an icon as
        // readily as a window. The minimised state goes when it is shown.
        hide();
    }
}

void FormMain::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange)
        return;
    if (isMinimized())
        sendDockedAway();
    Form_Resize();
    if (!isMinimized() && isVisible())
        bringDockedBack();
}

void FormMain::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    if (!event->spontaneous())
        m_hiddenAt = frameGeometry().topLeft();
    sendDockedAway();
}

int FormMain::WindowState() const
{
    if (isMinimized() || m_hiddenMinimised)
        return 1;
    return isMaximized() ? 2 : 0;
}

void FormMain::setVisible(bool visible)
{
    // Shown again (from the tray, its menu or a second start), the window
    // comes back where it was, not where a window manager places a new one.
    if (visible && isHidden()) {
        if (m_hiddenAt)
            FrmXf::PinPlace(this, *m_hiddenAt);
        // Hidden while minimised (the tray, "隐藏"), it comes back normal.
        // Qt leaves the icon's hint to the window manager in place even
        // when the manager's news of the withdrawn icon cleared the state.
        WindowHints::setNormalOnNextMap(this);
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
    }
    if (!visible && !isHidden())
        m_hiddenMinimised = isMinimized();
    else if (visible)
        m_hiddenMinimised = false;
    QWidget::setVisible(visible);
}

void FormMain::Restore(Qt::WindowStates drop)
{
    // Shown first: a hidden window leaves its minimised state in setVisible,
    // where the window manager is told in time.
    show();
    setWindowState(windowState() & ~drop);
}

void FormMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Qt also sends a show event when a hidden window's minimised state
    // ends (the window manager's news of a withdrawn icon).
    if (isVisible() && !isMinimized())
        bringDockedBack();
}

void FormMain::sendDockedAway()
{
    // A docked player goes with the main window and keeps playing; the
    // player button keeps its pressed look. A window that is not docked
    // stays where it is.
    for (QWidget *window : FrmXf::DockedWindows()) {
        if (window->isVisible()) {
            m_dockedAway.append({window, window->pos()});
            window->hide();
        }
    }
}

void FormMain::bringDockedBack()
{
    const auto away = std::exchange(m_dockedAway, {});
    for (const auto &[window, at] : away) {
        if (window)
            FrmXf::ShowInPlace(window, at);
    }
    if (!away.isEmpty())
        FrmXf::FollowMainWindow();
}

bool FormMain::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == GfZyLjLabel && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        GfZyLjLabel_Click();
        return true;
    }
    if (watched == Text4 && event->type() == QEvent::FocusIn)
        Text4_GotFocus();
    else if (watched == Text4 && event->type() == QEvent::FocusOut)
        Text4_LostFocus();
    return QWidget::eventFilter(watched, event);
}

void FormMain::Form_MouseDown(int Button, int, int, int)
{
    // The window is dragged by any point of its background.
    if (Button == 1)
        m_drag.start(this);
}

void FormMain::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.follow(this, event->globalPosition().toPoint());
    QWidget::mouseMoveEvent(event);
}

void FormMain::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release();
    QWidget::mouseReleaseEvent(event);
}

void FormMain::mousePressEvent(QMouseEvent *event)
{
    m_drag.grab(this, event);
    const QPoint at = event->position().toPoint();
    Form_MouseDown(buttonCode(event->button()), 0, at.x(), at.y());
    QWidget::mousePressEvent(event);
}

void FormMain::paintEvent(QPaintEvent *)
{
    m_background.paint(this);
}

void FormMain::Guanbi_Click()
{
    ModSl::ExitProgram();
}

void FormMain::ZuiXH_Click()
{
    if (!isMinimized())
        setWindowState(windowState() | Qt::WindowMinimized);
}

void FormMain::FkButton_Click()
{
    DesktopServices::openUrl(ContentServer::homePage(), DesktopServices::Show::Maximized);
}

void FormMain::GfZyLjLabel_Click()
{
    DesktopServices::openUrl(ContentServer::homePage(), DesktopServices::Show::Maximized);
}

void FormMain::Sz_Click()
{
    QuendaSz::get().showModeless();
}

void FormMain::XlMune_OnMouseDown()
{
    QMenu *menu = MuenFrm::get().SzLan;
    // The menu takes the release of the press that opened it, so the button
    // hears no OnMouseUp: the press is over once the menu closes. (A quick
    // second click is a double click, which raises no OnMouseDown; its
    // Click then opens the menu.)
    connect(menu, &QMenu::aboutToHide, this, &FormMain::xlMuneMenuClosed, Qt::UniqueConnection);
    menu->popup(QCursor::pos());
}

void FormMain::xlMuneMenuClosed()
{
    m_xlMuneMouseDown = false;
}

void FormMain::GameFrmButton_OnMouseDown()
{
    FlashFrm &player = FlashFrm::get();
    if (player.isVisible()) {
        player.hide();
        GameFrmButton->setValue(false);
        return;
    }
    FrmXf::ShowInPlace(&player, QPoint(x() + width(), y()));
    player.raise();
    GameFrmButton->setValue(true);
}

void FormMain::TP_Click()
{
    Restore(Qt::WindowMinimized | Qt::WindowMaximized);
    raise();
    activateWindow();
}

void FormMain::TP_PopupMenu()
{
    MuenFrm::get().TP->popup(QCursor::pos());
}
