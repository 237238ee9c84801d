#include "lineorigins.h"

namespace {
// The entry a ref denotes, or nullptr; index 0 at either level is the unused
// empty element and counts as outside.
const CatalogEntry *find(const Catalog &catalog, EntryRef ref)
{
    if (ref.category < 1 || ref.category >= catalog.categories.size())
        return nullptr;
    const CatalogCategory &category = catalog.categories.at(ref.category);
    if (ref.entry < 1 || ref.entry >= category.entries.size())
        return nullptr;
    return &category.entries.at(ref.entry);
}
} // namespace

CatalogEntry EntryOf(const Catalog &catalog, EntryRef ref)
{
    const CatalogEntry *entry = find(catalog, ref);
    return entry ? *entry : CatalogEntry{};
}

QString CategoryNameOf(const Catalog &catalog, EntryRef ref)
{
    return find(catalog, ref) ? catalog.categories.at(ref.category).name : QString();
}

QString ListedText(const Catalog &catalog, EntryRef ref)
{
    const CatalogEntry *entry = find(catalog, ref);
    if (!entry)
        return QString();
    return catalog.categories.at(ref.category).name + u'-' + entry->title;
}

namespace SjCL {

SelectedEntry Lookup(const Catalog &catalog, const ListedLines *lines, int list1Row,
                     int selectedRow)
{
    EntryRef ref;
    if (lines)
        ref = lines->refs.value(selectedRow);
    else
        ref = {list1Row + 1, selectedRow + 1};
    return {EntryOf(catalog, ref), CategoryNameOf(catalog, ref)};
}

} // namespace SjCL
