#include "catalogfile.h"

#include "ansicodec.h"
#include "textnumber.h"

#include <QFile>

#include <iterator>

namespace SjCL {

namespace {
constexpr QStringView kCategoryTag = u"<category";
constexpr QStringView kDataTag = u"<data";

// Position of the next tag opening `tag` at or after `from`, or -1. Looks for
// '<' first (a vectorised character search) and compares only there: on a
// large catalog this is several times faster than a general substring search.
qsizetype findTag(QStringView text, QStringView tag, qsizetype from)
{
    while (true) {
        const qsizetype at = text.indexOf(u'<', from);
        if (at < 0)
            return -1;
        if (text.sliced(at).startsWith(tag))
            return at;
        from = at + 1;
    }
}

bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool startsAttribute(QStringView source, qsizetype at)
{
    return at == 0 || isBlank(source[at - 1]);
}

// The value of the attribute whose name starts at nameStart and whose '='
// stands at equals: from one character past the '=' up to the second quote
// counted from the name.
QString valueAt(QStringView source, qsizetype nameStart, qsizetype equals)
{
    const qsizetype valueStart = equals + 2;
    const qsizetype firstQuote = source.indexOf(u'"', nameStart);
    if (firstQuote < 0)
        return {};
    const qsizetype secondQuote = source.indexOf(u'"', firstQuote + 1);
    if (secondQuote < 0 || secondQuote < valueStart)
        return {};
    return source.mid(valueStart, secondQuote - valueStart).toString();
}

// Fills the entry from one data tag in a single pass. It gives exactly what
// GetAttrValue gives for each field (the first whole-name occurrence of
// `name=` wins) without searching the tag once per attribute: every '=' is
// looked at once, and the word before it, back to a blank or the tag's start,
// is the only attribute name that can end there.
void readEntry(QStringView part, CatalogEntry &entry)
{
    QString *const fields[] = {&entry.title,   &entry.litpic,       &entry.keyboard,
                               &entry.onclick, &entry.filesize,     &entry.ztid,
                               &entry.flash_fangfa, &entry.flashsay, &entry.flashurl,
                               &entry.pageurl};
    static constexpr QStringView names[] = {u"title",   u"litpic",       u"keyboard",
                                            u"onclick", u"filesize",     u"ztid",
                                            u"flash_fangfa", u"flashsay", u"flashurl",
                                            u"pageurl", u"id"};
    constexpr int kCount = int(std::size(names));
    bool found[kCount] = {};
    int remaining = kCount;
    for (qsizetype equals = part.indexOf(u'='); equals >= 0 && remaining > 0;
         equals = part.indexOf(u'=', equals + 1)) {
        qsizetype nameStart = equals;
        while (nameStart > 0 && !isBlank(part[nameStart - 1]))
            --nameStart;
        const QStringView name = part.mid(nameStart, equals - nameStart);
        if (name.isEmpty())
            continue;
        for (int k = 0; k < kCount; ++k) {
            // Length and first letter rule out almost every name cheaply.
            if (found[k] || name.size() != names[k].size() || name[0] != names[k][0] ||
                name != names[k])
                continue;
            found[k] = true;
            --remaining;
            if (k < kCount - 1)
                *fields[k] = valueAt(part, nameStart, equals);
            else
                entry.id = TextNumber::toInt16(valueAt(part, nameStart, equals)).value_or(0);
            break;
        }
    }
}
} // namespace

QString ReadAnsiFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    if (bytes.isEmpty())
        return {};
    return Ansi::decode(bytes);
}

QString GetAttrValue(QStringView source, QStringView name)
{
    const qsizetype keyLength = name.size() + 1; // name followed by '='
    qsizetype at = 0;
    while (true) {
        at = source.indexOf(name, at);
        if (at < 0)
            return {};
        if (at + name.size() < source.size() && source[at + name.size()] == u'=' &&
            startsAttribute(source, at))
            break;
        at += 1;
    }
    // The value starts one character after the '=' (past its opening quote)
    // and ends before the second quote counted from the key.
    return valueAt(source, at, at + keyLength - 1);
}

namespace detail {

qsizetype firstCategory(QStringView text)
{
    return findTag(text, kCategoryTag, 0);
}

QStringView categoryPiece(QStringView text, qsizetype &from)
{
    const qsizetype start = from + kCategoryTag.size();
    const qsizetype next = findTag(text, kCategoryTag, start);
    from = next;
    return next < 0 ? text.mid(start) : text.mid(start, next - start);
}

void parseEntries(QStringView piece, CatalogCategory &category)
{
    // Part 0 of the piece (the category tag itself) gives no entry.
    qsizetype at = findTag(piece, kDataTag, 0);
    while (at >= 0) {
        const qsizetype start = at + kDataTag.size();
        const qsizetype next = findTag(piece, kDataTag, start);
        const QStringView part = next < 0 ? piece.mid(start) : piece.mid(start, next - start);
        CatalogEntry entry;
        readEntry(part, entry);
        category.entries.append(std::move(entry));
        at = next;
    }
}

} // namespace detail

Catalog ParseCatalog(QStringView text)
{
    return ParseCatalog(text, [](const QString &) {});
}

} // namespace SjCL
