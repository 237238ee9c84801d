#include "textnumber.h"

#include <QTest>

class TestTextNumber : public QObject
{
    Q_OBJECT

private slots:
    void toInt16_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("plain") << "12" << true << 12;
        QTest::newRow("blanks around") << " 12 " << true << 12;
        QTest::newRow("negative") << "-7" << true << -7;
        QTest::newRow("plus sign") << "+7" << true << 7;
        QTest::newRow("trailing text") << "12abc" << true << 12;
        QTest::newRow("half down to even") << "2.5" << true << 2;
        QTest::newRow("half up to even") << "3.5" << true << 4;
        QTest::newRow("negative half") << "-2.5" << true << -2;
        QTest::newRow("above half") << "2.51" << true << 3;
        QTest::newRow("leading dot") << ".6" << true << 1;
        QTest::newRow("exponent") << "1e2" << true << 100;
        QTest::newRow("bare exponent letter") << "2e" << true << 2;
        QTest::newRow("upper limit") << "32767" << true << 32767;
        QTest::newRow("lower limit") << "-32768" << true << -32768;
        QTest::newRow("rounds past limit") << "32767.5" << false << 0;
        QTest::newRow("too large") << "40000" << false << 0;
        QTest::newRow("too small") << "-32769" << false << 0;
        QTest::newRow("letters") << "abc" << false << 0;
        QTest::newRow("empty") << "" << false << 0;
        QTest::newRow("sign only") << "-" << false << 0;
        QTest::newRow("dot only") << "." << false << 0;
        QTest::newRow("full-width digits are not digits") << "１２" << false << 0;
    }

    void toInt16()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const auto result = TextNumber::toInt16(text);
        QCOMPARE(result.has_value(), valid);
        if (valid)
            QCOMPARE(int(*result), value);
    }

    void toInt32_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("value");
        QTest::newRow("beyond 16 bits") << "40000" << 40000;
        QTest::newRow("version with blanks") << " 12 " << 12;
        QTest::newRow("1.5 rounds to 2") << "1.5" << 2;
        QTest::newRow("0.5 rounds to 0") << "0.5" << 0;
        QTest::newRow("too large gives 0") << "3000000000" << 0;
        QTest::newRow("no number gives 0") << "v2" << 0;
        QTest::newRow("upper limit") << "2147483647" << 2147483647;
    }

    void toInt32()
    {
        QFETCH(QString, text);
        QFETCH(int, value);
        QCOMPARE(TextNumber::toInt32OrZero(text), value);
    }

    void leadingKeepsFraction()
    {
        QCOMPARE(TextNumber::leading(u" 1.25kg").value_or(-1), 1.25);
        QVERIFY(!TextNumber::leading(u"kg1").has_value());
    }
};

QTEST_APPLESS_MAIN(TestTextNumber)
#include "tst_textnumber.moc"
