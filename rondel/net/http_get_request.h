#pragma once
// One HTTP GET at a time over a non-blocking NetConnection: splits the URL,
// sends the request (directly or through a proxy, with basic authorisation
// for either), reads the status line, follows 301/302 redirects, skips the
// headers and hands out the body until the server closes the connection.
//
// Threads: an HttpGetRequest and its connection belong to one thread, the
// one that calls its methods; nothing in it is locked. Only name look-ups
// run elsewhere (the resolver's worker, see name_resolver.h).
//
// Use: connect(url, 0), then loop { run(); take bytes; wait(<= 100 ms); }
// applying the caller's own time-outs (connecting() tells whether the
// connection is still being set up) until run() gives 1 (the reply has
// ended: the body is complete) or -1 (failed: getErrorText() says why).
//
// The reply ends when the server closes the connection, or earlier when the
// body has reached its Content-Length or the last chunk of a chunked body
// (decoded here). Every received byte (status line, headers, body,
// redirect replies) counts against setReplyLimits's caps; passing one fails
// the request at once.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "rondel/net/base64.h"
#include "rondel/net/name_resolver.h"
#include "rondel/net/net_connection.h"
#include "rondel/net/sockets.h"
#include "rondel/net/url.h"

namespace rondel {

class HttpGetRequest {
 public:
  // getStatus() values.
  static constexpr int kStatusFailed = -1;
  static constexpr int kStatusWaiting = 0;  // for the status line, or redirected
  static constexpr int kStatusHeaders = 1;
  static constexpr int kStatusBody = 2;

  // A redirect chain longer than this fails with "too many redirects".
  static constexpr int kMaxRedirects = 5;
  // Receive rings are never smaller than this.
  static constexpr int kMinReceiveSize = 4096;
  // Default caps (setReplyLimits): the status line and headers of one reply,
  // and every byte received for one connect() of the caller, redirect
  // replies included. kNoLimit: no cap.
  static constexpr std::size_t kNoLimit = static_cast<std::size_t>(-1);
  static constexpr std::size_t kDefaultMaxHeadBytes = 65536;
  // A chunk-size line (hex digits and extensions) longer than this fails.
  static constexpr std::size_t kMaxChunkLine = 1024;

  // Error texts of the caps and of the body framing.
  static constexpr const char* kErrorHeadTooLarge = "reply header too large";
  static constexpr const char* kErrorReplyTooLarge = "reply too large";
  static constexpr const char* kErrorCutShort = "connection closed before the end of the body";
  static constexpr const char* kErrorBadChunk = "bad chunked body";
  static constexpr const char* kErrorBadLength = "bad Content-Length";
  static constexpr const char* kErrorCoding = "unsupported transfer coding";

  // `resolver` may be null: each connection then makes and owns its own.
  // A borrowed resolver must outlive this object. `proxy`, when present and
  // not empty, is split like a URL ("[user:pass@]host[:port]"); its path is
  // dropped.
  HttpGetRequest(NameResolver* resolver, int receiveBufferSize, const char* proxy = nullptr);
  HttpGetRequest(NameResolver* resolver, int receiveBufferSize, std::string_view proxy);
  ~HttpGetRequest();
  HttpGetRequest(const HttpGetRequest&) = delete;
  HttpGetRequest& operator=(const HttpGetRequest&) = delete;

  // Starts a new GET (the previous request is discarded). Failures show in
  // getStatus()/run() and getErrorText(). A null url is an invalid URL.
  void connect(std::string_view url, int minorVersion);
  void connect(const char* url, int minorVersion);

  // Caps on what one request may receive: `maxHeadBytes` for the status
  // line and header lines of each reply (line ends included), `maxBytes`
  // for every byte received since the caller's connect() (redirect replies,
  // heads, bodies, NUL bytes: all of them). Kept for later requests.
  void setReplyLimits(std::size_t maxHeadBytes, std::size_t maxBytes);

  // One step without waiting: -1 failed, 0 under way, 1 the reply has ended
  // (the connection closed, or the body reached its Content-Length or its
  // last chunk; the body bytes stay available to getBytes). A connection
  // that closes before a declared Content-Length or the last chunk fails.
  int run();

  // -1 failed, 0 waiting for the status line or redirected, 1 reading
  // headers, 2 reading the body.
  int getStatus() const;
  // The number after the status line's first space; 0 without one.
  int getReplyCode() const;
  // Body bytes waiting to be taken; 0 unless reading the body.
  int bytesAvailable() const;
  // Takes up to `count` body bytes into `buffer`; gives how many.
  int getBytes(char* buffer, int count);
  // The last failure's text; empty when there was none.
  const std::string& getErrorText() const { return errorText_; }
  // The first line of the current reply; empty until it arrives.
  const std::string& getStatusLine() const { return statusLine_; }

