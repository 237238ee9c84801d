// Signatures made at run time by the minisign program itself, then checked
// whole and with one part changed at a time.
#include "minisign.h"

#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QtEndian>

#include <memory>

using Minisign::Status;

namespace {
const QString kComment = QStringLiteral("Aurilo 1.0.2");

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// Line `index` of a text whose lines end in LF.
QByteArray lineOf(const QByteArray &text, int index)
{
    return text.split('\n').at(index);
}

QByteArray withLine(const QByteArray &text, int index, const QByteArray &line)
{
    QList<QByteArray> lines = text.split('\n');
    lines[index] = line;
    return lines.join('\n');
}

// A base64 line whose decoded bytes from `pos` on are replaced by `bytes`.
QByteArray patched(const QByteArray &base64, int pos, const QByteArray &bytes)
{
    return QByteArray::fromBase64(base64).replace(pos, bytes.size(), bytes).toBase64();
}

QByteArray flipped(const QByteArray &base64, int pos)
{
    const QByteArray decoded = QByteArray::fromBase64(base64);
    return patched(base64, pos, QByteArray(1, char(decoded.at(pos) ^ 0x01)));
}

char orderChar(std::partial_ordering order)
{
    if (order < 0)
        return '<';
    if (order > 0)
        return '>';
    if (order == 0)
        return '=';
    return '?';
}
} // namespace

class TestMinisign : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    QByteArray m_pubA;      // the .pub file of the signing key
    QByteArray m_pubB;      // another key's
    QByteArray m_signature; // the .minisig of update.bin, prehashed
    QByteArray m_legacy;    // the same in the legacy form

    QString path(const QString &name) const { return m_dir->filePath(name); }

    bool minisign(const QStringList &arguments)
    {
        QProcess process;
        process.setWorkingDirectory(m_dir->path());
        process.start(QStringLiteral("minisign"), arguments);
        process.closeWriteChannel();
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
            process.exitCode() != 0) {
            qWarning() << "minisign" << arguments << "failed:" << process.readAllStandardError();
            return false;
        }
        return true;
    }

