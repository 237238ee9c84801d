#include "minisign.h"

#include <QFile>
#include <QList>
#include <QLoggingCategory>

#include <sodium.h>

#include <algorithm>
#include <vector>

Q_LOGGING_CATEGORY(lcMinisign, "aurilo.update.minisign")

namespace Minisign {
namespace {

constexpr char kUntrustedPrefix[] = "untrusted comment: ";
constexpr char kTrustedPrefix[] = "trusted comment: ";
constexpr char kVersionPrefix[] = "Aurilo ";
constexpr qint64 kChunkSize = 1 << 20;

// The decoded signature line: algorithm, key id, signature of the file's hash.
struct SignatureLine
{
    std::array<unsigned char, 2> algorithm;
    std::array<unsigned char, 8> keyId;
    std::array<unsigned char, crypto_sign_BYTES> signature;
};
static_assert(sizeof(SignatureLine) == 74);

// The decoded key line: "Ed", key id, key.
struct KeyLine
{
    std::array<unsigned char, 2> algorithm;
    std::array<unsigned char, 8> keyId;
    std::array<unsigned char, crypto_sign_PUBLICKEYBYTES> key;
};
static_assert(sizeof(KeyLine) == 42);

struct Signature
{
    SignatureLine line;
    QByteArray trustedComment;
    std::array<unsigned char, crypto_sign_BYTES> globalSignature;
};

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

// The lines of a small text file. Each line ends in LF or CRLF, the last one
// may end in nothing; a CR anywhere else stays part of its line.
QList<QByteArray> splitLines(const QByteArray &text)
{
    QList<QByteArray> lines = text.split('\n');
    // Every piece but the last was ended by an LF; an empty last piece means
    // the text ended in a line end.
    for (qsizetype i = 0; i + 1 < lines.size(); ++i) {
        if (lines[i].endsWith('\r'))
            lines[i].chop(1);
    }
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// Standard base64 with padding, nothing ignored, decoding to exactly
// `size` bytes.
bool decodeExact(const QByteArray &base64, void *out, std::size_t size)
{
    std::size_t decoded = 0;
    return sodium_base642bin(static_cast<unsigned char *>(out), size, base64.constData(),
                             std::size_t(base64.size()), nullptr, &decoded, nullptr,
                             sodium_base64_VARIANT_ORIGINAL) == 0 &&
           decoded == size;
}

std::optional<Signature> parseSignature(const QByteArray &text)
{
    const QList<QByteArray> lines = splitLines(text);
    if (lines.size() != 4 || !lines[0].startsWith(kUntrustedPrefix) ||
        !lines[2].startsWith(kTrustedPrefix))
        return std::nullopt;
    Signature s;
    if (!decodeExact(lines[1], &s.line, sizeof s.line) ||
        !decodeExact(lines[3], s.globalSignature.data(), s.globalSignature.size()))
        return std::nullopt;
    s.trustedComment = lines[2].mid(qsizetype(sizeof kTrustedPrefix) - 1);
    return s;
}

bool algorithmIs(const std::array<unsigned char, 2> &algorithm, const char (&name)[3])
{
    return algorithm[0] == static_cast<unsigned char>(name[0]) &&
           algorithm[1] == static_cast<unsigned char>(name[1]);
}

// BLAKE2b-512 of the file, read a chunk at a time.
bool hashFile(const QString &filePath,
              std::array<unsigned char, crypto_generichash_BYTES_MAX> &hash)
{
    QFile file(filePath);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    crypto_generichash_state state;
    crypto_generichash_init(&state, nullptr, 0, hash.size());
    std::vector<char> chunk(kChunkSize);
    for (;;) {
        const qint64 n = file.read(chunk.data(), kChunkSize);
        if (n < 0)
            return false;
        if (n == 0)
            break;
        crypto_generichash_update(&state, reinterpret_cast<const unsigned char *>(chunk.data()),
                                  std::size_t(n));
    }
    crypto_generichash_final(&state, hash.data(), hash.size());
    return true;
}

// One or more runs of ASCII digits joined by single dots.
std::optional<QStringList> versionParts(const QString &version)
{
    const QStringList parts = version.split(QLatin1Char('.'));
    for (const QString &part : parts) {
        if (part.isEmpty() || !std::all_of(part.begin(), part.end(), [](QChar c) {
                return c >= QLatin1Char('0') && c <= QLatin1Char('9');
            }))
            return std::nullopt;
    }
    return parts;
}

// Two runs of digits by value, of any length.
std::strong_ordering compareNumbers(QStringView a, QStringView b)
{
    while (a.size() > 1 && a.front() == QLatin1Char('0'))
        a = a.mid(1);
    while (b.size() > 1 && b.front() == QLatin1Char('0'))
        b = b.mid(1);
    if (a.size() != b.size())
        return a.size() <=> b.size();
    const int c = a.compare(b);
    return c <=> 0;
}

} // namespace

std::optional<PublicKey> parsePublicKey(const QByteArray &text)
{
    const QList<QByteArray> lines = splitLines(text);
    if (lines.size() == 2 && !lines[0].startsWith(kUntrustedPrefix))
        return std::nullopt;
    if (lines.size() != 1 && lines.size() != 2)
        return std::nullopt;
    KeyLine line;
    if (!decodeExact(lines.last(), &line, sizeof line) || !algorithmIs(line.algorithm, "Ed"))
        return std::nullopt;
    PublicKey key;
    key.keyId = line.keyId;
    key.key = line.key;
    return key;
}

Result verifyFile(const QString &filePath, const PublicKey &key, const QByteArray &signatureText)
{
    if (!sodiumReady()) {
        // Without the library nothing can be checked, so nothing is trusted.
        qCWarning(lcMinisign) << "libsodium could not be initialised; the update is refused";
        return {Status::BadSignature, {}};
    }
    const std::optional<Signature> signature = parseSignature(signatureText);
    if (!signature)
        return {Status::Malformed, {}};
    const SignatureLine &line = signature->line;
    if (algorithmIs(line.algorithm, "Ed"))
        return {Status::LegacyAlgorithm, {}};
    if (!algorithmIs(line.algorithm, "ED"))
        return {Status::Malformed, {}};
    if (line.keyId != key.keyId)
        return {Status::UnknownKey, {}};

    std::array<unsigned char, crypto_generichash_BYTES_MAX> hash;
    if (!hashFile(filePath, hash))
        return {Status::Unreadable, {}};
    if (crypto_sign_verify_detached(line.signature.data(), hash.data(), hash.size(),
                                    key.key.data()) != 0)
        return {Status::BadSignature, {}};

    // The global signature covers the file's signature and the trusted comment.
    QByteArray global(reinterpret_cast<const char *>(line.signature.data()),
                      qsizetype(line.signature.size()));
    global += signature->trustedComment;
    if (crypto_sign_verify_detached(signature->globalSignature.data(),
                                    reinterpret_cast<const unsigned char *>(global.constData()),
                                    std::size_t(global.size()), key.key.data()) != 0)
        return {Status::BadGlobalSignature, {}};

    return {Status::Ok, QString::fromUtf8(signature->trustedComment)};
}

QString versionFromComment(const QString &trustedComment)
{
    const QLatin1String prefix(kVersionPrefix);
    if (!trustedComment.startsWith(prefix))
        return {};
    const QString version = trustedComment.mid(prefix.size());
    return versionParts(version) ? version : QString();
}

std::partial_ordering compareVersions(const QString &a, const QString &b)
{
    const std::optional<QStringList> left = versionParts(a);
    const std::optional<QStringList> right = versionParts(b);
    if (!left || !right)
        return std::partial_ordering::unordered;
    const QString zero = QStringLiteral("0");
    for (qsizetype i = 0; i < std::max(left->size(), right->size()); ++i) {
        const std::strong_ordering c = compareNumbers(i < left->size() ? left->at(i) : zero,
                                                      i < right->size() ? right->at(i) : zero);
        if (c != 0)
            return c;
    }
    return std::partial_ordering::equivalent;
}

} // namespace Minisign
