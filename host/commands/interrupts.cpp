#include "host/commands/interrupts.h"

#include <signal.h>

namespace qomhost {
namespace {

// Written by the handler, read by the command's thread.
volatile sig_atomic_t g_interrupts = 0;
extern "C" void onInterrupt(int) { g_interrupts = g_interrupts + 1; }

// The handlers the guard replaced; only the command's thread touches them.
struct sigaction g_savedInt {}, g_savedTerm {};

}  // namespace

InterruptGuard::InterruptGuard() {
  g_interrupts = 0;
  struct sigaction action {};
  action.sa_handler = &onInterrupt;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, &g_savedInt);
  ::sigaction(SIGTERM, &action, &g_savedTerm);
}

InterruptGuard::~InterruptGuard() {
  ::sigaction(SIGINT, &g_savedInt, nullptr);
  ::sigaction(SIGTERM, &g_savedTerm, nullptr);
}

int interruptCount() { return g_interrupts; }

}  // namespace qomhost
