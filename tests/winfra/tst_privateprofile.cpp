#include "ansicodec.h"
#include "privateprofile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <csignal>
#include <sys/resource.h>

using OptionalText = std::optional<QString>;
Q_DECLARE_METATYPE(OptionalText)

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private slots:
    void init();

    void readString_data();
    void readString();
    void valueBuffer_data();
    void valueBuffer();
    void listingBuffer();
    void emptyListing_data();
    void emptyListing();
    void listingTruncated_data();
    void listingTruncated();
    void keysAndSections();

    void write_data();
    void write();
    void chineseValueIsStoredAsGbk();
    void writeFailsWhenFolderCannotExist();
    void failedWriteKeepsOldFile();

private:
    QString path(const QString &name = QStringLiteral("Config.ini")) const
    {
        return m_dir->filePath(name);
    }
    void writeFile(const QByteArray &bytes, const QString &name = QStringLiteral("Config.ini"))
    {
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    QByteArray readFile() const
    {
        QFile file(path());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    std::optional<QTemporaryDir> m_dir;
};

void TestPrivateProfile::init()
{
    m_dir.emplace();
    QVERIFY(m_dir->isValid());
}

// One file per row; "DEF" shows that the default came back.
void TestPrivateProfile::readString_data()
{
    QTest::addColumn<OptionalText>("text"); // nullopt: no file at all
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const OptionalText &text, const QString &section,
                        const QString &key, const QString &expected) {
        QTest::newRow(name) << text << section << key << expected;
    };

    const QString server = QStringLiteral("[Server]\r\nBaseUrl=http://a/?b=c\r\n");
    row("exact names", server, "Server", "BaseUrl", "http://a/?b=c");
    row("names in other case", server, "sERVER", "BASEURL", "http://a/?b=c");
    row("names with blanks in the query", server, " Server\t", "\tBaseUrl ", "http://a/?b=c");
    row("blanks in the file", "  [ \tServer  ]\r\n \tBaseUrl \t=  \t two  words \t\r\n", "Server",
        "BaseUrl", "two  words");
    row("double quotes", "[S]\r\nK=\"  padded  \"\r\n", "S", "K", "  padded  ");
    row("single quotes", "[S]\r\nK='x'\r\n", "S", "K", "x");
    row("mismatched quotes stay", "[S]\r\nK=\"x'\r\n", "S", "K", "\"x'");
    row("lone quote stays", "[S]\r\nK=\"\r\n", "S", "K", "\"");
    row("empty value is not the default", "[S]\r\nK=\r\n", "S", "K", "");
    row("chinese names and value", QStringLiteral("[设置]\r\n路径 = 有声 小说\r\n"),
        QStringLiteral("设置"), QStringLiteral("路径"), QStringLiteral("有声 小说"));
    // 廬 is 8F 5D in GBK: its second byte is ']', before and after the real one.
    row("gbk trail byte equal to ']'", QStringLiteral("[廬山] ; 匡廬\r\n名=匡廬\r\n"),
        QStringLiteral("廬山"), QStringLiteral("名"), QStringLiteral("匡廬"));
    row("last ']' closes the name", "[a]b] tail\r\nK=1\r\n", "a]b", "K", "1");
    row("non-ascii case", QStringLiteral("[Ω]\r\nＫＥＹ=1\r\n"), QStringLiteral("ω"),
        QStringLiteral("ｋｅｙ"), "1");
    row("comment is not a key", "[S]\r\n  ;K=commented\r\n", "S", ";K", "DEF");
    row("line without '=' is not a key", "[S]\r\nK\r\nK=second\r\n", "S", "K", "second");
    row("duplicate key, first wins", "[S]\r\nK=first\r\nk=second\r\n", "S", "K", "first");
    row("duplicate section, first wins", "[S]\r\nK=first\r\n[s]\r\nK=second\r\n", "S", "K",
        "first");
    row("key of another section", "[A]\r\nK=1\r\n[B]\r\nX=2\r\n", "B", "K", "DEF");
    row("key before any section", "K=1\r\n[S]\r\n", "S", "K", "DEF");
    row("missing key", server, "Server", "Other", "DEF");
    row("missing section", server, "Other", "BaseUrl", "DEF");
    row("missing file", std::nullopt, "Server", "BaseUrl", "DEF");
    row("LF line breaks", "[S]\nA=1\nK=v\n", "S", "K", "v");
    row("CRLF, no final line break", "[S]\r\nA=1\r\nK=v", "S", "K", "v");
}

