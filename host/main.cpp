#include <csignal>
#include <cstdio>
#include <exception>

#include "host/commands/cli.h"

int main(int argc, char** argv) {
  // A write past a file-size limit must fail with EFBIG, so the rip job ends
  // with an error, its temporary file goes and the queue moves on. SIGXFSZ's
  // default action would end the process mid-file instead.
  std::signal(SIGXFSZ, SIG_IGN);
  try {
    return qomhost::runCommandLine(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qomhost: %s\n", e.what());
    return 1;
  }
}
