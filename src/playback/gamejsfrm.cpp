#include "gamejsfrm.h"

#include "browserhost.h"
#include "buttoncode.h"
#include "buttonex.h"
#include "clipboardservice.h"
#include "contentserver.h"
#include "desktopservices.h"
#include "dialogservice.h"
#include "flashfrm.h"
#include "formclicksj.h"
#include "linklabels.h"
#include "muenfrm.h"
#include "netpicture.h"
#include "picturebutton.h"
#include "sharing.h"

#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>

#include <array>
#include <functional>
#include <utility>

namespace {

template <typename Widget>
Widget *named(Widget *widget, const QString &objectName, const QString &accessible = QString())
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible.isEmpty() ? objectName : accessible);
    return widget;
}

QLabel *label(QWidget *parent, const QString &objectName, const QString &accessible,
              const QString &text, const QRect &geometry)
{
    auto *widget = named(new QLabel(text, parent), objectName, accessible);
    widget->setGeometry(geometry);
    return widget;
}

// Where the boxes behind the three tabs lie.
constexpr QRect kBoxArea{16, 243, 388, 146};

} // namespace

GameJsFrm::GameJsFrm(QWidget *parent) : QWidget(parent)
{
    adopt(this);
    named(this, QStringLiteral("GameJsFrm"), QStringLiteral("详细介绍"));
    setWindowTitle(QStringLiteral("详细介绍 "));
    FormClickSj::MakeBorderless(this, kWindowSize);
    // Moves over the background turn the link labels black again.
    setMouseTracking(true);
    createControls();
    Form_Load();
}

