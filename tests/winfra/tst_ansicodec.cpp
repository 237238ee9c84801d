#include "ansicodec.h"

#include <QTest>

class TestAnsiCodec : public QObject
{
    Q_OBJECT

private slots:
    void roundTripsChinese()
    {
        const QString text = QStringLiteral("三国演义-第一回 宴桃园豪杰三结义");
        const QByteArray bytes = Ansi::encode(text);
        // Every CJK character takes two bytes in code page 936.
        QCOMPARE(bytes.size(), qsizetype(text.size() * 2 - 2)); // '-' and ' ' take one
        QCOMPARE(Ansi::decode(bytes), text);
    }

    void knownBytes()
    {
        // "中文" in GBK is D6 D0 CE C4.
        QCOMPARE(Ansi::encode(u"中文"), QByteArray::fromHex("d6d0cec4"));
        QCOMPARE(Ansi::decode(QByteArray::fromHex("d6d0cec4")), QStringLiteral("中文"));
    }

    void damagedBytesStillDecode()
    {
        // A lead byte at the very end and an invalid pair: the rest survives.
        const QString decoded = Ansi::decode(QByteArray("ab") + QByteArray::fromHex("d6d0ff") );
        QVERIFY(decoded.startsWith(QStringLiteral("ab中")));
        QVERIFY(decoded.size() >= 4);
    }

    void truncate_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("maxBytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("fits") << "ab中" << 4 << "ab中";
        QTest::newRow("would split a character") << "ab中" << 3 << "ab";
        QTest::newRow("cut between characters") << "中文字" << 4 << "中文";
        QTest::newRow("ascii") << "abcdef" << 3 << "abc";
        QTest::newRow("zero") << "中" << 0 << "";
    }

    void truncate()
    {
        QFETCH(QString, text);
        QFETCH(int, maxBytes);
        QFETCH(QString, expected);
        const QByteArray cut = Ansi::truncate(Ansi::encode(text), maxBytes);
        QVERIFY(cut.size() <= maxBytes);
        QCOMPARE(Ansi::decode(cut), expected);
    }
};

QTEST_APPLESS_MAIN(TestAnsiCodec)
#include "tst_ansicodec.moc"