void TestPrivateProfile::readString()
{
    QFETCH(OptionalText, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, expected);

    if (text)
        writeFile(Ansi::encode(*text));
    QCOMPARE(PrivateProfile::readString(path(), section, key, QStringLiteral("DEF")), expected);

    // The Windows call must agree, in GBK bytes.
    QByteArray buffer(256, '*');
    const int copied = PrivateProfile::getPrivateProfileString(section, key, QStringLiteral("DEF"),
                                                               buffer, path());
    QCOMPARE(buffer.left(copied), Ansi::encode(expected));
    QCOMPARE(buffer.at(copied), '\0');
}

void TestPrivateProfile::valueBuffer_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("defaultValue");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");
    const auto row = [](const char *name, const QString &key, const QString &defaultValue, int size,
                        const QString &expected) {
        QTest::newRow(name) << key << defaultValue << size << expected;
    };

    // The value "ab中文" is 6 bytes in GBK: a, b, D6 D0, CE C4.
    row("fits", "K", "", 7, QStringLiteral("ab中文"));
    row("cut before a whole character", "K", "", 5, QStringLiteral("ab中"));
    row("cut never splits a character", "K", "", 6, QStringLiteral("ab中"));
    row("cut before the first character", "K", "", 4, "ab");
    row("one byte holds only the NUL", "K", "", 1, "");
    row("default", "Missing", QStringLiteral("默认"), 16, QStringLiteral("默认"));
    row("default cut", "Missing", QStringLiteral("默认"), 4, QStringLiteral("默"));
    row("default loses trailing spaces", "Missing", " x  ", 16, " x");
}

void TestPrivateProfile::valueBuffer()
{
    QFETCH(QString, key);
    QFETCH(QString, defaultValue);
    QFETCH(int, size);
    QFETCH(QString, expected);

    writeFile(Ansi::encode(QStringLiteral("[S]\r\nK=ab中文\r\n")));
    QByteArray buffer(size, '*');
    const int copied = PrivateProfile::getPrivateProfileString(QStringLiteral("S"), key,
                                                               defaultValue, buffer, path());

    const QByteArray bytes = Ansi::encode(expected);
    QCOMPARE(copied, bytes.size());
    QCOMPARE(buffer.size(), size);
    QCOMPARE(buffer.left(copied), bytes);
    QCOMPARE(buffer.at(copied), '\0');
    QCOMPARE(buffer.mid(copied + 1), QByteArray(size - copied - 1, '*'));
}

void TestPrivateProfile::listingBuffer()
{
    writeFile(Ansi::encode(QStringLiteral("; top\r\n[S]\r\nk1=1\r\n;c=2\r\nnokey\r\n 键 =\r\n"
                                          "[]\r\nx=1\r\n[T]\r\nk3=3\r\n")));

    QByteArray keyBuffer(16, '*');
    const int keyLength = PrivateProfile::getPrivateProfileString(QStringLiteral("s"), std::nullopt,
                                                                  QString(), keyBuffer, path());
    const QByteArray keyList =
        "k1" + QByteArray(1, '\0') + Ansi::encode(QStringLiteral("键")) + QByteArray(2, '\0');
    QCOMPARE(keyLength, keyList.size() - 1);
    QCOMPARE(keyBuffer.left(keyList.size()), keyList);
    QCOMPARE(keyBuffer.mid(keyList.size()), QByteArray(16 - keyList.size(), '*'));

    QByteArray sectionBuffer(16, '*');
    const int sectionLength = PrivateProfile::getPrivateProfileString(
        std::nullopt, QStringLiteral("ignored"), QString(), sectionBuffer, path());
    const QByteArray sectionList("S\0T\0\0", 5);
    QCOMPARE(sectionLength, 4);
    QCOMPARE(sectionBuffer.left(5), sectionList);
    QCOMPARE(sectionBuffer.mid(5), QByteArray(11, '*'));
}

// Callers split the buffer at NULs and count the pieces: an empty listing must be one
// NUL, with the caller's bytes after it untouched.
void TestPrivateProfile::emptyListing_data()
{
    QTest::addColumn<OptionalText>("text");    // nullopt: no file at all
    QTest::addColumn<OptionalText>("section"); // nullopt: list the sections
    const auto row = [](const char *name, const OptionalText &text, const OptionalText &section) {
        QTest::newRow(name) << text << section;
    };

    const QString noKeys = QStringLiteral("[S]\r\n;only a comment\r\nno key\r\n[T]\r\nK=1\r\n");
    row("section without keys", noKeys, "S");
    row("missing section", noKeys, "U");
    row("missing file, keys", std::nullopt, "S");
    row("missing file, sections", std::nullopt, std::nullopt);
    row("file without sections", "K=1\r\n", std::nullopt);
}

