#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The small pieces of HTTP/1.1 text the static server writes and reads.
namespace HttpFormat {

// Content-Type for a file name, by extension (case-insensitive);
// application/octet-stream for anything unknown.
QByteArray contentType(const QString &fileName);

// IMF-fixdate, e.g. "Sun, 06 Nov 1994 08:49:37 GMT".
QByteArray httpDate(const QDateTime &time);

// Parses the three date forms HTTP allows (IMF-fixdate, RFC 850, asctime);
// an invalid QDateTime when the text is none of them.
QDateTime parseHttpDate(const QByteArray &text);

QByteArray reasonPhrase(int status);

// A minimal HTML page for an error status.
QByteArray errorPage(int status);

} // namespace HttpFormat
