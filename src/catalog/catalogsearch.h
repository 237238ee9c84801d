#pragma once

#include "catalog.h"
#include "lineorigins.h"

#include <QString>
#include <QStringView>

// Search of the catalog's titles (the search box Text4 and its button SerImg).
namespace SjCL {

// The search box's prompt. It is the box's real text while the box is empty
// and without focus, so a search for it is an empty search.
inline constexpr char16_t kSearchPrompt[] = u"请输入您要搜索的内容";

inline QString searchPrompt()
{
    return QString::fromUtf16(kSearchPrompt);
}

// True when q asks for nothing: the empty text or the prompt.
bool isEmptySearch(const QString &q);

// Every resource whose title contains q (plain, case-sensitive substring; q is
// not trimmed), in catalog order, as "category name-title" with the entry each
// line came from. An empty search finds nothing: it would list the whole
// catalog.
ListedLines SearchTitles(const Catalog &catalog, const QString &q);

} // namespace SjCL