void TestPrivateProfile::emptyListing()
{
    QFETCH(OptionalText, text);
    QFETCH(OptionalText, section);

    if (text)
        writeFile(Ansi::encode(*text));
    QByteArray buffer(8, '*');
    QCOMPARE(
        PrivateProfile::getPrivateProfileString(section, std::nullopt, QString(), buffer, path()),
        0);
    QCOMPARE(buffer, QByteArray(1, '\0') + QByteArray(7, '*'));
}

void TestPrivateProfile::listingTruncated_data()
{
    QTest::addColumn<QString>("firstKey");
    QTest::addColumn<int>("size");
    QTest::addColumn<QByteArray>("expected"); // the whole buffer
    QTest::addColumn<int>("result");
    const auto row = [](const char *name, const QString &firstKey, const QByteArray &expected,
                        int result) {
        QTest::newRow(name) << firstKey << int(expected.size()) << expected << result;
    };

    // The full listing is "k1\0k2\0\0": 7 bytes.
    row("exact fit", "k1", QByteArray("k1\0k2\0\0", 7), 6);
    row("last name cut", "k1", QByteArray("k1\0k\0\0", 6), 4);
    row("cut after a whole name", "k1", QByteArray("k1\0\0\0", 5), 3);
    row("first name cut", "k1", QByteArray("k\0\0", 3), 1);
    row("two bytes", "k1", QByteArray("\0\0", 2), 0);
    row("one byte", "k1", QByteArray("\0", 1), 0);
    // "中文" is D6 D0 CE C4: three bytes of room must not keep half of 文.
    row("cut never splits a character", QStringLiteral("中文"), QByteArray("\xD6\xD0\0\0\0", 5), 3);
}

void TestPrivateProfile::listingTruncated()
{
    QFETCH(QString, firstKey);
    QFETCH(int, size);
    QFETCH(QByteArray, expected);
    QFETCH(int, result);

    writeFile(Ansi::encode(QStringLiteral("[S]\r\n%1=1\r\nk2=2\r\n").arg(firstKey)));
    QByteArray buffer(size, '*');
    QCOMPARE(PrivateProfile::getPrivateProfileString(QStringLiteral("S"), std::nullopt, QString(),
                                                     buffer, path()),
             result);
    QCOMPARE(buffer, expected);
}

void TestPrivateProfile::keysAndSections()
{
    writeFile(Ansi::encode(QStringLiteral("[收藏]\r\n书名=a\r\n;注释=b\r\n作者 = c\r\n"
                                          "[ 播放 ]\r\n音量=50\r\n[收藏]\r\n重复=d\r\n")));

    QCOMPARE(PrivateProfile::keys(path(), QStringLiteral("收藏")),
             QStringList({QStringLiteral("书名"), QStringLiteral("作者")}));
    QCOMPARE(PrivateProfile::sections(path()),
             QStringList({QStringLiteral("收藏"), QStringLiteral("播放"), QStringLiteral("收藏")}));
    QVERIFY(PrivateProfile::keys(path(), QStringLiteral("无")).isEmpty());
    QVERIFY(PrivateProfile::sections(path(QStringLiteral("missing.ini"))).isEmpty());
}

