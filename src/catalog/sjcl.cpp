#include "sjcl.h"

#include "catalogfile.h"
#include "logging.h"
#include "programfolder.h"

#include "listboxex.h"

namespace SjCL {

namespace {
Catalog &storage()
{
    static Catalog theCatalog;
    return theCatalog;
}
} // namespace

const Catalog &catalog()
{
    return storage();
}

void LoadCatalog(const CatalogLists &lists)
{
    const QString text = ReadAnsiFile(ProgramFolder::file(dataCacheFileName()));
    LoadCatalogText(text, lists);
}

void LoadCatalogText(QStringView text, const CatalogLists &lists)
{
    lists.List1->Clear();
    // Category names are collected while parsing and added in one go.
    QStringList names;
    storage() = ParseCatalog(text, [&names](const QString &name) { names.append(name); });
    lists.List1->AddItems(names);
    qCDebug(lcCatalog) << "catalog loaded:" << storage().categoryCount() << "categories";
    if (lists.List1->ListCount() > 0)
        lists.List1->setListIndex(0); // a selection set by the program raises no click
    ShowCategoryEntries(lists);
}

void ShowCategoryEntries(const CatalogLists &lists)
{
    // "Selected" means an index above Columns - 1; Columns is 0 for these lists.
    const int selected = lists.List1->ListIndex();
    if (selected > lists.List1->Columns() - 1) {
        lists.List2->Clear();
        if (const CatalogCategory *category = CategoryAtRow(selected))
            lists.List2->AddItems(EntryTitles(*category));
        *lists.分类暂存 = lists.List1->List(selected);
    }
    if (lists.ScListFrm)
        lists.ScListFrm->hide();
    lists.QtList->Clear();
    lists.QtList->AddItems(QtListItems(lists.List1->ListCount()));
    lists.QtList->move(lists.QtList->x(),
                       lists.List1->y() + lists.List1->ListCount() * kRowHeight);
}

QStringList QtListItems(qsizetype categoryCount)
{
    return {QString::number(categoryCount + 1) + QStringLiteral(". 精彩推荐"),
            QString::number(categoryCount + 2) + QStringLiteral(". 我听过的"),
            QString::number(categoryCount + 3) + QStringLiteral(". 更多资源")};
}

QStringList EntryTitles(const CatalogCategory &category)
{
    QStringList titles;
    titles.reserve(category.entries.size() - 1);
    for (qsizetype j = 1; j < category.entries.size(); ++j)
        titles.append(category.entries.at(j).title);
    return titles;
}

const CatalogCategory *CategoryAtRow(int row)
{
    const auto &categories = storage().categories;
    if (row < 0 || row + 1 >= categories.size())
        return nullptr;
    return &categories.at(row + 1);
}

const CatalogEntry *EntryAt(int categoryRow, int entryRow)
{
    const CatalogCategory *category = CategoryAtRow(categoryRow);
    if (!category || entryRow < 0 || entryRow + 1 >= category->entries.size())
        return nullptr;
    return &category->entries.at(entryRow + 1);
}

} // namespace SjCL
