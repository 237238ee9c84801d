#pragma once

#include <QString>

// Reading the catalog version file ("/flashxmlfile/version.xml"):
// <root><data><version>12</version><updateurl>http://…</updateurl></data></root>
namespace GameVerSionDb {

// The text of the first element at an absolute path of plain element names
// ("/root/data/version"). A file that does not parse shows the parser's
// reason in a message box and gives ""; a missing element gives "".
QString ReadXmlValue(const QString &file, const QString &xpath);

// Whether the two files' numbers at the given paths differ. A number is the
// leading decimal number of the text rounded to 32 bits ("12" and " 12 " are
// equal, "1.5" and "2" too); no number reads as 0. Any difference counts,
// a lower server version included.
bool VersionsDiffer(const QString &fileA, const QString &pathA, const QString &fileB,
                    const QString &pathB);

} // namespace GameVerSionDb
