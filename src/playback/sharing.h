#pragma once

#include <QString>
#include <QUrl>

// Telling others about a resource: the recommendation text for the clipboard
// and the share-page addresses of the six outside services.
namespace Sharing {

// Indexes of the share panel's entries: 0 is the clipboard text, 1..6 the
// services in the order QQ空间, 开心网, 人人网, 51网, 新浪微博, 豆瓣.
inline constexpr int kClipboardEntry = 0;

// The confirmation shown after the recommendation text went to the clipboard.
QString CopiedMessage();

// "我在Sonavel上面发现了一本很好听的书籍，名字叫《N》-D地址是：P", the texts
// as given (callers trim them or not).
QString RecommendationText(const QString &N, const QString &D, const QString &P);

// Caption of the share panel's entry (0..6); empty for any other index.
QString PanelCaption(int index);

// The share page of service 1..6 for a resource; an empty address for any
// other index. Keys and their order are the services' own; every value is
// percent-encoded whole, so a name with "&", "#" or "+" reaches the service
// as one value.
QUrl ShareAddress(int index, const QString &QuendaName, const QString &QuendaPageUrl,
                  const QString &QuendaFlashSay);

} // namespace Sharing
