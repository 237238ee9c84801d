#include "gamejsfrm.h"

#include "browserhost.h"
#include "buttonex.h"
#include "clipboardservice.h"
#include "contentserver.h"
#include "desktopservices.h"
#include "dialogservice.h"
#include "flashfrm.h"
#include "formclicksj.h"
#include "muenfrm.h"
#include "netpicture.h"
#include "sharing.h"

#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSvgRenderer>
#include <QWindow>

#include <array>
#include <utility>

namespace {

template <typename Widget>
Widget *named(Widget *widget, const QString &objectName, const QString &accessible = QString())
{
    widget->setObjectName(objectName);
    widget->setAccessibleName(accessible.isEmpty() ? objectName : accessible);
    return widget;
}

ButtonEx *imageButton(QWidget *parent, const QString &objectName, const QString &stem,
                      const QString &description, const QRect &geometry,
                      const QString &caption = QString())
{
    auto *button = named(new ButtonEx(parent), objectName, description);
    button->setToolTip(description);
    button->loadPictures(stem);
    button->setCaption(caption);
    button->setGeometry(geometry);
    return button;
}

QLabel *label(QWidget *parent, const QString &objectName, const QString &accessible,
              const QString &text, const QRect &geometry)
{
    auto *widget = named(new QLabel(text, parent), objectName, accessible);
    widget->setGeometry(geometry);
    return widget;
}

void colourLink(QLabel *link, const QColor &colour)
{
    // Every mouse move over the window comes here; an unchanged colour
    // must not repaint.
    if (link->palette().color(QPalette::WindowText) == colour)
        return;
    QPalette palette = link->palette();
    palette.setColor(QPalette::WindowText, colour);
    link->setPalette(palette);
}

int buttonCode(Qt::MouseButton button)
{
    switch (button) {
    case Qt::LeftButton:
        return 1;
    case Qt::RightButton:
        return 2;
    case Qt::MiddleButton:
        return 4;
    default:
        return 0;
    }
}

// Where the boxes behind the three tabs lie.
constexpr QRect kBoxArea{16, 243, 388, 146};

} // namespace

