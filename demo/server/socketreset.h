#pragma once

#include <QtGlobal>

// Makes the next close of a connected socket send a TCP reset instead of the
// orderly FIN, so a test can see what "connection reset by peer" does to a
// download. One file per platform; this server only runs on POSIX systems.
bool setResetOnClose(qintptr socketDescriptor);
