#include "socketreset.h"

#include <sys/socket.h>

bool setResetOnClose(qintptr socketDescriptor)
{
    // A zero linger time makes close() drop unsent data and answer with RST.
    const linger option{1, 0};
    return ::setsockopt(int(socketDescriptor), SOL_SOCKET, SO_LINGER, &option, sizeof option) == 0;
}
