#include "privateprofile.h"

#include "ansicodec.h"

#include <QFile>
#include <QList>
#include <QSaveFile>
#include <QStringView>
#include <QtDebug>

#include <algorithm>
#include <cstring>

namespace PrivateProfile {

namespace {

bool isBlank(QChar c)
{
    // Besides spaces and tabs Windows skips the other C white space and ^Z, the DOS
    // end-of-file mark that old editors left in INI files.
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\r' || u == u'\v' || u == u'\f' || u == 0x1A;
}

QStringView trimmed(QStringView text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.sliced(begin, end - begin);
}

QStringView withoutLeadingBlanks(QStringView text)
{
    qsizetype begin = 0;
    while (begin < text.size() && isBlank(text[begin]))
        ++begin;
    return text.sliced(begin);
}

// Windows drops the trailing spaces (spaces only) of the default it is given.
QStringView withoutTrailingSpaces(QStringView text)
{
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ')
        --end;
    return text.first(end);
}

// "value" and 'value' lose their quotes; a lone quote or mismatched ones stay.
QStringView unquoted(QStringView value)
{
    if (value.size() >= 2 && (value.front() == u'"' || value.front() == u'\'') &&
        value.back() == value.front())
        return value.sliced(1, value.size() - 2);
    return value;
}

bool sameName(QStringView a, QStringView b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

struct Line
{
    enum class Kind
    {
        Other,
        Section,
        Key
    };
    Kind kind = Kind::Other;
    QString name;
    QString value;            // as in the file: trimmed, quotes still on
    qsizetype begin = 0;      // first byte of the line
    qsizetype contentEnd = 0; // first byte of the line break
    qsizetype end = 0;        // first byte after the line break
};

QList<Line> parse(const QByteArray &bytes)
{
    QList<Line> lines;
    qsizetype pos = 0;
    while (pos < bytes.size()) {
        Line line;
        line.begin = pos;
        const qsizetype newline = bytes.indexOf('\n', pos);
        line.end = newline < 0 ? bytes.size() : newline + 1;
        line.contentEnd = newline < 0 ? bytes.size() : newline;
        if (line.contentEnd > pos && bytes.at(line.contentEnd - 1) == '\r')
            --line.contentEnd;
        pos = line.end;

        // Decode before looking for brackets: '[' and ']' are also GBK trail bytes.
        // '\n' is not, so splitting the raw bytes into lines is safe.
        const QString text =
            Ansi::decode(QByteArrayView(bytes).sliced(line.begin, line.contentEnd - line.begin));
        const QStringView content = trimmed(text);
        if (content.isEmpty() || content.front() == u';') {
            lines.append(line);
            continue;
        }
        if (content.front() == u'[') {
            // Windows takes the last ']' of the line; text after it is ignored.
            const qsizetype close = content.lastIndexOf(u']');
            if (close > 0) {
                line.kind = Line::Kind::Section;
                line.name = trimmed(content.sliced(1, close - 1)).toString();
                lines.append(line);
                continue;
            }
        }
        const qsizetype equals = content.indexOf(u'=');
        if (equals > 0) {
            const QStringView name = trimmed(content.first(equals));
            if (!name.isEmpty()) {
                line.kind = Line::Kind::Key;
                line.name = name.toString();
                line.value = trimmed(content.sliced(equals + 1)).toString();
            }
        }
        lines.append(line);
    }
    return lines;
}

// Index of the first header named `name`, or -1. Nameless headers ("[]") never match.
qsizetype findSection(const QList<Line> &lines, QStringView name)
{
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const Line &line = lines.at(i);
        if (line.kind == Line::Kind::Section && !line.name.isEmpty() && sameName(line.name, name))
            return i;
    }
    return -1;
}

// Index of the line after the section's last line (the next header, or the end).
qsizetype sectionEnd(const QList<Line> &lines, qsizetype header)
{
    qsizetype i = header + 1;
    while (i < lines.size() && lines.at(i).kind != Line::Kind::Section)
        ++i;
    return i;
}

qsizetype findKey(const QList<Line> &lines, qsizetype header, QStringView name)
{
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (lines.at(i).kind == Line::Kind::Key && sameName(lines.at(i).name, name))
            return i;
    }
    return -1;
}

QStringList sectionNames(const QList<Line> &lines)
{
    QStringList names;
    for (const Line &line : lines) {
        if (line.kind == Line::Kind::Section && !line.name.isEmpty())
            names.append(line.name);
    }
    return names;
}

QStringList keyNames(const QList<Line> &lines, qsizetype header)
{
    QStringList names;
    if (header < 0)
        return names;
    const qsizetype end = sectionEnd(lines, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        if (lines.at(i).kind == Line::Kind::Key)
            names.append(lines.at(i).name);
    }
    return names;
}

// The file's bytes; empty when it does not exist, nullopt when it exists but cannot be
// read (writing then would replace content we never saw).
std::optional<QByteArray> readBytes(const QString &fileName)
{
    QFile file(fileName);
    if (!file.exists())
        return QByteArray();
    if (!file.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "Cannot read" << fileName << ":" << file.errorString();
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        qWarning().noquote() << "Cannot read" << fileName << ":" << file.errorString();
        return std::nullopt;
    }
    return bytes;
}

QList<Line> load(const QString &fileName)
{
    return parse(readBytes(fileName).value_or(QByteArray()));
}

// Writes "name\0name\0\0" the way Windows fills a listing buffer of buffer.size() bytes.
int putList(QByteArray &buffer, const QStringList &names)
{
    QByteArray list;
    for (const QString &name : names) {
        list += Ansi::encode(name);
        list += '\0';
    }
    const qsizetype size = buffer.size();
    char *out = buffer.data();
    if (list.size() < size) {
        // An empty listing is a single NUL: callers count the pieces between NULs.
        std::memcpy(out, list.constData(), list.size());
        out[list.size()] = '\0';
        return int(list.size());
    }
    if (size < 2) {
        out[0] = '\0';
        return 0;
    }
    // Too long: the last name that starts in the room is cut, never inside a
    // double-byte character, and the buffer ends with two NULs.
    const qsizetype room = size - 2;
    const qsizetype lastStart = room == 0 ? 0 : list.lastIndexOf('\0', room - 1) + 1;
    const qsizetype lastEnd = list.indexOf('\0', lastStart);
    const QByteArray last =
        Ansi::truncate(list.mid(lastStart, lastEnd - lastStart), room - lastStart);
    std::memcpy(out, list.constData(), lastStart);
    std::memcpy(out + lastStart, last.constData(), last.size());
    std::fill(out + lastStart + last.size(), out + size, '\0');
    return int(size - 2);
}

QByteArray lineBreakOf(const QByteArray &bytes)
{
    const qsizetype newline = bytes.indexOf('\n');
    if (newline < 0)
        return QByteArrayLiteral("\r\n");
    return newline > 0 && bytes.at(newline - 1) == '\r' ? QByteArrayLiteral("\r\n")
                                                        : QByteArrayLiteral("\n");
}

bool isAsciiBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == 0x1A;
}

