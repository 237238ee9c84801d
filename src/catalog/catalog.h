#pragma once

#include <QList>
#include <QString>

#include <cstdint>

// One resource of the catalog, fields in the order of the data-cache file.
struct CatalogEntry
{
    std::int16_t id = 0;
    std::int16_t fid = 0; // never in the file; kept for the stores
    QString title;
    QString litpic;       // cover path below the content server's root
    QString filesize;
    QString flash_fangfa;
    QString flashurl;     // absolute address of the resource the player opens
    QString pageurl;
    QString flashsay;     // introduction
    QString onclick;
    QString keyboard;
    QString ztid;
};

// One category. entries[0] is never filled: the lists address the catalog
// with an offset of one (list item k is entries[k + 1]).
struct CatalogCategory
{
    QString name;
    QList<CatalogEntry> entries{CatalogEntry{}};
};

// The in-memory catalog. categories[0] is never filled, as above.
struct Catalog
{
    QList<CatalogCategory> categories{CatalogCategory{}};

    // Number of real categories (without the empty element 0).
    qsizetype categoryCount() const { return categories.size() - 1; }
};