// Each row: the file before (nullopt: none), one write, the exact file after.
void TestPrivateProfile::write_data()
{
    QTest::addColumn<OptionalText>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<OptionalText>("key");
    QTest::addColumn<OptionalText>("value");
    QTest::addColumn<OptionalText>("after"); // nullopt: still no file
    const auto row = [](const char *name, const OptionalText &before, const QString &section,
                        const OptionalText &key, const OptionalText &value,
                        const OptionalText &after) {
        QTest::newRow(name) << before << section << key << value << after;
    };

    row("replace in place",
        "; top comment\r\n[A]\r\nx=1\r\n\r\n[S]\r\n; note\r\nKey = \"old\"  \r\nNext=2\n[B]\r\ny=3",
        "s", "KEY", "new",
        "; top comment\r\n[A]\r\nx=1\r\n\r\n[S]\r\n; note\r\nKey = new\r\nNext=2\n[B]\r\ny=3");
    row("replace the last line", "[S]\r\nK=old", "S", "K", "  new", "[S]\r\nK=new");
    row("replace with chinese", QStringLiteral("[设置]\r\n路径=旧\r\n"), QStringLiteral("设置"),
        QStringLiteral("路径"), QStringLiteral("新的路径"),
        QStringLiteral("[设置]\r\n路径=新的路径\r\n"));
    row("same value leaves the file", "[S]\r\nK = v  \r\n", "S", "k", "v  ", "[S]\r\nK = v  \r\n");
    row("new key after the last key", "[S]\r\na=1\r\nb=2\r\n\r\n; end of S\r\n[T]\r\nc=3\r\n", "S",
        "new", "v", "[S]\r\na=1\r\nb=2\r\nnew=v\r\n\r\n; end of S\r\n[T]\r\nc=3\r\n");
    row("new key in a section without keys", "[S]\r\n; nothing yet\r\n[T]\r\n", "S", "k", "v",
        "[S]\r\nk=v\r\n; nothing yet\r\n[T]\r\n");
    row("new key after an unterminated last line", "[S]\r\na=1", "S", "k", "v",
        "[S]\r\na=1\r\nk=v\r\n");
    row("new key in an LF file", "[S]\na=1\n", "S", "k", "v", "[S]\na=1\nk=v\n");
    row("new section at the end", "[A]\r\nx=1\r\n", " B ", "k", "v",
        "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");
    row("new section after an unterminated line", "[A]\r\nx=1", "B", "k", "v",
        "[A]\r\nx=1\r\n[B]\r\nk=v\r\n");
    row("missing file is created", std::nullopt, QStringLiteral("服务器"), "BaseUrl",
        "http://127.0.0.1:8765", QStringLiteral("[服务器]\r\nBaseUrl=http://127.0.0.1:8765\r\n"));
    row("delete key", "[S]\r\na=1\r\nKey=2\r\nb=3\r\n[T]\r\nKey=4\r\n", "S", "key", std::nullopt,
        "[S]\r\na=1\r\nb=3\r\n[T]\r\nKey=4\r\n");
    row("delete missing key", "[S]\r\na=1\r\n", "S", "k", std::nullopt, "[S]\r\na=1\r\n");
    row("delete section", "[A]\r\nx=1\r\n[S]\r\n;c\r\nk=1\r\n\r\n[B]\r\ny=2\r\n", "s", std::nullopt,
        std::nullopt, "[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    row("delete last section", "[A]\r\nx=1\r\n[S]\r\nk=1", "S", std::nullopt, std::nullopt,
        "[A]\r\nx=1\r\n");
    row("delete in missing file creates nothing", std::nullopt, "S", "k", std::nullopt,
        std::nullopt);
}

void TestPrivateProfile::write()
{
    QFETCH(OptionalText, before);
    QFETCH(QString, section);
    QFETCH(OptionalText, key);
    QFETCH(OptionalText, value);
    QFETCH(OptionalText, after);

    if (before)
        writeFile(Ansi::encode(*before));
    QVERIFY(PrivateProfile::writeString(path(), section, key, value));

    QCOMPARE(QFile::exists(path()), after.has_value());
    if (after)
        QCOMPARE(readFile(), Ansi::encode(*after));
    // The temporary file of the atomic write must not stay behind.
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden).size(), after ? 1 : 0);
}

void TestPrivateProfile::chineseValueIsStoredAsGbk()
{
    QVERIFY(PrivateProfile::writeString(path(), QStringLiteral("书"), QStringLiteral("名"),
                                        QStringLiteral("中文")));
    // Checked against the code page itself, not against our own encoder:
    // 书 CA E9, 名 C3 FB, 中 D6 D0, 文 CE C4.
    QCOMPARE(readFile(), QByteArray("[\xCA\xE9]\r\n\xC3\xFB=\xD6\xD0\xCE\xC4\r\n"));
    QCOMPARE(PrivateProfile::readString(path(), QStringLiteral("书"), QStringLiteral("名")),
             QStringLiteral("中文"));
}

void TestPrivateProfile::writeFailsWhenFolderCannotExist()
{
    // Tests run as root, for whom a read-only folder is no obstacle; a regular file
    // where the folder should be is.
    writeFile("not a folder", QStringLiteral("blocker"));
    const QString target = path(QStringLiteral("blocker/Config.ini"));

    QVERIFY(!PrivateProfile::writeString(target, QStringLiteral("S"), QStringLiteral("k"),
                                         QStringLiteral("v")));
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("blocker")));
    QFile blocker(path(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::ReadOnly));
    QCOMPARE(blocker.readAll(), QByteArray("not a folder"));
}

void TestPrivateProfile::failedWriteKeepsOldFile()
{
    // A file size limit makes the write fail halfway, as a full disk would, even for
    // root. The signal it raises is ignored so that write() reports the error instead.
    const QByteArray old("[S]\r\nk=old\r\n");
    writeFile(old);

    rlimit saved{};
    QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = saved;
    limited.rlim_cur = 1024;
    QCOMPARE(setrlimit(RLIMIT_FSIZE, &limited), 0);

    const bool written = PrivateProfile::writeString(path(), QStringLiteral("S"),
                                                     QStringLiteral("k"), QString(4096, u'x'));

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    QVERIFY(!written);
    QCOMPARE(readFile(), old);
    QCOMPARE(QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden),
             QStringList(QStringLiteral("Config.ini")));
}

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
