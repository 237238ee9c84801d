#include "flashfrm.h"

#include "browserhost.h"
#include "buttonex.h"
#include "desktopservices.h"
#include "formmain.h"
#include "frmxf.h"

#include <QCloseEvent>
#include <QFrame>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QProgressBar>

#include <cmath>

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

    FxFm = named(new QWidget(this), QStringLiteral("FxFm"), QStringLiteral("分享"));
    FxFm->setGeometry(px(QRect(2280, 270, 2655, 2010)));
    FxFm->setAutoFillBackground(true);
    FxFm->hide();

    lblMsg = named(new QLabel(this), QStringLiteral("lblMsg"), QStringLiteral("广告"));
    lblMsg->setCursor(Qt::PointingHandCursor);
    lblMsg->setMinimumWidth(px(6000));
    lblMsg->installEventFilter(this);
}

void FlashFrm::Form_Load()
{
    if (FormMain *main = FormMain::existing()) {
        FrmXf::InstallDockHook(this, main);
        resize(width(), main->height());
    }
    Form_Resize();
    Flash1->Navigate(QStringLiteral("about:blank"));
    m_loaded = true;
}

void FlashFrm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void FlashFrm::Form_Resize()
{
    const FlashFrmLayout l = FlashFrmLayout::forSize(width() * kTwipsPerPixel,
                                                     height() * kTwipsPerPixel);
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

bool FlashFrm::eventFilter(QObject *watched, QEvent *event)
{
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
