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

#include "sdk/cdr_api.h"
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
  // The identifier (eight hex digits) and the query URL about to be sent,
  // written as other HTTP clients read it (fetchableUrl).
  virtual void lookupQuerying(std::uint64_t generation, const std::string& discId,
                              const std::string& queryUrl) = 0;
  // Adds the entry as a drop-down item and stores it under the item's id;
  // gives the id, or -1 when the lookup may no longer write.
  virtual int offerEntry(std::uint64_t generation, const std::string& caption,
                         FreedbEntry entry) = 0;
  // Chooses the item (its pick, which applies the entry, runs on the window
  // thread).
  virtual void chooseEntry(std::uint64_t generation, int id) = 0;
  // Why the lookup offers nothing though the database should have answered:
  // its query (or every entry it read) failed with `reason`, the request's
  // own text (a name not found, a refused connection, a time-out, an HTTP
  // status line). Comes before lookupEnded; not for a lookup that was
  // stopped or whose database simply lacks the disc.
  virtual void lookupFailed(std::uint64_t /*generation*/, const std::string& /*reason*/) {}
  // The lookup has ended, however it ended.
  virtual void lookupEnded(std::uint64_t generation) = 0;
};

// Bounds of one request, and of one whole lookup. The defaults serve real
// servers; tests shorten them through RONDEL_LOOKUP_TIMEOUTS
// (fromEnvironment).
struct FetchLimits {
  std::chrono::milliseconds connect{10000};  // resolving + TCP connect
  std::chrono::milliseconds silence{15000};  // without a received byte
  std::chrono::milliseconds total{60000};    // the whole request
  std::chrono::milliseconds lookup{60000};   // the whole lookup, from the query on
  std::chrono::milliseconds turn{100};       // longest wait between two checks of the stop request
  // Every byte received for one request counts: status line, headers, body
  // (NUL bytes too) and redirect replies. More fails the request at once.
  std::size_t maxBytes = 1 << 20;
  // The status line and header lines of one reply.
  std::size_t maxHeadBytes = 16384;

  // The defaults, or "CONNECT_MS,SILENCE_MS,TOTAL_MS[,LOOKUP_MS]" from the
  // environment variable RONDEL_LOOKUP_TIMEOUTS (each 1..600000; anything
  // else keeps the defaults).
  static FetchLimits fromEnvironment();
};

// The configuration a lookup runs with, read by its starter at the moment
// the lookup starts (a later change applies to the next lookup).
struct LookupSettings {
  std::string freedbServer;  // "Freedb Server": the server's host, with its port when not 80
  bool useProxy = false;     // "Use Proxy"
  std::string proxyServer;   // "Proxy Server": [user:pass@]host[:port]
  std::string email;         // "EMail": user@host for the hello
};

// The block a window hands to a new lookup thread; the thread owns it.
struct LookupStart {
  CdToc toc{};                      // the window's record when the lookup started
  LookupOwner* owner = nullptr;     // outlives the thread: the window joins it first
  std::uint64_t generation = 0;     // this lookup's name towards its owner
  FetchLimits limits;
  LookupSettings settings;
};

// The whole body of a GET, or "" unless a 200/206 reply ended (the server
// closed the connection, or the body reached its Content-Length or its last
// chunk) within the limits and before `deadline`. Never spins: between steps
// it waits on the socket for at most `limits.turn`. `stopRequested` is
// checked at every turn; a stop gives "". Each request leaves one line in
// the debug log: its URL and its outcome (bytes received, or why it failed:
// which bound ran out, the stop, or the request's own error text); that
// reason also goes into `*failure` when given ("" after a success).
std::string fetchText(HttpGetRequest& request, const std::string& url, const FetchLimits& limits,
                      const std::function<bool()>& stopRequested,
                      std::chrono::steady_clock::time_point deadline =
                          std::chrono::steady_clock::time_point::max(),
                      std::string* failure = nullptr);

// The thread's body: queries `start->settings.freedbServer` (through the
// proxy when one is to be used) and reads every entry it offers.
void lookupThread(std::unique_ptr<LookupStart> start);

}  // namespace rondel
