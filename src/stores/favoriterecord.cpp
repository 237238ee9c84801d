#include "favoriterecord.h"

void FavoriteRecord::fixWidths()
{
    style = fixedWidth(style, kStyleWidth);
    name = fixedWidth(name, kNameWidth);
    image = fixedWidth(image, kImageWidth);
    size = fixedWidth(size, kSizeWidth);
    flash_ffa = fixedWidth(flash_ffa, kFlashFfaWidth);
    flashurl = fixedWidth(flashurl, kFlashUrlWidth);
    pageurl = fixedWidth(pageurl, kPageUrlWidth);
    flashsay = fixedWidth(flashsay, kFlashSayWidth);
    keyword = fixedWidth(keyword, kKeywordWidth);
}

QString FavoriteRecord::fixedWidth(const QString &text, int width)
{
    if (width <= 0)
        return QString();
    if (text.size() == width)
        return text; // what reading gives back: no copy
    qsizetype keep = qMin<qsizetype>(text.size(), width);
    // Half a pair would be stored as a broken character (U+FFFD) by the engine.
    if (keep < text.size() && keep > 0 && text.at(keep - 1).isHighSurrogate() &&
        text.at(keep).isLowSurrogate())
        --keep;
    QString out = text.left(keep);
    out.resize(width, u' ');
    return out;
}

QString FavoriteRecord::trimBlanks(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin) == u' ')
        ++begin;
    while (end > begin && text.at(end - 1) == u' ')
        --end;
    return text.mid(begin, end - begin);
}

QString FavoriteRecord::withoutPadding(const QString &text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return text.left(end);
}
