// aurilo-httpd: the demo content server and the network tests' fixture.
//
//   aurilo-httpd --root DIR [--port 8765] [--bind 127.0.0.1]
//
// Prints "listening on PORT" once it accepts connections; --port 0 picks a
// free port, which is how tests run several servers side by side.

#include "staticserver.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>
#include <QHostAddress>

#include <csignal>
#include <cstdio>

using namespace Qt::StringLiterals;

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "aurilo-httpd: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char *argv[])
{
    // A client that hangs up mid-response must not kill the server.
    std::signal(SIGPIPE, SIG_IGN);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(u"aurilo-httpd"_s);

    QCommandLineParser parser;
    parser.setApplicationDescription(u"Static HTTP server for the Sonavel demo site."_s);
    parser.addHelpOption();
    const QCommandLineOption rootOption(u"root"_s, u"Folder to serve."_s, u"dir"_s);
    const QCommandLineOption portOption(u"port"_s, u"Port to listen on; 0 picks a free one."_s,
                                        u"port"_s, u"8765"_s);
    // Loopback unless asked otherwise: the demo content is nobody else's business.
    const QCommandLineOption bindOption(u"bind"_s, u"Address to listen on."_s, u"address"_s,
                                        u"127.0.0.1"_s);
    parser.addOptions({rootOption, portOption, bindOption});
    parser.process(app);

    if (!parser.isSet(rootOption))
        return fail(u"--root DIR is required"_s);
    const QFileInfo root(parser.value(rootOption));
    if (!root.isDir())
        return fail(parser.value(rootOption) + u" is not a folder"_s);
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        return fail(u"--port must be a number from 0 to 65535"_s);
    const QHostAddress address(parser.value(bindOption));
    if (address.isNull())
        return fail(u"--bind must be an IP address"_s);

    StaticServer server(root.filePath());
    if (!server.listen(address, quint16(port)))
        return fail(u"cannot listen on "_s + address.toString() + u':' + QString::number(port) +
                    u": "_s + server.errorString());

    std::printf("listening on %u\n", unsigned(server.serverPort()));
    std::fflush(stdout);
    return app.exec();
}
