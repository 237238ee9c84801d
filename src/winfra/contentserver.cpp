#include "contentserver.h"

#include "privateprofile.h"
#include "programfolder.h"

namespace ContentServer {

QString baseUrl()
{
    QString base = PrivateProfile::readString(ProgramFolder::file(QStringLiteral("Server.ini")),
                                              QStringLiteral("Server"), QStringLiteral("BaseUrl"),
                                              QString::fromLatin1(kDefaultBaseUrl))
                       .trimmed();
    const QUrl parsed(base);
    if (!parsed.isValid() || parsed.scheme().isEmpty() || parsed.host().isEmpty())
        base = QString::fromLatin1(kDefaultBaseUrl);
    while (base.endsWith(u'/'))
        base.chop(1);
    return base;
}

QUrl url(const QString &path)
{
    return QUrl(baseUrl() + (path.startsWith(u'/') ? path : u'/' + path));
}

QUrl homePage()
{
    return url(QStringLiteral("/"));
}

} // namespace ContentServer
