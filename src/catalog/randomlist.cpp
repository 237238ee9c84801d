#include "randomlist.h"

#include <QRandomGenerator>

namespace SjCL {

ListedLines DrawRandomList(const Catalog &catalog, QRandomGenerator &generator, int count)
{
    ListedLines lines;
    // Only categories with resources take part: an empty one would give a line
    // that leads nowhere.
    QList<int> filled;
    for (qsizetype i = 1; i < catalog.categories.size(); ++i) {
        if (catalog.categories.at(i).entries.size() > 1)
            filled.append(int(i));
    }
    if (filled.isEmpty() || count <= 0)
        return lines;

    lines.texts.reserve(count);
    lines.refs.reserve(count);
    for (int k = 0; k < count; ++k) {
        const int category = filled.at(generator.bounded(int(filled.size())));
        const int entries = int(catalog.categories.at(category).entries.size()) - 1;
        const EntryRef ref{category, 1 + generator.bounded(entries)};
        lines.texts.append(ListedText(catalog, ref));
        lines.refs.append(ref);
    }
    return lines;
}

} // namespace SjCL