QByteArray edited(QByteArray bytes, QStringView section, const std::optional<QString> &key,
                  const std::optional<QString> &value)
{
    const QList<Line> lines = parse(bytes);
    const QStringView sectionName = trimmed(section);
    const qsizetype header = findSection(lines, sectionName);

    if (!key) {
        if (header >= 0) {
            const qsizetype next = sectionEnd(lines, header);
            const qsizetype to = next < lines.size() ? lines.at(next).begin : bytes.size();
            bytes.remove(lines.at(header).begin, to - lines.at(header).begin);
        }
        return bytes;
    }

    const QStringView keyName = trimmed(*key);
    const qsizetype found = header < 0 ? -1 : findKey(lines, header, keyName);
    if (!value) {
        if (found >= 0)
            bytes.remove(lines.at(found).begin, lines.at(found).end - lines.at(found).begin);
        return bytes;
    }

    const QByteArray newValue = Ansi::encode(withoutLeadingBlanks(*value));
    if (found >= 0) {
        // Keep the line up to the old value. '=' and blanks are below 0x40 and so never
        // the trail byte of a GBK character: the first '=' byte is the separator.
        const Line &line = lines.at(found);
        qsizetype valueBegin = bytes.indexOf('=', line.begin) + 1;
        while (valueBegin < line.contentEnd && isAsciiBlank(bytes.at(valueBegin)))
            ++valueBegin;
        bytes.replace(valueBegin, line.contentEnd - valueBegin, newValue);
        return bytes;
    }

    const QByteArray lineBreak = lineBreakOf(bytes);
    const QByteArray keyLine = Ansi::encode(keyName) + '=' + newValue + lineBreak;
    if (header >= 0) {
        qsizetype after = header;
        for (qsizetype i = header + 1, end = sectionEnd(lines, header); i < end; ++i) {
            if (lines.at(i).kind == Line::Kind::Key)
                after = i;
        }
        const qsizetype at = lines.at(after).end;
        const bool unterminated = at == bytes.size() && !bytes.endsWith('\n');
        bytes.insert(at, unterminated ? lineBreak + keyLine : keyLine);
        return bytes;
    }

    if (!bytes.isEmpty() && !bytes.endsWith('\n'))
        bytes += lineBreak;
    bytes += '[' + Ansi::encode(sectionName) + ']' + lineBreak + keyLine;
    return bytes;
}

} // namespace

