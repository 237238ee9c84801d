#include "sharing.h"

#include "favoriterecord.h"

#include <QByteArray>
#include <QList>
#include <QPair>

namespace Sharing {

namespace {

using Query = QList<QPair<QByteArray, QString>>;

// What the services' share pages show after the name.
QString praise(const QString &service, const QString &exclamation)
{
    return QStringLiteral("是很好听的一本书籍，不敢独乐。分享给") + service +
           QStringLiteral("的友友") + exclamation;
}

// The description goes into the QQ空间 address cut to 80 characters, as its
// share page shows no more. A cut through a surrogate pair would leave half a
// character that no encoding can carry, so such a cut keeps one less.
QString first80(const QString &text)
{
    constexpr int kLimit = 80;
    if (text.size() <= kLimit)
        return text;
    const int cut = text.at(kLimit - 1).isHighSurrogate() ? kLimit - 1 : kLimit;
    return text.left(cut);
}

QUrl build(const char *host, const char *path, const Query &query)
{
    QByteArray address = QByteArrayLiteral("http://") + host + path + '?';
    for (qsizetype i = 0; i < query.size(); ++i) {
        if (i > 0)
            address += '&';
        // Encoded whole (UTF-8): "&", "=", "#", "+" and blanks in a name or an
        // address stay inside their own value.
        address += query.at(i).first + '=' + QUrl::toPercentEncoding(query.at(i).second);
    }
    return QUrl::fromEncoded(address, QUrl::StrictMode);
}

} // namespace

QString CopiedMessage()
{
    return QStringLiteral("复制信息成功，请通过Ctrl + V键复制给您的好友！");
}

QString RecommendationText(const QString &N, const QString &D, const QString &P)
{
    return QStringLiteral("我在Sonavel上面发现了一本很好听的书籍，名字叫《") + N +
           QStringLiteral("》-") + D + QStringLiteral("地址是：") + P;
}

QString PanelCaption(int index)
{
    switch (index) {
    case 0:
        return QStringLiteral("分享给QQ/MSN好友");
    case 1:
        return QStringLiteral("QQ空间");
    case 2:
        return QStringLiteral("开心网");
    case 3:
        return QStringLiteral("人人网");
    case 4:
        return QStringLiteral("51.com"); // 51网 calls itself by its address
    case 5:
        return QStringLiteral("新浪微博");
    case 6:
        return QStringLiteral("豆瓣");
    default:
        return QString();
    }
}

QUrl ShareAddress(int index, const QString &QuendaName, const QString &QuendaPageUrl,
                  const QString &QuendaFlashSay)
{
    const QString N = QuendaName.trimmed();
    const QString P = QuendaPageUrl.trimmed();
    // Two services get the address as stored but for the blanks that pad a
    // stored field to its width: those would end the shared link in "%20"s.
    const QString rawP = FavoriteRecord::withoutPadding(QuendaPageUrl);
    switch (index) {
    case 1:
        return build("sns.qzone.qq.com", "/cgi-bin/qzshare/cgi_qzshare_onekey",
                     {{"url", P},
                      {"title", N + praise(QStringLiteral("QQ空间"), QStringLiteral("!"))},
                      {"desc", first80(QuendaFlashSay) + QStringLiteral("...")}});
    case 2: {
        const QString text = N + praise(QStringLiteral("开心网"), QStringLiteral("!!"));
        return build("www.kaixin001.com", "/repaste/share.php",
                     {{"rtitle", text}, {"rurl", QString()}, {"rcontent", text + rawP}});
    }
    case 3:
        return build(
            "share.renren.com", "/share/sharer",
            {{"url", P}, {"title", N + praise(QStringLiteral("人人网"), QStringLiteral("!"))}});
    case 4:
        return build("share.51.com", "/share/share.php",
                     {{"type", QStringLiteral("8")},
                      {"title", N + praise(QStringLiteral("51网"), QStringLiteral("!"))},
                      {"vaddr", P}});
    case 5:
        return build("v.t.sina.com.cn", "/share/share.php",
                     {{"title", N + praise(QStringLiteral("新浪微博"), QStringLiteral("!!"))},
                      {"url", rawP}});
    case 6:
        return build("www.douban.com", "/recommend/", {{"url", P}});
    default:
        return QUrl();
    }
}

} // namespace Sharing
