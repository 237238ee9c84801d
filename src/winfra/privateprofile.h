#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The program's settings files (Config.dll, Server.ini, ...) were written and read
// through the Windows private-profile functions, GetPrivateProfileStringA and
// WritePrivateProfileStringA, in code page 936. This reproduces what those calls do
// with such a file, so that existing files and the code that reads them keep working:
//
// - section and key names match without regard to case (Unicode case folding); blanks
//   around names inside the brackets, around key names and around values are ignored;
// - a value enclosed in matching single or double quotes loses them;
// - lines starting with ';' are comments, lines without '=' are not keys, lines before
//   the first section belong to no section;
// - of duplicated sections or keys the first one counts (listings show every one, as
//   Windows does);
// - a file that is missing or cannot be read reads as empty.
//
// Writes change only the lines concerned; everything else in the file stays byte for
// byte, and the file is replaced atomically.
namespace PrivateProfile {

// GetPrivateProfileStringA(section, key, defaultValue, buffer, buffer.size(), fileName),
// same argument order so that ported calls read one to one. buffer.size() is the
// buffer size of the Windows call; bytes the call does not write keep what the caller
// put there.
// - key given: the value (or defaultValue, without its trailing spaces) in GBK, cut to
//   size - 1 bytes without splitting a double-byte character, then a NUL; returns the
//   number of bytes copied.
// - key std::nullopt: the section's key names, each followed by a NUL, then one more
//   NUL; returns the length without the final NUL. No section or no keys: one single
//   NUL and 0. A listing that does not fit is cut so that the buffer ends with two
//   NULs, and the call returns size - 2.
// - section std::nullopt: the same listing of the section names.
int getPrivateProfileString(const std::optional<QString> &section,
                            const std::optional<QString> &key, const QString &defaultValue,
                            QByteArray &buffer, const QString &fileName);

// The whole value of a key, or defaultValue (as given) when the file, section or key
// is missing.
QString readString(const QString &fileName, const QString &section, const QString &key,
                   const QString &defaultValue = {});

// Key names of a section and section names of a file, in file order.
QStringList keys(const QString &fileName, const QString &section);
QStringList sections(const QString &fileName);

// WritePrivateProfileStringA(section, key, value, fileName).
// - value given: an existing key's value is replaced in place; the text before the value
//   (the key's spelling in the file, the blanks around '=') is kept. A new key goes
//   after the last key line of its section, a missing section is appended at the end
//   of the file, a missing file is created. Leading blanks of the value are dropped,
//   as Windows does.
// - value std::nullopt: the key's line is removed.
// - key std::nullopt: the section is removed, from its header up to the next section.
// New lines use the file's own line break (CRLF for a new file). Names and values with
// line breaks are refused: Windows would write them and break the file's structure.
// Returns false when the file cannot be read or written; the old file is then untouched.
// A write that changes nothing does not touch the file and returns true.
bool writeString(const QString &fileName, const QString &section, const std::optional<QString> &key,
                 const std::optional<QString> &value);

} // namespace PrivateProfile
