#pragma once

#include <QString>

#include <cstdint>

// One favourite or history item as it travels between the stores and the
// forms. Every text field has a fixed width, filled up with blanks.
struct FavoriteRecord
{
    static constexpr int kStyleWidth = 10, kNameWidth = 50, kImageWidth = 100, kSizeWidth = 20,
                         kFlashFfaWidth = 100, kFlashUrlWidth = 100, kPageUrlWidth = 100,
                         kFlashSayWidth = 100, kKeywordWidth = 20;

    QString style;
    std::int16_t id = 0;
    std::int16_t fid = 0;
    QString name;
    QString image;
    QString size;
    QString flash_ffa;
    QString flashurl;
    QString pageurl; // never stored
    QString flashsay;
    QString keyword;

    // Cuts every text field to its width and pads it with blanks on the right.
    void fixWidths();

    // `text` cut to `width` UTF-16 units, or padded with blanks up to it. A cut
    // that would fall between the two halves of a surrogate pair falls before
    // the pair instead, and the gap is padded.
    static QString fixedWidth(const QString &text, int width);

    // `text` without leading and trailing blanks. Only blanks: they are what
    // the fixed widths add, and tabs or line breaks in a value are its own.
    static QString trimBlanks(const QString &text);
    // `text` without the blanks that pad it at the end, as read from a field.
    static QString withoutPadding(const QString &text);

    friend bool operator==(const FavoriteRecord &, const FavoriteRecord &) = default;
};
