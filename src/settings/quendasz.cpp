#include "quendasz.h"

#include "modsl.h"
#include "programfolder.h"
#include "rkhotkey.h"
#include "systemvolume.h"
#include "updatesl.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace {

const QString kUserSection = QStringLiteral("用户设置");

QCheckBox *checkBox(QWidget *parent, const QString &name, const QString &caption)
{
    auto *box = new QCheckBox(caption, parent);
    box->setObjectName(name); // also its key in Config.dll
    return box;
}

RKHotKey *hotKey(QWidget *parent, const QString &name, const QString &accessibleName)
{
    auto *control = new RKHotKey(parent);
    control->setObjectName(name); // also the stem of its keys in Config.dll
    control->txtHotKey->setAccessibleName(accessibleName);
    control->setMinimumSize(170, 22);
    RKHotKey::Properties properties;
    properties.Font = QFont(QStringLiteral("宋体"), 9);
    properties.hasFont = true;
    control->ReadProperties(properties);
    return control;
}

} // namespace

QuendaSz::QuendaSz(QWidget *parent) : QWidget(parent, Qt::Window)
{
    adopt(this);
    setObjectName(QStringLiteral("QuendaSz"));
    setWindowTitle(QStringLiteral("Aurilo设置"));
    setAccessibleName(QStringLiteral("Aurilo设置"));
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    createControls();
    Form_Load();
}

QuendaSz::~QuendaSz() = default;

QString QuendaSz::configFile()
{
    return ProgramFolder::file(QStringLiteral("Config.dll"));
}

void QuendaSz::createControls()
{
    HeadrImges = new QLabel(this);
    HeadrImges->setObjectName(QStringLiteral("HeadrImges"));
    HeadrImges->setPixmap(QIcon(QStringLiteral(":/images/settings-header.svg"))
                              .pixmap(QSize(420, 56), devicePixelRatioF()));
    HeadrImges->setFixedSize(420, 56);

    HotKey = new QGroupBox(QStringLiteral("热键设置："), this);
    HotKey->setObjectName(QStringLiteral("HotKey"));
    增加音量 = checkBox(HotKey, QStringLiteral("增加音量"), QStringLiteral("增加音量"));
    HK1 = hotKey(HotKey, QStringLiteral("HK1"), QStringLiteral("增加音量热键"));
    减少音量 = checkBox(HotKey, QStringLiteral("减少音量"), QStringLiteral("减少音量"));
    HK2 = hotKey(HotKey, QStringLiteral("HK2"), QStringLiteral("减少音量热键"));
    禁音 = checkBox(HotKey, QStringLiteral("禁音"), QStringLiteral("静音"));
    HK3 = hotKey(HotKey, QStringLiteral("HK3"), QStringLiteral("静音热键"));
    auto *rows = new QGridLayout(HotKey);
    rows->addWidget(增加音量, 0, 0);
    rows->addWidget(HK1, 0, 1);
    rows->addWidget(减少音量, 1, 0);
    rows->addWidget(HK2, 1, 1);
    rows->addWidget(禁音, 2, 0);
    rows->addWidget(HK3, 2, 1);
    rows->setColumnStretch(1, 1);

    开启启动 =
        checkBox(this, QStringLiteral("开启启动"), QStringLiteral("软件启动时播放窗口跟随启动"));
    欢迎动画 =
        checkBox(this, QStringLiteral("欢迎动画"), QStringLiteral("程序启动时是否显示欢迎动画"));
    自检测 = checkBox(this, QStringLiteral("自检测"),
                      QStringLiteral("程序每次启动均自动检测服务器上新版本数据并且更新"));
    版本自动更新 = checkBox(this, QStringLiteral("版本自动更新"),
                            QStringLiteral("自动检测版本更新并且提示我"));
    保存设置 = new QPushButton(QStringLiteral("保存"), this);
    保存设置->setObjectName(QStringLiteral("保存设置"));

    auto *options = new QVBoxLayout;
    options->setContentsMargins(12, 0, 12, 0);
    options->addWidget(HotKey);
    for (QCheckBox *box : {开启启动, 欢迎动画, 自检测, 版本自动更新})
        options->addWidget(box);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(保存设置);
    options->addLayout(buttons);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 12);
    layout->addWidget(HeadrImges);
    layout->addLayout(options);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // A user's toggle, by mouse, space bar or a screen reader (whose toggle
    // action changes the box without a click); the window's own changes of
    // the boxes are made with their signals blocked.
    connect(增加音量, &QCheckBox::toggled, this, &QuendaSz::增加音量_MouseUp);
    connect(减少音量, &QCheckBox::toggled, this, &QuendaSz::减少音量_MouseUp);
    connect(禁音, &QCheckBox::toggled, this, &QuendaSz::禁音_MouseUp);
    connect(HK1, &RKHotKey::HotKeyPressed, this, &QuendaSz::HK1_HotKeyPressed);
    connect(HK2, &RKHotKey::HotKeyPressed, this, &QuendaSz::HK2_HotKeyPressed);
    connect(HK3, &RKHotKey::HotKeyPressed, this, &QuendaSz::HK3_HotKeyPressed);
    connect(保存设置, &QPushButton::clicked, this, &QuendaSz::保存设置_Click);
    // Esc hides the window as its close box does (in a hot-key box Esc is a
    // key like any other).
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &QWidget::hide);
}

