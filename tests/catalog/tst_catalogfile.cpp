#include "ansicodec.h"
#include "catalogfile.h"
#include "quotes.h"
#include "textnumber.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString writeFile(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write fixture %s", qPrintable(path));
    return path;
}

QStringList names(const Catalog &catalog)
{
    QStringList out;
    for (qsizetype i = 1; i < catalog.categories.size(); ++i)
        out.append(catalog.categories.at(i).name);
    return out;
}

QStringList titles(const CatalogCategory &category)
{
    QStringList out;
    for (qsizetype j = 1; j < category.entries.size(); ++j)
        out.append(category.entries.at(j).title);
    return out;
}
} // namespace

class TestCatalogFile : public QObject
{
    Q_OBJECT

private slots:
    void getAttrValue_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("expected");
        QTest::newRow("plain") << Q(" id='12' title='静夜思'") << "title" << "静夜思";
        QTest::newRow("first attribute") << Q(" id='12' title='x'") << "id" << "12";
        QTest::newRow("at the start") << Q("id='7'") << "id" << "7";
        QTest::newRow("ztid before id") << Q(" ztid='5' id='12'") << "id" << "12";
        QTest::newRow("ztid alone is no id") << Q(" ztid='5' title='x'") << "id" << "";
        QTest::newRow("ztid itself") << Q(" ztid='5' id='12'") << "ztid" << "5";
        QTest::newRow("longer name ending in name") << Q(" filename='a.swf' name='唐诗'")
                                                    << "name" << "唐诗";
        QTest::newRow("after tab") << "\tid=\"3\"" << "id" << "3";
        QTest::newRow("after line break") << "\r\nid=\"4\"" << "id" << "4";
        QTest::newRow("missing") << Q(" title='x'") << "litpic" << "";
        QTest::newRow("empty value") << Q(" onclick='' id='1'") << "onclick" << "";
        QTest::newRow("case matters") << Q(" Title='x'") << "title" << "";
        QTest::newRow("no closing quote") << Q(" title='open") << "title" << "";
        QTest::newRow("name without =") << Q(" title 'x' id='1'") << "title" << "";
        QTest::newRow("blank before quote shifts") << Q(" title= 'abc' id='1'") << "title"
                                                   << "\"abc";
        QTest::newRow("value with dash") << Q(" title='水浒传-第一回'") << "title"
                                         << "水浒传-第一回";
        QTest::newRow("empty source") << "" << "id" << "";
    }

    void getAttrValue()
    {
        QFETCH(QString, source);
        QFETCH(QString, name);
        QFETCH(QString, expected);
        QCOMPARE(SjCL::GetAttrValue(source, name), expected);
    }

    void readsEveryFieldInOrder()
    {
        const QString text = Q("<?xml version='1.0' encoding='gb2312'?><root>\r\n"
                               "<category name='四大名著'>\r\n"
                               "<data id='12' title='西游记-第一回' litpic='/covers/12.png' "
                               "keyboard='西游 吴承恩' onclick='go(1);' filesize='1.2MB' ztid='3' "
                               "flash_fangfa='普通话朗读' flashsay='灵根育孕源流出。' "
                               "flashurl='http://h/flash/12.swf' pageurl='http://h/p/12.html' />"
                               "\r\n</category>\r\n</root>\r\n");
        const Catalog catalog = SjCL::ParseCatalog(text);
        QCOMPARE(catalog.categoryCount(), 1);
        const CatalogCategory &category = catalog.categories.at(1);
        QCOMPARE(category.entries.size(), 2);
        const CatalogEntry &empty = category.entries.at(0);
        QCOMPARE(empty.id, 0);
        QVERIFY(empty.title.isEmpty());
        const CatalogEntry &e = category.entries.at(1);
        QCOMPARE(e.id, 12);
        QCOMPARE(e.fid, 0);
        QCOMPARE(e.title, QStringLiteral("西游记-第一回"));
        QCOMPARE(e.litpic, QStringLiteral("/covers/12.png"));
        QCOMPARE(e.keyboard, QStringLiteral("西游 吴承恩"));
        QCOMPARE(e.onclick, QStringLiteral("go(1);"));
        QCOMPARE(e.filesize, QStringLiteral("1.2MB"));
        QCOMPARE(e.ztid, QStringLiteral("3"));
        QCOMPARE(e.flash_fangfa, QStringLiteral("普通话朗读"));
        QCOMPARE(e.flashsay, QStringLiteral("灵根育孕源流出。"));
        QCOMPARE(e.flashurl, QStringLiteral("http://h/flash/12.swf"));
        QCOMPARE(e.pageurl, QStringLiteral("http://h/p/12.html"));
    }

    void categoriesAndEntries_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("categories");
        QTest::addColumn<QList<QStringList>>("entries");
        QTest::newRow("file order")
            << Q("<category name='B'><data title='b1'/><data title='b2'/></category><category name='A'><data title='a1'/></category>")
            << QStringList{"B", "A"} << QList<QStringList>{{"b1", "b2"}, {"a1"}};
        QTest::newRow("empty category")
            << Q("<category name='空'></category><category name='满'><data title='x'/></category>")
            << QStringList{"空", "满"} << QList<QStringList>{{}, {"x"}};
        QTest::newRow("text before the first category is ignored")
            << Q("<data title='stray'/><root><category name='C'><data title='c'/></category>")
            << QStringList{"C"} << QList<QStringList>{{"c"}};
        QTest::newRow("duplicate names stay two")
            << Q("<category name='唐诗'><data title='1'/></category><category name='唐诗'><data title='2'/></category>")
            << QStringList{"唐诗", "唐诗"} << QList<QStringList>{{"1"}, {"2"}};
        QTest::newRow("no category") << "<root>garbage</root>" << QStringList{}
                                     << QList<QStringList>{};
        QTest::newRow("empty text") << "" << QStringList{} << QList<QStringList>{};
        QTest::newRow("truncated in a tag")
            << Q("<category name='T'><data title='whole'/><data title='cut")
            << QStringList{"T"} << QList<QStringList>{{"whole", ""}};
        QTest::newRow("category without name")
            << Q("<category><data title='x'/></category>") << QStringList{""}
            << QList<QStringList>{{"x"}};
    }

    void categoriesAndEntries()
    {
        QFETCH(QString, text);
        QFETCH(QStringList, categories);
        QFETCH(QList<QStringList>, entries);
        const Catalog catalog = SjCL::ParseCatalog(text);
        QCOMPARE(names(catalog), categories);
        QCOMPARE(catalog.categories.size(), categories.size() + 1);
        for (qsizetype i = 0; i < entries.size(); ++i)
            QCOMPARE(titles(catalog.categories.at(i + 1)), entries.at(i));
    }

    void ids_data()
    {
        QTest::addColumn<QString>("id");
        QTest::addColumn<int>("expected");
        QTest::newRow("number") << "12" << 12;
        QTest::newRow("out of range") << "40000" << 0;
        QTest::newRow("letters") << "abc" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("half to even") << "12.5" << 12;
        QTest::newRow("negative") << "-3" << -3;
    }

    void ids()
    {
        QFETCH(QString, id);
        QFETCH(int, expected);
        const Catalog catalog = SjCL::ParseCatalog(
            Q("<category name='c'><data ztid='9' id='%1' title='t'/></category>")
                .arg(id));
        QCOMPARE(int(catalog.categories.at(1).entries.at(1).id), expected);
    }

    void readAnsiFile()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        // "中文" written as GBK bytes by hand, not through the converter under test.
        QCOMPARE(SjCL::ReadAnsiFile(writeFile(dir, "gbk.txt", QByteArray::fromHex("d6d0cec4"))),
                 QStringLiteral("中文"));
        QCOMPARE(SjCL::ReadAnsiFile(writeFile(dir, "empty.txt", QByteArray())), QString());
        QCOMPARE(SjCL::ReadAnsiFile(dir.filePath("missing.txt")), QString());
        QCOMPARE(SjCL::ReadAnsiFile(dir.path()), QString()); // a folder cannot be read
    }

    void entriesAgreeWithGetAttrValueOnMessyTags()
    {
        // The loader reads a tag in one pass; whatever the tag looks like, each
        // field must be what GetAttrValue finds for it.
        const QStringList pieces{" ",     "\t",   "=",        "\"",     "x",       "id",
                                 "ztid",  "title", "litpic",   "pageurl", "flashurl", "12",
                                 "name",  "\r\n", "onclick", "keyboard", "\"\"", "-"};
        quint32 state = 2024;
        const auto next = [&state](int bound) {
            state = state * 1664525u + 1013904223u;
            return int((state >> 8) % quint32(bound));
        };
        for (int round = 0; round < 3000; ++round) {
            QString tag;
            const int length = 1 + next(40);
            for (int i = 0; i < length; ++i)
                tag += pieces.at(next(int(pieces.size())));
            const Catalog catalog =
                SjCL::ParseCatalog(QStringLiteral("<category name=\"c\"><data") + tag);
            const CatalogEntry &e = catalog.categories.at(1).entries.at(1);
            const auto expect = [&tag](const char *name) {
                return SjCL::GetAttrValue(tag, QString::fromLatin1(name));
            };
            QCOMPARE(e.title, expect("title"));
            QCOMPARE(e.litpic, expect("litpic"));
            QCOMPARE(e.keyboard, expect("keyboard"));
            QCOMPARE(e.onclick, expect("onclick"));
            QCOMPARE(e.ztid, expect("ztid"));
            QCOMPARE(e.flashurl, expect("flashurl"));
            QCOMPARE(e.pageurl, expect("pageurl"));
            QCOMPARE(int(e.id), int(TextNumber::toInt16(expect("id")).value_or(0)));
        }
    }

    void binaryGarbageYieldsWhatCanBeRead()
    {
        // Random bytes around one readable category: no crash, no hang.
        QByteArray bytes;
        quint32 state = 12345;
        for (int i = 0; i < 200000; ++i) {
            state = state * 1103515245u + 12345u;
            bytes.append(char(state >> 24));
        }
        bytes.insert(100000, Ansi::encode(u"<category name=\"残\"><data id=\"5\" title=\"存\"/>"));
        const Catalog catalog = SjCL::ParseCatalog(Ansi::decode(bytes));
        QVERIFY(names(catalog).contains(QStringLiteral("残")));
    }
};

QTEST_APPLESS_MAIN(TestCatalogFile)
#include "tst_catalogfile.moc"
