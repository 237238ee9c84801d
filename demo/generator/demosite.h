#pragma once

#include "catalogwriter.h"

#include <QString>

// The folder the demo content server serves:
//
//   index.html                  home page listing the categories (UTF-8)
//   flashxmlfile/LDsend.txt     the data-cache file (GBK)
//   flashxmlfile/version.xml    catalog version and the data-cache address
//   page/<id>.html              one page per resource (UTF-8)
//   covers/<id>.png|gif         one cover picture per resource, every fourth
//                               one an animated GIF (the file litpic names)
//   flash/<id>.swf              one movie per resource that speaks its title and
//                               introduction (espeak-ng) over a still picture
namespace Demo {

// Writes the demo site for demoCatalog(baseUrl) into dir, creating folders.
// catalogVersion is what version.xml announces; raising it makes the program
// download the catalog again. On failure returns false and sets *error.
bool writeSite(const QString &dir, const QString &baseUrl, int catalogVersion, QString *error);

// Writes one speaking movie like the demo resources' to path: text spoken,
// repeated after a short pause until the file has at least minBytes (so a
// benchmark can ask for a big resource). Sets *error on failure.
bool writeSpeakingMovie(const QString &path, const QString &text, qint64 minBytes, QString *error);

// The version file the program asks for at every start.
QByteArray versionFile(const QString &baseUrl, int catalogVersion);

// Replaces path with bytes through a temporary file, so a reader never sees
// half a file; creates the parent folder. Sets *error on failure.
bool writeFile(const QString &path, const QByteArray &bytes, QString *error);

} // namespace Demo