void GameJsFrm::createControls()
{
    auto *caption = label(this, QStringLiteral("Caption"), QStringLiteral("标题"),
                          QStringLiteral("详细介绍"), QRect(44, 8, 200, 24));
    caption->setStyleSheet(QStringLiteral("color: white; font-size: 15px; font-weight: bold;"));
    caption->setAttribute(Qt::WA_TransparentForMouseEvents); // the caption bar drags the window
    OverFrmMeSL = pictureButton(this, QStringLiteral("OverFrmMeSL"),
                                QStringLiteral(":/images/buttons/guanbi"), QStringLiteral("关闭"),
                                QRect(384, 8, 24, 24));
    connect(OverFrmMeSL, &ButtonEx::Click, this, &GameJsFrm::OverFrmMeSL_Click);

    // Inside the frame the background draws around it.
    NetPicture1 =
        named(new NetPicture(this), QStringLiteral("NetPicture1"), QStringLiteral("封面"));
    NetPicture1->setGeometry(16, 52, 120, 150);

    Label2 = label(this, QStringLiteral("Label2"), QStringLiteral("名称"),
                   QStringLiteral("您尚未选择数据"), QRect(150, 50, 254, 46));
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Label2->setWordWrap(true);
    QFont nameFont = Label2->font();
    nameFont.setPixelSize(16);
    nameFont.setBold(true);
    Label2->setFont(nameFont);
    Label2->setStyleSheet(QStringLiteral("color: #1f4f94;"));

    label(this, QStringLiteral("FLCAPCaption"), QStringLiteral("分类："), QStringLiteral("分类："),
          QRect(150, 102, 44, 20));
    FLCAP = label(this, QStringLiteral("FLCAP"), QStringLiteral("分类"), QString(),
                  QRect(194, 102, 210, 20));
    label(this, QStringLiteral("Label3Caption"), QStringLiteral("大小："), QStringLiteral("大小："),
          QRect(150, 126, 44, 20));
    Label3 = label(this, QStringLiteral("Label3"), QStringLiteral("大小"), QString(),
                   QRect(194, 126, 210, 20));

    Label5 = pictureButton(this, QStringLiteral("Label5"), QStringLiteral(":/images/buttons/play"),
                           QStringLiteral("开始收听"), QRect(150, 166, 120, 34),
                           QStringLiteral("开始收听"));
    Label5->setContentsMargins(30, 0, 0, 0); // the caption stands right of the glyph
    QPalette onOrange = Label5->palette();
    onOrange.setColor(QPalette::ButtonText, Qt::white);
    Label5->setPalette(onOrange);
    connect(Label5, &ButtonEx::Click, this, &GameJsFrm::Label5_Click);

    const QString tab = QStringLiteral(":/images/buttons/tab");
    GameJSButtoncommand =
        pictureButton(this, QStringLiteral("GameJSButtoncommand"), tab, QStringLiteral("内容简介"),
                      QRect(16, 215, 90, 28), QStringLiteral("内容简介"));
    CCFFButton = pictureButton(this, QStringLiteral("CCFFButton"), tab, QStringLiteral("收听方法"),
                               QRect(108, 215, 90, 28), QStringLiteral("收听方法"));
    FlashUrlButton =
        pictureButton(this, QStringLiteral("FlashUrlButton"), tab, QStringLiteral("页面地址"),
                      QRect(200, 215, 90, 28), QStringLiteral("页面地址"));
    connect(GameJSButtoncommand, &ButtonEx::Click, this, &GameJsFrm::GameJSButtoncommand_Click);
    connect(CCFFButton, &ButtonEx::Click, this, &GameJsFrm::CCFFButton_Click);
    connect(FlashUrlButton, &ButtonEx::Click, this, &GameJsFrm::FlashUrlButton_Click);

    jianjie =
        named(new QPlainTextEdit(this), QStringLiteral("jianjie"), QStringLiteral("内容简介"));
    jianjie->setReadOnly(true);
    jianjie->setPlainText(QStringLiteral("内容简介\n"));
    jianjie->setGeometry(kBoxArea);

    // Nothing ever fills Label1(0); it keeps its place in the control array
    // but stays hidden, so its first text never stands beside a filled window.
    Label1.append(label(this, QStringLiteral("Label1(0)"), QStringLiteral("Label1(0)"),
                        QStringLiteral("您尚未选择游戏"), QRect(280, 176, 124, 20)));
    Label1[0]->hide();
    Label1.append(label(this, QStringLiteral("Label1(1)"), QStringLiteral("收听方法"),
                        QStringLiteral("您尚未选择游戏"), kBoxArea));
    QLabel *method = Label1[1];
    method->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    method->setWordWrap(true);
    method->setMargin(4);
    method->setFrameShape(QFrame::StyledPanel);
    method->setBackgroundRole(QPalette::Base);
    method->setAutoFillBackground(true);
    method->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    Text4 = named(new QPlainTextEdit(this), QStringLiteral("Text4"), QStringLiteral("页面地址"));
    Text4->setReadOnly(true);
    Text4->setPlainText(QStringLiteral("您尚未选择游戏\n"));
    Text4->setGeometry(kBoxArea);

    // The description tab is the one open when the window first shows.
    GameJSButtoncommand->setValue(true);
    Label1[1]->hide();
    Text4->hide();

    // The link labels stand right-aligned in the footer, each as wide as its text.
    const std::array<QString, 3> links{QStringLiteral("添加收藏"), QStringLiteral("分享"),
                                       QStringLiteral("提交错误")};
    for (int i = 0; i < int(links.size()); ++i) {
        QLabel *link =
            label(this, QStringLiteral("Label4(%1)").arg(i), links[i], links[i], QRect());
        link->setAccessibleDescription(QStringLiteral("按回车键执行"));
        Label4.append(link);
    }
    int right = 404;
    for (int i = int(Label4.size()) - 1; i >= 0; --i) {
        QLabel *link = Label4[i];
        const QSize hint = link->sizeHint();
        link->setGeometry(right - hint.width(), 420 - hint.height() / 2, hint.width(),
                          hint.height());
        right = link->x() - 14;
    }
    m_links = new LinkLabels(Label4, kLinkHover, kLinkNormal,
                             {std::bind_front(&GameJsFrm::Label4_MouseMove, this),
                              std::bind_front(&GameJsFrm::Label4_MouseDown, this),
                              std::bind_front(&GameJsFrm::Label4_Click, this)},
                             this);
}

void GameJsFrm::Form_Load()
{
    FormClickSj::MakeBackColorTransparent(this);
}

void GameJsFrm::paintEvent(QPaintEvent *)
{
    m_background.paint(this);
}