  // Blocks until run() can make progress or `limit` passes: the socket is
  // readable (or writable while connecting or while request bytes wait),
  // the name look-up has finished, or body bytes already wait. Gives 1 when
  // there is something to do, 0 when `limit` passed, -1 at once when the
  // request has failed or has no connection.
  int wait(std::chrono::milliseconds limit);

  // True while the current connection is still being set up (name being
  // resolved, TCP connect under way); false once connected, closed or failed.
  bool connecting() const;

  // Seam for fuzzing and tests: when set, each new connection is handed to
  // `opener` (with the host and port it would connect to) instead of being
  // connected, so no socket is made (see NetConnection::attachWithoutSocket).
  using Opener = std::function<void(NetConnection& connection, const std::string& host,
                                    std::uint16_t port)>;
  void setOpener(Opener opener) { opener_ = std::move(opener); }
  // The current connection, or null (for the seam's user).
  NetConnection* connection() const { return connection_.get(); }

  // Redirects followed since the caller's last connect().
  int redirectCount() const { return redirects_; }

 private:
  enum class State { kFailed = -1, kWaiting = 0, kRedirected = 1, kHeaders = 2, kBody = 3 };

  void init(NameResolver* resolver, int receiveBufferSize, std::string_view proxy, bool hasProxy);
  void start(std::string_view url, int minorVersion);
  void discard();
  void fail(std::string text);
  // Works through the whole lines waiting in the ring, as far as the state
  // allows. Gives -1 (failed), 0, or 2 when a redirect started a new
  // connection.
  int processLines(bool firstPass, bool* wantAnotherPass);
  // Takes one line (or one 4095-byte piece of a longer line) when one is
  // there; false when nothing can be taken yet. `continued` is set when the
  // line is the rest of a line whose start was already taken in pieces.
  bool takeLine(std::string& line, bool& continued);
  void dropSplitLineFeed();
  void followRedirect(const std::string& target);
  // Reads the framing headers (Content-Length, Transfer-Encoding); false
  // when one is unusable (the request has failed).
  bool readFramingHeader(const std::string& line);
  // Bytes received since the caller's connect(): those taken so far plus
  // what waits in the ring.
  std::size_t countedBytes() const;
  // False, with the request failed, once the head passed its cap.
  bool headWithinCap();
  // Moves chunked-body bytes from the ring into decoded_. -1 on a framing
  // error (failed), else 0.
  int decodeChunks(bool closed);
  // Takes one chunk framing line (up to kMaxChunkLine); 1 taken, 0 not yet
  // complete, -1 too long.
  int takeChunkLine(std::string& line);
  // Takes up to `count` bytes from the ring, counting them.
  int takeRaw(char* buffer, int count);
  // The end of the body as far as the framing tells: 1 ended, 0 not yet,
  // -1 failed (cut short or bad framing).
  int bodyEnd(bool closed);

  NameResolver* resolver_ = nullptr;        // borrowed, may be null
  std::unique_ptr<NetConnection> connection_;
  int receiveBufferSize_ = kMinReceiveSize;
  State state_ = State::kWaiting;
  int port_ = 0;
  std::string url_;
  std::string host_;
  std::string credentials_;
  std::string path_;
  std::string proxyCredentials_;
  std::string proxyHost_;
  int proxyPort_ = 0;
  std::string statusLine_;
  std::string errorText_;
  int redirects_ = 0;
  // The last line taken ended in a CR that was the last received byte: an LF
  // arriving next belongs to that line end, not to a new (empty) line.
  bool lineFeedMayFollow_ = false;
  // A line is being taken in pieces: what follows up to its end is the rest
  // of it, not a line of its own.
  bool inLongLine_ = false;
  Opener opener_;  // empty: connect for real

  // Caps and counters (setReplyLimits).
  std::size_t maxHeadBytes_ = kDefaultMaxHeadBytes;
  std::size_t maxBytes_ = kNoLimit;
  std::size_t consumed_ = 0;   // bytes taken out of rings since the caller's connect()
  std::size_t headBytes_ = 0;  // status line and headers of the current reply
  // Body framing of the current reply.
  bool hasLength_ = false;
  std::size_t bodyLeft_ = 0;   // with hasLength_: body bytes not yet taken
  bool chunked_ = false;
  enum class Chunk { kSize, kData, kDataEnd, kTrailer, kDone } chunk_ = Chunk::kSize;
  std::size_t chunkLeft_ = 0;  // bytes of the current chunk still to decode
  std::string decoded_;        // decoded chunked body bytes not yet taken
  std::size_t decodedRead_ = 0;
};

}  // namespace rondel
