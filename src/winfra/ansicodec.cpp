#include "ansicodec.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace Ansi {

namespace {
// ICU in Debian's Qt knows "GBK"; without it we would silently produce
// garbage, so fail loudly once instead.
constexpr const char *kCodec = "GBK";
} // namespace

QString decode(QByteArrayView bytes)
{
    QStringDecoder decoder(kCodec);
    Q_ASSERT_X(decoder.isValid(), "Ansi::decode", "Qt was built without the GBK codec");
    return decoder.decode(bytes);
}

QByteArray encode(QStringView text)
{
    QStringEncoder encoder(kCodec, QStringConverter::Flag::Default);
    Q_ASSERT_X(encoder.isValid(), "Ansi::encode", "Qt was built without the GBK codec");
    QByteArray out = encoder.encode(text);
    return out;
}

QByteArray truncate(const QByteArray &bytes, qsizetype maxBytes)
{
    if (bytes.size() <= maxBytes)
        return bytes;
    // Walk the characters: a lead byte 0x81..0xFE starts a two-byte character.
    qsizetype i = 0;
    while (i < maxBytes) {
        const auto c = static_cast<unsigned char>(bytes.at(i));
        const qsizetype width = (c >= 0x81 && c <= 0xFE && i + 1 < bytes.size()) ? 2 : 1;
        if (i + width > maxBytes)
            break;
        i += width;
    }
    return bytes.left(i);
}

} // namespace Ansi