private slots:
    void initTestCase()
    {
        if (QStandardPaths::findExecutable(QStringLiteral("minisign")).isEmpty())
            QFAIL("minisign is not installed (scripts/setup.sh installs it)");
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());

        // More than one read chunk; the changed copy differs in its last byte.
        QByteArray content(3 * 1024 * 1024 + 17, Qt::Uninitialized);
        QRandomGenerator random(7);
        for (char &c : content)
            c = char(random.bounded(256));
        QVERIFY(writeAll(path("update.bin"), content));
        content.back() = char(content.back() ^ 0x80);
        QVERIFY(writeAll(path("changed.bin"), content));

        for (const char *name : {"a", "b"}) {
            const QString n = QString::fromLatin1(name);
            QVERIFY(minisign({"-G", "-W", "-p", n + ".pub", "-s", n + ".key"}));
        }
        QVERIFY(minisign({"-S", "-s", "a.key", "-m", "update.bin", "-t", kComment}));
        QVERIFY(minisign({"-S", "-l", "-s", "a.key", "-m", "update.bin", "-x", "legacy.minisig",
                          "-t", kComment}));

        m_pubA = readAll(path("a.pub"));
        m_pubB = readAll(path("b.pub"));
        m_signature = readAll(path("update.bin.minisig"));
        m_legacy = readAll(path("legacy.minisig"));
        QCOMPARE(m_signature.count('\n'), 4);
        QCOMPARE(m_legacy.count('\n'), 4);
    }

    void publicKey_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("valid");

        const QByteArray keyLine = lineOf(m_pubA, 1);
        QTest::newRow(".pub file") << m_pubA << true;
        QTest::newRow(".pub file, CRLF") << QByteArray(m_pubA).replace("\n", "\r\n") << true;
        QTest::newRow("key line") << keyLine << true;
        QTest::newRow("key line and LF") << keyLine + '\n' << true;
        QTest::newRow("comment without prefix")
            << withLine(m_pubA, 0, "minisign public key") << false;
        QTest::newRow("a third line") << m_pubA + keyLine + '\n' << false;
        QTest::newRow("blank line at the end") << m_pubA + '\n' << false;
        QTest::newRow("not Ed") << patched(keyLine, 0, "ED") << false;
        QTest::newRow("bad base64") << "*" + keyLine.mid(1) << false;
        QTest::newRow("signature line") << lineOf(m_signature, 1) << false;
        QTest::newRow("empty") << QByteArray() << false;
    }

    void publicKey()
    {
        QFETCH(QByteArray, text);
        QFETCH(bool, valid);

        const std::optional<Minisign::PublicKey> key = Minisign::parsePublicKey(text);
        QCOMPARE(key.has_value(), valid);
        if (!valid)
            return;
        // minisign names the key by its id, a little-endian number, in hex.
        bool isHex = false;
        const quint64 named = lineOf(m_pubA, 0).split(' ').last().toULongLong(&isHex, 16);
        QVERIFY(isHex);
        QCOMPARE(qFromLittleEndian<quint64>(key->keyId.data()), named);
    }

    void verify_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<QByteArray>("signature");
        QTest::addColumn<Status>("status");

        const QString file = path("update.bin");
        const QByteArray &sig = m_signature;
        const QByteArray sigLine = lineOf(sig, 1);
        const QByteArray globalLine = lineOf(sig, 3);
        // Key B's key under key A's id.
        const QByteArray forged =
            patched(lineOf(m_pubB, 1), 2, QByteArray::fromBase64(lineOf(m_pubA, 1)).mid(2, 8));

        QTest::newRow("valid") << file << m_pubA << sig << Status::Ok;
        QTest::newRow("CRLF") << file << m_pubA << QByteArray(sig).replace("\n", "\r\n")
                              << Status::Ok;
        QTest::newRow("no final line end") << file << m_pubA << sig.chopped(1) << Status::Ok;
        QTest::newRow("one byte of the file changed")
            << path("changed.bin") << m_pubA << sig << Status::BadSignature;
        QTest::newRow("file signature changed")
            << file << m_pubA << withLine(sig, 1, flipped(sigLine, 20)) << Status::BadSignature;
        QTest::newRow("trusted comment edited")
            << file << m_pubA << QByteArray(sig).replace("Aurilo 1.0.2", "Aurilo 1.0.3")
            << Status::BadGlobalSignature;
        QTest::newRow("global signature edited")
            << file << m_pubA << withLine(sig, 3, flipped(globalLine, 5))
            << Status::BadGlobalSignature;
        QTest::newRow("another key") << file << m_pubB << sig << Status::UnknownKey;
        QTest::newRow("another key under this id") << file << forged << sig << Status::BadSignature;
        QTest::newRow("legacy Ed form") << file << m_pubA << m_legacy << Status::LegacyAlgorithm;
        QTest::newRow("unknown algorithm")
            << file << m_pubA << withLine(sig, 1, patched(sigLine, 0, "EX")) << Status::Malformed;
        QTest::newRow("only three lines")
            << file << m_pubA << sig.left(sig.lastIndexOf('\n', -2) + 1) << Status::Malformed;
        QTest::newRow("a fifth line") << file << m_pubA << sig + "x\n" << Status::Malformed;
        QTest::newRow("blank line at the end") << file << m_pubA << sig + '\n' << Status::Malformed;
        QTest::newRow("bad base64")
            << file << m_pubA << withLine(sig, 1, "*" + sigLine.mid(1)) << Status::Malformed;
        QTest::newRow("base64 without padding")
            << file << m_pubA << withLine(sig, 3, QByteArray(globalLine).replace("=", ""))
            << Status::Malformed;
        QTest::newRow("base64 with a space")
            << file << m_pubA << withLine(sig, 1, sigLine + ' ') << Status::Malformed;
        QTest::newRow("signature line too short")
            << file << m_pubA
            << withLine(sig, 1, QByteArray::fromBase64(sigLine).chopped(1).toBase64())
            << Status::Malformed;
        QTest::newRow("signature line too long")
            << file << m_pubA
            << withLine(sig, 1, (QByteArray::fromBase64(sigLine) + "xyz").toBase64())
            << Status::Malformed;
        QTest::newRow("untrusted prefix wrong")
            << file << m_pubA << withLine(sig, 0, "Untrusted comment: x") << Status::Malformed;
        QTest::newRow("trusted prefix wrong")
            << file << m_pubA << withLine(sig, 2, "trusted comment:" + kComment.toUtf8())
            << Status::Malformed;
        QTest::newRow("empty signature") << file << m_pubA << QByteArray() << Status::Malformed;
        QTest::newRow("missing file") << path("missing.bin") << m_pubA << sig << Status::Unreadable;
        QTest::newRow("folder") << m_dir->path() << m_pubA << sig << Status::Unreadable;
    }

    void verify()
    {
        QFETCH(QString, file);
        QFETCH(QByteArray, key);
        QFETCH(QByteArray, signature);
        QFETCH(Status, status);

        const std::optional<Minisign::PublicKey> publicKey = Minisign::parsePublicKey(key);
        QVERIFY(publicKey);
        const Minisign::Result result = Minisign::verifyFile(file, *publicKey, signature);
        QCOMPARE(result.status, status);
        QCOMPARE(result.trustedComment, status == Status::Ok ? kComment : QString());
    }

    void versionFromComment_data()
    {
        QTest::addColumn<QString>("comment");
        QTest::addColumn<QString>("version");

        QTest::newRow("three numbers") << "Aurilo 1.0.2"
                                       << "1.0.2";
        QTest::newRow("one number") << "Aurilo 7"
                                    << "7";
        QTest::newRow("four numbers") << "Aurilo 10.20.30.40"
                                      << "10.20.30.40";
        QTest::newRow("no version") << "Aurilo "
                                    << "";
        QTest::newRow("no space") << "Aurilo1.0.2"
                                  << "";
        QTest::newRow("two spaces") << "Aurilo  1.0.2"
                                    << "";
        QTest::newRow("space after") << "Aurilo 1.0.2 "
                                     << "";
        QTest::newRow("space before") << " Aurilo 1.0.2"
                                      << "";
        QTest::newRow("lower case") << "aurilo 1.0.2"
                                    << "";
        QTest::newRow("v prefix") << "Aurilo v1.0.2"
                                  << "";
        QTest::newRow("suffix") << "Aurilo 1.0.2-beta"
                                << "";
        QTest::newRow("other program") << "Other 1.0.2"
                                       << "";
        QTest::newRow("minisign's default") << "timestamp:1700000000\tfile:update.bin"
                                            << "";
    }

    void versionFromComment()
    {
        QFETCH(QString, comment);
        QFETCH(QString, version);
        QCOMPARE(Minisign::versionFromComment(comment), version);
    }

    void compareVersions_data()
    {
        QTest::addColumn<QString>("a");
        QTest::addColumn<QString>("b");
        QTest::addColumn<char>("order"); // '<', '=', '>' or '?' for unordered

        QTest::newRow("newer, by value not text") << "1.0.10"
                                                  << "1.0.9" << '>';
        QTest::newRow("older") << "1.0.1"
                               << "1.0.2" << '<';
        QTest::newRow("equal") << "1.0.2"
                               << "1.0.2" << '=';
        QTest::newRow("trailing zero") << "1.0.2"
                                       << "1.0.2.0" << '=';
        QTest::newRow("more numbers") << "1.0.2.1"
                                      << "1.0.2" << '>';
        QTest::newRow("first number rules") << "2"
                                            << "1.99.99" << '>';
        QTest::newRow("leading zero") << "1.01"
                                      << "1.1" << '=';
        QTest::newRow("beyond 64 bits") << "1.18446744073709551617"
                                        << "1.18446744073709551616" << '>';
        QTest::newRow("letter") << "1.0.x"
                                << "1.0.0" << '?';
        QTest::newRow("empty") << ""
                               << "1" << '?';
        QTest::newRow("empty part") << "1..2"
                                    << "1.2" << '?';
        QTest::newRow("trailing dot") << "1.2."
                                      << "1.2" << '?';
        QTest::newRow("sign") << "+1.2"
                              << "1.2" << '?';
        QTest::newRow("space") << "1.2 "
                               << "1.2" << '?';
        QTest::newRow("other digits") << QStringLiteral("1.\u0662") << "1.2" << '?';
    }

    void compareVersions()
    {
        QFETCH(QString, a);
        QFETCH(QString, b);
        QFETCH(char, order);

        QCOMPARE(orderChar(Minisign::compareVersions(a, b)), order);
        // The same the other way round.
        const char reversed = order == '<' ? '>' : order == '>' ? '<' : order;
        QCOMPARE(orderChar(Minisign::compareVersions(b, a)), reversed);
    }
};

QTEST_GUILESS_MAIN(TestMinisign)

#include "tst_minisign.moc"
