#pragma once

#include "catalog.h"

#include <QString>
#include <QStringList>

class ListBoxEx;
class QWidget;

// The catalog module: owns the in-memory catalog and fills the main window's
// lists from it.
namespace SjCL {

// Height of one list row in pixels (315 twips).
constexpr int kRowHeight = 21;

// The lists and fields of the main window that the catalog fills.
struct CatalogLists
{
    ListBoxEx *List1 = nullptr;  // categories
    ListBoxEx *QtList = nullptr; // the three fixed items under the categories
    ListBoxEx *List2 = nullptr;  // entries of the selected category
    QWidget *ScListFrm = nullptr;  // favourites frame, hidden when a category shows
    QString *分类暂存 = nullptr;   // name of the category List2 shows
};

// The module-wide catalog, rebuilt by every LoadCatalog.
const Catalog &catalog();

// Reads the data-cache file of the program folder, rebuilds the catalog, fills
// List1, selects the first category and shows its entries.
void LoadCatalog(const CatalogLists &lists);

// Same, from a given text (the data-cache file's content).
void LoadCatalogText(QStringView text, const CatalogLists &lists);

// Refills List2 from the category selected in List1 and rebuilds QtList.
void ShowCategoryEntries(const CatalogLists &lists);

// The three fixed items for n categories: "n+1. 精彩推荐", "n+2. 我听过的",
// "n+3. 更多资源".
QStringList QtListItems(qsizetype categoryCount);

// Titles of a category's entries in file order (the entry list's texts).
QStringList EntryTitles(const CatalogCategory &category);

// The category of List1 item k, or nullptr when k is outside the catalog.
const CatalogCategory *CategoryAtRow(int row);

// The entry of List2 item k in the category of List1 item row, or nullptr.
const CatalogEntry *EntryAt(int categoryRow, int entryRow);

// Name of the data-cache file in the program folder.
inline QString dataCacheFileName() { return QStringLiteral("LDsend.Dll"); }

} // namespace SjCL
