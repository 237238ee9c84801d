#pragma once

#include <QByteArray>
#include <QString>

// The program's text files (catalog, INI files, descriptors) are in the
// system ANSI code page of the site's listeners: code page 936, i.e. GBK.
namespace Ansi {

// Bytes in code page 936 to text. Bytes that are not valid GBK become U+FFFD;
// decoding never fails, so a damaged file still yields what can be read.
QString decode(QByteArrayView bytes);

// Text to code page 936. Characters GBK cannot hold become '?', as the
// Windows conversion does.
QByteArray encode(QStringView text);

// Cuts GBK bytes to at most maxBytes without splitting a double-byte
// character (fixed-size ANSI buffers of the Windows API).
QByteArray truncate(const QByteArray &bytes, qsizetype maxBytes);

} // namespace Ansi
