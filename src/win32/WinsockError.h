#pragma once

#include "UdpEndpoint.h"

namespace tarnleaf {

// A Winsock error code with a readable text: the system's message where it has one, else
// the name of the WSA constant, else "Winsock error <code>". The text never ends in a line
// break, so it fits the "Error!" log entry and the start-up message as it stands. It is
// UTF-8, as all the programs' text, in the user's language unless `language` (a LANGID)
// names another.
SocketError DescribeWinsockError(int code, unsigned language = 0);

// The calling thread's last Winsock error, described.
SocketError LastWinsockError();

}  // namespace tarnleaf
