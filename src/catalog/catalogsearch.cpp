#include "catalogsearch.h"

#include <QStringBuilder>

namespace SjCL {

bool isEmptySearch(const QString &q)
{
    return q.isEmpty() || q == QStringView(kSearchPrompt);
}

ListedLines SearchTitles(const Catalog &catalog, const QString &q)
{
    ListedLines hits;
    if (isEmptySearch(q))
        return hits;
    for (qsizetype i = 1; i < catalog.categories.size(); ++i) {
        const CatalogCategory &category = catalog.categories.at(i);
        // One allocation per hit: a search for a common character can hit
        // every title of the catalog.
        const QString prefix = category.name + u'-';
        for (qsizetype j = 1; j < category.entries.size(); ++j) {
            const QString &title = category.entries.at(j).title;
            if (!title.contains(q))
                continue;
            hits.texts.append(prefix % title);
            hits.refs.append({int(i), int(j)});
        }
    }
    return hits;
}

} // namespace SjCL
