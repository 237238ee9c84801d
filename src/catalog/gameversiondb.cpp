#include "gameversiondb.h"

#include "dialogservice.h"
#include "textnumber.h"

#include <QDomDocument>
#include <QFile>

namespace GameVerSionDb {

QString ReadXmlValue(const QString &file, const QString &xpath)
{
    QFile input(file);
    QDomDocument document;
    QString reason;
    int line = 0;
    int column = 0;
    if (!input.open(QIODevice::ReadOnly)) {
        reason = QStringLiteral("无法打开文件：%1").arg(file);
    } else if (!document.setContent(&input, &reason, &line, &column)) {
        reason = QStringLiteral("%1（第 %2 行，第 %3 列）").arg(reason).arg(line).arg(column);
    } else {
        reason.clear();
    }
    if (!reason.isEmpty()) {
        Dialogs::show(reason, Dialogs::Buttons::Ok, Dialogs::Icon::None);
        return {};
    }
    QDomElement element = document.documentElement();
    const QStringList steps = xpath.split(u'/', Qt::SkipEmptyParts);
    if (steps.isEmpty() || element.tagName() != steps.first())
        return {};
    for (qsizetype i = 1; i < steps.size() && !element.isNull(); ++i)
        element = element.firstChildElement(steps.at(i));
    return element.isNull() ? QString() : element.text();
}

bool VersionsDiffer(const QString &fileA, const QString &pathA, const QString &fileB,
                    const QString &pathB)
{
    const std::int32_t a = TextNumber::toInt32OrZero(ReadXmlValue(fileA, pathA));
    const std::int32_t b = TextNumber::toInt32OrZero(ReadXmlValue(fileB, pathB));
    return a != b;
}

} // namespace GameVerSionDb
