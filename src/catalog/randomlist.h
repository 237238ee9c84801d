#pragma once

#include "catalog.h"
#include "lineorigins.h"

class QRandomGenerator;

// The random list "随便听听" (ListSB).
namespace SjCL {

constexpr int kRandomListSize = 30;

// count resources drawn with repeats: each draw picks one of the categories
// that have resources, all equally likely, then one of that category's
// resources, all equally likely. Lines read "category name-title". A catalog
// without resources gives no line. The caller seeds the generator once per run
// so that every run draws a new list.
ListedLines DrawRandomList(const Catalog &catalog, QRandomGenerator &generator,
                           int count = kRandomListSize);

} // namespace SjCL
