#include "httpformat.h"

#include <QFileInfo>
#include <QLocale>
#include <QTimeZone>

#include <array>
#include <utility>

using namespace Qt::StringLiterals;

namespace HttpFormat {

QByteArray contentType(const QString &fileName)
{
    static const std::array<std::pair<QLatin1StringView, QByteArray>, 20> types = {{
        {"html"_L1, "text/html; charset=utf-8"},
        {"htm"_L1, "text/html; charset=utf-8"},
        // The site's .txt files (catalog, advertisement and update
        // descriptors) are code page 936.
        {"txt"_L1, "text/plain; charset=gbk"},
        {"xml"_L1, "application/xml"},
        {"swf"_L1, "application/x-shockwave-flash"},
        {"png"_L1, "image/png"},
        {"gif"_L1, "image/gif"},
        {"jpg"_L1, "image/jpeg"},
        {"jpeg"_L1, "image/jpeg"},
        {"ico"_L1, "image/x-icon"},
        {"svg"_L1, "image/svg+xml"},
        {"js"_L1, "text/javascript"},
        {"mjs"_L1, "text/javascript"},
        // Browsers refuse to stream-compile WebAssembly served as anything else.
        {"wasm"_L1, "application/wasm"},
        {"css"_L1, "text/css"},
        {"json"_L1, "application/json"},
        {"mp3"_L1, "audio/mpeg"},
        {"dll"_L1, "application/octet-stream"},
        {"exe"_L1, "application/octet-stream"},
        {"zip"_L1, "application/zip"},
    }};
    const QString suffix = QFileInfo(fileName).suffix();
    for (const auto &[extension, type] : types) {
        if (suffix.compare(extension, Qt::CaseInsensitive) == 0)
            return type;
    }
    return "application/octet-stream";
}

QByteArray httpDate(const QDateTime &time)
{
    return QLocale::c().toString(time.toUTC(), u"ddd, dd MMM yyyy hh:mm:ss 'GMT'"_s).toLatin1();
}

QDateTime parseHttpDate(const QByteArray &text)
{
    static const std::array<QString, 3> formats = {
        u"dd MMM yyyy hh:mm:ss 'GMT'"_s, // IMF-fixdate
        u"dd-MMM-yy hh:mm:ss 'GMT'"_s,   // RFC 850
        u"MMM d hh:mm:ss yyyy"_s,        // asctime
    };
    // All three start with the weekday. It is dropped rather than parsed:
    // QLocale rejects a weekday that does not match its guess of the century
    // for two-digit years. simplified() also folds asctime's padding blank.
    const QString value = QString::fromLatin1(text).simplified();
    const QString date = value.mid(value.indexOf(u' ') + 1);
    for (const QString &format : formats) {
        QDateTime time = QLocale::c().toDateTime(date, format);
        if (time.isValid()) {
            // Two-digit years are read as 19xx; HTTP dates are not that old.
            if (time.date().year() < 1970)
                time = time.addYears(100);
            time.setTimeZone(QTimeZone::utc());
            return time;
        }
    }
    return {};
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 302:
        return "Found";
    case 304:
        return "Not Modified";
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    default:
        return "Unknown";
    }
}

QByteArray errorPage(int status)
{
    const QByteArray title = QByteArray::number(status) + ' ' + reasonPhrase(status);
    return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>" + title +
           "</title></head>\n<body><h1>" + title + "</h1></body></html>\n";
}

} // namespace HttpFormat
