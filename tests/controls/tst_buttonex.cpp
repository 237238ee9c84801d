#include "buttonex.h"

#include <QAccessible>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QRegularExpression>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

namespace {

// One piece of mouse input, as a user makes it.
struct Step
{
    enum Kind
    {
        Press,
        Release,
        DoubleClick,
        Move,
        Leave
    };
    Kind kind = Move;
    Qt::MouseButton button = Qt::NoButton;
    QPoint pos;
    Qt::KeyboardModifiers modifiers;
};
using Steps = QList<Step>;

Step press(Qt::MouseButton button, QPoint pos, Qt::KeyboardModifiers modifiers = {})
{
    return {Step::Press, button, pos, modifiers};
}
Step release(Qt::MouseButton button, QPoint pos, Qt::KeyboardModifiers modifiers = {})
{
    return {Step::Release, button, pos, modifiers};
}
Step doubleClick(Qt::MouseButton button, QPoint pos)
{
    return {Step::DoubleClick, button, pos, {}};
}
Step move(QPoint pos)
{
    return {Step::Move, Qt::NoButton, pos, {}};
}
// The mouse moves on to the neighbouring widget.
Step leave()
{
    return {Step::Leave, Qt::NoButton, {}, {}};
}

const QPoint kInside(5, 6);
const QSize kButtonSize(24, 24);

// Picture1 to Picture4 of the fixture, told apart by colour.
const QColor kPictureColours[4] = {QColor(200, 40, 40), QColor(40, 160, 40), QColor(40, 60, 200),
                                   QColor(128, 128, 128)};
// What shows where the button paints nothing.
const QColor kBackdrop(255, 0, 255);

QIcon solidPicture(const QColor &colour, QSize size = kButtonSize)
{
    QPixmap pixmap(size);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

QByteArray solidSvg(const QColor &colour)
{
    return QByteArrayLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" height=\"24\">"
                             "<rect width=\"24\" height=\"24\" fill=\"") +
           colour.name().toLatin1() + QByteArrayLiteral("\"/></svg>");
}

// Which picture the button shows: its index 0 to 3, -1 when it paints
// nothing, -2 when the image is none of them.
int shownPicture(ButtonEx &button)
{
    QImage image(button.size(), QImage::Format_RGB32);
    image.fill(kBackdrop);
    button.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    const auto uniformly = [&image](const QColor &colour) {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != colour)
                    return false;
        return true;
    };
    if (uniformly(kBackdrop))
        return -1;
    for (int i = 0; i < 4; ++i)
        if (uniformly(kPictureColours[i]))
            return i;
    return -2;
}

// A window with the button and a neighbour to move the mouse on to. The
// button's events are recorded with the look at the moment they are raised.
class Fixture
{
public:
    explicit Fixture(QScreen *screen = QGuiApplication::primaryScreen())
    {
        m_window.setScreen(screen);
        m_window.setGeometry(QRect(screen->geometry().topLeft() + QPoint(60, 60), QSize(200, 80)));
        button = new ButtonEx(&m_window);
        button->setObjectName(QStringLiteral("Guanbi"));
        button->setGeometry(QRect(QPoint(10, 10), kButtonSize));
        button->setPictures(solidPicture(kPictureColours[0]), solidPicture(kPictureColours[1]),
                            solidPicture(kPictureColours[2]), solidPicture(kPictureColours[3]));
        neighbour = new QWidget(&m_window);
        neighbour->setGeometry(100, 10, 60, 60);

        QObject::connect(button, &ButtonEx::OnMouseDown, &m_recorder,
                         [this](short b, short s, float x, float y) {
                             events << QStringLiteral("down %1 %2 %3 %4 look %5")
                                           .arg(b)
                                           .arg(s)
                                           .arg(x)
                                           .arg(y)
                                           .arg(button->look());
                         });
        QObject::connect(button, &ButtonEx::Click, &m_recorder,
                         [this] { events << QStringLiteral("click look %1").arg(button->look()); });
        QObject::connect(button, &ButtonEx::OnMouseUp, &m_recorder,
                         [this](short b, short s, float x, float y) {
                             events << QStringLiteral("up %1 %2 %3 %4 look %5")
                                           .arg(b)
                                           .arg(s)
                                           .arg(x)
                                           .arg(y)
                                           .arg(button->look());
                         });
    }

