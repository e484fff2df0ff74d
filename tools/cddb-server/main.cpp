// cddb-server: serves a freedb-format folder over HTTP with the CDDB
// protocol. See README.md.
#include <malloc.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <thread>

#include "tools/cddb-server/entry_store.h"
#include "tools/cddb-server/http_server.h"
#include "tools/cddb-server/options.h"
#include "tools/cddb-server/request_log.h"
#include "tools/cddb-server/stop_signal.h"

namespace {

using namespace cddb_server;

int run(const Options& options) {
  // SIGTERM and SIGINT are taken by one thread with sigwait, so no handler
  // runs in the middle of the server's work; blocked before any thread
  // starts, so every thread inherits the mask.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGINT);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  ::signal(SIGPIPE, SIG_IGN);

  StopSignal stop;
  RequestLog log(options.logFile);
  if (!stop.valid() || !log.valid()) {
    std::cerr << "cddb-server: cannot open the log " << options.logFile << "\n";
    return 1;
  }
  FolderStore store(options.root);
  const ServerContext context{options, store, log, stop};
  HttpServer server(context);
  const std::string problem = server.listen(options.host, options.port);
  if (!problem.empty()) {
    std::cerr << "cddb-server: cannot listen on " << options.host << ":" << options.port << ": "
              << problem << "\n";
    return 1;
  }
  // The socket listens from here on: connections wait in its backlog.
  std::printf("listening on %s:%d\n", options.host.c_str(), server.port());
  std::fflush(stdout);

  std::thread signalThread([&] {
    int received = 0;
    sigwait(&stopSignals, &received);
    stop.request();
  });
  const bool served = server.run();
  const bool askedToStop = stop.requested();
  if (!askedToStop) ::kill(::getpid(), SIGTERM);  // ends the signal thread
  signalThread.join();
  return served || askedToStop ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // 32 worker threads would each get a malloc arena of their own; two keep
  // the server's memory that of its requests, not of its thread count.
  ::mallopt(M_ARENA_MAX, 2);
  try {
    const ParsedOptions parsed = parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (parsed.help) {
      std::cout << kUsage;
      return 0;
    }
    if (!parsed.error.empty()) {
      std::cerr << "cddb-server: " << parsed.error << "\n" << kUsage;
      return 2;
    }
    return run(parsed.options);
  } catch (const std::exception& e) {
    std::cerr << "cddb-server: " << e.what() << "\n";
    return 1;
  }
}
