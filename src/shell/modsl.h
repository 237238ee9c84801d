#pragma once

#include <QString>
#include <QStringList>

// Small operations of the shell that other parts call.
namespace ModSl {

// The one way the program ends normally: removes the tray icon, then closes
// the program's windows in their fixed order and ends the event loop.
void ExitProgram();

// Ends the program at once: the event loop exits as soon as control returns
// to it, and an ExitProgram under way closes no further window.
void EndAtOnce();

// The order in which ExitProgram closes the windows (by object name).
QStringList ShutdownOrder();

// Network test: asks the system twice, as the program always did; true only
// when both answers say connected.
bool IsOnline();

// One value of an INI file: at most 254 bytes of it (a buffer of 255), NUL
// characters removed; missing file, section or key give "".
QString ReadIniString(const QString &file, const QString &section, const QString &key);

// The key names of one section in file order, into keys; returns the number of
// keys minus one (-1 for none, in which case keys holds two leftover pieces of
// the buffer). Names beyond a 1024-byte listing are cut off.
int ReadIniKeys(const QString &file, const QString &section, QStringList &keys);

} // namespace ModSl
