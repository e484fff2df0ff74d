#pragma once
// The database lookup of one disc, on its own thread: query the configured
// server, read every candidate entry, offer each to the window, choose the
// first, and hand the status back.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "rondel/drive/cdr_api.h"
#include "rondel/metadata/freedb_entry.h"

namespace rondel {

class HttpGetRequest;

// What a lookup writes into its window. Every method is called on the lookup
// thread; the window makes each safe against its own thread. `generation`
// names the lookup: a lookup that is no longer the window's current one, or
// that was asked to stop, writes nothing.
class LookupOwner {
 public:
  virtual ~LookupOwner() = default;
  // True once the lookup should end (a newer lookup replaced it, or the
  // window is going). Checked at every turn of every wait.
  virtual bool lookupStopRequested(std::uint64_t generation) const = 0;
  // The identifier (eight hex digits) and the query URL about to be sent.
  virtual void lookupQuerying(std::uint64_t generation, const std::string& discId,
                              const std::string& queryUrl) = 0;
  // Adds the entry as a drop-down item and stores it under the item's id;
  // gives the id, or -1 when the lookup may no longer write.
  virtual int offerEntry(std::uint64_t generation, const std::string& caption,
                         FreedbEntry entry) = 0;
  // Chooses the item (its pick, which applies the entry, runs on the window
  // thread).
  virtual void chooseEntry(std::uint64_t generation, int id) = 0;
  // The lookup has ended, however it ended.
  virtual void lookupEnded(std::uint64_t generation) = 0;
};

// Bounds of one request. The defaults serve real servers; tests shorten them
// through RONDEL_LOOKUP_TIMEOUTS (fromEnvironment).
struct FetchLimits {
  std::chrono::milliseconds connect{10000};  // resolving + TCP connect
  std::chrono::milliseconds silence{15000};  // without a received byte
  std::chrono::milliseconds total{60000};    // the whole request
  std::chrono::milliseconds turn{100};       // longest wait between two checks of the stop request
  std::size_t maxBody = 1 << 20;             // more fails the request

  // The defaults, or "CONNECT_MS,SILENCE_MS,TOTAL_MS" from the environment
  // variable RONDEL_LOOKUP_TIMEOUTS (each 1..600000; anything else keeps the
  // defaults).
  static FetchLimits fromEnvironment();
};

// The block a window hands to a new lookup thread; the thread owns it.
struct LookupStart {
  CdToc toc{};                      // the window's record when the lookup started
  LookupOwner* owner = nullptr;     // outlives the thread: the window joins it first
  std::uint64_t generation = 0;     // this lookup's name towards its owner
  FetchLimits limits;
};

// The whole body of a GET, or "" unless the request ended with the server
// closing the connection after a 200/206 reply within the limits. Never
// spins: between steps it waits on the socket for at most `limits.turn`.
// `stopRequested` is checked at every turn; a stop gives "".
std::string fetchText(HttpGetRequest& request, const std::string& url, const FetchLimits& limits,
                      const std::function<bool()>& stopRequested);

// The thread's body. Reads "Freedb Server", "EMail", "Use Proxy" and "Proxy
// Server" from the component's configuration when it starts.
void lookupThread(std::unique_ptr<LookupStart> start);

}  // namespace rondel
