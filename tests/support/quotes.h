#pragma once

#include <QString>

// Catalog fixtures are written with single quotes for readability (moc cannot
// read raw string literals); the catalog format itself uses double quotes.
inline QString Q(const char *text)
{
    return QString::fromUtf8(text).replace(u'\'', u'"');
}
