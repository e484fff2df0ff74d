#pragma once
// Thread priority, best effort: the nearest this platform has to raising a
// thread to the highest priority of the original system.
namespace platform {

// Lowers the calling thread's nice value as far as the process may: to -20
// with the privilege for it, else to the lowest value RLIMIT_NICE allows
// (which for an ordinary user is often the current value, so nothing
// changes). Failures are ignored; the thread runs on at whatever it has.
void raiseCurrentThreadPriority();

}  // namespace platform
