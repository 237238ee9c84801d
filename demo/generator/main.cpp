// aurilo-demo-gen: writes the demo content site, just its catalog, or one speaking movie.
//
//   aurilo-demo-gen --out DIR [--base-url http://127.0.0.1:8765] [--catalog-version 1]
//   aurilo-demo-gen --catalog-only FILE [--base-url ...]
//   aurilo-demo-gen --swf FILE --text TEXT [--min-bytes N]   (one speaking movie, for benchmarks)

#include "catalogwriter.h"
#include "democatalog.h"
#include "demosite.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "aurilo-demo-gen: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"aurilo-demo-gen"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Writes the Sonavel demo site for the local server."_s);
    parser.addHelpOption();
    const QCommandLineOption outOption(u"out"_s, u"Write the whole site into <dir>."_s, u"dir"_s);
    const QCommandLineOption catalogOption(
        u"catalog-only"_s, u"Write only the data-cache file to <file>."_s, u"file"_s);
    const QCommandLineOption baseOption(u"base-url"_s,
                                        u"Address the site is served at (default <url>)."_s,
                                        u"url"_s, u"http://127.0.0.1:8765"_s);
    const QCommandLineOption versionOption(
        u"catalog-version"_s, u"Catalog version announced in version.xml (default 1)."_s, u"n"_s,
        u"1"_s);
    const QCommandLineOption swfOption(u"swf"_s, u"Write one movie that speaks --text to <file>."_s,
                                       u"file"_s);
    const QCommandLineOption textOption(u"text"_s, u"The text the --swf movie speaks."_s,
                                        u"text"_s);
    const QCommandLineOption minBytesOption(
        u"min-bytes"_s, u"Repeat the speech until the --swf file has at least <n> bytes."_s, u"n"_s,
        u"0"_s);
    parser.addOptions({outOption, catalogOption, baseOption, versionOption, swfOption, textOption,
                       minBytesOption});
    parser.process(app);

    if (!parser.isSet(outOption) && !parser.isSet(catalogOption) && !parser.isSet(swfOption))
        return fail(u"nothing to do: give --out DIR, --catalog-only FILE or --swf FILE"_s);
    const QString baseUrl = parser.value(baseOption);
    if (!baseUrl.startsWith(u"http://"_s) && !baseUrl.startsWith(u"https://"_s))
        return fail(u"--base-url must be an http:// or https:// address"_s);
    bool versionOk = false;
    const int version = parser.value(versionOption).toInt(&versionOk);
    if (!versionOk)
        return fail(u"--catalog-version must be a number"_s);

    bool minBytesOk = false;
    const qint64 minBytes = parser.value(minBytesOption).toLongLong(&minBytesOk);
    // The movie's 16-bit frame count covers some 90 minutes of speech, about
    // 240 MB; beyond that the timeline would end before the sound.
    constexpr qint64 kMaxMovieBytes = 200'000'000;
    if (!minBytesOk || minBytes < 0 || minBytes > kMaxMovieBytes)
        return fail(u"--min-bytes must be a number from 0 to %1"_s.arg(kMaxMovieBytes));
    if (parser.isSet(swfOption) && parser.value(textOption).trimmed().isEmpty())
        return fail(u"--swf needs --text TEXT to speak"_s);

    QString error;
    if (parser.isSet(catalogOption) &&
        !Demo::writeFile(parser.value(catalogOption),
                         Demo::CatalogWriter::write(Demo::demoCatalog(baseUrl)), &error)) {
        return fail(error);
    }
    if (parser.isSet(outOption) &&
        !Demo::writeSite(parser.value(outOption), baseUrl, version, &error)) {
        return fail(error);
    }
    if (parser.isSet(swfOption) &&
        !Demo::writeSpeakingMovie(parser.value(swfOption), parser.value(textOption), minBytes,
                                  &error)) {
        return fail(error);
    }
    return 0;
}
