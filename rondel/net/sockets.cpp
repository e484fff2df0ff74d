#include "rondel/net/sockets.h"

namespace rondel {

// POSIX sockets need no library start. SIGPIPE is not a concern either:
// every send passes MSG_NOSIGNAL.
int startSockets() { return 0; }
void stopSockets() {}

}  // namespace rondel
