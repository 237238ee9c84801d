#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <compare>
#include <optional>

// Checks that a downloaded program file carries the site's minisign
// signature before the updater starts it. libsodium does the hashing and the
// Ed25519 checks.
namespace Minisign {

// An Ed25519 public key and the id minisign gives it.
struct PublicKey
{
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 32> key{};
};

// Reads the key line minisign prints (base64 of "Ed", the key id and the
// key), alone or as the two-line .pub file ("untrusted comment: ..." above
// the key line). LF or CRLF line ends, the last one optional. Anything else
// gives nullopt.
std::optional<PublicKey> parsePublicKey(const QByteArray &text);

enum class Status
{
    Ok,
    Malformed,          // not the four lines of a .minisig file
    UnknownKey,         // signed with a key of another id
    BadSignature,       // the file's signature does not hold (the file changed)
    BadGlobalSignature, // the trusted comment or its signature was changed
    LegacyAlgorithm,    // the old form that signs the file itself, refused
    Unreadable,         // the file cannot be opened or read
};

struct Result
{
    Status status = Status::Malformed;
    QString trustedComment; // the signed comment; only set when status is Ok
};

// Verifies the file at filePath against the text of its .minisig file:
// "untrusted comment: ...", the signature line, "trusted comment: ...", the
// global signature line; LF or CRLF line ends, the last one optional.
// Only the prehashed form ("ED": the key signs the BLAKE2b-512 hash of the
// file) is accepted. The file's signature is checked before the global one,
// as minisign does, so a wrong key that claims the right id is BadSignature.
// The file is read in chunks; its size does not matter. Should libsodium
// fail to start, every file is refused with BadSignature.
Result verifyFile(const QString &filePath, const PublicKey &key, const QByteArray &signatureText);

// The version in a trusted comment that reads exactly "Aurilo <version>"
// ("Aurilo 1.0.2" gives "1.0.2"), where the version is valid for
// compareVersions; otherwise an empty string.
QString versionFromComment(const QString &trustedComment);

// Compares dotted versions number by number: "1.0.10" > "1.0.9". Missing
// numbers count as zero, so "1.0.2" and "1.0.2.0" are equal and a site that
// appends ".0" does not offer the same program again; leading zeros do not
// count either ("1.01" equals "1.1"). A version is one or more runs of ASCII
// digits joined by single dots; anything else (signs, spaces, letters, empty
// parts) is invalid and compares unordered, so no comparison with it is true.
std::partial_ordering compareVersions(const QString &a, const QString &b);

} // namespace Minisign
