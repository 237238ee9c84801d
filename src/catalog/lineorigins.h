#pragma once

#include "catalog.h"

#include <QList>
#include <QString>
#include <QStringList>

// Where a line of a search or random list came from. Lines are found again by
// these indices, not by their text: category names and titles may contain the
// "-" that joins them in the line ("水浒传-第一回"), and two categories may
// share a name, so the text alone cannot name one resource.
struct EntryRef
{
    int category = 0; // catalog indices, 1-based as in Catalog; 0 = none
    int entry = 0;

    friend bool operator==(EntryRef, EntryRef) = default;
};

// The lines of one list and, at the same position, the entry each was made from.
struct ListedLines
{
    QStringList texts;
    QList<EntryRef> refs; // refs[i] made texts[i]
};

// The entry a ref denotes, or an empty CatalogEntry when the ref lies outside
// the catalog (for instance after the catalog was reloaded).
CatalogEntry EntryOf(const Catalog &catalog, EntryRef ref);

// The name of the category of the entry a ref denotes; empty when the ref lies
// outside the catalog, so it always goes with EntryOf's result.
QString CategoryNameOf(const Catalog &catalog, EntryRef ref);

// "category name-title", the text of a search hit or a random item.
QString ListedText(const Catalog &catalog, EntryRef ref);

namespace SjCL {

// The resource a selected list line shows and the category shown with it.
struct SelectedEntry
{
    CatalogEntry entry;
    QString category;
};

// The resource behind the selected line of List2 or ListSB. lines are the
// search hits or random items the list shows; nullptr when List2 shows the
// entries of the category selected in List1, where the line at selectedRow is
// entry selectedRow + 1 of category list1Row + 1. A row outside the list or
// the catalog gives an empty entry and an empty category.
SelectedEntry Lookup(const Catalog &catalog, const ListedLines *lines, int list1Row,
                     int selectedRow);

} // namespace SjCL