int getPrivateProfileString(const std::optional<QString> &section,
                            const std::optional<QString> &key, const QString &defaultValue,
                            QByteArray &buffer, const QString &fileName)
{
    const qsizetype size = buffer.size();
    if (size <= 0)
        return 0;
    const QList<Line> lines = load(fileName);
    if (!section)
        return putList(buffer, sectionNames(lines));

    const qsizetype header = findSection(lines, trimmed(*section));
    if (!key)
        return putList(buffer, keyNames(lines, header));

    const qsizetype found = header < 0 ? -1 : findKey(lines, header, trimmed(*key));
    const QStringView text =
        found >= 0 ? unquoted(lines.at(found).value) : withoutTrailingSpaces(defaultValue);
    const QByteArray bytes = Ansi::truncate(Ansi::encode(text), size - 1);
    std::memcpy(buffer.data(), bytes.constData(), bytes.size());
    buffer[bytes.size()] = '\0';
    return int(bytes.size());
}

QString readString(const QString &fileName, const QString &section, const QString &key,
                   const QString &defaultValue)
{
    const QList<Line> lines = load(fileName);
    const qsizetype header = findSection(lines, trimmed(section));
    const qsizetype found = header < 0 ? -1 : findKey(lines, header, trimmed(key));
    return found >= 0 ? unquoted(lines.at(found).value).toString() : defaultValue;
}

QStringList keys(const QString &fileName, const QString &section)
{
    const QList<Line> lines = load(fileName);
    return keyNames(lines, findSection(lines, trimmed(section)));
}

QStringList sections(const QString &fileName)
{
    return sectionNames(load(fileName));
}

bool writeString(const QString &fileName, const QString &section, const std::optional<QString> &key,
                 const std::optional<QString> &value)
{
    const auto hasLineBreak = [](QStringView text) {
        return text.contains(u'\n') || text.contains(u'\r');
    };
    if (hasLineBreak(section) || (key && hasLineBreak(*key)) || (value && hasLineBreak(*value)))
        return false;

    const std::optional<QByteArray> original = readBytes(fileName);
    if (!original)
        return false;
    const QByteArray updated = edited(*original, section, key, value);
    if (updated == *original)
        return true;

    // QSaveFile writes a temporary file next to the target and renames it over the
    // target only when everything was written: a full disk never leaves half a file.
    // Unbuffered, because commit() does not notice a failure of the final flush of
    // buffered data (Qt 6.4) and would rename a cut file over the good one.
    QSaveFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) ||
        file.write(updated) != updated.size() || !file.commit()) {
        qWarning().noquote() << "Cannot write" << fileName << ":" << file.errorString();
        return false;
    }
    return true;
}

} // namespace PrivateProfile
