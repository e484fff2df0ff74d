#pragma once
// The socket library's start and stop. POSIX sockets need neither; the
// calls exist so callers can pair them as on platforms that do.
namespace rondel {

// Gives 0 (started).
int startSockets();
void stopSockets();

}  // namespace rondel