QList<QCheckBox *> QuendaSz::stored() const
{
    return {版本自动更新, 开启启动, 欢迎动画, 自检测, 增加音量, 减少音量, 禁音};
}

void QuendaSz::Form_Load()
{
    加载热键事件();
    加载热键属性();
}

void QuendaSz::加载热键事件()
{
    const QFileInfo config(configFile());
    if (!config.exists() || config.isDir())
        return;
    for (QCheckBox *box : stored()) {
        const QSignalBlocker programsOwn(box);
        UpdateSL::LoadCheckBoxSetting(kUserSection, config.filePath(), box);
    }
}

void QuendaSz::加载热键属性()
{
    if (增加音量->isChecked())
        增加音量_MouseUp();
    if (减少音量->isChecked())
        减少音量_MouseUp();
    if (禁音->isChecked())
        禁音_MouseUp();
}

void QuendaSz::rowMouseUp(QCheckBox *box, RKHotKey *hotKey)
{
    hotKey->setHotKeyEnabled(box->isChecked());
    const QSignalBlocker programsOwn(box);
    box->setChecked(hotKey->HotKeyEnabled());
}

void QuendaSz::增加音量_MouseUp()
{
    rowMouseUp(增加音量, HK1);
}

void QuendaSz::减少音量_MouseUp()
{
    rowMouseUp(减少音量, HK2);
}

void QuendaSz::禁音_MouseUp()
{
    rowMouseUp(禁音, HK3);
}

// The volume keys' application commands, with the words the system's own
// keys send: the command is lParam / 65536.
void QuendaSz::sendAppCommand(quintptr wParam, qintptr lParam)
{
    Q_UNUSED(wParam);
    SystemVolume::instance().run(SystemVolume::Command(lParam / 65536));
}

void QuendaSz::HK1_HotKeyPressed()
{
    sendAppCommand(0x30292, 0xA0000); // volume up
}

void QuendaSz::HK2_HotKeyPressed()
{
    sendAppCommand(0x30292, 0x90000); // volume down
}

void QuendaSz::HK3_HotKeyPressed()
{
    sendAppCommand(0x200EB0, 0x80000); // mute on and off
}

void QuendaSz::保存设置_Click()
{
    const QString file = configFile();
    for (QCheckBox *box : stored())
        UpdateSL::SaveCheckBoxSetting(kUserSection, file, box);
    HK1->SaveSettings();
    HK2->SaveSettings();
    HK3->SaveSettings();
    加载热键属性();
}

void QuendaSz::showModeless()
{
    show();
    raise();
    activateWindow();
}

void QuendaSz::closeEvent(QCloseEvent *event)
{
    if (event->spontaneous()) {
        // The close box: the settings and the hot keys stay.
        event->ignore();
        hide();
        return;
    }
    // Closed by the program (its exit, the session's end): the program ends
    // here, with no further window closed.
    event->accept();
    ModSl::EndAtOnce();
}
