#include <cstdio>
#include <exception>

#include "host/cli.h"

int main(int argc, char** argv) {
  try {
    return qomhost::runCommandLine(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qomhost: %s\n", e.what());
    return 1;
  }
}
