#include "virtualkeys.h"

#include <QTest>

class TstVirtualKeys : public QObject
{
    Q_OBJECT

private slots:
    void fromQt_data()
    {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("keypad");
        QTest::addColumn<uint>("code");
        QTest::newRow("letter") << int(Qt::Key_A) << false << 0x41u;
        QTest::newRow("last letter") << int(Qt::Key_Z) << false << 0x5Au;
        QTest::newRow("digit") << int(Qt::Key_5) << false << 0x35u;
        QTest::newRow("shifted digit") << int(Qt::Key_Exclam) << false << 0x31u;
        QTest::newRow("shifted 0") << int(Qt::Key_ParenRight) << false << 0x30u;
        QTest::newRow("keypad digit") << int(Qt::Key_1) << true << 0x61u;
        QTest::newRow("keypad plus") << int(Qt::Key_Plus) << true << 0x6Bu;
        QTest::newRow("plus on the = key") << int(Qt::Key_Plus) << false << 0xBBu;
        QTest::newRow("keypad home is home") << int(Qt::Key_Home) << true << 0x24u;
        QTest::newRow("F1") << int(Qt::Key_F1) << false << 0x70u;
        QTest::newRow("F24") << int(Qt::Key_F24) << false << 0x87u;
        QTest::newRow("page up") << int(Qt::Key_PageUp) << false << 0x21u;
        QTest::newRow("delete") << int(Qt::Key_Delete) << false << 0x2Eu;
        QTest::newRow("left windows") << int(Qt::Key_Super_L) << false << 0x5Bu;
        QTest::newRow("right windows") << int(Qt::Key_Super_R) << false << 0x5Cu;
        QTest::newRow("applications") << int(Qt::Key_Menu) << false << 0x5Du;
        QTest::newRow("semicolon") << int(Qt::Key_Semicolon) << false << 0xBAu;
        QTest::newRow("colon") << int(Qt::Key_Colon) << false << 0xBAu;
        QTest::newRow("grave") << int(Qt::Key_QuoteLeft) << false << 0xC0u;
        QTest::newRow("backslash") << int(Qt::Key_Backslash) << false << 0xDCu;
        QTest::newRow("apostrophe") << int(Qt::Key_Apostrophe) << false << 0xDEu;
        QTest::newRow("control") << int(Qt::Key_Control) << false << 0x11u;
        QTest::newRow("volume up") << int(Qt::Key_VolumeUp) << false << 0xAFu;
        QTest::newRow("no code") << int(Qt::Key_Launch0) << false << 0u;
    }

    void fromQt()
    {
        QFETCH(int, key);
        QFETCH(bool, keypad);
        QFETCH(uint, code);
        QCOMPARE(uint(VirtualKeys::fromQt(key, keypad)), code);
    }

    void name_data()
    {
        QTest::addColumn<uint>("code");
        QTest::addColumn<QString>("name");
        QTest::newRow("letter") << 0x41u << "A";
        QTest::newRow("digit") << 0x35u << "5";
        QTest::newRow("F5") << 0x74u << "F5";
        QTest::newRow("F24") << 0x87u << "F24";
        QTest::newRow("keypad 1") << 0x61u << "Num 1";
        QTest::newRow("keypad plus") << 0x6Bu << "Num +";
        QTest::newRow("space") << 0x20u << "Space";
        QTest::newRow("escape") << 0x1Bu << "Esc";
        QTest::newRow("enter") << 0x0Du << "Enter";
        QTest::newRow("backspace") << 0x08u << "Backspace";
        QTest::newRow("semicolon") << 0xBAu << ";";
        QTest::newRow("right windows") << 0x5Cu << "Right Windows";
        // The navigation keys by their own names, not the keypad's.
        QTest::newRow("page up") << 0x21u << "Page Up";
        QTest::newRow("insert") << 0x2Du << "Insert";
        QTest::newRow("delete") << 0x2Eu << "Delete";
        QTest::newRow("home") << 0x24u << "Home";
        QTest::newRow("end") << 0x23u << "End";
        QTest::newRow("left") << 0x25u << "Left";
        QTest::newRow("up") << 0x26u << "Up";
        QTest::newRow("unnamed") << 0xFFu << "";
    }

    void name()
    {
        QFETCH(uint, code);
        QFETCH(QString, name);
        QCOMPARE(VirtualKeys::name(code), name);
    }
};

QTEST_GUILESS_MAIN(TstVirtualKeys)
#include "tst_virtualkeys.moc"
