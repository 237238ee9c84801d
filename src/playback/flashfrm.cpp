#include "flashfrm.h"

#include "browserhost.h"
#include "buttonex.h"
#include "clipboardservice.h"
#include "desktopservices.h"
#include "dialogservice.h"
#include "favoritemodule.h"
#include "favoriterecord.h"
#include "formmain.h"
#include "framewatch.h"
#include "frmxf.h"
#include "linklabels.h"
#include "sharing.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <cmath>
#include <functional>
#include <iterator>

namespace {

// Twips to pixels, as the window's layout was designed in twips.
int px(int twips)
{
    return int(std::lround(twips / double(FlashFrm::kTwipsPerPixel)));
}

QRect px(const QRect &twips)
{
    return QRect(px(twips.left()), px(twips.top()), px(twips.width()), px(twips.height()));
}

template <typename Widget>
Widget *named(Widget *widget, const QString &objectName, const QString &accessible = QString())
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible.isEmpty() ? objectName : accessible);
    return widget;
}

QFrame *line(QWidget *parent, const QString &objectName, QFrame::Shape shape)
{
    auto *frame = named(new QFrame(parent), objectName);
    frame->setFrameShape(shape);
    frame->setStyleSheet(QStringLiteral("color: #9bb8e0;"));
    return frame;
}

// The share panel's labels in FxFm: left, top, width, height in twips.
constexpr QRect kFxTwips[] = {{525, 255, 1440, 180}, {525, 855, 540, 180},  {510, 1245, 540, 180},
                              {510, 1635, 540, 180}, {1710, 855, 540, 180}, {1710, 1245, 720, 180},
                              {1725, 1635, 360, 180}};

// Fixed heights of the design, in twips.
constexpr int kHeadHeight = 405;
constexpr int kFootHeight = 435;
constexpr int kStripHeight = 1455;

} // namespace

FlashFrmLayout FlashFrmLayout::forSize(int W, int H)
{
    FlashFrmLayout l;
    l.HeadrImg = QRect(0, 0, W, kHeadHeight);                               // 1
    l.FootImg = QRect(0, H - kFootHeight - 435, W, kFootHeight);            // 2
    l.GameXX = QRect(0, 6240, W - 60, kStripHeight);                        // 3
    l.Line3 = QRect(W - 65, 0, 0, l.GameXX.height());                       // 4
    l.Line2 = QRect(0, 0, 0, l.GameXX.height());                            // 5
    l.Line4 = QRect(15, 330, l.GameXX.width() - 15, 0);                     // 6
    l.Line1 = QRect(0, 0, l.GameXX.width(), 0);                             // 7
    l.GameXX.moveTop(l.FootImg.top() - l.GameXX.height());                  // 8
    l.GamejsLab = QRect(20, 360, W - 60, 1095);                             // 9
    l.Picture1 = QRect(l.GameXX.left(), l.HeadrImg.height(), l.GameXX.width(),
                       l.GameXX.top() - l.HeadrImg.height());              // 10
    l.WEbZhe = QRect(0, l.Picture1.top(), W, l.Picture1.height());          // 11
    // The browser overhangs its frame so its border and scroll bars stay hidden.
    l.Flash1 = QRect(-30, -30, l.WEbZhe.width() + 600, l.WEbZhe.height() + 150); // 12
    l.lblMsg = QPoint(105, l.FootImg.top() + 165);                          // 13
    return l;
}

FlashFrm::FlashFrm(QWidget *parent) : QWidget(parent)
{
    adopt(this);
    named(this, QStringLiteral("FlashFrm"), QStringLiteral("播放窗口"));
    // A tool window of the main one: no maximise and no minimise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    setWindowTitle(QStringLiteral("欢迎使用Aurilo"));
    resize(kDesignSize);
    createControls();
    Form_Load();
}

