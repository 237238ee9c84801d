#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Writes the site's data-cache file (the catalog the program keeps as
// LDsend.Dll). The program does not parse XML: it cuts the text at "<category"
// and "<data" and picks each value by plain substring search for `name="`, so
// the writer sticks to one fixed shape:
//
//   <?xml version="1.0" encoding="gbk"?>
//   <root>
//   <category name="...">
//   <data id="12" title="..." litpic="..." keyboard="..." onclick="" filesize="..."
//         ztid="3" flash_fangfa="..." flashsay="..." flashurl="..." pageurl="..." />
//   </category>
//   </root>
//
// (each data tag on one line). The file is code page 936 (GBK), lines end in
// CR LF, as the Windows tools that produce it write them.
namespace Demo {

struct Resource
{
    int id = 0;
    QString title;
    QString litpic;
    QString keyboard;
    QString onclick;
    QString fileSize;
    QString ztid;
    QString flashFangfa;
    QString flashSay;
    QString flashUrl;
    QString pageUrl;
};

struct Category
{
    QString name;
    QList<Resource> resources;
};

class CatalogWriter
{
public:
    // reserveChars: expected size of the text, so a large catalog is built
    // without repeated reallocation.
    explicit CatalogWriter(qsizetype reserveChars = 0);

    // Starts a category; the open one, if any, is closed first.
    void addCategory(QStringView name);
    // Adds a resource to the open category (opens one without a name if none
    // is open, since the reader ignores anything before the first category).
    void addResource(const Resource &resource);

    // The finished file, as text and as the GBK bytes that are served.
    QString toText() const;
    QByteArray toBytes() const;

    // The whole file for an in-memory catalog.
    static QByteArray write(const QList<Category> &catalog);

    // A value as it may stand between the quotes: double quotes would end the
    // value early and '<' could start a tag the reader cuts at, so both go;
    // line breaks become blanks because every tag stays on one line.
    static QString attributeValue(QStringView value);

private:
    void appendAttribute(QLatin1StringView name, QStringView value);
    QString tail() const;

    QString m_text;
    bool m_categoryOpen = false;
};

// A large made-up catalog for benchmarks: `categories` categories sharing
// `resources` resources (spread evenly, the first ones take the remainder),
// Chinese-looking titles and introductions combined from word lists, varied
// sizes. The same arguments always give the same bytes. Resource ids count
// 1, 2, ... and start over after 32767, because the program reads ids as
// 16-bit numbers and an id out of that range would read as 0.
QByteArray syntheticCatalog(int categories, int resources, const QString &baseUrl);

} // namespace Demo