    ~Fixture()
    {
        // The test library remembers held buttons across tests.
        QObject::disconnect(button, nullptr, &m_recorder, nullptr);
        for (Qt::MouseButton b : {Qt::LeftButton, Qt::RightButton, Qt::MiddleButton})
            if (m_held & b)
                QTest::mouseRelease(button, b, {}, kInside);
    }

    bool show()
    {
        m_window.show();
        if (!QTest::qWaitForWindowExposed(&m_window))
            return false;
        // Park the cursor off the window, so the first move into it is a move.
        QCursor::setPos(m_window.screen(), m_window.screen()->geometry().topLeft() + QPoint(5, 5));
        QCoreApplication::processEvents();
        return true;
    }

    QWidget &window() { return m_window; }

    void run(const Steps &steps)
    {
        for (const Step &step : steps) {
            switch (step.kind) {
            case Step::Press:
                QTest::mousePress(button, step.button, step.modifiers, step.pos);
                m_held |= step.button;
                break;
            case Step::Release:
                QTest::mouseRelease(button, step.button, step.modifiers, step.pos);
                m_held &= ~Qt::MouseButtons(step.button);
                break;
            case Step::DoubleClick:
                QTest::mouseDClick(button, step.button, step.modifiers, step.pos);
                m_held |= step.button;
                break;
            case Step::Move:
                QTest::mouseMove(button, step.pos);
                break;
            case Step::Leave:
                QTest::mouseMove(neighbour, QPoint(30, 30));
                break;
            }
        }
    }

    ButtonEx *button = nullptr;
    QWidget *neighbour = nullptr;
    QStringList events;

private:
    QWidget m_window;
    QObject m_recorder; // context of the recording connections
    Qt::MouseButtons m_held;
};

} // namespace

Q_DECLARE_METATYPE(Steps)

class TestButtonEx : public QObject
{
    Q_OBJECT

private slots:
    void mouseInput_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<QStringList>("events");
        QTest::addColumn<int>("look");

