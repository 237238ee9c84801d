#pragma once

#include <QString>

// The hot-key controls' INI store: one path for the whole program, set by the
// control that started running (or changed its file name) last, so that every
// control reads and writes that one file. Reads and writes go through the
// private-profile functions, in code page 936.
namespace ModIni {

// The path becomes that of the file in the program folder.
void SetIniFileName(const QString &fileName);

// The path set last (empty before the first SetIniFileName).
QString IniFileName();

// A key's value, or the default when the file, section or key is missing;
// the value ends at its first NUL.
QString ReadIniValue(const QString &section, const QString &key, const QString &defaultValue);

// Writes one key to the path set last; false when the file cannot be written.
bool WriteIniValue(const QString &section, const QString &key, const QString &value);

} // namespace ModIni