GameJsFrm::GameJsFrm(QWidget *parent) : QWidget(parent)
{
    adopt(this);
    named(this, QStringLiteral("GameJsFrm"), QStringLiteral("详细介绍"));
    setWindowTitle(QStringLiteral("详细介绍 "));
    setWindowIcon(QIcon(QStringLiteral(":/images/app-icon.svg")));
    setWindowFlags(Qt::Window | Qt::FramelessWindowHint);
    setFixedSize(kWindowSize);
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
    OverFrmMeSL =
        imageButton(this, QStringLiteral("OverFrmMeSL"), QStringLiteral(":/images/buttons/guanbi"),
                    QStringLiteral("关闭"), QRect(384, 8, 24, 24));
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

    Label5 = imageButton(this, QStringLiteral("Label5"), QStringLiteral(":/images/buttons/play"),
                         QStringLiteral("开始收听"), QRect(150, 166, 120, 34),
                         QStringLiteral("开始收听"));
    Label5->setContentsMargins(30, 0, 0, 0); // the caption stands right of the glyph
    QPalette onOrange = Label5->palette();
    onOrange.setColor(QPalette::ButtonText, Qt::white);
    Label5->setPalette(onOrange);
    connect(Label5, &ButtonEx::Click, this, &GameJsFrm::Label5_Click);

    const QString tab = QStringLiteral(":/images/buttons/tab");
    GameJSButtoncommand =
        imageButton(this, QStringLiteral("GameJSButtoncommand"), tab, QStringLiteral("内容简介"),
                    QRect(16, 215, 90, 28), QStringLiteral("内容简介"));
    CCFFButton = imageButton(this, QStringLiteral("CCFFButton"), tab, QStringLiteral("收听方法"),
                             QRect(108, 215, 90, 28), QStringLiteral("收听方法"));
    FlashUrlButton =
        imageButton(this, QStringLiteral("FlashUrlButton"), tab, QStringLiteral("页面地址"),
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
        link->setCursor(Qt::PointingHandCursor);
        link->setMouseTracking(true);
        // Reachable with Tab and pressed with Enter or Space, as a button is.
        link->setFocusPolicy(Qt::TabFocus);
        link->setAccessibleDescription(QStringLiteral("按回车键执行"));
        colourLink(link, kLinkNormal);
        link->installEventFilter(this);
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
}

void GameJsFrm::Form_Load()
{
    FormClickSj::MakeBackColorTransparent(this);
}

void GameJsFrm::paintEvent(QPaintEvent *)
{
    if (m_background.size() != size()) {
        QImage picture(size(), QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter svgPainter(&picture);
        QSvgRenderer(QStringLiteral(":/images/details-background.svg")).render(&svgPainter);
        svgPainter.end();
        m_background = FormClickSj::HardEdged(picture);
    }
    QPainter painter(this);
    painter.drawImage(0, 0, m_background);
}

void GameJsFrm::Form_MouseDown(int Button, int, int, int)
{
    if (Button != 1)
        return;
    // Dragged by any point of its background: by the window manager when
    // there is one, else by following the mouse ourselves.
    QWindow *handle = windowHandle();
    if (handle && handle->startSystemMove())
        return;
    m_dragging = true;
}

void GameJsFrm::Form_MouseMove()
{
    for (QLabel *link : std::as_const(Label4))
        colourLink(link, kLinkNormal);
}

void GameJsFrm::mousePressEvent(QMouseEvent *event)
{
    const int button = buttonCode(event->button());
    if (button == 1)
        m_dragOffset = event->globalPosition().toPoint() - pos();
    Form_MouseDown(button, 0, event->position().toPoint().x(), event->position().toPoint().y());
    QWidget::mousePressEvent(event);
}

void GameJsFrm::mouseMoveEvent(QMouseEvent *event)
{
    if (m_dragging)
        move(event->globalPosition().toPoint() - m_dragOffset);
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

void GameJsFrm::mouseReleaseEvent(QMouseEvent *event)
{
    m_dragging = false;
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
    const QString address = MuenFrm::get().GmFlashUrl;
    if (address.isEmpty()) {
        Dialogs::show(QStringLiteral("《") + Label2->text() +
                          QStringLiteral("》这个资源的数据已经丢失！"),
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
    player.setWindowTitle(QStringLiteral("您当前正在收听的是：《") + Label2->text() +
                          QStringLiteral("》"));
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
    colourLink(Label4[Index], kLinkHover);
}

void GameJsFrm::Label4_MouseDown(int Index, int Button)
{
    if (Button == 1)
        colourLink(Label4[Index], kLinkNormal);
}

bool GameJsFrm::eventFilter(QObject *watched, QEvent *event)
{
    auto *link = qobject_cast<QLabel *>(watched);
    const int index = link ? int(Label4.indexOf(link)) : -1;
    if (index < 0)
        return QWidget::eventFilter(watched, event);
    // Handled here, not passed on: the window would take a press on a label
    // for the start of a drag and a move over it for a move off the labels.
    switch (event->type()) {
    case QEvent::MouseMove:
        Label4_MouseMove(index);
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        Label4_MouseDown(index, buttonCode(static_cast<QMouseEvent *>(event)->button()));
        return true;
    case QEvent::MouseButtonRelease: {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() == Qt::LeftButton && link->rect().contains(mouse->position().toPoint()))
            Label4_Click(index);
        return true;
    }
    case QEvent::KeyPress: {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter &&
            key->key() != Qt::Key_Space)
            break;
        if (!key->isAutoRepeat())
            Label4_Click(index);
        return true;
    }
    case QEvent::FocusIn:
        colourLink(link, kLinkHover); // the keyboard's "hover"
        break;
    case QEvent::FocusOut:
        colourLink(link, kLinkNormal);
        break;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}
