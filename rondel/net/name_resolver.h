#pragma once
// A small cache of host name -> IPv4 address whose blocking look-ups run on
// a worker thread, so that the connection's step never waits for them.
//
// Threads: resolve(), waitForName() and destruction are called by the owner
// thread only (the thread of the connections that use this resolver). The
// worker thread reads and writes the table; the table sits under `mutex_`,
// and the worker never holds it during a look-up.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace rondel {

class NameResolver {
 public:
  // Looks a name up, blocking; gives the IPv4 address in network byte order
  // or INADDR_NONE. Called on the worker thread.
  using LookupFunction = std::function<std::uint32_t(const std::string& name)>;

  static constexpr int kDefaultCapacity = 64;
  static constexpr std::size_t kMaxNameLength = 255;

  explicit NameResolver(int capacity = kDefaultCapacity);
  // For tests: look-ups go through `lookup` instead of getaddrinfo.
  NameResolver(int capacity, LookupFunction lookup);
  // Asks a running worker to stop and waits for it: a look-up in progress
  // is finished first (getaddrinfo is bounded by the system's resolver
  // time-outs).
  ~NameResolver();
  NameResolver(const NameResolver&) = delete;
  NameResolver& operator=(const NameResolver&) = delete;

  // 0: `address` (network byte order) is filled; 1: the look-up is still
  // running, call again later; -1: the name cannot be resolved, or every
  // entry is taken by a running look-up.
  int resolve(std::string_view name, std::uint32_t* address);

  // Blocks until the look-up of `name` has finished, no worker runs (so the
  // next resolve() starts one), or `limit` passes. True unless the limit
  // passed.
  bool waitForName(std::string_view name, std::chrono::milliseconds limit);

  // True while a worker thread runs (tests).
  bool workerRunning() const { return !idle_.load(); }
  // Workers started so far (tests).
  int workersStarted() const { return workersStarted_; }

  // The default look-up: getaddrinfo for IPv4, the first address.
  static std::uint32_t lookupWithGetaddrinfo(const std::string& name);

 private:
  struct Entry {
    std::uint32_t lastUse = 0;  // seconds since 1970; 0 = empty slot
    bool done = false;          // the look-up has finished
    std::string name;           // at most kMaxNameLength characters
    std::uint32_t address = 0;  // network byte order; INADDR_NONE = failed
  };

  void startWorker();            // owner thread
  void workerMain();             // worker thread
  Entry* findLocked(std::string_view name);

  const LookupFunction lookup_;
  // Guards table_ and the entries' fields; the worker copies a name out and
  // looks it up without holding it.
  mutable std::mutex mutex_;
  // Signalled (under mutex_) when an entry is done and when the worker ends.
  std::condition_variable changed_;
  std::vector<Entry> table_;     // fixed size (the capacity); under mutex_
  // Set while no worker runs; setting it while one runs asks it to stop.
  // Written by the owner (start, stop request) and the worker (at its end).
  std::atomic<bool> idle_{true};
  std::thread worker_;           // owner thread only
  int workersStarted_ = 0;       // owner thread only
};

}  // namespace rondel