        const QStringList leftClick{QStringLiteral("down 1 0 5 6 look 2"),
                                    QStringLiteral("click look 1"),
                                    QStringLiteral("up 1 0 5 6 look 1")};
        QTest::newRow("left click")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, kInside)} << leftClick
            << 1;
        QTest::newRow("left released to the right")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, {40, 6})}
            << QStringList{"down 1 0 5 6 look 2", "up 1 0 40 6 look 0"} << 0;
        QTest::newRow("left released above")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, {5, -1})}
            << QStringList{"down 1 0 5 6 look 2", "up 1 0 5 -1 look 0"} << 0;
        QTest::newRow("left released just past the corner")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, {25, 24})}
            << QStringList{"down 1 0 5 6 look 2", "up 1 0 25 24 look 0"} << 0;
        QTest::newRow("left released on the far corner")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, {24, 24})}
            << QStringList{"down 1 0 5 6 look 2", "click look 1", "up 1 0 24 24 look 1"} << 1;
        QTest::newRow("right click")
            << Steps{press(Qt::RightButton, kInside), release(Qt::RightButton, kInside)}
            << QStringList{"down 2 0 5 6 look 0", "up 2 0 5 6 look 1"} << 1;
        const auto shiftCtrl = Qt::ShiftModifier | Qt::ControlModifier;
        QTest::newRow("middle click with shift and ctrl")
            << Steps{press(Qt::MiddleButton, kInside, shiftCtrl),
                     release(Qt::MiddleButton, kInside, shiftCtrl)}
            << QStringList{"down 4 3 5 6 look 0", "up 4 3 5 6 look 1"} << 1;
        QTest::newRow("left click with alt")
            << Steps{press(Qt::LeftButton, kInside, Qt::AltModifier),
                     release(Qt::LeftButton, kInside, Qt::AltModifier)}
            << QStringList{"down 1 4 5 6 look 2", "click look 1", "up 1 4 5 6 look 1"} << 1;
        QTest::newRow("double click clicks twice")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, kInside),
                     doubleClick(Qt::LeftButton, kInside), release(Qt::LeftButton, kInside)}
            << leftClick + QStringList{"click look 1", "up 1 0 5 6 look 1"} << 1;
        QTest::newRow("second press of a double click")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, kInside),
                     doubleClick(Qt::LeftButton, kInside)}
            << leftClick << 2;
        QTest::newRow("right double click")
            << Steps{press(Qt::RightButton, kInside), release(Qt::RightButton, kInside),
                     doubleClick(Qt::RightButton, kInside), release(Qt::RightButton, kInside)}
            << QStringList{"down 2 0 5 6 look 0", "up 2 0 5 6 look 1", "up 2 0 5 6 look 1"} << 1;
        QTest::newRow("hover") << Steps{move(kInside)} << QStringList() << 1;
        QTest::newRow("moving while held") << Steps{press(Qt::LeftButton, kInside), move({7, 8})}
                                           << QStringList{"down 1 0 5 6 look 2"} << 1;
        QTest::newRow("leave after hover") << Steps{move(kInside), leave()} << QStringList() << 0;
        QTest::newRow("click, then leave") << Steps{move(kInside), press(Qt::LeftButton, kInside),
                                                    release(Qt::LeftButton, kInside), leave()}
                                           << leftClick << 0;
        QTest::newRow("back in after leaving")
            << Steps{move(kInside), leave(), move({6, 6})} << QStringList() << 1;
        QTest::newRow("out and in twice")
            << Steps{move(kInside), leave(), move({6, 6}), leave()} << QStringList() << 0;
    }

    void mouseInput()
    {
        QFETCH(Steps, steps);
        QFETCH(QStringList, events);
        QFETCH(int, look);
        Fixture f;
        QVERIFY(f.show());
        f.run(steps);
        QCOMPARE(f.events, events);
        QCOMPARE(f.button->look(), look);
        QCOMPARE(shownPicture(*f.button), look);
    }

    void valueShowsThePressedPicture_data()
    {
        QTest::addColumn<Steps>("steps");
        QTest::newRow("at rest") << Steps{};
        QTest::newRow("hover") << Steps{move(kInside)};
        QTest::newRow("leave") << Steps{move(kInside), leave()};
        QTest::newRow("left click")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, kInside)};
        QTest::newRow("left released outside")
            << Steps{press(Qt::LeftButton, kInside), release(Qt::LeftButton, {40, 6})};
    }

    void valueShowsThePressedPicture()
    {
        QFETCH(Steps, steps);
        Fixture f;
        QVERIFY(f.show());
        f.button->setValue(true);
        f.run(steps);
        QVERIFY(f.button->Value());
        QCOMPARE(shownPicture(*f.button), 2);
        f.button->setValue(false);
        QCOMPARE(shownPicture(*f.button), f.button->look());
    }

    void enabledChoosesThePicture_data()
    {
        QTest::addColumn<Steps>("before");
        QTest::addColumn<bool>("value");
        QTest::addColumn<Steps>("whileDisabled");
        QTest::addColumn<int>("afterEnabling");
        QTest::newRow("at rest") << Steps{} << false << Steps{} << 0;
        QTest::newRow("hovered, left while disabled")
            << Steps{move(kInside)} << false << Steps{leave()} << 0;
        QTest::newRow("held by Value") << Steps{} << true << Steps{} << 2;
    }

    void enabledChoosesThePicture()
    {
        QFETCH(Steps, before);
        QFETCH(bool, value);
        QFETCH(Steps, whileDisabled);
        QFETCH(int, afterEnabling);
        Fixture f;
        QVERIFY(f.show());
        f.run(before);
        f.button->setValue(value);
        f.button->setEnabled(false);
        f.run(whileDisabled);
        QCOMPARE(f.button->look(), 3);
        QCOMPARE(shownPicture(*f.button), 3);
        f.button->setEnabled(true);
        QCOMPARE(f.button->look(), 0);
        QCOMPARE(shownPicture(*f.button), afterEnabling);
    }

    void emptyPicturePaintsNothing()
    {
        Fixture f;
        QVERIFY(f.show());
        f.button->setPicture2(QIcon());
        f.run({move(kInside)});
        QCOMPARE(f.button->look(), 1);
        QCOMPARE(shownPicture(*f.button), -1);
        f.run({leave()});
        QCOMPARE(shownPicture(*f.button), 0);
    }

    void loadPicturesTakesTheFourLooksInOrder()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QStringList suffixes{"-normal.svg", "-hover.svg", "-pressed.svg", "-disabled.svg"};
        for (int i = 0; i < 4; ++i)
            QVERIFY(writeFile(dir.filePath("tab" + suffixes[i]), solidSvg(kPictureColours[i])));
        Fixture f;
        QVERIFY(f.show());
        f.button->loadPictures(dir.filePath("tab"));
        QCOMPARE(shownPicture(*f.button), 0);
        f.run({move(kInside)});
        QCOMPARE(shownPicture(*f.button), 1);
        f.run({press(Qt::LeftButton, kInside)});
        QCOMPARE(shownPicture(*f.button), 2);
        f.run({release(Qt::LeftButton, kInside)});
        f.button->setEnabled(false);
        QCOMPARE(shownPicture(*f.button), 3);

        // A missing file leaves its look empty, and says so.
        QVERIFY(QFile::remove(dir.filePath("tab-disabled.svg")));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no picture.*tab-disabled\\.svg"));
        f.button->loadPictures(dir.filePath("tab"));
        QCOMPARE(shownPicture(*f.button), -1);
    }

    void picturesAreSharpAtEveryPixelRatio_data()
    {
        QTest::addColumn<int>("screen");
        QTest::newRow("1x") << 0;
        QTest::newRow("2x") << 1;
    }

    void picturesAreSharpAtEveryPixelRatio()
    {
        QFETCH(int, screen);
        const QList<QScreen *> screens = QGuiApplication::screens();
        if (screen >= screens.size())
            QSKIP("this platform has a single screen");
        const qreal ratio = screens[screen]->devicePixelRatio();
        if (screen > 0 && ratio == screens[0]->devicePixelRatio())
            QSKIP("the second screen has the first one's pixel ratio");

        // Black up to x = 12.5, white beyond: at 2x the edge falls between
        // two device pixels; a 1x bitmap stretched would blur it.
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString file = dir.filePath("edge.svg");
        QVERIFY(writeFile(file, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"24\" "
                                "height=\"24\"><rect width=\"24\" height=\"24\" fill=\"#fff\"/>"
                                "<rect width=\"12.5\" height=\"24\" fill=\"#000\"/></svg>"));
        Fixture f(screens[screen]);
        QVERIFY(f.show());
        f.button->setPicture1(QIcon(file));
        const QImage image = f.button->grab().toImage();
        QCOMPARE(image.size(), kButtonSize * ratio);
        for (int x = 0; x < image.width(); ++x) {
            const qreal left = x / ratio;
            const qreal right = (x + 1) / ratio;
            const int grey = qGray(image.pixel(x, image.height() / 2));
            if (right <= 12.5)
                QVERIFY2(grey == 0, qPrintable(QStringLiteral("column %1: %2").arg(x).arg(grey)));
            else if (left >= 12.5)
                QVERIFY2(grey == 255, qPrintable(QStringLiteral("column %1: %2").arg(x).arg(grey)));
        }
    }

    void captionIsCentredInTheContents_data()
    {
        QTest::addColumn<QMargins>("margins");
        QTest::newRow("whole button") << QMargins();
        QTest::newRow("right of a glyph") << QMargins(28, 0, 0, 0);
    }

    void captionIsCentredInTheContents()
    {
        QFETCH(QMargins, margins);
        ButtonEx button;
        button.resize(140, 28);
        button.setPicture1(solidPicture(Qt::white, button.size()));
        button.setContentsMargins(margins);
        button.setCaption(QStringLiteral("访问主页"));
        QImage image(button.size(), QImage::Format_RGB32);
        button.render(&image, QPoint(), QRegion(), QWidget::RenderFlags());

        QRect ink;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (image.pixelColor(x, y) != QColor(Qt::white))
                    ink |= QRect(x, y, 1, 1);
        QVERIFY(!ink.isEmpty());
        QVERIFY(button.contentsRect().contains(ink));
        const QPoint offCentre = ink.center() - button.contentsRect().center();
        QVERIFY2(qAbs(offCentre.x()) <= 2, qPrintable(QString::number(offCentre.x())));
        QVERIFY2(qAbs(offCentre.y()) <= 3, qPrintable(QString::number(offCentre.y())));
    }

    void accessiblePushButton_data()
    {
        QTest::addColumn<QString>("accessibleName");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("clicks");
        QTest::newRow("named by its window") << "关闭" << QString() << true << "关闭" << 1;
        QTest::newRow("named by its caption") << QString() << "我的收藏" << true << "我的收藏" << 1;
        QTest::newRow("disabled") << "关闭" << QString() << false << "关闭" << 0;
    }

    void accessiblePushButton()
    {
        QFETCH(QString, accessibleName);
        QFETCH(QString, caption);
        QFETCH(bool, enabled);
        QFETCH(QString, name);
        QFETCH(int, clicks);
        Fixture f;
        f.button->setAccessibleName(accessibleName);
        f.button->setCaption(caption);
        f.button->setEnabled(enabled);
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(f.button);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Button);
        QCOMPARE(iface->text(QAccessible::Name), name);
        QCOMPARE(iface->state().disabled, !enabled);
        QAccessibleActionInterface *actions = iface->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::pressAction()));
        actions->doAction(QAccessibleActionInterface::pressAction());
        QCOMPARE(f.events,
                 QStringList(clicks, QStringLiteral("click look %1").arg(enabled ? 0 : 3)));
    }

    void keysClick_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("lookWhileDown");
        QTest::addColumn<int>("clicks");
        QTest::newRow("space") << int(Qt::Key_Space) << 2 << 1;
        QTest::newRow("return") << int(Qt::Key_Return) << 0 << 1;
        QTest::newRow("enter") << int(Qt::Key_Enter) << 0 << 1;
        QTest::newRow("escape") << int(Qt::Key_Escape) << 0 << 0;
        QTest::newRow("letter") << int(Qt::Key_A) << 0 << 0;
    }

    void keysClick()
    {
        QFETCH(int, key);
        QFETCH(int, lookWhileDown);
        QFETCH(int, clicks);
        Fixture f;
        QVERIFY(f.show());
        QTest::keyPress(f.button, Qt::Key(key));
        QCOMPARE(f.button->look(), lookWhileDown);
        QTest::keyRelease(f.button, Qt::Key(key));
        QCOMPARE(f.events, QStringList(clicks, QStringLiteral("click look 0")));
        QCOMPARE(f.button->look(), 0);
    }

    void tabReachesItAndTheMouseLeavesFocusAlone()
    {
        Fixture f;
        auto *search = new QLineEdit(&f.window());
        search->setGeometry(40, 10, 50, 24);
        QWidget::setTabOrder(search, f.button);
        QVERIFY(f.show());
        f.window().activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&f.window()));
        search->setFocus();
        f.run({press(Qt::LeftButton, kInside), release(Qt::LeftButton, kInside)});
        QVERIFY(search->hasFocus());
        QTest::keyClick(search, Qt::Key_Tab);
        QVERIFY(f.button->hasFocus());
    }
};

// Runs with two screens, at 1x and 2x, when on the offscreen platform, so
// the pictures are checked at both pixel ratios.
int main(int argc, char *argv[])
{
    QTemporaryDir configDir;
    if (qgetenv("QT_QPA_PLATFORM") == "offscreen" && configDir.isValid()) {
        const QString config = configDir.filePath("screens.json");
        const QByteArray screens = R"({"screens": [
            {"name": "one", "x": 0, "y": 0, "width": 800, "height": 600, "dpr": 1},
            {"name": "two", "x": 800, "y": 0, "width": 800, "height": 600, "dpr": 2}]})";
        if (writeFile(config, screens))
            qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + config.toLocal8Bit());
    }
    QApplication app(argc, argv);
    TestButtonEx test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_buttonex.moc"
