#pragma once

#include "catalog.h"

#include <QString>

// Reading the data-cache file. The reader is forgiving on purpose: it cuts the
// text at fixed tag openings and picks attribute values by text search, so a
// damaged file yields whatever can be read and never an error.
namespace SjCL {

// The file's bytes converted from code page 936; empty when the file is empty
// or cannot be read.
QString ReadAnsiFile(const QString &path);

// The value of attribute `name` in `source`: the text between the quote after
// `name=` and the next quote. The name must stand as a whole attribute name
// (at the start of `source` or after a blank, tab or line break), so `id` is
// never read out of `ztid=` and `name` never out of `filename=`. A value is
// cut at its closing quote; a missing attribute or closing quote gives "".
QString GetAttrValue(QStringView source, QStringView name);

// Builds the catalog from the file's text. Calls onCategory with each
// category's name before that category's entries are read, so the category
// list can be filled on the way.
template <typename OnCategory>
Catalog ParseCatalog(QStringView text, OnCategory &&onCategory);

Catalog ParseCatalog(QStringView text);

namespace detail {
void parseEntries(QStringView piece, CatalogCategory &category);
QStringView categoryPiece(QStringView text, qsizetype &from);
qsizetype firstCategory(QStringView text);
} // namespace detail

template <typename OnCategory>
Catalog ParseCatalog(QStringView text, OnCategory &&onCategory)
{
    Catalog catalog;
    qsizetype from = detail::firstCategory(text);
    // Everything before the first category (declaration, root element) is ignored.
    while (from >= 0) {
        const QStringView piece = detail::categoryPiece(text, from);
        CatalogCategory category;
        // The name is searched in the whole piece: the first `name` key wins.
        category.name = GetAttrValue(piece, u"name");
        onCategory(category.name);
        detail::parseEntries(piece, category);
        catalog.categories.append(std::move(category));
    }
    return catalog;
}

} // namespace SjCL