void FlashFrm::createControls()
{
    HeadrImg = named(new QLabel(this), QStringLiteral("HeadrImg"));
    HeadrImg->setStyleSheet(QStringLiteral(
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #3b7dd8, stop:1 #2a5fae);"));
    FootImg = named(new QLabel(this), QStringLiteral("FootImg"));
    FootImg->setStyleSheet(QStringLiteral(
        "background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #dbe8fa, stop:1 #c4d8f3);"));

    WEbZhe = named(new QWidget(this), QStringLiteral("WEbZhe"), QStringLiteral("播放区域"));
    Flash1 = named(new BrowserHost(WEbZhe), QStringLiteral("Flash1"), QStringLiteral("播放器"));
    connect(Flash1, &BrowserHost::ProgressChange, this, &FlashFrm::Flash1_ProgressChange);

    // The cover lies over the browser until a resource has loaded.
    Picture1 = named(new QWidget(this), QStringLiteral("Picture1"), QStringLiteral("加载中"));
    Picture1->setAutoFillBackground(true);
    Picture1->setStyleSheet(QStringLiteral("#Picture1 { background: #eaf3ff; }"));
    Image1 = named(new QLabel(Picture1), QStringLiteral("Image1"));
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setPixmap(QIcon(QStringLiteral(":/images/app-icon.svg")).pixmap(128, 128));
    ProgressBar1 = named(new QProgressBar(Picture1), QStringLiteral("ProgressBar1"),
                         QStringLiteral("进度"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->setGeometry(px(QRect(870, 4320, 6660, 300)));
    Label3 = named(new QLabel(QStringLiteral("0%"), Picture1), QStringLiteral("Label3"));
    Label3->setGeometry(px(QRect(5820, 4845, 1440, 435)));
    Label2 = named(new QLabel(QStringLiteral("请稍后！Aurilo已经给您准备了该资源的："), Picture1),
                   QStringLiteral("Label2"));
    Label2->setGeometry(px(QRect(1635, 4900, 4200, 400)));

    GameXX = named(new QWidget(this), QStringLiteral("GameXX"), QStringLiteral("资源信息"));
    GamePlayFF = named(new ButtonEx(GameXX), QStringLiteral("GamePlayFF"), QStringLiteral("内容简介"));
    GamePlayFF->loadPictures(QStringLiteral(":/images/buttons/tab"));
    GamePlayFF->setCaption(QStringLiteral("内容简介"));
    GamePlayFF->setGeometry(px(QRect(0, 20, 1065, 330)));
    connect(GamePlayFF, &ButtonEx::Click, this, &FlashFrm::GamePlayFF_Click);
    GamejsLab = named(new QPlainTextEdit(GameXX), QStringLiteral("GamejsLab"),
                      QStringLiteral("内容简介"));
    GamejsLab->setReadOnly(true);
    GamejsLab->setPlainText(QStringLiteral("内容简介\n"));
    Line1 = line(GameXX, QStringLiteral("Line1"), QFrame::HLine);
    Line2 = line(GameXX, QStringLiteral("Line2"), QFrame::VLine);
    Line3 = line(GameXX, QStringLiteral("Line3"), QFrame::VLine);
    Line4 = line(GameXX, QStringLiteral("Line4"), QFrame::HLine);

    FlashSC = named(new ButtonEx(this), QStringLiteral("FlashSC"), QStringLiteral("添加收藏"));
    FlashSC->loadPictures(QStringLiteral(":/images/buttons/tab"));
    FlashSC->setCaption(QStringLiteral("添加收藏"));
    FlashSC->setGeometry(px(QRect(45, 30, 1215, 345)));
    FlashFXYX = named(new ButtonEx(this), QStringLiteral("FlashFXYX"), QStringLiteral("分享"));
    FlashFXYX->loadPictures(QStringLiteral(":/images/buttons/tab"));
    FlashFXYX->setCaption(QStringLiteral("分享"));
    FlashFXYX->setGeometry(px(QRect(1440, 30, 1200, 345)));
    connect(FlashFXYX, &ButtonEx::Click, this, &FlashFrm::FlashFXYX_Click);
    connect(FlashSC, &ButtonEx::Click, this, &FlashFrm::FlashSC_Click);

    FxFm = named(new QWidget(this), QStringLiteral("FxFm"), QStringLiteral("分享"));
    FxFm->setGeometry(px(QRect(2280, 270, 2655, 2010)));
    FxFm->setAutoFillBackground(true);
    FxFm->hide();
    createSharePanel();

    lblMsg = named(new QLabel(this), QStringLiteral("lblMsg"), QStringLiteral("广告"));
    lblMsg->setCursor(Qt::PointingHandCursor);
    lblMsg->setMinimumWidth(px(6000));
    lblMsg->installEventFilter(this);
}

void FlashFrm::Form_Load()
{
    if (FormMain *main = FormMain::existing()) {
        FrmXf::InstallDockHook(this, main);
        matchMainWindowHeight();
        // The window manager's frame comes only once the window is shown.
        connect(new FrameWatch(this), &FrameWatch::frameChanged, this,
                &FlashFrm::matchMainWindowHeight);
    }
    Form_Resize();
    Flash1->Navigate(QStringLiteral("about:blank"));
    m_loaded = true;
}

void FlashFrm::matchMainWindowHeight()
{
    FormMain *main = FormMain::existing();
    if (!main)
        return;
    // Outer heights: a window manager frames the player but not the
    // borderless main window. Until the window is shown there is no frame.
    const int frame = frameGeometry().height() - height();
    const int clientHeight = main->frameGeometry().height() - frame;
    if (clientHeight > 0 && clientHeight != height())
        resize(width(), clientHeight);
}

void FlashFrm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FlashFrm::Form_Resize()
{
    // The table takes the outer size it was drawn for: the client area and
    // the design's frame, whatever frame (or none) the window manager draws.
    const FlashFrmLayout l =
        FlashFrmLayout::forSize(width() * kTwipsPerPixel + kDesignFrameTwips.width(),
                                height() * kTwipsPerPixel + kDesignFrameTwips.height());
    HeadrImg->setGeometry(px(l.HeadrImg));
    FootImg->setGeometry(px(l.FootImg));
    GameXX->setGeometry(px(l.GameXX));
    Line1->setGeometry(px(l.Line1.adjusted(0, 0, 0, 15)));
    Line2->setGeometry(px(l.Line2.adjusted(0, 0, 15, 0)));
    Line3->setGeometry(px(l.Line3.adjusted(0, 0, 15, 0)));
    Line4->setGeometry(px(l.Line4.adjusted(0, 0, 0, 15)));
    GamejsLab->setGeometry(px(l.GamejsLab));
    Picture1->setGeometry(px(l.Picture1));
    Image1->setGeometry(QRect(QPoint(0, 0), Picture1->size()).adjusted(0, 0, 0, -px(2000)));
    WEbZhe->setGeometry(px(l.WEbZhe));
    Flash1->setGeometry(px(l.Flash1));
    lblMsg->move(px(l.lblMsg.x()), px(l.lblMsg.y()));
    // The containers clip the browser; their edges may move without it.
    Flash1->updateVisibleArea();
    Picture1->raise();
    FlashSC->raise();
    FlashFXYX->raise();
    FxFm->raise();
}

void FlashFrm::showProgress(const QString &caption, double percent)
{
    Picture1->show();
    Image1->show();
    Label2->show();
    Label3->show();
    ProgressBar1->show();
    Label2->setText(caption);
    Label3->setText(QString::number(percent, 'f', 0) + u'%');
    ProgressBar1->setValue(int(std::nearbyint(qBound(0.0, percent, 100.0))));
}

void FlashFrm::Flash1_ProgressChange(int Progress, int ProgressMax)
{
    if (Progress == -1 && ProgressMax == 0)
        return;
    if (Progress == ProgressMax) {
        Label2->hide();
        Label3->hide();
        ProgressBar1->hide();
        // The cover stays over an idle player.
        if (Flash1->LocationURL() != QLatin1String("about:blank")) {
            Picture1->hide();
            Image1->hide();
        }
        return;
    }
    if (ProgressMax == 0) {
        // No total: the texts and the bar keep what they showed.
        Picture1->show();
        Label2->show();
        return;
    }
    showProgress(QStringLiteral("请稍后，正在为您准备列表数据："),
                 Progress < 1 ? 0.0 : double(Progress) / ProgressMax * 100.0);
}

void FlashFrm::FlashSC_Click()
{
    addPlayingToFavorites();
    // The button answers every click with a press, whatever the outcome.
    FlashSC->setValue(true);
    FlashSC->setValue(false);
}

void FlashFrm::addPlayingToFavorites()
{
    if (windowTitle().contains(QStringLiteral("本地"))) {
        Dialogs::show(QStringLiteral("本地的数据是不能添加进收藏的!"), Dialogs::Buttons::Ok,
                      Dialogs::Icon::Information, this);
        return;
    }
    if (QuendaName.isEmpty()) {
        Dialogs::show(QStringLiteral("您还没有开始收听呢!"), Dialogs::Buttons::Ok, Dialogs::Icon::None,
                      this);
        return;
    }
    bool found = false;
    FavoriteModule::FavoriteExists(QuendaName, found);
    if (found) {
        Dialogs::show(QStringLiteral("该资源已经存在于收藏列表了，请勿重复添加！"), Dialogs::Buttons::Ok,
                      Dialogs::Icon::Stop, this);
        return;
    }
    FavoriteRecord record;
    record.style = QuendaStyle.trimmed();
    record.id = QuendaId;
    record.fid = QuendaFid;
    record.name = QuendaName;
    record.image = QuendaImage;
    record.size = QuendaSize;
    record.flash_ffa = QuendaFlash_FFa;
    record.flashurl = QuendaFlashUrl;
    record.pageurl = QuendaPageUrl;
    record.flashsay = QuendaFlashSay;
    record.keyword = QuendaKeyBoard;
    if (FavoriteModule::AddFavorite(record)) {
        Dialogs::show(QStringLiteral("《") + record.style + u'-' + QuendaName.trimmed() +
                          QStringLiteral("》已经成功添加至收藏列表！请到收藏列表中查看！"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Question, this);
    } else {
        Dialogs::show(QStringLiteral("添加至收藏失败！"), Dialogs::Buttons::Ok, Dialogs::Icon::None, this);
    }
}

void FlashFrm::FlashFXYX_Click()
{
    // isHidden, not isVisible: the panel's own state, whether or not the
    // window is on screen.
    FxFm->setVisible(FxFm->isHidden());
    FlashFXYX->setValue(!FxFm->isHidden());
}

void FlashFrm::GamePlayFF_Click()
{
    if (!GamePlayFF->Value())
        GamePlayFF->setValue(true);
}

void FlashFrm::lblMsg_Click()
{
    if (FormMain *main = FormMain::existing(); main && !main->zc2.isEmpty())
        DesktopServices::openUrl(QUrl::fromUserInput(main->zc2));
}

void FlashFrm::createSharePanel()
{
    QPalette panel = FxFm->palette();
    panel.setColor(QPalette::Window, Qt::white);
    FxFm->setPalette(panel);
    // Moves over the panel's background turn the labels black again.
    FxFm->setMouseTracking(true);
    FxFm->installEventFilter(this);
    for (int i = 0; i < int(std::size(kFxTwips)); ++i) {
        const QString caption = Sharing::PanelCaption(i);
        auto *link = named(new QLabel(caption, FxFm), QStringLiteral("Fx(%1)").arg(i), caption);
        QFont font = link->font();
        font.setPixelSize(12);
        link->setFont(font);
        // The design's 12-pixel rows were drawn for a font without leading; a
        // CJK font needs more room, so a label grows to its text from the
        // design's left edge and around the row's middle instead of clipping it.
        const QRect design = px(kFxTwips[i]);
        QRect geometry(design.topLeft(), design.size().expandedTo(link->sizeHint()));
        geometry.moveCenter(QPoint(geometry.center().x(), design.center().y()));
        link->setGeometry(geometry);
        link->setAccessibleDescription(QStringLiteral("按回车键分享"));
        Fx.append(link);
    }
    // The labels' mouse moves go to Fx_MouseMove and not on to the panel,
    // whose move handler would turn the label under the mouse black again.
    m_fxLinks = new LinkLabels(Fx, kFxHover, kFxNormal,
                               {std::bind_front(&FlashFrm::Fx_MouseMove, this),
                                std::bind_front(&FlashFrm::Fx_MouseDown, this),
                                std::bind_front(&FlashFrm::Fx_Click, this)},
                               this);
}

void FlashFrm::Fx_Click(int index)
{
    if (windowTitle().contains(QStringLiteral("本地"))) {
        Dialogs::show(QStringLiteral("对不起，暂不支持本地游戏的分享！"), Dialogs::Buttons::Ok,
                      Dialogs::Icon::Information, this);
        return;
    }
    if (QuendaFlashUrl.trimmed().isEmpty()) {
        Dialogs::show(QStringLiteral(
                          "您当前还未开始收听，不能进行此操作，您可以选择一个书籍之后再点击分享！"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::None, this);
        return;
    }
    if (index == Sharing::kClipboardEntry) {
        Clipboard::setText(Sharing::RecommendationText(
            QuendaName.trimmed(), QuendaFlashSay.trimmed(), QuendaPageUrl.trimmed()));
        Dialogs::show(Sharing::CopiedMessage(), Dialogs::Buttons::Ok, Dialogs::Icon::None, this);
        return;
    }
    // No message follows and the panel stays open for the next service.
    const QUrl address = Sharing::ShareAddress(index, QuendaName, QuendaPageUrl, QuendaFlashSay);
    if (!address.isEmpty())
        DesktopServices::openUrl(address, DesktopServices::Show::Maximized);
}

void FlashFrm::Fx_MouseMove(int index)
{
    m_fxLinks->setHovered(index, true);
}

void FlashFrm::Fx_MouseDown(int index, int Button)
{
    if (Button == 1)
        m_fxLinks->setHovered(index, false);
}

void FlashFrm::FxFm_MouseMove()
{
    m_fxLinks->clearHovered();
}

bool FlashFrm::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == FxFm) {
        if (event->type() == QEvent::MouseMove) {
            FxFm_MouseMove();
        } else if (event->type() == QEvent::Paint) {
            // The panel's frame and the rule between the clipboard entry and
            // the services, under the labels.
            QPainter painter(FxFm);
            painter.setPen(QColor(0x9b, 0xb8, 0xe0));
            painter.drawRect(FxFm->rect().adjusted(0, 0, -1, -1));
            painter.setPen(QColor(0xdb, 0xe8, 0xfa));
            painter.drawLine(px(300), px(600), FxFm->width() - px(300), px(600));
        }
        return false;
    }
    if (watched == lblMsg && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        lblMsg_Click();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void FlashFrm::Form_Unload()
{
    if (FormMain *main = FormMain::existing())
        main->GameFrmButton->setValue(false);
}

void FlashFrm::closeEvent(QCloseEvent *event)
{
    // The window stays loaded until the program ends; closing only hides it.
    Form_Unload();
    event->accept();
}