void GameJsFrm::Form_MouseDown(int Button, int, int, int)
{
    // Dragged by any point of its background.
    if (Button == 1)
        m_drag.start(this);
}

void GameJsFrm::Form_MouseMove()
{
    m_links->clearHovered();
}

void GameJsFrm::mousePressEvent(QMouseEvent *event)
{
    m_drag.grab(this, event);
    const QPoint at = event->position().toPoint();
    Form_MouseDown(buttonCode(event->button()), 0, at.x(), at.y());
    QWidget::mousePressEvent(event);
}

void GameJsFrm::mouseMoveEvent(QMouseEvent *event)
{
    m_drag.follow(this, event->globalPosition().toPoint());
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void GameJsFrm::mouseReleaseEvent(QMouseEvent *event)
{
    m_drag.release();
    QWidget::mouseReleaseEvent(event);
}

void GameJsFrm::showTab(ButtonEx *tab)
{
    if (tab->Value())
        return;
    const std::array<std::pair<ButtonEx *, QWidget *>, 3> tabs{
        {{GameJSButtoncommand, jianjie}, {CCFFButton, Label1[1]}, {FlashUrlButton, Text4}}};
    for (const auto &[button, box] : tabs) {
        box->setVisible(button == tab);
        button->setValue(button == tab);
    }
}

void GameJsFrm::GameJSButtoncommand_Click()
{
    showTab(GameJSButtoncommand);
}

void GameJsFrm::CCFFButton_Click()
{
    showTab(CCFFButton);
}

void GameJsFrm::FlashUrlButton_Click()
{
    showTab(FlashUrlButton);
}

void GameJsFrm::Label5_Click()
{
    // A favourite's or a history line's fields come padded to their widths;
    // the blanks are neither an address nor part of the name.
    const QString address = MuenFrm::get().GmFlashUrl.trimmed();
    const QString name = Label2->text().trimmed();
    if (address.isEmpty()) {
        Dialogs::show(QStringLiteral("《") + name + QStringLiteral("》这个资源的数据已经丢失！"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Information, this);
        return;
    }
    if (!address.contains(QLatin1String("://"))) {
        Dialogs::show(QStringLiteral("您当前的资源链接可能已经损坏，请联系管理员处理!"),
                      Dialogs::Buttons::Ok, Dialogs::Icon::Information, this);
        return;
    }
    // The player is not shown: a hidden player plays without showing itself.
    FlashFrm &player = FlashFrm::get();
    player.Flash1->Navigate(address);
    player.setWindowTitle(QStringLiteral("您当前正在收听的是：《") + name + QStringLiteral("》"));
    // isHidden, not isVisible: the cover's own state, while the player may be hidden.
    if (!player.Picture1->isHidden())
        player.Picture1->hide();
    hide();
}

void GameJsFrm::OverFrmMeSL_Click()
{
    hide();
}

void GameJsFrm::Label4_Click(int Index)
{
    switch (Index) {
    case 0:
        // A page address with a drive ("C:\...") is a resource on this computer.
        if (Text4->toPlainText().contains(QLatin1String(":\\"))) {
            Dialogs::show(QStringLiteral("本地的资源是不能添加进收藏的!"), Dialogs::Buttons::Ok,
                          Dialogs::Icon::Information, this);
            return;
        }
        MuenFrm::get().Tjsc_Click();
        return;
    case 1:
        if (Label2->text().isEmpty())
            return;
        Clipboard::setText(Sharing::RecommendationText(Label2->text(), jianjie->toPlainText(),
                                                       Text4->toPlainText()));
        Dialogs::show(Sharing::CopiedMessage(), Dialogs::Buttons::Ok, Dialogs::Icon::None, this);
        return;
    case 2:
        DesktopServices::openUrl(ContentServer::homePage(), DesktopServices::Show::Maximized);
        return;
    default:
        return;
    }
}

void GameJsFrm::Label4_MouseMove(int Index)
{
    m_links->setHovered(Index, true);
}

void GameJsFrm::Label4_MouseDown(int Index, int Button)
{
    if (Button == 1)
        m_links->setHovered(Index, false);
}
